#pragma once
// Reading many pages on several threads while writing their results in input
// order, as they finish: a page waits only for the pages before it, and at
// most `window` pages are held (read, or being read, but not yet written), so
// memory stays bounded however long the batch is.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace idr::cli {

// Set by the SIGINT/SIGTERM handler (a lock-free store is all a handler may
// do); a batch stops taking new pages once it is set.
void request_stop() noexcept;
bool stop_requested() noexcept;
void clear_stop_request() noexcept;  // for tests running several batches

// Runs work(i) for every i in [0, count) on `jobs` threads and hands each
// result to deliver(i, result) on the calling thread, in order of i. When
// stop_requested() turns true, no new i is started; the ones started are
// finished and delivered. Returns how many were delivered. `work` runs
// concurrently with itself and with `deliver`; an exception from either ends
// the run (the pages in flight are finished first) and is rethrown here.
template <class Result>
std::size_t run_in_order(std::size_t count, int jobs, std::size_t window,
                         const std::function<Result(std::size_t)>& work,
                         const std::function<void(std::size_t, Result&&)>& deliver) {
    if (jobs < 1) jobs = 1;
    if (jobs == 1) {
        // One at a time: on the calling thread, which saves starting a
        // thread (and its memory arena) for a single page.
        std::size_t delivered = 0;
        for (std::size_t i = 0; i < count && !stop_requested(); ++i, ++delivered) deliver(i, work(i));
        return delivered;
    }
    if (window < static_cast<std::size_t>(jobs)) window = static_cast<std::size_t>(jobs);
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::size_t, Result> done;  // finished, waiting for the pages before them
    std::size_t next_take = 0, next_deliver = 0;
    std::size_t in_flight = 0;  // taken, not yet finished
    std::exception_ptr failure;
    // The signal handler cannot notify a condition variable, so every wait
    // also wakes up now and then to look at the stop flag.
    constexpr auto kPoll = std::chrono::milliseconds(50);

    auto stopping = [&] { return failure || stop_requested(); };
    auto worker = [&] {
        for (;;) {
            std::size_t i = 0;
            {
                std::unique_lock lock(mutex);
                while (!stopping() && next_take < count && next_take >= next_deliver + window)
                    changed.wait_for(lock, kPoll);
                if (stopping() || next_take >= count) return;
                i = next_take++;
                ++in_flight;
            }
            try {
                Result r = work(i);
                std::lock_guard lock(mutex);
                done.emplace(i, std::move(r));
                --in_flight;
            } catch (...) {
                std::lock_guard lock(mutex);
                if (!failure) failure = std::current_exception();
                --in_flight;  // this page never arrives: the writer ends at it
            }
            changed.notify_all();
        }
    };

    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(jobs));
    for (int t = 0; t < jobs; ++t) threads.emplace_back(worker);

    for (;;) {
        std::unique_lock lock(mutex);
        auto ready = done.find(next_deliver);
        // Nothing more comes once taking has ended and nothing is in flight.
        while (ready == done.end() && !((next_take >= count || stopping()) && in_flight == 0)) {
            changed.wait_for(lock, kPoll);
            ready = done.find(next_deliver);
        }
        if (ready == done.end()) break;
        Result r = std::move(ready->second);
        done.erase(ready);
        const std::size_t i = next_deliver;
        lock.unlock();
        try {
            deliver(i, std::move(r));
        } catch (...) {
            std::lock_guard relock(mutex);
            if (!failure) failure = std::current_exception();
        }
        {
            // Counted as held until written, so the window bounds the pages
            // in memory including the one being written.
            std::lock_guard relock(mutex);
            ++next_deliver;
        }
        changed.notify_all();
    }
    for (std::thread& t : threads) t.join();
    if (failure) std::rethrow_exception(failure);
    return next_deliver;
}

}  // namespace idr::cli
