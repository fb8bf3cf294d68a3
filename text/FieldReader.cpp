// SPDX-License-Identifier: MIT
#include "text/FieldReader.h"

#include <array>
#include <cstring>

namespace quelvane {

namespace {

constexpr bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

// Bytes that end an unquoted field, looked up per byte: a table beats three
// comparisons and keeps the scan branch-light on long hex lines.
constexpr std::array<bool, 256> kDelimiter = [] {
    std::array<bool, 256> t{};
    t[static_cast<unsigned char>(',')] = true;
    t[static_cast<unsigned char>('\r')] = true;
    t[static_cast<unsigned char>('\n')] = true;
    return t;
}();

std::size_t FindDelimiter(std::string_view text, std::size_t from) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    while (from < n && !kDelimiter[p[from]]) ++from;
    return from;
}

// Length of the line end at the very end of s (CR LF, LF or CR), or 0.
std::size_t FinalLineEnd(std::string_view s) noexcept {
    if (s.empty()) return 0;
    if (s.back() == '\n') return (s.size() >= 2 && s[s.size() - 2] == '\r') ? 2 : 1;
    return s.back() == '\r' ? 1 : 0;
}

}  // namespace

bool FieldReader::AtEnd() const noexcept { return pos >= text.size(); }

std::string FieldReader::ReadNextField() {
    const std::size_t n = text.size();
    while (pos < n && IsBlank(text[pos])) ++pos;

    std::string field;
    std::size_t stop;  // where the delimiter (if any) is
    if (pos < n && text[pos] == '"') {
        const std::size_t open = pos + 1;
        const void* hit = open < n ? std::memchr(text.data() + open, '"', n - open) : nullptr;
        if (!hit) {
            std::string_view rest = text.substr(open < n ? open : n);
            rest.remove_suffix(FinalLineEnd(rest));
            pos = n;
            return std::string(rest);
        }
        const std::size_t close = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        stop = FindDelimiter(text, close + 1);
        const std::string_view tail = text.substr(close + 1, stop - (close + 1));
        bool onlyBlanks = true;
        for (char c : tail) onlyBlanks = onlyBlanks && IsBlank(c);
        field.reserve((close - open) + (onlyBlanks ? 0 : tail.size()));
        field.append(text.data() + open, close - open);
        if (!onlyBlanks) field.append(tail);
    } else {
        stop = FindDelimiter(text, pos);
        field.assign(text.data() + pos, stop - pos);
    }

    pos = stop;
    if (pos < n) {
        const char d = text[pos++];
        if (d == '\r' && pos < n && text[pos] == '\n') ++pos;
    }
    return field;
}

}  // namespace quelvane
