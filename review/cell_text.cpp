#include "review/cell_text.h"

namespace idr::review {

namespace {

// A cell holds at most this many characters.
constexpr std::size_t kMaxCellChars = 32767;

// Whole UTF-8 sequences kept, anything else becomes U+FFFD: a workbook with
// invalid UTF-8 in its XML does not open at all.
std::string valid_utf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool ok = len > 0 && i + len <= text.size();
        for (std::size_t k = 1; ok && k < len; ++k) ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        // Overlong forms and surrogates are refused by XML readers as well.
        if (ok && len == 2) ok = c >= 0xC2;
        if (ok && len == 3) {
            const auto d = static_cast<unsigned char>(text[i + 1]);
            ok = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0);
        }
        if (ok && len == 4) {
            const auto d = static_cast<unsigned char>(text[i + 1]);
            ok = c <= 0xF4 && !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90);
        }
        if (ok) {
            out.append(text, i, len);
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

}  // namespace

std::string spreadsheet_safe(const std::string& text) {
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@' ||
                          text[0] == '\t' || text[0] == '\r'))
        return "'" + text;
    return text;
}

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string spreadsheet_text(const std::string& text) {
    std::string out = spreadsheet_safe(valid_utf8(text));
    if (out.size() > kMaxCellChars) {
        // Cut at a character boundary (the limit counts characters; bytes
        // are at least as many, so this is within it).
        std::size_t cut = kMaxCellChars;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    return out;
}

}  // namespace idr::review
