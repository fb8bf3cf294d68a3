// SPDX-License-Identifier: MIT
// Whole-file encryption on real files in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "cipher/clsBlowfish.h"

namespace fs = std::filesystem;

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("quelvane-cipher-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path Write(const std::string& name, const std::string& content) const {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }

    fs::path dir;
    clsBlowfish c;
};

}  // namespace

TEST_F(Files, FiveBytesMakeTwentyFourAndComeBack) {
    const auto in = Write("plain", "hello"), enc = dir / "enc", dec = dir / "dec";
    ASSERT_TRUE(c.EncryptFile(in, enc, false, "pw"));
    EXPECT_EQ(fs::file_size(enc), 24u);
    const std::string first = Read(enc);
    ASSERT_TRUE(c.EncryptFile(in, enc, true, "pw"));
    EXPECT_NE(Read(enc), first);  // a new random first block
    ASSERT_TRUE(c.DecryptFile(enc, dec, false, "pw"));
    EXPECT_EQ(Read(dec), "hello");
    EXPECT_EQ(Entries(), 3u);  // no stray temporary files
}

TEST_F(Files, ExistingOutputWithoutOverwriteIsLeftAlone) {
    const auto in = Write("plain", "hello"), out = Write("out", "keep me");
    EXPECT_FALSE(c.EncryptFile(in, out, false, "pw"));
    EXPECT_FALSE(c.DecryptFile(in, out, false, "pw"));
    EXPECT_FALSE(c.EncryptFile(dir / "missing", out, false, "pw"));
    EXPECT_EQ(Read(out), "keep me");
}

TEST_F(Files, OverwriteReplacesALongerFileExactly) {
    const auto in = Write("plain", "abc"), out = Write("out", std::string(1000, 'x'));
    ASSERT_TRUE(c.EncryptFile(in, out, true, "pw"));
    EXPECT_EQ(fs::file_size(out), 16u);
    const auto longer = Write("longer", std::string(1000, 'y'));
    ASSERT_TRUE(c.DecryptFile(out, longer, true, "pw"));
    EXPECT_EQ(Read(longer), "abc");
}

TEST_F(Files, SamePathForInputAndOutput) {
    const auto p = Write("both", "in place");
    ASSERT_TRUE(c.EncryptFile(p, p, true, "pw"));
    EXPECT_EQ(fs::file_size(p), 24u);
    ASSERT_TRUE(c.DecryptFile(p, p, true, "pw"));
    EXPECT_EQ(Read(p), "in place");
}

TEST_F(Files, WrongKeyStillWritesTheWholeDecryptedFrame) {
    const auto in = Write("plain", "hello"), enc = dir / "enc", dec = dir / "dec";
    ASSERT_TRUE(c.EncryptFile(in, enc, false, "right"));
    clsBlowfish other;
    ASSERT_TRUE(other.DecryptFile(enc, dec, false, "wrong"));
    EXPECT_EQ(fs::file_size(dec), 24u);
    EXPECT_EQ(Read(dec).find("hello"), std::string::npos);
}

TEST_F(Files, FailuresLeaveNothingBehind) {
    const auto empty = Write("empty", ""), plain = Write("plain", "data");
    EXPECT_FALSE(c.EncryptFile(empty, dir / "out", true, "pw"));
    EXPECT_FALSE(c.DecryptFile(empty, dir / "out", true, "pw"));
    EXPECT_FALSE(fs::exists(dir / "out"));

    fs::create_directory(dir / "folder");
    EXPECT_FALSE(c.EncryptFile(dir / "folder", dir / "out", true, "pw"));
    EXPECT_FALSE(c.EncryptFile(plain, dir / "folder", true, "pw"));
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_FALSE(c.EncryptFile(plain, dir / "no" / "such" / "dir", true, "pw"));
    EXPECT_FALSE(c.EncryptFile(plain, plain / "child", true, "pw"));  // a file as folder
    EXPECT_EQ(Entries(), 3u);  // empty, plain, folder: no temporary leftovers
    EXPECT_EQ(Read(plain), "data");
}

TEST_F(Files, ProgressComesFromTheByteOperation) {
    const auto in = Write("plain", std::string(100000, 'p'));
    std::vector<std::int32_t> events;
    c.OnProgress([&](std::int32_t p) { events.push_back(p); });
    ASSERT_TRUE(c.EncryptFile(in, dir / "enc", false, "pw"));
    ASSERT_EQ(events.size(), 100u);
    EXPECT_EQ(events.front(), 0);
    EXPECT_EQ(events.back(), 99);
}
