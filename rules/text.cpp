#include "rules/text.h"

#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <mutex>
#include <string>
#include <system_error>

#include "rules/error.h"

namespace idr {

namespace {

constexpr std::size_t kMaxQuotedChars = 40;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

void append_hex_byte(std::string& out, unsigned char b) {
    constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
}

// Length of the well-formed UTF-8 sequence at the start of `s`, 0 if there is none.
std::size_t utf8_sequence_length(std::string_view s) {
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t len;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
    } else {
        return 0;
    }
    if (s.size() < len) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80 || b > 0xBF) return 0;
    }
    const auto b1 = static_cast<unsigned char>(s[1]);
    if (b0 == 0xE0 && b1 < 0xA0) return 0;                // overlong
    if (b0 == 0xED && b1 > 0x9F) return 0;                // surrogate
    if (b0 == 0xF0 && b1 < 0x90) return 0;                // overlong
    if (b0 == 0xF4 && b1 > 0x8F) return 0;                // beyond U+10FFFF
    if (b0 == 0xC2 && b1 <= 0x9F) return 0;               // C1 control: escape it
    return len;
}

// Saturating accumulation of a decimal exponent; anything this large is
// far outside the double range whatever the digits.
constexpr std::int64_t kExponentCap = 1'000'000'000'000;

[[noreturn]] void not_a_number(std::string_view text, std::string_view decimal_separator) {
    std::string message = "the text " + quoted_text(text) + " is not a number";
    // "8.5" where the user's separator is ",", or "8,5" where it is ".": a
    // plain "not a number" would puzzle, so say which separator counts.
    for (const std::string_view mark : {".", ","}) {
        if (mark != decimal_separator && text.find(mark) != std::string_view::npos) {
            message += " (the decimal separator is " + quoted_text(decimal_separator) + ")";
            break;
        }
    }
    throw RuntimeError(ErrorKind::TypeMismatch, message);
}

[[noreturn]] void beyond_double(std::string_view text) {
    throw RuntimeError(ErrorKind::Overflow,
                       "the number " + quoted_text(text) + " is beyond the range of a double");
}

// The parts of a number text: [blanks][sign]digits[separator digits][e[sign]digits][blanks].
struct DecimalText {
    bool negative = false;
    std::string_view int_digits, frac_digits;
    std::int64_t exponent = 0;  // saturated at +-kExponentCap
};

// Stage 1: split the text into its parts; anything else in it, or no digit
// at all, is a type mismatch naming the whole text.
DecimalText scan_decimal(std::string_view original, std::string_view decimal_separator) {
    std::string_view text = original;
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);

    const auto take_sign = [&text] {
        if (text.empty() || (text.front() != '+' && text.front() != '-')) return false;
        const bool minus = text.front() == '-';
        text.remove_prefix(1);
        return minus;
    };
    const auto take_digits = [&text] {
        std::size_t n = 0;
        while (n < text.size() && is_digit(text[n])) ++n;
        const std::string_view digits = text.substr(0, n);
        text.remove_prefix(n);
        return digits;
    };

    DecimalText number;
    number.negative = take_sign();
    number.int_digits = take_digits();
    if (text.starts_with(decimal_separator)) {
        text.remove_prefix(decimal_separator.size());
        number.frac_digits = take_digits();
    }
    if (number.int_digits.empty() && number.frac_digits.empty()) not_a_number(original, decimal_separator);

    if (!text.empty() && (text.front() == 'e' || text.front() == 'E')) {
        text.remove_prefix(1);
        const bool exp_negative = take_sign();
        const std::string_view exp_digits = take_digits();
        if (exp_digits.empty()) not_a_number(original, decimal_separator);
        for (char c : exp_digits) {
            number.exponent = number.exponent * 10 + (c - '0');
            if (number.exponent > kExponentCap) number.exponent = kExponentCap;
        }
        if (exp_negative) number.exponent = -number.exponent;
    }
    if (!text.empty()) not_a_number(original, decimal_separator);
    return number;
}

// Stage 2: the decimal magnitude m, the value lying in [10^(m-1), 10^m);
// nothing when every digit is 0.
std::optional<std::int64_t> decimal_magnitude(const DecimalText& number) {
    const std::size_t int_lead = number.int_digits.find_first_not_of('0');
    if (int_lead != std::string_view::npos) {
        return static_cast<std::int64_t>(number.int_digits.size() - int_lead) + number.exponent;
    }
    const std::size_t frac_lead = number.frac_digits.find_first_not_of('0');
    if (frac_lead == std::string_view::npos) return std::nullopt;
    return number.exponent - static_cast<std::int64_t>(frac_lead);
}

// Stage 3, the fast path: whole numbers of up to 15 digits are below 2^53
// and therefore exact when accumulated in a double. The usual threshold
// texts, which binarization converts once per pixel, skip the general parse.
std::optional<double> short_whole_number(const DecimalText& number) {
    if (!number.frac_digits.empty() || number.exponent != 0 || number.int_digits.size() > 15) {
        return std::nullopt;
    }
    double whole = 0;
    for (const char c : number.int_digits) whole = whole * 10 + (c - '0');
    return number.negative ? -whole : whole;
}

// Stage 4: a locale-free, correctly rounded parse of a normalised copy; the
// exponent is small by now. No reserve: a short number stays in the
// string's inline buffer, so the common case allocates nothing.
double parse_general(const DecimalText& number, std::int64_t magnitude, std::string_view original,
                     std::string_view decimal_separator) {
    std::string normal;
    if (number.negative) normal += '-';
    if (number.int_digits.empty()) {
        normal += '0';
    } else {
        normal.append(number.int_digits);
    }
    if (!number.frac_digits.empty()) {
        normal += '.';
        normal.append(number.frac_digits);
    }
    normal += 'e';
    normal += std::to_string(number.exponent);

    double value = 0;
    const auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value,
                                           std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        if (magnitude > 0) beyond_double(original);
        return number.negative ? -0.0 : 0.0;  // underflow: silently zero
    }
    if (ec != std::errc{} || end != normal.data() + normal.size()) not_a_number(original, decimal_separator);
    if (std::isinf(value)) beyond_double(original);
    return value;
}

}  // namespace

std::string quoted_text(std::string_view text) {
    std::string out = "\"";
    std::size_t shown = 0;
    while (!text.empty()) {
        if (shown == kMaxQuotedChars) {
            out += "...";
            break;
        }
        const auto b = static_cast<unsigned char>(text[0]);
        std::size_t used = 1;
        if (b == '"' || b == '\\') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b == '\t') {
            out += "\\t";
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b < 0x20 || b == 0x7F) {
            append_hex_byte(out, b);
        } else if (b < 0x80) {
            out += static_cast<char>(b);
        } else if (const std::size_t len = utf8_sequence_length(text); len != 0) {
            out.append(text.substr(0, len));
            used = len;
        } else {
            append_hex_byte(out, b);
        }
        text.remove_prefix(used);
        ++shown;
    }
    out += '"';
    return out;
}

double detail::parse_number_text(std::string_view text, std::string_view decimal_separator) {
    if (decimal_separator.empty()) decimal_separator = ".";
    const DecimalText number = scan_decimal(text, decimal_separator);
    const double zero = number.negative ? -0.0 : 0.0;

    const std::optional<std::int64_t> magnitude = decimal_magnitude(number);
    if (!magnitude) return zero;  // all digits are 0
    // The double range is about 4.9e-324 to 1.8e308.
    if (*magnitude > 310) beyond_double(text);
    if (*magnitude < -330) return zero;

    if (const std::optional<double> whole = short_whole_number(number)) return *whole;
    return parse_general(number, *magnitude, text, decimal_separator);
}

namespace {

std::string separator_from_environment() {
    // A private locale object built from the environment (LC_ALL,
    // LC_NUMERIC, LANG); neither the process locale nor the thread's is
    // touched.
    const locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return ".";
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    std::string separator = (radix != nullptr && *radix != '\0') ? radix : ".";
    freelocale(loc);
    return separator;
}

}  // namespace

std::string system_decimal_separator() {
    // Every window of a batch asks; building the locale object costs more
    // than the rest of a window. It is built again only when the variables
    // it is built from have changed.
    static std::mutex guard;
    static std::string last_key, last_separator;
    std::string key;
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG", "LOCPATH"}) {
        const char* value = std::getenv(name);
        key += value != nullptr ? std::string(value) + '\n' : std::string("\x01\n");
    }
    const std::lock_guard<std::mutex> lock(guard);
    if (last_separator.empty() || key != last_key) {
        last_separator = separator_from_environment();
        last_key = std::move(key);
    }
    return last_separator;
}

std::string int_to_text(Int32 v) {
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string double_to_text(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    const double whole = std::trunc(v);
    if (whole == 0.0) return "0";  // also for -0.0 and -0.5
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, whole, std::chars_format::fixed);
    return std::string(buf, res.ptr);
}

std::string join(std::string_view left, std::string_view right) {
    std::string out;
    out.reserve(left.size() + right.size());
    out.append(left);
    out.append(right);
    return out;
}

}  // namespace idr
