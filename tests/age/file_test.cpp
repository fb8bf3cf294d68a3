// SPDX-License-Identifier: MIT
// Files through the threads: by place to a regular file, in order to a pipe,
// and every decryption failure reported with the file's verified part only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "AgeTest.h"
#include "age/FileCipher.h"
#include "age/Payload.h"

using namespace agetest;
namespace fs = std::filesystem;

namespace {

std::string Slurp(int fd) {
    std::string s;
    char buf[65536];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) s.append(buf, std::size_t(n));
    return s;
}

// Runs f(write end) on a pipe while this thread reads it all.
template <class F>
std::string ThroughPipe(F f, bool* ok) {
    int p[2];
    if (pipe(p) != 0) return {};
    std::thread t([&] {
        *ok = f(p[1]);
        close(p[1]);
    });
    std::string s = Slurp(p[0]);
    t.join();
    close(p[0]);
    return s;
}

class AgeFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("quelvane-agefile-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    int Open(const char* name, int flags) { return open((dir_ / name).c_str(), flags | O_CLOEXEC, 0600); }
    std::string Put(const char* name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return (dir_ / name).string();
    }
    fs::path dir_;
};

}  // namespace

TEST_F(AgeFiles, ByPlaceAndInOrderAlike) {
    // Sizes about the header's first armor lines, and several buffers' worth.
    for (std::size_t size : {std::size_t(0), std::size_t(20), std::size_t(3 << 20) + 7}) {
        const std::string plain = RandomText(size, unsigned(size));
        Put("plain", plain);
        for (bool armor : {true, false}) {
            Error error;
            int in = Open("plain", O_RDONLY), out = Open("placed", O_RDWR | O_CREAT | O_TRUNC);
            ASSERT_TRUE(EncryptFile(in, out, {armor, 1}, "pw", &error)) << error.message;
            EXPECT_EQ(lseek(out, 0, SEEK_CUR), lseek(out, 0, SEEK_END));
            close(in);
            close(out);
            in = Open("plain", O_RDONLY);
            bool ok = false;
            const std::string inOrder = ThroughPipe(
                [&](int fd) {
                    return EncryptFile(in, fd, {armor, 1}, "pw", &error);
                },
                &ok);
            close(in);
            ASSERT_TRUE(ok) << error.message;
            std::ifstream placed(dir_ / "placed", std::ios::binary);
            std::stringstream text;
            text << placed.rdbuf();
            EXPECT_EQ(text.str().size(), inOrder.size()) << size;
            for (const std::string& file : {text.str(), inOrder}) {
                Put("placed", file);
                in = Open("placed", O_RDONLY);
                std::uint64_t got = 0;
                DecryptRun run;
                run.plaintextSize = &got;
                const std::string back =
                    ThroughPipe([&](int fd) { return DecryptFile(in, fd, "pw", &error, run); }, &ok);
                close(in);
                EXPECT_TRUE(ok) << size << " " << armor << ": " << error.message;
                EXPECT_TRUE(back == plain) << size << " armor " << armor;
                EXPECT_EQ(got, size);
            }
        }
    }
}

TEST_F(AgeFiles, VerifiedFirstAndProgress) {
    const std::string plain = RandomText(3 << 20);
    Put("good", Encrypt(plain, "pw", true));
    int in = Open("good", O_RDONLY);
    Error error;
    bool ok = false;
    std::uint64_t last = 0, total = 0;
    DecryptRun run;
    run.verifyFirst = true;
    run.progress = [&](std::uint64_t done, std::uint64_t all) {
        EXPECT_GT(done, last);
        last = done;
        total = all;
        return true;
    };
    EXPECT_TRUE(ThroughPipe([&](int fd) { return DecryptFile(in, fd, "pw", &error, run); }, &ok) == plain);
    EXPECT_TRUE(ok) << error.message;
    EXPECT_EQ(last, total);  // both passes counted
    EXPECT_EQ(total, 2 * fs::file_size(dir_ / "good"));
    lseek(in, 0, SEEK_SET);
    run.progress = [](std::uint64_t done, std::uint64_t) { return done < (2 << 20); };
    EXPECT_FALSE(DecryptFile(in, -1, "pw", &error, run));
    EXPECT_EQ(error.kind, ErrorKind::Cancelled);
    close(in);
}

TEST_F(AgeFiles, FailuresKeepToVerifiedChunks) {
    const std::string plain = RandomText(3 * kChunkSize);
    std::string file = Encrypt(plain, "pw", false);
    file[file.size() - kChunkSize] ^= 1;  // in the last chunk
    Put("bad", file);
    int in = Open("bad", O_RDONLY);
    Error error;
    bool ok = true;
    const std::string out = ThroughPipe([&](int fd) { return DecryptFile(in, fd, "pw", &error); }, &ok);
    close(in);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error.kind, ErrorKind::Damaged);
    EXPECT_TRUE(plain.starts_with(out));
    EXPECT_LE(out.size(), 2 * kChunkSize);
    in = Open("bad", O_RDONLY);
    EXPECT_FALSE(DecryptFile(in, -1, "pw", &error));  // verify only
    close(in);
    // Verified first: the output sees nothing of a bad file.
    in = Open("bad", O_RDONLY);
    DecryptRun first;
    first.verifyFirst = true;
    EXPECT_EQ(ThroughPipe([&](int fd) { return DecryptFile(in, fd, "pw", &error, first); }, &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(error.kind, ErrorKind::Damaged);
    close(in);
    // The armor is read on the reading thread; its faults come out the same.
    Put("bad", Encrypt(plain, "pw", true) + "trailing");
    in = Open("bad", O_RDONLY);
    EXPECT_FALSE(DecryptFile(in, -1, "pw", &error));
    EXPECT_EQ(error.kind, ErrorKind::Malformed) << error.message;
    close(in);
    Put("bad", Encrypt(plain, "pw", true).substr(0, 5000));
    in = Open("bad", O_RDONLY);
    EXPECT_FALSE(DecryptFile(in, -1, "pw", &error));
    EXPECT_EQ(error.kind, ErrorKind::Damaged) << error.message;
    close(in);
    Put("bad", Encrypt(plain, "pw", true));
    in = Open("bad", O_RDONLY);
    EXPECT_FALSE(DecryptFile(in, -1, "wrong", &error));
    EXPECT_EQ(error.kind, ErrorKind::NoStanzaOpens);
    close(in);
}

TEST_F(AgeFiles, RoomTakenAheadIsGivenBack) {
    // The output's room is taken before the key is known; whatever the
    // outcome, nothing stays taken past the bytes written.
    const std::string plain = RandomText(3 << 20);
    const std::pair<std::string, const char*> cases[] = {{Encrypt(plain, "pw", false), "pw"},
                                                         {Encrypt(plain, "pw", false), "wrong"},
                                                         {Encrypt(plain, "pw", true).substr(0, 2 << 20), "pw"}};
    for (const auto& [file, password] : cases) {
        Put("in", file);
        const int in = Open("in", O_RDONLY), out = Open("out", O_RDWR | O_CREAT | O_TRUNC);
        Error error;
        const bool ok = DecryptFile(in, out, password, &error);
        struct stat st {};
        ASSERT_EQ(fstat(out, &st), 0);
        close(in);
        close(out);
        EXPECT_EQ(ok, std::uint64_t(st.st_size) == plain.size()) << error.message;  // all, or a part only
        EXPECT_LE(std::uint64_t(st.st_blocks) * 512, std::uint64_t(st.st_size) + 64 * 1024) << password;
    }
}
