#include "app/cli/batch.h"

namespace idr::cli {

namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler may only store a lock-free flag");

}  // namespace

void request_stop() noexcept { g_stop.store(true, std::memory_order_relaxed); }
bool stop_requested() noexcept { return g_stop.load(std::memory_order_relaxed); }
void clear_stop_request() noexcept { g_stop.store(false, std::memory_order_relaxed); }

}  // namespace idr::cli
