#pragma once
// The moment a page's reading must end. Every stage that can take long on a
// cluttered picture asks passed() between pieces of its work, so a page ends
// soon after its time limit instead of holding up a batch.

#include <chrono>

namespace idr::scan {

class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    // No limit.
    Deadline() = default;
    explicit Deadline(Clock::time_point at) : at_(at), limited_(true) {}
    static Deadline after(Clock::duration d) { return Deadline(Clock::now() + d); }

    bool passed() const { return limited_ && Clock::now() >= at_; }
    bool limited() const { return limited_; }

private:
    Clock::time_point at_{};
    bool limited_ = false;
};

}  // namespace idr::scan
