// SPDX-License-Identifier: MIT
// The framed CBC in pieces against the whole-array operations and the
// reference vectors: the same bytes, however the data is cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "tests/cipher/Probe.h"

namespace {

using testutil::Bytes;
using testutil::FromHex;
using Vector = std::vector<std::uint8_t>;

struct Frame {
    std::string key;
    Vector plain, cipher;
};

std::vector<Frame> Frames() {
    std::ifstream in(QUELVANE_TEST_DATA "/cipher.vec");
    std::vector<Frame> frames;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string kind, key, plain, cipher;
        if (!(fields >> kind >> key >> plain >> cipher) || kind != "frame") continue;
        const Vector k = key == "-" ? Vector{} : FromHex(key);
        frames.push_back({{k.begin(), k.end()}, plain == "-" ? Vector{} : FromHex(plain), FromHex(cipher)});
    }
    return frames;
}

// Random cuts of size bytes into runs of whole blocks.
std::vector<std::size_t> Cuts(std::size_t size, std::mt19937& random) {
    std::vector<std::size_t> cuts{0};
    while (cuts.back() < size) cuts.push_back(std::min(size, cuts.back() + 8 * (random() % 5)));
    return cuts;
}

// The R1 and R2 a frame was made with: its first block decrypted.
std::pair<std::uint32_t, std::uint32_t> FrameWords(const clsBlowfish& c, const Vector& cipher) {
    std::uint32_t l = testutil::BigEndian(cipher, 0), r = testutil::BigEndian(cipher, 4);
    clsBlowfishProbe::Decrypt(c, l, r);
    const auto le = [](std::uint32_t v) { return __builtin_bswap32(v); };  // the frame's words are little-endian
    return {le(l), le(r)};
}

Vector EncryptInPieces(clsBlowfish& c, const Vector& payload, std::uint32_t r1, std::uint32_t r2,
                       std::mt19937& random) {
    Vector frame(clsBlowfish::FrameSize(payload.size()));
    clsBlowfish::FrameEncryptor::Header(frame.data(), static_cast<std::uint32_t>(payload.size()), r1, r2);
    std::copy(payload.begin(), payload.end(), frame.begin() + 12);
    clsBlowfish::FrameEncryptor encryptor(c);
    const auto cuts = Cuts(frame.size(), random);
    for (std::size_t i = 1; i < cuts.size(); ++i) encryptor.Encrypt(frame.data() + cuts[i - 1], cuts[i] - cuts[i - 1]);
    return frame;
}

// Runs decrypted in a random order, each given the ciphertext block before it.
Vector DecryptInPieces(const clsBlowfish::ChainDecryptor& decryptor, const Vector& cipher, std::mt19937& random) {
    Vector plain = cipher;
    const std::size_t whole = cipher.size() / 8 * 8;
    const auto cuts = Cuts(whole, random);
    std::vector<std::size_t> order(cuts.size() - 1);
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), random);
    for (const std::size_t i : order)
        decryptor.Decrypt(plain.data() + cuts[i], cuts[i + 1] - cuts[i],
                          cuts[i] ? cipher.data() + cuts[i] - 8 : nullptr);
    return plain;
}

TEST(Stream, DecryptsAndReEncryptsTheVectors) {
    std::mt19937 random(11);
    int reEncrypted = 0;
    for (const Frame& f : Frames()) {
        clsBlowfish c;
        const clsBlowfish::ChainDecryptor decryptor(c, f.key);
        const Vector frame = DecryptInPieces(decryptor, f.cipher, random);
        const std::size_t T = f.cipher.size();
        const bool cut =
            T % 8 == 0 && T >= 12 && clsBlowfish::SizeDescriptorFits(T, clsBlowfish::SizeDescriptor(frame.data()));
        if (!cut) {
            EXPECT_EQ(frame, f.plain) << "left whole, key " << f.key.size();  // as DecryptByte leaves it
            continue;
        }
        const std::size_t N = static_cast<std::size_t>(clsBlowfish::SizeDescriptor(frame.data()));
        ASSERT_EQ(Vector(frame.begin() + 12, frame.begin() + 12 + N), f.plain);
        if (std::any_of(frame.begin() + 12 + N, frame.end(), [](std::uint8_t b) { return b != 0; })) continue;
        const auto [r1, r2] = FrameWords(c, f.cipher);
        EXPECT_EQ(EncryptInPieces(c, f.plain, r1, r2, random), f.cipher);
        ++reEncrypted;
    }
    EXPECT_GT(reEncrypted, 100);
}

// Sizes around the 8-byte blocks and the 12 frame bytes, under several keys.
TEST(Stream, MakesWhatEncryptByteMakes) {
    std::mt19937 random(5);
    for (const std::string& key :
         {std::string("k"), std::string("correct horse battery staple"), std::string(56, '\xFF')}) {
        for (const std::size_t size : {0, 1, 3, 4, 5, 11, 12, 13, 19, 20, 21, 255, 4096, 65533}) {
            Vector payload(size);
            for (auto& b : payload) b = static_cast<std::uint8_t>(random());
            clsBlowfish c;
            Vector whole = payload;
            c.EncryptByte(whole, key);
            const auto [r1, r2] = FrameWords(c, whole);
            ASSERT_EQ(EncryptInPieces(c, payload, r1, r2, random), whole) << size;
            const clsBlowfish::ChainDecryptor decryptor(c);
            Vector back = whole;
            c.DecryptByte(back);
            const Vector frame = DecryptInPieces(decryptor, whole, random);
            EXPECT_EQ(Vector(frame.begin() + 12, frame.begin() + 12 + static_cast<long>(size)), back) << size;
        }
    }
}

}  // namespace
