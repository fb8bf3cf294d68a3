// SPDX-License-Identifier: MIT
// The field reader on the cases the load commands meet, and on arbitrary bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/FieldReader.h"

namespace {

using quelvane::FieldReader;
using Fields = std::vector<std::string>;

// The callers' loop: while not at the end, read a field.
Fields ReadAll(std::string_view bytes) {
    FieldReader reader(bytes);
    Fields out;
    while (!reader.AtEnd()) out.push_back(reader.ReadNextField());
    return out;
}

TEST(FieldReader, LinesCommasAndTheEnd) {
    EXPECT_EQ(ReadAll("first\r\nsecond\r\n"), (Fields{"first", "second"}));
    EXPECT_EQ(ReadAll("first\r\nsecond"), (Fields{"first", "second"}));
    EXPECT_EQ(ReadAll("a,b"), (Fields{"a", "b"}));
    EXPECT_EQ(ReadAll("Hello, world\r\n"), (Fields{"Hello", "world"}));
    EXPECT_EQ(ReadAll("a\r\n\r\nb\r\n"), (Fields{"a", "", "b"}));
    EXPECT_EQ(ReadAll("a,,b"), (Fields{"a", "", "b"}));
    EXPECT_EQ(ReadAll(""), Fields{});
    EXPECT_EQ(ReadAll("\r\n"), (Fields{""}));
    EXPECT_EQ(ReadAll(","), (Fields{""}));
    // A comma at the very end gives no further field, a comma before a line end does.
    EXPECT_EQ(ReadAll("a,"), (Fields{"a"}));
    EXPECT_EQ(ReadAll("a,\r\nb"), (Fields{"a", "", "b"}));
}

TEST(FieldReader, AtEndOnlyOnceEverythingIsConsumed) {
    FieldReader reader("first\r\nsecond\r\n");
    EXPECT_FALSE(reader.AtEnd());
    EXPECT_EQ(reader.ReadNextField(), "first");
    EXPECT_FALSE(reader.AtEnd());
    EXPECT_EQ(reader.ReadNextField(), "second");
    EXPECT_TRUE(reader.AtEnd());
    // Reading past the end is harmless.
    EXPECT_EQ(reader.ReadNextField(), "");
    EXPECT_TRUE(reader.AtEnd());
}

TEST(FieldReader, LoneCrAndLoneLfEndLines) {
    EXPECT_EQ(ReadAll("a\nb\n"), (Fields{"a", "b"}));
    EXPECT_EQ(ReadAll("a\rb\r"), (Fields{"a", "b"}));
    EXPECT_EQ(ReadAll("a\r\rb"), (Fields{"a", "", "b"}));
    EXPECT_EQ(ReadAll("a\n\rb"), (Fields{"a", "", "b"}));  // LF CR is two line ends
    EXPECT_EQ(ReadAll("a\r\n\nb"), (Fields{"a", "", "b"}));
}

TEST(FieldReader, Blanks) {
    EXPECT_EQ(ReadAll("   lead\r\n\t\ttab\r\n \t mixed"), (Fields{"lead", "tab", "mixed"}));
    EXPECT_EQ(ReadAll("a,  b, \tc"), (Fields{"a", "b", "c"}));
    // Inner and trailing blanks stay.
    EXPECT_EQ(ReadAll("one two  \r\nthree\t"), (Fields{"one two  ", "three\t"}));
    // Blanks do not swallow line ends: a line of blanks is an empty field.
    EXPECT_EQ(ReadAll("a\r\n   \r\nb"), (Fields{"a", "", "b"}));
}

TEST(FieldReader, QuotedFields) {
    EXPECT_EQ(ReadAll("\"x,y\""), (Fields{"x,y"}));
    EXPECT_EQ(ReadAll("\"x,y\"\r\nz"), (Fields{"x,y", "z"}));
    EXPECT_EQ(ReadAll("  \"  padded  \",next"), (Fields{"  padded  ", "next"}));
    EXPECT_EQ(ReadAll("\"two\r\nlines\"\r\nafter"), (Fields{"two\r\nlines", "after"}));
    EXPECT_EQ(ReadAll("\"\",\"\""), (Fields{"", ""}));
    // After the closing quote: blanks only are dropped, anything else is kept.
    EXPECT_EQ(ReadAll("\"a\"   ,b"), (Fields{"a", "b"}));
    EXPECT_EQ(ReadAll("\"Hi\" there\r\n"), (Fields{"Hi there"}));
    EXPECT_EQ(ReadAll("\"a\"b\"c\",d"), (Fields{"ab\"c\"", "d"}));
    // The end marker after a quoted last line survives.
    EXPECT_EQ(ReadAll("\"quoted\"\xFE\r\n"), (Fields{"quoted\xFE"}));
}

TEST(FieldReader, QuoteInsideUnquotedFieldIsOrdinary) {
    EXPECT_EQ(ReadAll("say \"hi\", ok"), (Fields{"say \"hi\"", "ok"}));
    EXPECT_EQ(ReadAll("5\" disk\r\n"), (Fields{"5\" disk"}));
}

TEST(FieldReader, UnmatchedQuoteRunsToTheEnd) {
    EXPECT_EQ(ReadAll("a,\"open, never\r\nclosed\r\n"), (Fields{"a", "open, never\r\nclosed"}));
    EXPECT_EQ(ReadAll("\"abc\xFE\r\n"), (Fields{"abc\xFE"}));
    EXPECT_EQ(ReadAll("\""), (Fields{""}));
    EXPECT_EQ(ReadAll("x,\""), (Fields{"x", ""}));
    EXPECT_EQ(ReadAll("\"\n"), (Fields{""}));
}

TEST(FieldReader, NulAndHighBytesAreOrdinary) {
    const std::string bytes("a\0b,\xFF\x80\r\n\0", 9);
    EXPECT_EQ(ReadAll(bytes), (Fields{std::string("a\0b", 3), "\xFF\x80", std::string(1, '\0')}));
}

TEST(FieldReader, HexSplitOverLinesJoinsBack) {
    const std::string hex = "0123456789ABCDEF0011223344556677";
    std::string joined;
    for (const auto& f : ReadAll(hex.substr(0, 10) + "\r\n" + hex.substr(10, 12) + "\r\n" + hex.substr(22) + "\r\n"))
        joined += f;
    EXPECT_EQ(joined, hex);
}

// Arbitrary bytes (a wrong password's output): the loop always ends, every
// field is a piece of the input, and the pieces never outrun it.
TEST(FieldReader, ArbitraryBytesAreReadToTheEnd) {
    std::mt19937 rng(20261207);
    const char alphabet[] = {'"', ',', '\r', '\n', ' ', '\t', '\0', 'a', '\xFE'};
    for (int round = 0; round < 4000; ++round) {
        std::string bytes(rng() % 64, '\0');
        const bool dense = round % 2 == 0;  // half from the special bytes only
        for (auto& b : bytes) b = dense ? alphabet[rng() % sizeof alphabet] : static_cast<char>(rng());
        FieldReader reader(bytes);
        std::size_t fields = 0, total = 0;
        while (!reader.AtEnd()) {
            const std::string f = reader.ReadNextField();
            total += f.size();
            ASSERT_LE(++fields, bytes.size()) << "more fields than bytes";
        }
        EXPECT_LE(total, bytes.size());
    }
}

// Text without quotes, commas or leading blanks on its lines comes back line for line.
TEST(FieldReader, PlainLinesRoundTrip) {
    const Fields lines = {"The quick brown fox", "", "jumps over 12 lazy dogs  ", "\xE9t\xE9", "end\xFE"};
    std::string bytes;
    for (const auto& l : lines) bytes += l + "\r\n";
    EXPECT_EQ(ReadAll(bytes), lines);
}

}  // namespace
