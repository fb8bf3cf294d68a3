// SPDX-License-Identifier: MIT
// The pieces one at a time: base64, the header, the scrypt stanza, the armor.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "AgeTest.h"
#include "age/Armor.h"
#include "age/Base64.h"
#include "age/Detect.h"
#include "age/Header.h"
#include "age/ScryptStanza.h"

using namespace agetest;

TEST(AgeBase64, CanonicalOnly) {
    struct Case {
        const char* text;
        bool raw;  // unpadded, as in the header
        bool ok;
    } cases[] = {
        {"", true, true},       {"QQ", true, true},     {"QUI", true, true},     {"QUJD", true, true},
        {"QR", true, false},    {"QUJ", true, false},   {"Q", true, false},      {"QQ==", true, false},
        {"QU JD", true, false}, {" QUJD", true, false}, {"QUJD\n", true, false}, {"Q=JD", true, false},
        {"QQ==", false, true},  {"QUI=", false, true},  {"QR==", false, false},  {"QUJ=", false, false},
        {"QQ", false, false},   {"Q===", false, false}, {"QQ=A", false, false},  {"=QQQ", false, false},
    };
    for (const Case& c : cases) {
        std::uint8_t out[8];
        std::vector<std::uint8_t> raw;
        const bool ok =
            c.raw ? base64::DecodeRaw(c.text, &raw) : base64::DecodePadded(c.text, std::strlen(c.text), out) >= 0;
        EXPECT_EQ(ok, c.ok) << c.text << (c.raw ? " unpadded" : " padded");
    }
    for (std::size_t n = 0; n < 40; ++n) {
        const std::string bytes = RandomText(n, unsigned(n));
        std::vector<std::uint8_t> back;
        ASSERT_TRUE(base64::DecodeRaw(base64::EncodeRaw(U(bytes), n), &back));
        EXPECT_EQ(std::string(back.begin(), back.end()), bytes);
    }
}

TEST(AgeHeader, MarshalParseRoundTrip) {
    std::vector<Stanza> stanzas{{{"scrypt", "c2FsdHNhbHRzYWx0c2FsdA", "18"}, std::vector<std::uint8_t>(32, 7)},
                                {{"other", "a", "b"}, std::vector<std::uint8_t>(48, 1)},  // exactly one full line
                                {{"empty"}, {}}};
    std::uint8_t mac[32] = {9};
    const std::string text = MarshalHeader(stanzas, mac);
    EXPECT_NE(text.find("\n-> other a b\nAQEB"), std::string::npos);
    EXPECT_NE(text.find("AQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEB\n\n-> empty\n\n---"),
              std::string::npos);
    std::size_t scan = 0;
    EXPECT_EQ(FindHeaderEnd(text + "payload", &scan), long(text.size()));
    Header h;
    Error error;
    ASSERT_TRUE(ParseHeader(text, &h, &error)) << error.message;
    ASSERT_EQ(h.stanzas.size(), 3u);
    EXPECT_EQ(h.stanzas[0].args, stanzas[0].args);
    EXPECT_EQ(h.stanzas[1].body, stanzas[1].body);
    EXPECT_TRUE(h.stanzas[2].body.empty());
    EXPECT_EQ(h.macInput, MarshalHeaderForMac(stanzas));
    EXPECT_EQ(h.mac[0], 9);
}

TEST(AgeHeader, StrictParsing) {
    const std::string mac = " " + std::string(43, 'A') + "\n";
    const std::string body = "8SHBz/ldWnjyGFQqfjat6uNBarWqqEMDS7W8X7+Xq5Q\n";
    const std::string good = "age-encryption.org/v1\n-> scrypt ajMFur+EJLGaohv/dLRGnw 18\n" + body + "---" + mac;
    Header h;
    Error error;
    ASSERT_TRUE(ParseHeader(good, &h, &error)) << error.message;
    const std::string bad[] = {
        "age-encryption.org/v2\n-> x\n\n---" + mac,  // version
        "age-encryption.org/v1\n---" + mac,  // no stanza
        "age-encryption.org/v1\n-> x\n\n--- " + std::string(43, 'B') + "\n",  // MAC not canonical
        "age-encryption.org/v1\n-> x\n\n---" + std::string(44, 'A') + "\n",  // no space
        "age-encryption.org/v1\n->  x\n\n---" + mac,  // empty argument
        "age-encryption.org/v1\n-> x \n\n---" + mac,  // trailing blank
        "age-encryption.org/v1\n-> x\xc3\xa9\n\n---" + mac,  // not ASCII
        "age-encryption.org/v1\n-> x\n" + std::string(64, 'A') + "\n---" + mac,  // no short last line
        "age-encryption.org/v1\n-> x\n" + std::string(65, 'A') + "\n\n---" + mac,  // long line
        "age-encryption.org/v1\r\n-> x\n\n---" + mac,  // CR
        "age-encryption.org/v1\n-> x\nAB\n---" + mac,  // body not canonical
        "age-encryption.org/v1\n-> x\n\n",  // no MAC line
    };
    for (const std::string& text : bad) {
        EXPECT_FALSE(ParseHeader(text, &h, &error)) << text;
        EXPECT_EQ(error.kind, ErrorKind::Malformed) << text;
    }
    std::size_t scan = 0;
    EXPECT_EQ(FindHeaderEnd("age-encryption.org/v1\n-> x\n", &scan), 0);
    scan = 0;
    EXPECT_EQ(FindHeaderEnd("-----BEGIN", &scan), -1);
    scan = 0;
    EXPECT_EQ(FindHeaderEnd("age-encryption.org/v1\n" + std::string(kMaxHeaderSize, 'A'), &scan), -1);
}

TEST(AgeScrypt, StanzaOpensOnlyAlone) {
    FileKey key;
    key.bytes.fill(0x42);
    Stanza s;
    Error error;
    ASSERT_TRUE(MakeScryptStanza("pass", 2, key, &s, &error));
    EXPECT_EQ(s.args[0], "scrypt");
    EXPECT_EQ(s.args[1].size(), 22u);  // 16 bytes
    EXPECT_EQ(s.args[2], "2");
    FileKey out;
    ASSERT_TRUE(OpenScryptStanza({s}, "pass", &out, &error)) << error.message;
    EXPECT_EQ(out.bytes, key.bytes);
    EXPECT_FALSE(OpenScryptStanza({s}, "Pass", &out, &error));
    EXPECT_EQ(error.kind, ErrorKind::NoStanzaOpens);
    EXPECT_FALSE(OpenScryptStanza({s, s}, "pass", &out, &error));
    EXPECT_EQ(error.kind, ErrorKind::Malformed);
    EXPECT_FALSE(OpenScryptStanza({Stanza{{"X25519", "abc"}, {}}}, "pass", &out, &error));
    EXPECT_EQ(error.kind, ErrorKind::NoStanzaOpens);
    struct Case {
        std::vector<std::string> args;
        std::size_t bodySize;
        ErrorKind kind;
    } cases[] = {
        {{"scrypt", s.args[1], "02"}, 32, ErrorKind::Malformed},
        {{"scrypt", s.args[1], "-1"}, 32, ErrorKind::Malformed},
        {{"scrypt", s.args[1]}, 32, ErrorKind::Malformed},
        {{"scrypt", "AAAA", "2"}, 32, ErrorKind::Malformed},
        {{"scrypt", s.args[1], "2"}, 33, ErrorKind::Malformed},
        {{"scrypt", s.args[1], "23"}, 32, ErrorKind::WorkFactorTooHigh},
        {{"scrypt", s.args[1], "99999999999999999999"}, 32, ErrorKind::WorkFactorTooHigh},
    };
    for (const Case& c : cases) {
        Stanza t{c.args, std::vector<std::uint8_t>(c.bodySize)};
        EXPECT_FALSE(OpenScryptStanza({t}, "pass", &out, &error)) << c.args.back();
        EXPECT_EQ(error.kind, c.kind) << c.args.back() << ": " << error.message;
    }
}

// A work factor of 23 would take 8 GiB: refused first, so the process that
// reads such a file stays small.
TEST(AgeScrypt, WorkFactor23RefusedBeforeDeriving) {
    const std::string file = Encrypt("x", "pass", false, 1, 2);
    const std::size_t at = file.find(" 2\n");
    ASSERT_NE(at, std::string::npos);
    const std::string high = file.substr(0, at) + " 23\n" + file.substr(at + 3);
    const pid_t child = fork();
    if (child == 0) {
        Opened r = Decrypt(high, "pass");
        const bool good = !r.ok && r.error.kind == ErrorKind::WorkFactorTooHigh &&
                          r.error.message.find("22") != std::string::npos && r.plain.empty();
        _exit(good ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(usage.ru_maxrss, 64 * 1024);  // KiB
}

TEST(AgeArmor, StrictReading) {
    const std::string binary = RandomText(100);  // two full lines and a short one
    std::string text;
    ArmorWriter w;
    w.Write(U(binary), binary.size(), &text);
    w.Finish(&text);
    const std::size_t first = text.find('\n') + 1, second = first + 65, third = second + 65;
    ASSERT_EQ(text.substr(third - 1, 1), "\n");
    auto read = [](const std::string& t, std::size_t piece, Error* error) {
        ArmorReader r;
        std::string out;
        for (std::size_t at = 0; at < t.size(); at += piece)
            if (!r.Feed(t.data() + at, std::min(piece, t.size() - at), &out, error)) return std::string("refused");
        return r.Finish(&out, error) ? out : std::string("refused");
    };
    Error error;
    for (std::size_t piece : {std::size_t(1), std::size_t(5), std::size_t(4096)})
        EXPECT_EQ(read(text, piece, &error), binary);
    std::string crlf;
    for (char c : text) c == '\n' ? crlf += "\r\n" : crlf += c;
    EXPECT_EQ(read(crlf, 7, &error), binary);
    EXPECT_EQ(read(" \n\t" + text + "\n \n", 3, &error), binary);
    std::string noFinalLf = text.substr(0, text.size() - 1);
    EXPECT_EQ(read(noFinalLf, 9, &error), binary);

    const std::string bad[] = {
        "x" + text,  // before
        text + "x",  // after
        text.substr(0, first) + text.substr(first, 63) + text.substr(first + 64),  // short inner line
        text.substr(0, third) + text.substr(third + 1, 2) + text.substr(third + 3),  // last not whole
        text.substr(0, first - 2) + "X\n" + text.substr(first),  // label
        text.substr(0, first) + "ABC=" + text.substr(first + 4),  // padding inside
        text.substr(0, first) + text.substr(first, 64) + " \n" + text.substr(second),  // blank at an end
        text.substr(0, text.rfind("-----END")),  // cut
        text.substr(0, first) + "-----END AGE ENCRYPTED FILE-----\n",  // empty
    };
    int refused = 0;
    for (const std::string& t : bad) refused += read(t, 11, &error) == "refused";
    EXPECT_EQ(refused, int(std::size(bad)));
    EXPECT_EQ(read(text.substr(0, text.rfind("-----END")), 11, &error), "refused");
    EXPECT_EQ(error.kind, ErrorKind::Damaged);
    std::string canon = text;
    ASSERT_EQ(canon.substr(third + 6, 2), "==");
    canon[third + 5] = 'B';  // a bit set after the last byte
    EXPECT_EQ(read(canon, 64, &error), "refused");
}

TEST(AgeDetect, Forms) {
    EXPECT_EQ(DetectAge("age-encryption.org/v1\n-> scrypt"), AgeForm::Binary);
    EXPECT_EQ(DetectAge("\r\n  -----BEGIN AGE ENCRYPTED FILE-----\n"), AgeForm::Armored);
    EXPECT_EQ(DetectAge("-----BEGIN PGP MESSAGE-----"), AgeForm::None);
    EXPECT_EQ(DetectAge("0A1B2C3D"), AgeForm::None);
    EXPECT_EQ(DetectAge(""), AgeForm::None);
}
