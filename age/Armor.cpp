// SPDX-License-Identifier: MIT
#include "age/Armor.h"

#include <cstring>

#include "age/Base64.h"

namespace quelvane::age {
namespace {

constexpr std::size_t kColumns = 64;
constexpr std::size_t kLineBytes = 48;
// Lines encoded or decoded in one call of the library's transform.
constexpr std::size_t kBatchLines = 1024;
// Longest line kept while looking for its end: 64 columns, CR, and the end
// line's 32 are all below it.
constexpr std::size_t kMaxLine = 80;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool Malformed(Error* error, const char* what) {
    return Fail(error, ErrorKind::Malformed, std::string("not a valid armored age file: ") + what);
}

}  // namespace

void ArmorWriter::Begin(std::string* out) {
    if (begun_) return;
    begun_ = true;
    out->append(kArmorBegin).push_back('\n');
}

void ArmorWriter::Lines(const std::uint8_t* data, std::size_t lines, std::string* out) {
    char text[kBatchLines * kColumns + 4];
    while (lines) {
        const std::size_t batch = lines < kBatchLines ? lines : kBatchLines;
        base64::EncodePadded(data, batch * kLineBytes, text);
        const std::size_t at = out->size();
        out->resize(at + batch * (kColumns + 1));
        char* dst = out->data() + at;
        for (std::size_t i = 0; i < batch; ++i, dst += kColumns + 1) {
            std::memcpy(dst, text + i * kColumns, kColumns);
            dst[kColumns] = '\n';
        }
        data += batch * kLineBytes;
        lines -= batch;
    }
}

void ArmorWriter::Write(const std::uint8_t* data, std::size_t n, std::string* out) {
    Begin(out);
    if (partialSize_) {
        const std::size_t take = std::min(n, kLineBytes - partialSize_);
        std::memcpy(partial_ + partialSize_, data, take);
        partialSize_ += take;
        data += take;
        n -= take;
        if (partialSize_ < kLineBytes) return;
        Lines(partial_, 1, out);
        partialSize_ = 0;
    }
    const std::size_t lines = n / kLineBytes;
    Lines(data, lines, out);
    partialSize_ = n - lines * kLineBytes;
    std::memcpy(partial_, data + lines * kLineBytes, partialSize_);
}

void ArmorWriter::Finish(std::string* out) {
    Begin(out);
    if (partialSize_) {
        char text[kColumns + 4];
        const std::size_t size = base64::EncodePadded(partial_, partialSize_, text);
        out->append(text, size).push_back('\n');
        partialSize_ = 0;
    }
    out->append(kArmorEnd).push_back('\n');
}

bool ArmorReader::Flush(std::string* out, Error* error) {
    if (batch_.empty()) return true;
    const std::size_t at = out->size();
    out->resize(at + batch_.size() / 4 * 3);
    const long size =
        base64::DecodePadded(batch_.data(), batch_.size(), reinterpret_cast<std::uint8_t*>(out->data() + at));
    batch_.clear();
    if (size < 0) return Malformed(error, "a line is not base64");
    out->resize(at + std::size_t(size));
    return true;
}

bool ArmorReader::Line(std::string_view line, std::string* out, Error* error) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (state_ == State::Begin) {
        if (line != kArmorBegin)
            return Malformed(error,
                             "the first line is not "
                             "-----BEGIN AGE ENCRYPTED FILE-----");
        state_ = State::Body;
        return true;
    }
    if (line == kArmorEnd) {
        if (!anyLine_) return Malformed(error, "the armor holds no data");
        state_ = State::Trailing;
        return Flush(out, error);
    }
    if (lastLine_) return Malformed(error, "a line follows the short last line");
    if (line.size() > kColumns) return Malformed(error, "a line is longer than 64 columns");
    anyLine_ = true;
    if (line.size() == kColumns && line.back() != '=') {
        batch_.append(line);
        return batch_.size() < kBatchLines * kColumns || Flush(out, error);
    }
    // The last line: shorter, or padded.
    if (line.empty() || line.size() % 4) return Malformed(error, "the last line is not whole base64");
    if (!Flush(out, error)) return false;
    std::uint8_t bytes[kLineBytes];
    const long size = base64::DecodePadded(line.data(), line.size(), bytes);
    if (size < 0) return Malformed(error, "the last line is not canonical base64");
    out->append(reinterpret_cast<const char*>(bytes), std::size_t(size));
    lastLine_ = true;
    return true;
}

bool ArmorReader::Feed(const char* text, std::size_t n, std::string* out, Error* error) {
    while (n) {
        if (state_ == State::Leading || state_ == State::Trailing) {
            while (n && IsBlank(*text)) ++text, --n;
            if (!n) return true;
            if (state_ == State::Trailing) return Malformed(error, "data follows the armor's end line");
            state_ = State::Begin;
        }
        // Full lines straight from the input while no piece of one is kept.
        if (state_ == State::Body && partial_.empty() && !lastLine_) {
            while (n >= kColumns + 1 && text[kColumns - 1] != '=' &&
                   (text[kColumns] == '\n' ||
                    (n >= kColumns + 2 && text[kColumns] == '\r' && text[kColumns + 1] == '\n'))) {
                batch_.append(text, kColumns);
                anyLine_ = true;
                const std::size_t used = text[kColumns] == '\n' ? kColumns + 1 : kColumns + 2;
                text += used;
                n -= used;
                if (batch_.size() >= kBatchLines * kColumns && !Flush(out, error)) return false;
            }
            if (!n) return true;
        }
        const void* lf = std::memchr(text, '\n', n);
        const std::size_t take = lf ? std::size_t(static_cast<const char*>(lf) - text) : n;
        if (partial_.size() + take > kMaxLine) return Malformed(error, "a line is far longer than 64 columns");
        partial_.append(text, take);
        if (!lf) return true;
        text += take + 1;
        n -= take + 1;
        std::string line;
        line.swap(partial_);
        if (!Line(line, out, error)) return false;
    }
    return true;
}

bool ArmorReader::Finish(std::string* out, Error* error) {
    if (state_ == State::Body && std::string_view(partial_) == kArmorEnd) {
        std::string line;
        line.swap(partial_);
        if (!Line(line, out, error)) return false;
    }
    if (state_ == State::Trailing) return true;
    if (state_ == State::Leading) return Malformed(error, "there is no armor");
    return Fail(error, ErrorKind::Damaged, "the armored age file is cut off before its end line");
}

}  // namespace quelvane::age
