// SPDX-License-Identifier: MIT
// Whole files through the encryptor and decryptor: every chunk boundary,
// every piece size, and each part of a file changed, cut or extended.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "AgeTest.h"
#include "age/Payload.h"

using namespace agetest;

namespace {
constexpr std::size_t K = kChunkSize;
}

TEST(AgeStream, RoundTripsAcrossChunkBoundaries) {
    for (std::size_t size : {std::size_t(0), std::size_t(1), K - 1, K, K + 1, 2 * K}) {
        const std::string plain = RandomText(size, unsigned(size));
        for (bool armor : {false, true}) {
            for (std::size_t piece : {std::size_t(1) << 20, std::size_t(4093), std::size_t(0)}) {
                // Piece 0: the whole at once to the positional sink.
                const std::string file = piece ? Encrypt(plain, "pässwörd", armor, piece)
                                               : Encrypt(plain, "pässwörd", armor, plain.size() + 1, 1, true);
                const std::size_t chunks = size ? (size + K - 1) / K : 1;
                if (!armor) {
                    const std::size_t header = file.find("\n--- ") + 5 + 43 + 1;
                    EXPECT_EQ(file.size(), header + 16 + size + 16 * chunks) << size;
                } else {
                    EXPECT_TRUE(file.starts_with("-----BEGIN AGE ENCRYPTED FILE-----\n"));
                    EXPECT_TRUE(file.ends_with("\n-----END AGE ENCRYPTED FILE-----\n"));
                }
                for (std::size_t readPiece : {std::size_t(1) << 20, std::size_t(K + 16), std::size_t(999)}) {
                    Opened r = Decrypt(file, "pässwörd", readPiece);
                    ASSERT_TRUE(r.ok) << size << " " << armor << ": " << r.error.message;
                    EXPECT_TRUE(r.plain == plain) << size << " armor " << armor;
                }
            }
        }
    }
}

TEST(AgeStream, FreshKeysEachFile) {
    const std::string a = Encrypt("same", "p", false), b = Encrypt("same", "p", false);
    EXPECT_NE(a.substr(0, a.find('\n', 23)), b.substr(0, b.find('\n', 23)));  // salt
    EXPECT_NE(a.substr(a.size() - 20), b.substr(b.size() - 20));  // payload
}

TEST(AgeStream, EveryPartGuarded) {
    const std::string plain = RandomText(2 * K + 100);
    const std::string file = Encrypt(plain, "pw", false);
    const std::size_t macLine = file.find("\n--- ") + 1;
    const std::size_t payload = file.find('\n', macLine) + 1;
    const std::size_t chunk2 = payload + 16 + K + 16;
    struct Case {
        const char* part;
        std::size_t at;
        ErrorKind kind;
    } flips[] = {
        {"version line", 3, ErrorKind::Malformed},
        {"stanza type", 25, ErrorKind::NoStanzaOpens},
        {"salt", 33, ErrorKind::NoStanzaOpens},
        {"work factor", file.find(" 1\n") + 1, ErrorKind::Malformed},  // 1 becomes A
        {"stanza body", file.find(" 1\n") + 10, ErrorKind::NoStanzaOpens},
        {"MAC", macLine + 10, ErrorKind::Damaged},
        {"payload nonce", payload + 3, ErrorKind::Damaged},
        {"first chunk", payload + 16 + 100, ErrorKind::Damaged},
        {"first chunk's tag", payload + 16 + K + 5, ErrorKind::Damaged},
        {"second chunk", chunk2 + 7, ErrorKind::Damaged},
        {"last chunk", file.size() - 30, ErrorKind::Damaged},
        {"last tag", file.size() - 1, ErrorKind::Damaged},
    };
    for (const Case& c : flips) {
        std::string changed = file;
        // Base64 stays base64, so the check behind the encoding is what refuses.
        if (c.at < payload && std::isalnum(static_cast<unsigned char>(changed[c.at])))
            changed[c.at] = changed[c.at] == 'A' ? 'B' : 'A';
        else
            changed[c.at] ^= 0x04;
        Opened r = Decrypt(changed, "pw");
        EXPECT_FALSE(r.ok) << c.part;
        EXPECT_EQ(r.error.kind, c.kind) << c.part << ": " << r.error.message;
        // Nothing of a chunk before its tag checked out: whole verified chunks at most.
        EXPECT_EQ(r.plain.size() % K, 0u) << c.part;
        EXPECT_TRUE(plain.starts_with(r.plain)) << c.part;
    }
    struct Cut {
        const char* what;
        std::string bytes;
        const char* says;
    } cuts[] = {
        {"at a chunk boundary", file.substr(0, chunk2), "last chunk is missing"},
        {"after the nonce", file.substr(0, payload + 16), "cut off"},
        {"inside the header", file.substr(0, macLine + 4), "cut off"},
        {"inside the last chunk", file.substr(0, file.size() - 1), "failed its check"},
        {"with a byte more", file + "x", "failed its check"},
        {"empty", "", "empty"},
    };
    for (const Cut& c : cuts) {
        Opened r = Decrypt(c.bytes, "pw");
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_NE(r.error.message.find(c.says), std::string::npos) << c.what << ": " << r.error.message;
    }
    Opened wrong = Decrypt(file, "pW");
    EXPECT_EQ(wrong.error.kind, ErrorKind::NoStanzaOpens);
    EXPECT_TRUE(wrong.plain.empty());
}

TEST(AgeStream, FullLastChunkMustBeLast) {
    // Two full chunks and a trailing chunk that could pass for the last.
    const std::string file = Encrypt(RandomText(2 * K), "pw", false);
    const std::size_t payload = file.find('\n', file.find("\n--- ") + 1) + 1;
    Opened r = Decrypt(file.substr(0, payload + 16 + K + 16), "pw");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.message.find("last chunk is missing"), std::string::npos) << r.error.message;
    r = Decrypt(file + file.substr(payload + 16, 40), "pw");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.message.find("data follows its last chunk"), std::string::npos) << r.error.message;
    EXPECT_EQ(r.plain.size(), K);  // the first chunk, never the last
}

TEST(AgeStream, VerifyOnlyReleasesNothing) {
    const std::string file = Encrypt(RandomText(K + 5), "pw", true);
    Decryptor d("pw", nullptr);
    Error error;
    ASSERT_TRUE(d.Write(U(file), file.size(), &error) && d.Finish(&error)) << error.message;
    EXPECT_TRUE(d.armored());
    EXPECT_EQ(d.plaintextSize(), K + 5);
    std::string changed = file;
    changed[changed.size() / 2] = changed[changed.size() / 2] == 'A' ? 'B' : 'A';
    Decryptor e("pw", nullptr);
    EXPECT_FALSE(e.Write(U(changed), changed.size(), &error) && e.Finish(&error));
    EXPECT_EQ(error.kind, ErrorKind::Damaged);
}

TEST(AgeStream, ARefusedChunkLeavesNothingInTheSinksRoom) {
    // A changed second chunk; a file cut before its last chunk, whose chunk
    // left opens only as not the last.
    std::string changed = Encrypt(RandomText(3 * K), "pw", false);
    changed[changed.size() - K - 100] ^= 1;
    const std::string cut = Encrypt(RandomText(2 * K), "pw", false);
    const std::pair<std::string, std::size_t> cases[] = {{changed, K}, {cut.substr(0, cut.size() - K - 16), 0}};
    for (const auto& [file, released] : cases) {
        std::vector<std::uint8_t> room(K);
        std::size_t got = 0;
        Decryptor d("pw", [&](const std::uint8_t*, std::size_t n) { return (got += n), true; });
        d.UseRoom([&](std::uint64_t, std::size_t) { return room.data(); });
        Error error;
        EXPECT_FALSE(d.Write(U(file), file.size(), &error) && d.Finish(&error));
        EXPECT_EQ(got, released);
        EXPECT_EQ(std::count(room.begin(), room.end(), 0), std::ptrdiff_t(K));
    }
}
