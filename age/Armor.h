// SPDX-License-Identifier: MIT
#pragma once
// The ASCII armor: strict PEM with the label "AGE ENCRYPTED FILE", padded
// base64 in lines of 64 columns, the last one 4 to 64, LF line ends. Read
// back with only whitespace allowed before and after the block, CR LF taken
// as LF, canonical base64 enforced. Both ways a piece at a time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "age/Error.h"

namespace quelvane::age {

inline constexpr std::string_view kArmorBegin = "-----BEGIN AGE ENCRYPTED FILE-----";
inline constexpr std::string_view kArmorEnd = "-----END AGE ENCRYPTED FILE-----";

inline constexpr std::size_t kArmorLineBytes = 48;  // bytes a full line of 64 columns carries

class ArmorWriter {
public:
    // withBegin false: the lines only, for bytes that continue a file whose
    // first whole lines another writer makes.
    explicit ArmorWriter(bool withBegin = true) : begun_(!withBegin) {}
    // Appends the text of the bytes to *out as whole lines go.
    void Write(const std::uint8_t* data, std::size_t n, std::string* out);
    // The last line and the end line.
    void Finish(std::string* out);

private:
    void Begin(std::string* out);
    void Lines(const std::uint8_t* data, std::size_t lines, std::string* out);
    bool begun_ = false;
    std::uint8_t partial_[48];
    std::size_t partialSize_ = 0;
};

class ArmorReader {
public:
    // Appends the decoded bytes to *out as lines complete.
    bool Feed(const char* text, std::size_t n, std::string* out, Error* error);
    // After the last piece: the end line must have come.
    bool Finish(std::string* out, Error* error);

private:
    enum class State { Leading, Begin, Body, Trailing };
    bool Line(std::string_view line, std::string* out, Error* error);
    bool Flush(std::string* out, Error* error);
    State state_ = State::Leading;
    std::string partial_;  // a line not complete yet, at most a few columns over 64
    std::string batch_;  // full lines without their line ends, decoded together
    bool lastLine_ = false;
    bool anyLine_ = false;
};

}  // namespace quelvane::age
