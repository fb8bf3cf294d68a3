// SPDX-License-Identifier: MIT
// Initial tables, single blocks and the key schedule.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "cipher/PiWords.h"
#include "tests/cipher/Probe.h"

using Probe = clsBlowfishProbe;

TEST(InitialTables, PiWordsAndTheirEntryMajorLayout) {
    const auto& w = quelvane::kPiWords;
    EXPECT_EQ(w[0], 0x243F6A88u);
    EXPECT_EQ(w[1], 0x85A308D3u);
    EXPECT_EQ(w[2], 0x13198A2Eu);
    EXPECT_EQ(w[3], 0x03707344u);

    const clsBlowfish c;
    EXPECT_EQ(Probe::P(c, 0), 0x243F6A88u);
    EXPECT_EQ(Probe::P(c, 17), 0x8979FB1Bu);
    EXPECT_EQ(Probe::S(c, 0, 0), 0xD1310BA6u);
    EXPECT_EQ(Probe::S(c, 0, 1), 0xB8E1AFEDu);
    EXPECT_EQ(Probe::S(c, 0, 2), 0x24A19947u);
    EXPECT_EQ(Probe::S(c, 0, 3), 0x636920D8u);
    EXPECT_EQ(Probe::S(c, 1, 0), 0x98DFB5ACu);
    EXPECT_EQ(Probe::S(c, 2, 0), 0x2FFD72DBu);
    EXPECT_EQ(Probe::S(c, 3, 0), 0xD01ADFB7u);
    EXPECT_EQ(Probe::S(c, 0, 255), 0xB74E6132u);
    EXPECT_EQ(Probe::S(c, 3, 255), 0x3AC372E6u);

    // Only four entries sit where the box-major layout would put them.
    int same = 0;
    for (int box = 0; box < 4; ++box)
        for (int e = 0; e < 256; ++e) same += Probe::S(c, box, e) == w[18 + 256 * box + e];
    EXPECT_EQ(same, 4);
    EXPECT_EQ(Probe::S(c, 1, 85), w[18 + 256 + 85]);
    EXPECT_EQ(Probe::S(c, 2, 170), w[18 + 512 + 170]);
}

TEST(Block, UnkeyedZeroBlockAndInverse) {
    const clsBlowfish c;
    std::uint32_t l = 0, r = 0;
    Probe::Encrypt(c, l, r);
    EXPECT_EQ(l, 0xF155B7CFu);
    EXPECT_EQ(r, 0xC1E56C7Bu);
    Probe::Decrypt(c, l, r);
    EXPECT_EQ(l, 0u);
    EXPECT_EQ(r, 0u);
}

TEST(Block, DecryptInvertsEncryptForManyKeysAndBlocks) {
    std::mt19937 rng(7);
    for (int k = 0; k < 20; ++k) {
        clsBlowfish c;
        std::string key(1 + rng() % 80, '\0');
        for (auto& ch : key) ch = static_cast<char>(rng());
        c.Key(key);
        for (int b = 0; b < 50; ++b) {
            const std::uint32_t l0 = rng(), r0 = rng();
            std::uint32_t l = l0, r = r0;
            Probe::Encrypt(c, l, r);
            Probe::Decrypt(c, l, r);
            ASSERT_EQ(l, l0);
            ASSERT_EQ(r, r0);
        }
    }
}

TEST(Block, MonteCarloChainReturnsAfterAThousandRounds) {
    clsBlowfish c;
    c.Key("monte carlo");
    std::uint32_t l = 0x01234567, r = 0x89ABCDEF;
    for (int i = 0; i < 1000; ++i) Probe::Encrypt(c, l, r);
    EXPECT_FALSE(l == 0x01234567u && r == 0x89ABCDEFu);
    for (int i = 0; i < 1000; ++i) Probe::Decrypt(c, l, r);
    EXPECT_EQ(l, 0x01234567u);
    EXPECT_EQ(r, 0x89ABCDEFu);
}

TEST(KeySchedule, OnlyTheFirst72KeyBytesCount) {
    const std::string base(72, 'k');
    clsBlowfish a, b, c;
    a.Key(base);
    b.Key(base + "anything after");
    c.Key(base.substr(0, 71) + "x");
    EXPECT_TRUE(Probe::SameTables(a, b));
    EXPECT_FALSE(Probe::SameTables(a, c));
}

TEST(KeySchedule, OneCharacterFillsEveryKeyPosition) {
    clsBlowfish one, repeated;
    one.Key("Q");
    repeated.Key(std::string(72, 'Q'));
    EXPECT_TRUE(Probe::SameTables(one, repeated));
}

TEST(KeySchedule, LaterKeysReplaceEarlierOnesCompletely) {
    clsBlowfish ab, fresh, again;
    ab.Key("first key");
    ab.Key("second key");
    fresh.Key("second key");
    EXPECT_TRUE(Probe::SameTables(ab, fresh));
    again.Key("second key");
    again.Key("second key");  // same key: nothing changes
    EXPECT_TRUE(Probe::SameTables(again, fresh));
}

TEST(KeySchedule, EmptyKey) {
    clsBlowfish unkeyed;
    unkeyed.Key("");  // nothing held, nothing to do
    EXPECT_TRUE(Probe::SameTables(unkeyed, clsBlowfish{}));

    clsBlowfish keyed, reference;
    keyed.Key("secret");
    reference.Key("secret");
    EXPECT_THROW(keyed.Key(""), std::out_of_range);
    EXPECT_TRUE(Probe::SameTables(keyed, reference));
    // The held key is forgotten, so setting it again schedules the same tables.
    keyed.Key("secret");
    EXPECT_TRUE(Probe::SameTables(keyed, reference));
    // An empty Key argument of the byte operations keeps the tables.
    std::vector<std::uint8_t> data{1, 2, 3};
    keyed.EncryptByte(data);
    reference.DecryptByte(data, "secret");
    EXPECT_EQ(data, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(KeySchedule, OrPackingDiffersFromPlainPackingOnlyWhenBitsAreAdded) {
    // 80 40 20 10 packs as the word 80C0E0F0: the key whose bytes already
    // carry the earlier bits gives the same tables.
    clsBlowfish ored, explicitBits;
    ored.Key(std::string("\x80\x40\x20\x10", 4));
    explicitBits.Key(std::string("\x80\xC0\xE0\xF0", 4));
    EXPECT_TRUE(Probe::SameTables(ored, explicitBits));
    // Bytes that add no bits leave the word as it is.
    clsBlowfish descending, plain;
    descending.Key(std::string("\xF0\x70\x30\x10", 4));
    plain.Key(std::string("\xF0\xF0\xF0\xF0", 4));
    EXPECT_TRUE(Probe::SameTables(descending, plain));
}
