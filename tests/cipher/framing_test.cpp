// SPDX-License-Identifier: MIT
// The frame around the data, block chaining and the progress event.
#include <gtest/gtest.h>

#include <random>

#include "tests/cipher/Probe.h"

using testutil::BigEndian;
using testutil::Bytes;
using Bytes_t = std::vector<std::uint8_t>;

namespace {

std::uint32_t LittleEndian(const Bytes_t& a, std::size_t o) {
    return std::uint32_t{a[o]} | std::uint32_t{a[o + 1]} << 8 | std::uint32_t{a[o + 2]} << 16 |
           std::uint32_t{a[o + 3]} << 24;
}

std::vector<std::int32_t> ProgressOf(clsBlowfish& c, Bytes_t& data, bool encrypt) {
    std::vector<std::int32_t> events;
    c.OnProgress([&](std::int32_t p) { events.push_back(p); });
    if (encrypt)
        c.EncryptByte(data);
    else
        c.DecryptByte(data);
    c.OnProgress(nullptr);
    return events;
}

}  // namespace

TEST(Frame, WorkedLayoutOfFiveBytes) {
    clsBlowfish c;
    c.Key("layout");
    Bytes_t data{0xB0, 0xB1, 0xB2, 0xB3, 0xB4};
    const auto events = ProgressOf(c, data, true);
    ASSERT_EQ(data.size(), 24u);
    EXPECT_EQ(events, (std::vector<std::int32_t>{0, 33, 66}));

    const Bytes_t frame = testutil::PlainCbcDecrypt(c, data);
    EXPECT_LE(LittleEndian(frame, 0), 2147483647u);
    EXPECT_LE(LittleEndian(frame, 4), 2147483647u);
    EXPECT_EQ(Bytes_t(frame.begin() + 8, frame.end()),
              (Bytes_t{5, 0, 0, 0, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(BigEndian(frame, 8), 0x05000000u);  // mixed byte order
    EXPECT_EQ(BigEndian(frame, 12), 0xB0B1B2B3u);

    const auto back = ProgressOf(c, data, false);
    EXPECT_EQ(data, (Bytes_t{0xB0, 0xB1, 0xB2, 0xB3, 0xB4}));
    EXPECT_EQ(back, (std::vector<std::int32_t>{0, 33, 66}));
}

TEST(Frame, LengthsAroundTheBlockEdges) {
    clsBlowfish c;
    c.Key("edges");
    for (const auto& [n, t] : std::vector<std::pair<std::size_t, std::size_t>>{
             {0, 16}, {1, 16}, {4, 16}, {5, 24}, {12, 24}, {13, 32}, {20, 32}, {21, 40}}) {
        Bytes_t data(n, 0x5A);
        c.EncryptByte(data);
        EXPECT_EQ(data.size(), t) << n;
        const Bytes_t frame = testutil::PlainCbcDecrypt(c, data);
        EXPECT_EQ(LittleEndian(frame, 8), n);
        for (std::size_t i = 12 + n; i < t; ++i) EXPECT_EQ(frame[i], 0) << "padding at " << i;
        c.DecryptByte(data);
        EXPECT_EQ(data, Bytes_t(n, 0x5A));
    }
}

TEST(Frame, RoundTripsEveryLengthUpTo300UnderManyKeys) {
    std::mt19937 rng(300);
    for (int k = 0; k < 8; ++k) {
        std::string key(1 + rng() % 100, '\0');
        for (auto& ch : key) ch = static_cast<char>(rng());
        clsBlowfish enc, dec;
        for (std::size_t n = 0; n <= 300; ++n) {
            Bytes_t plain(n);
            for (auto& b : plain) b = static_cast<std::uint8_t>(rng());
            Bytes_t data = plain;
            enc.EncryptByte(data, key);
            ASSERT_EQ(data.size() % 8, 0u);
            ASSERT_GE(data.size() - n, 12u);
            ASSERT_LE(data.size() - n, 19u);
            dec.DecryptByte(data, key);
            ASSERT_EQ(data, plain) << "length " << n;
        }
    }
}

TEST(Frame, SameInputTwiceGivesDifferentCiphertexts) {
    clsBlowfish c;
    Bytes_t a = Bytes("same"), b = a;
    c.EncryptByte(a, "k");
    c.EncryptByte(b, "k");
    EXPECT_NE(a, b);
    c.DecryptByte(a);
    c.DecryptByte(b);
    EXPECT_EQ(a, Bytes("same"));
    EXPECT_EQ(b, Bytes("same"));
}

TEST(Frame, EncryptedFramesMatchPlainChaining) {
    // The interleaved decryption and the serial encryption agree with plain
    // one-block CBC for 2 to 11 blocks (so every group remainder is covered).
    clsBlowfish c;
    c.Key("chaining");
    for (std::size_t n = 4; n <= 76; n += 8) {
        Bytes_t data(n, 0x33);
        c.EncryptByte(data);
        const Bytes_t frame = testutil::PlainCbcDecrypt(c, data);
        EXPECT_EQ(testutil::PlainCbcEncrypt(c, frame), data);
        Bytes_t copy = data;
        c.DecryptByte(copy);
        EXPECT_EQ(copy, Bytes_t(frame.begin() + 12, frame.begin() + 12 + static_cast<long>(n)));
    }
}

TEST(Frame, BadFramesAreLeftDecryptedButWhole) {
    clsBlowfish c;
    c.Key("right");
    Bytes_t data = Bytes("some secret text");
    c.EncryptByte(data);
    const Bytes_t cipher = data;

    // Wrong key: the size descriptor is invalid, all T bytes stay.
    clsBlowfish wrong;
    wrong.Key("wrong");
    Bytes_t w = cipher;
    wrong.DecryptByte(w);
    EXPECT_EQ(w, testutil::PlainCbcDecrypt(wrong, cipher));

    // Cut to a length that is not a multiple of 8: full blocks decrypted,
    // the incomplete block untouched, nothing shortened.
    for (std::size_t cut : {1u, 9u, 13u, 20u, 31u}) {
        Bytes_t part(cipher.begin(), cipher.begin() + static_cast<long>(cut));
        c.DecryptByte(part);
        ASSERT_EQ(part.size(), cut);
        Bytes_t expected =
            testutil::PlainCbcDecrypt(c, Bytes_t(cipher.begin(), cipher.begin() + static_cast<long>(cut)));
        EXPECT_EQ(part, expected) << cut;
        for (std::size_t i = cut / 8 * 8; i < cut; ++i) EXPECT_EQ(part[i], cipher[i]);
    }

    // One block: no room for the size descriptor.
    Bytes_t eight(cipher.begin(), cipher.begin() + 8);
    c.DecryptByte(eight);
    EXPECT_EQ(eight.size(), 8u);

    Bytes_t empty;
    c.DecryptByte(empty);
    EXPECT_TRUE(empty.empty());
}

TEST(Frame, NegativeSizeDescriptorIsInvalid) {
    // T = 16 with N = -1 would pass the T - N range test on its own.
    clsBlowfish c;
    c.Key("negative");
    Bytes_t frame(16, 0);
    frame[8] = frame[9] = frame[10] = frame[11] = 0xFF;
    const Bytes_t cipher = testutil::PlainCbcEncrypt(c, frame);
    Bytes_t data = cipher;
    c.DecryptByte(data);
    EXPECT_EQ(data, frame);
}

TEST(Progress, ReportsEveryPercentOnceForLargeArraysAndEveryBlockForSmallOnes) {
    clsBlowfish c;
    c.Key("progress");
    // T = 800: a block per percent, but the next event waits for an offset
    // past (Percent + 1) * 8 + 1, so every second block reports.
    Bytes_t small(100 * 8 - 12);
    auto events = ProgressOf(c, small, true);
    ASSERT_EQ(events.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(events[static_cast<std::size_t>(i)], 2 * i);

    Bytes_t large(100000);
    events = ProgressOf(c, large, true);
    ASSERT_EQ(events.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(events[static_cast<std::size_t>(i)], i);
    events = ProgressOf(c, large, false);
    ASSERT_EQ(events.size(), 100u);
    EXPECT_EQ(events.back(), 99);

    // Fewer than 100 blocks: one event per block, the percentage rounded down.
    Bytes_t sixteen(4);
    EXPECT_EQ(ProgressOf(c, sixteen, true), (std::vector<std::int32_t>{0, 50}));
    Bytes_t seven(7 * 8 - 12);
    EXPECT_EQ(ProgressOf(c, seven, true), (std::vector<std::int32_t>{0, 14, 28, 42, 57, 71, 85}));
}

TEST(Progress, UnevenArraysAndListenersDoNotChangeTheResult) {
    clsBlowfish c;
    c.Key("listener");
    Bytes_t data(5000, 0x42);
    c.EncryptByte(data);
    Bytes_t heard = data, quiet = data;
    int calls = 0;
    c.OnProgress([&](std::int32_t) {
        ++calls;
        throw std::runtime_error("listener fault");
    });
    c.DecryptByte(heard);
    c.OnProgress(nullptr);
    c.DecryptByte(quiet);
    EXPECT_GT(calls, 50);
    EXPECT_EQ(heard, quiet);
    EXPECT_EQ(heard, Bytes_t(5000, 0x42));

    // A cut array reports per full block of its own length.
    Bytes_t cut(data.begin(), data.begin() + 21);
    EXPECT_EQ(ProgressOf(c, cut, false), (std::vector<std::int32_t>{0, 38}));
}
