#pragma once
// The ID filled in on the built-in sheet (assets/sheet.bmp), taken from the
// sheet's generator: column c's disc is in row kSheetId[c]. Every test that
// reads the sheet compares with this one value.

#include <array>
#include <string_view>

#include "tools/sheetgen/layout.h"

namespace idr::test {

inline constexpr std::array<char, sheetgen::kStudentId.size()> kSheetIdDigits = [] {
    std::array<char, sheetgen::kStudentId.size()> digits{};
    for (std::size_t c = 0; c < digits.size(); ++c) digits[c] = static_cast<char>('0' + sheetgen::kStudentId[c]);
    return digits;
}();
inline constexpr std::string_view kSheetId{kSheetIdDigits.data(), kSheetIdDigits.size()};

}  // namespace idr::test
