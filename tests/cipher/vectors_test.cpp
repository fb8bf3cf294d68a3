// SPDX-License-Identifier: MIT
// Vectors from the separate reference implementation in tools/.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/cipher/Probe.h"

namespace {

struct Line {
    std::string kind;
    std::vector<std::string> fields;
};

std::vector<Line> ReadVectors() {
    std::ifstream in(QUELVANE_TEST_DATA "/cipher.vec");
    std::vector<Line> lines;
    std::string text;
    while (std::getline(in, text)) {
        if (text.empty() || text[0] == '#') continue;
        std::istringstream fields(text);
        Line line;
        fields >> line.kind;
        for (std::string f; fields >> f;)
            if (f != "->") line.fields.push_back(f);
        lines.push_back(line);
    }
    return lines;
}

std::string KeyOf(const std::string& hex) {
    if (hex == "-") return {};
    const auto bytes = testutil::FromHex(hex);
    return {bytes.begin(), bytes.end()};
}

std::uint32_t Word(const std::string& hex) { return static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16)); }

}  // namespace

TEST(Vectors, BlocksUnderManyKeys) {
    int count = 0;
    for (const auto& v : ReadVectors()) {
        if (v.kind != "block") continue;
        clsBlowfish c;
        if (const auto key = KeyOf(v.fields[0]); !key.empty()) c.Key(key);
        std::uint32_t l = Word(v.fields[1]), r = Word(v.fields[2]);
        clsBlowfishProbe::Encrypt(c, l, r);
        EXPECT_EQ(l, Word(v.fields[3])) << "key " << v.fields[0];
        EXPECT_EQ(r, Word(v.fields[4])) << "key " << v.fields[0];
        ++count;
    }
    EXPECT_GT(count, 100);
}

TEST(Vectors, FramedCiphertextsDecrypt) {
    int count = 0;
    for (const auto& v : ReadVectors()) {
        if (v.kind != "frame") continue;
        clsBlowfish c;
        auto data = testutil::FromHex(v.fields[2]);
        c.DecryptByte(data, KeyOf(v.fields[0]));
        const auto expected = v.fields[1] == "-" ? std::vector<std::uint8_t>{} : testutil::FromHex(v.fields[1]);
        EXPECT_EQ(data, expected) << "key " << v.fields[0];
        ++count;
    }
    EXPECT_GT(count, 200);
}
