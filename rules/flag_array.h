#pragma once
// A fixed-bounds array of 16-bit entries whose element access checks the
// index: outside the bounds throws Subscript.

#include <array>

#include "rules/integer.h"

namespace idr {

template <Int32 Lower, Int32 Upper>
class CheckedArray16 {
public:
    static_assert(Lower <= Upper);
    static constexpr Int32 lower_bound = Lower;
    static constexpr Int32 upper_bound = Upper;

    Int16& operator()(Int32 index) { return values_[offset(index)]; }
    Int16 operator()(Int32 index) const { return values_[offset(index)]; }

private:
    static std::size_t offset(Int32 index);
    std::array<Int16, static_cast<std::size_t>(Upper - Lower + 1)> values_{};
};

[[noreturn]] void throw_subscript(Int32 index, Int32 lower, Int32 upper);

template <Int32 Lower, Int32 Upper>
std::size_t CheckedArray16<Lower, Upper>::offset(Int32 index) {
    if (index < Lower || index > Upper) throw_subscript(index, Lower, Upper);
    return static_cast<std::size_t>(index - Lower);
}

}  // namespace idr
