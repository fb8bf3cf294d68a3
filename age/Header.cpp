// SPDX-License-Identifier: MIT
#include "age/Header.h"

#include "age/Base64.h"

#include <algorithm>

namespace quelvane::age {
namespace {

constexpr std::size_t kColumns = 64;

bool Malformed(Error* error, const std::string& what) {
    return Fail(error, ErrorKind::Malformed, "not a valid age file: " + what);
}

bool IsVisible(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < 0x21 || c > 0x7e) return false;
    return true;
}

}  // namespace

std::string MarshalHeaderForMac(const std::vector<Stanza>& stanzas) {
    std::string out(kVersionLine);
    for (const Stanza& s : stanzas) {
        out += "->";
        for (const std::string& arg : s.args) out += ' ' + arg;
        out += '\n';
        const std::string body = base64::EncodeRaw(s.body.data(), s.body.size());
        // Full lines of 64, then one shorter, which may be empty.
        std::size_t at = 0;
        for (; body.size() - at >= kColumns; at += kColumns) out.append(body, at, kColumns).push_back('\n');
        out.append(body, at, std::string::npos).push_back('\n');
    }
    out += "---";
    return out;
}

std::string MarshalHeader(const std::vector<Stanza>& stanzas, const std::uint8_t mac[32]) {
    return MarshalHeaderForMac(stanzas) + ' ' + base64::EncodeRaw(mac, 32) + '\n';
}

long FindHeaderEnd(std::string_view bytes, std::size_t* resume) {
    const std::size_t prefix = std::min(bytes.size(), kVersionLine.size());
    if (bytes.substr(0, prefix) != kVersionLine.substr(0, prefix)) return -1;
    std::size_t at = *resume;
    while (at < bytes.size()) {
        const std::size_t lf = bytes.find('\n', at);
        if (lf == std::string_view::npos) break;
        if (bytes.compare(at, 3, "---") == 0) return long(lf + 1);
        at = lf + 1;
    }
    *resume = at;
    return bytes.size() >= kMaxHeaderSize ? -1 : 0;
}

bool ParseHeader(std::string_view text, Header* header, Error* error) {
    *header = Header{};
    if (!text.starts_with(kVersionLine)) return Malformed(error, "the first line is not age-encryption.org/v1");
    std::size_t at = kVersionLine.size();
    auto nextLine = [&](std::string_view* line) {
        const std::size_t lf = text.find('\n', at);
        if (lf == std::string_view::npos) return false;
        *line = text.substr(at, lf - at);
        at = lf + 1;
        return true;
    };
    std::string_view line;
    while (true) {
        const std::size_t lineStart = at;
        if (!nextLine(&line)) return Malformed(error, "the header has no MAC line");
        if (line.starts_with("---")) {
            if (header->stanzas.empty()) return Malformed(error, "the header has no stanza");
            if (line.size() < 4 || line[3] != ' ') return Malformed(error, "the MAC line has no MAC");
            std::vector<std::uint8_t> mac;
            if (!base64::DecodeRaw(line.substr(4), &mac) || mac.size() != 32)
                return Malformed(error, "the header MAC is not 32 bytes of canonical base64");
            if (at != text.size()) return Malformed(error, "bytes after the header's end were taken as header");
            std::copy(mac.begin(), mac.end(), header->mac.begin());
            header->macInput.assign(text.substr(0, lineStart + 3));
            return true;
        }
        if (!line.starts_with("-> ")) return Malformed(error, "a header line is neither a stanza nor the MAC");
        Stanza stanza;
        std::string_view args = line.substr(3);
        while (true) {
            const std::size_t space = args.find(' ');
            const std::string_view arg = args.substr(0, space);
            if (!IsVisible(arg)) return Malformed(error, "a stanza argument is empty or not visible ASCII");
            stanza.args.emplace_back(arg);
            if (space == std::string_view::npos) break;
            args.remove_prefix(space + 1);
        }
        std::string body;
        while (true) {
            if (!nextLine(&line)) return Malformed(error, "a stanza body is cut off");
            if (line.size() > kColumns) return Malformed(error, "a stanza body line is longer than 64 columns");
            if (!base64::IsAlphabet(line.data(), line.size()))
                return Malformed(error, "a stanza body line is not base64");
            body += line;
            if (line.size() < kColumns) break;
        }
        if (!base64::DecodeRaw(body, &stanza.body)) return Malformed(error, "a stanza body is not canonical base64");
        header->stanzas.push_back(std::move(stanza));
    }
}

}  // namespace quelvane::age
