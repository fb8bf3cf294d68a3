// SPDX-License-Identifier: MIT
// Byte text, hex text and the string operations.
#include <gtest/gtest.h>

#include <random>

#include "cipher/ByteText.h"
#include "cipher/HexText.h"
#include "tests/cipher/Probe.h"

namespace bt = quelvane::bytetext;
namespace hx = quelvane::hextext;

TEST(ByteText, EveryByteSurvivesTheTripThroughItsCharacter) {
    for (int b = 0; b < 256; ++b) {
        const char16_t ch = bt::ToChar(static_cast<std::uint8_t>(b));
        ASSERT_EQ(bt::ToByte(ch), static_cast<std::uint8_t>(b)) << b;
    }
    EXPECT_EQ(bt::ToChar(0x80), u'\u20AC');
    EXPECT_EQ(bt::ToChar(0x9F), u'\u0178');
    EXPECT_EQ(bt::ToChar(0xFE), u'\u00FE');  // the end marker
    for (std::uint8_t undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(bt::ToChar(undefined), char16_t{undefined});
}

TEST(ByteText, CharactersOutsideTheCodePageAreReported) {
    EXPECT_FALSE(bt::ToByte(0x0080).has_value());  // C1 control whose byte is the euro sign
    EXPECT_FALSE(bt::ToByte(0x0100).has_value());
    EXPECT_FALSE(bt::ToByte(0x20AD).has_value());
    EXPECT_FALSE(bt::ToByte(0x1F600).has_value());

    std::string out;
    EXPECT_EQ(bt::FromUtf16(u"caf\u00E9 \u20AC5", out), bt::npos);
    EXPECT_EQ(out,
              "caf\xE9 \x80"
              "5");
    EXPECT_EQ(bt::FromUtf16(u"ab\u0101c", out), 2u);
    EXPECT_EQ(bt::FromUtf16(u"x\xD83D\xDE00", out), 1u);  // a surrogate pair has no byte
    EXPECT_EQ(bt::ToUtf16("\x80\xFE"), u"\u20AC\u00FE");
}

TEST(HexText, UpperCasePairsOut) {
    EXPECT_EQ(hx::Encode(std::string("\x0A\xFF\x00", 3)), "0AFF00");
    EXPECT_EQ(hx::Encode(std::string("\x00\x0A\xFF", 3)), "000AFF");
    EXPECT_EQ(hx::Encode(""), "");
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(hx::Decode(hx::Encode(all)), all);
}

TEST(HexText, EveryLengthAndOffsetAcrossTheChunkEdges) {
    // Whole chunks and the bytes after them, from unaligned starts.
    std::string bytes(300, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 37 + 11);
    const char* digits = "0123456789ABCDEF";
    for (std::size_t from = 0; from < 3; ++from) {
        for (std::size_t n = 0; n + from <= bytes.size(); ++n) {
            std::string expected;
            for (std::size_t i = from; i < from + n; ++i) {
                expected.push_back(digits[static_cast<unsigned char>(bytes[i]) >> 4]);
                expected.push_back(digits[static_cast<unsigned char>(bytes[i]) & 15]);
            }
            ASSERT_EQ(hx::Encode(std::string_view(bytes).substr(from, n)), expected) << from << " " << n;
        }
    }
}

TEST(HexText, PairRuleIn) {
    EXPECT_EQ(hx::Decode("0aff00"), std::string("\x0A\xFF\x00", 3));
    EXPECT_EQ(hx::Decode("4F4f"), "OO");
    EXPECT_EQ(hx::Decode("G1"), std::string(1, '\0'));
    EXPECT_EQ(hx::Decode("1G"), "\x01");
    EXPECT_EQ(hx::Decode("--"), std::string(1, '\0'));
    EXPECT_EQ(hx::Decode("414"), "A\x04");  // a final single digit
    EXPECT_EQ(hx::Decode("41G"), std::string("A\0", 2));
    EXPECT_EQ(hx::Decode(u"4\u00E9\u20AC1"), std::string("\x04\x00", 2));
}

TEST(HexText, BlanksTabsAndLineBreaksAreSkipped) {
    EXPECT_EQ(hx::Decode("41 42\r\n43\t44"), "ABCD");
    EXPECT_EQ(hx::Decode("4 1"), "A");  // a pair split by a blank still pairs
    EXPECT_EQ(hx::Decode(" 41\n"), "A");
    EXPECT_EQ(hx::Decode("4142 4"), "AB\x04");
    EXPECT_EQ(hx::Decode("4 \n"), "\x04");
    EXPECT_EQ(hx::Decode(" \r\n\t"), "");
    EXPECT_EQ(hx::Decode(u"41\u00A042"), std::string("A\0\x02", 3));  // a no-break space is not skipped
}

TEST(Strings, EmptyAndShortTexts) {
    clsBlowfish c;
    const std::string hex = c.EncryptString("", "key", true);
    EXPECT_EQ(hex.size(), 32u);
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    std::string text = hex;
    EXPECT_EQ(c.DecryptString(text, "key", true), "");
    EXPECT_EQ(c.EncryptString("abcde", "key", true).size(), 48u);
}

TEST(Strings, HexInputIsReplacedByItsDecodedForm) {
    clsBlowfish c;
    const std::string raw = c.EncryptString(std::string("nul\0inside", 10), "key");
    EXPECT_EQ(raw.size(), 24u);
    std::string hex = clsBlowfishProbe::ToHex(c, raw);
    std::string lower = hex;
    for (auto& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(c.DecryptString(lower, "key", true), std::string("nul\0inside", 10));
    EXPECT_EQ(lower, raw);
    std::string again = raw;
    EXPECT_EQ(c.DecryptString(again, "key"), std::string("nul\0inside", 10));
    EXPECT_EQ(again, raw);
}

TEST(Strings, PrivateConversionsFollowThePairRule) {
    clsBlowfish c;
    EXPECT_EQ(clsBlowfishProbe::ToHex(c, std::string("\x0A\xFF\x00", 3)), "0AFF00");
    EXPECT_EQ(clsBlowfishProbe::FromHex(c, "0aff00"), std::string("\x0A\xFF\x00", 3));
    EXPECT_EQ(clsBlowfishProbe::FromHex(c, "G11Gf"), std::string("\x00\x01\x0F", 3));
    // Each conversion starts from an empty buffer.
    EXPECT_EQ(clsBlowfishProbe::FromHex(c, "41"), "A");
}

namespace {
// The rule in its plainest form: drop blanks, tabs and line breaks, then read pairs.
std::string PlainDecode(const std::u16string& text) {
    std::u16string kept;
    for (char16_t ch : text)
        if (ch != u' ' && ch != u'\t' && ch != u'\r' && ch != u'\n') kept.push_back(ch);
    auto digit = [](char16_t ch) -> int {
        if (ch >= u'0' && ch <= u'9') return ch - u'0';
        if (ch >= u'A' && ch <= u'F') return ch - u'A' + 10;
        if (ch >= u'a' && ch <= u'f') return ch - u'a' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < kept.size(); i += 2) {
        const int hi = digit(kept[i]);
        const int lo = i + 1 < kept.size() ? digit(kept[i + 1]) : -1;
        out.push_back(static_cast<char>(hi < 0 ? 0 : lo < 0 ? hi : hi * 16 + lo));
    }
    return out;
}
}  // namespace

TEST(HexText, AgreesWithThePlainRuleOnRandomMixtures) {
    std::mt19937 rng(16);
    const std::u16string alphabet = u"0123456789abcdefABCDEFgG \t\r\n-\u00E9\u20AC";
    for (int round = 0; round < 3000; ++round) {
        std::u16string text(rng() % 40, u'0');
        for (auto& ch : text) ch = alphabet[rng() % alphabet.size()];
        const std::string expected = PlainDecode(text);
        ASSERT_EQ(hx::Decode(text), expected);
        std::string narrow;
        bool ascii = true;
        for (char16_t ch : text) {
            ascii = ascii && ch < 0x80;
            narrow.push_back(static_cast<char>(ch));
        }
        if (ascii) {
            ASSERT_EQ(hx::Decode(narrow), expected);
        }
    }
}

// Cut anywhere, between a pair's digits and inside runs of blanks too, and
// long enough for the 32-digit chunks.
TEST(HexText, PiecesDecodeAsTheWholeText) {
    std::mt19937 rng(17);
    const std::u16string alphabet = u"0123456789abcdefABCDEF0123456789ABCDEF \t\r\n-G\u20AC";
    for (int round = 0; round < 3000; ++round) {
        std::u16string text(rng() % 200, u'0');
        for (auto& ch : text) ch = alphabet[rng() % (round % 2 ? alphabet.size() : 22)];
        hx::PairDecoder decoder;
        std::string out(text.size() + 2, '\0');
        std::size_t n = 0;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t size = std::min<std::size_t>(text.size() - at, rng() % 40);
            n += decoder.Put(text.data() + at, size, out.data() + n);
            at += size;
        }
        n += decoder.Finish(out.data() + n);
        out.resize(n);
        ASSERT_EQ(out, PlainDecode(text));
    }
}
