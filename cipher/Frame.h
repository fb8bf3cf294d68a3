// SPDX-License-Identifier: MIT
#pragma once
// The frame around the data before chaining: two random words, the size
// descriptor N (all three little-endian), the N data bytes, zero padding to
// whole blocks.
#include <cstddef>
#include <cstdint>
#include <limits>

namespace quelvane::frame {

constexpr std::size_t kHeaderSize = 12;
// The size descriptor is a signed 32-bit number.
constexpr std::size_t kMaxData = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - 19;

// Whole blocks around N data bytes. Throws std::length_error past kMaxData.
std::size_t FrameSize(std::size_t N);

// A frame of T bytes holds N data bytes only when T - N is 12 to 19.
bool SizeDescriptorFits(std::size_t T, std::int64_t N) noexcept;
std::int32_t SizeDescriptor(const std::uint8_t* frame) noexcept;

// A word from the system's secure source, 0 to 2^31 - 1.
std::uint32_t RandomWord();
void WriteHeader(std::uint8_t* frame, std::uint32_t N, std::uint32_t R1, std::uint32_t R2) noexcept;

// The N data bytes at p become a frame of FrameSize(N) bytes in place; the
// bytes past N must be zero already, as a resize leaves them.
void Lay(std::uint8_t* p, std::size_t N);

// The data length of the decrypted frame of T bytes at p, moved to the front
// with what follows wiped; T when the frame does not hold its descriptor's
// length (a wrong key or damage), p left as it is.
std::size_t Cut(std::uint8_t* p, std::size_t T) noexcept;

}  // namespace quelvane::frame
