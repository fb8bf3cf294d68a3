// SPDX-License-Identifier: MIT
// The public face over the parts: block, frame and chain; progress.
#include "cipher/clsBlowfish.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "cipher/Frame.h"

namespace bf = quelvane::blowfish;

clsBlowfish::clsBlowfish() { bf::LoadInitialTables(*tables); }

clsBlowfish::~clsBlowfish() = default;

void clsBlowfish::Key(std::string_view New_Value) {
    if (New_Value == quelvane::AsText(KeyText)) return;
    // A fresh array moved in: the old key's storage goes, wiped.
    KeyText = quelvane::SecretBytes(New_Value.begin(), New_Value.end());
    if (New_Value.empty()) throw std::out_of_range("clsBlowfish::Key: an empty key cannot be scheduled");
    bf::ScheduleKey(*tables, New_Value);
}

const bf::Tables& clsBlowfish::Keyed(std::string_view Key) {
    if (!Key.empty()) this->Key(Key);
    return *tables;
}

std::uint32_t clsBlowfish::RoundFunction(std::uint32_t Value) const noexcept {
    return bf::RoundFunction(*tables, Value);
}

void clsBlowfish::EncryptBlock(std::uint32_t& Left, std::uint32_t& Right) const noexcept {
    bf::EncryptBlock(*tables, Left, Right);
}

void clsBlowfish::DecryptBlock(std::uint32_t& Left, std::uint32_t& Right) const noexcept {
    bf::DecryptBlock(*tables, Left, Right);
}

std::uint32_t clsBlowfish::GetWord(const std::uint8_t* byteArray, std::size_t Offset) noexcept {
    const std::uint8_t* p = byteArray + Offset;
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | std::uint32_t{p[3]};
}

void clsBlowfish::PutWord(std::uint32_t Value, std::uint8_t* byteArray, std::size_t Offset) noexcept {
    for (int i = 0; i < 4; ++i) byteArray[Offset + i] = static_cast<std::uint8_t>(Value >> (24 - 8 * i));
}

// Raises Progress when Offset has reached NextProgress, in exact integer
// arithmetic: Percent = floor(100 * Offset / T) and NextProgress is
// (Percent + 1) / 100 * T + 1 rounded half to even.
void clsBlowfish::RaiseProgress(std::size_t Offset, std::size_t T, std::size_t& NextProgress) const noexcept {
    if (Offset < NextProgress) return;
    const auto Percent = static_cast<std::int32_t>(static_cast<unsigned long long>(Offset) * 100 / T);
    const unsigned long long num = (static_cast<unsigned long long>(Percent) + 1) * T + 100;
    unsigned long long next = num / 100;
    const unsigned long long rem = num % 100;
    if (rem > 50 || (rem == 50 && (next & 1))) ++next;
    NextProgress = static_cast<std::size_t>(next);
    try {
        Progress(Percent);
    } catch (...) {
        // A listener cannot influence the operation.
    }
}

// Hands run(first block, end block) the T / 8 blocks in runs up to the next
// one that raises Progress, so the block loops never look at the listener.
template <class Run>
void clsBlowfish::RunWithProgress(std::size_t T, Run&& run) {
    const std::size_t blocks = T / 8;
    std::size_t NextProgress = 0;
    for (std::size_t b = 0; b < blocks;) {
        std::size_t stop = blocks;
        if (Progress) stop = std::min(blocks, std::max(b, (NextProgress + 7) / 8) + 1);
        run(b, stop);
        if (Progress) RaiseProgress(8 * (stop - 1), T, NextProgress);
        b = stop;
    }
}

template <class Bytes>
void clsBlowfish::EncryptBytes(Bytes& byteArray, std::string_view Key) {
    const bf::Tables& t = Keyed(Key);
    const std::size_t N = byteArray.size();
    const std::size_t T = quelvane::frame::FrameSize(N);
    byteArray.resize(T);  // the added bytes are zero: the padding
    std::uint8_t* p = byteArray.data();
    quelvane::frame::Lay(p, N);
    bf::EncryptChain chain(t);
    RunWithProgress(T, [&](std::size_t from, std::size_t to) { chain.Encrypt(p + 8 * from, 8 * (to - from)); });
}

template <class Bytes>
void clsBlowfish::DecryptBytes(Bytes& byteArray, std::string_view Key) noexcept {
    const std::size_t T = byteArray.size();
    std::uint8_t* p = byteArray.data();
    try {
        const bf::DecryptChain chain(Keyed(Key));
        bf::ChainValue chaining;
        RunWithProgress(
            T, [&](std::size_t from, std::size_t to) { chain.Decrypt(p + 8 * from, 8 * (to - from), chaining); });
    } catch (...) {
        return;  // no key to schedule and no room for the chain's tables: never passed on
    }
    byteArray.resize(quelvane::frame::Cut(p, T));
}

template void clsBlowfish::EncryptBytes(std::vector<std::uint8_t>&, std::string_view);
template void clsBlowfish::EncryptBytes(quelvane::SecretBytes&, std::string_view);
template void clsBlowfish::DecryptBytes(std::vector<std::uint8_t>&, std::string_view) noexcept;
template void clsBlowfish::DecryptBytes(quelvane::SecretBytes&, std::string_view) noexcept;

void clsBlowfish::EncryptByte(std::vector<std::uint8_t>& byteArray, std::string_view Key) {
    EncryptBytes(byteArray, Key);
}

void clsBlowfish::DecryptByte(std::vector<std::uint8_t>& byteArray, std::string_view Key) noexcept {
    DecryptBytes(byteArray, Key);
}

bool clsBlowfish::SizeDescriptorFits(std::size_t T, std::int64_t N) noexcept {
    return quelvane::frame::SizeDescriptorFits(T, N);
}

std::size_t clsBlowfish::FrameSize(std::size_t N) { return quelvane::frame::FrameSize(N); }

std::int32_t clsBlowfish::SizeDescriptor(const std::uint8_t* frame) noexcept {
    return quelvane::frame::SizeDescriptor(frame);
}

clsBlowfish::FrameEncryptor::FrameEncryptor(clsBlowfish& cipher, std::string_view Key) : chain(cipher.Keyed(Key)) {}

clsBlowfish::FrameEncryptor::~FrameEncryptor() = default;

void clsBlowfish::FrameEncryptor::Header(std::uint8_t* frame, std::uint32_t N) {
    const std::uint32_t R1 = quelvane::frame::RandomWord();
    quelvane::frame::WriteHeader(frame, N, R1, quelvane::frame::RandomWord());
}

void clsBlowfish::FrameEncryptor::Header(std::uint8_t* frame, std::uint32_t N, std::uint32_t R1,
                                         std::uint32_t R2) noexcept {
    quelvane::frame::WriteHeader(frame, N, R1, R2);
}

void clsBlowfish::FrameEncryptor::Encrypt(std::uint8_t* data, std::size_t Size) noexcept { chain.Encrypt(data, Size); }

clsBlowfish::ChainDecryptor::ChainDecryptor(clsBlowfish& cipher, std::string_view Key) : chain(cipher.Keyed(Key)) {}

clsBlowfish::ChainDecryptor::~ChainDecryptor() = default;

void clsBlowfish::ChainDecryptor::Decrypt(std::uint8_t* data, std::size_t Size,
                                          const std::uint8_t* Previous) const noexcept {
    bf::ChainValue chaining;
    if (Previous) {
        chaining.Left = GetWord(Previous, 0);
        chaining.Right = GetWord(Previous, 4);
    }
    chain.Decrypt(data, Size, chaining);
}
