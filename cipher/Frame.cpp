// SPDX-License-Identifier: MIT
#include "cipher/Frame.h"

#include <cstring>
#include <random>
#include <stdexcept>

#include "secret/SecureWipe.h"

namespace quelvane::frame {

namespace {

inline std::uint32_t GetLE(const std::uint8_t* p) noexcept {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

inline void PutLE(std::uint32_t v, std::uint8_t* p) noexcept {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace

std::size_t FrameSize(std::size_t N) {
    if (N > kMaxData) throw std::length_error("clsBlowfish: more data than a frame can describe");
    return (N + kHeaderSize + 7) / 8 * 8;
}

bool SizeDescriptorFits(std::size_t T, std::int64_t N) noexcept {
    // A negative descriptor is as invalid as one out of range.
    if (N < 0) return false;
    const auto spare = static_cast<long long>(T) - N;
    return spare >= 12 && spare <= 19;
}

std::int32_t SizeDescriptor(const std::uint8_t* frame) noexcept { return static_cast<std::int32_t>(GetLE(frame + 8)); }

// R1 and R2 hide the first block.
std::uint32_t RandomWord() {
    static thread_local std::random_device source;
    return static_cast<std::uint32_t>(source()) & 0x7FFFFFFFu;
}

void WriteHeader(std::uint8_t* frame, std::uint32_t N, std::uint32_t R1, std::uint32_t R2) noexcept {
    PutLE(R1, frame);
    PutLE(R2, frame + 4);
    PutLE(N, frame + 8);
}

void Lay(std::uint8_t* p, std::size_t N) {
    std::memmove(p + kHeaderSize, p, N);
    const std::uint32_t R1 = RandomWord();
    WriteHeader(p, static_cast<std::uint32_t>(N), R1, RandomWord());
}

std::size_t Cut(std::uint8_t* p, std::size_t T) noexcept {
    // An incomplete last block ends the operation; so does a frame too short
    // for its size descriptor.
    if (T % 8 != 0 || T < kHeaderSize) return T;
    const std::int32_t N = SizeDescriptor(p);
    if (!SizeDescriptorFits(T, N)) return T;
    std::memmove(p, p + kHeaderSize, static_cast<std::size_t>(N));
    // What is cut off holds the text's last bytes again: wiped, not left
    // in the array's spare room.
    SecureWipe(p + N, T - static_cast<std::size_t>(N));
    return static_cast<std::size_t>(N);
}

}  // namespace quelvane::frame
