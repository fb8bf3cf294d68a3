// SPDX-License-Identifier: MIT
// Whole-file encryption on real files in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "cipher/clsBlowfish.h"
#include "os/SafeFile.h"

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

#if !defined(_WIN32)

namespace {

mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode;
}

// Sets the umask for one scope.
class Umask {
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }

private:
    mode_t old_;
};

// Runs body in a child process and returns its exit status, or -1 when it
// did not exit normally. The child may change its limits and identity.
int InChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

TEST_F(Files, NonRegularOutputsAreRefusedAndLeftAsTheyWere) {
    const auto in = Write("plain", "hello");

    // A FIFO: held open for reading here, so that opening it for writing
    // would not block but would show up as data.
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    for (const bool overwrite : {true, false}) {
        EXPECT_FALSE(c.EncryptFile(in, fifo, overwrite, "pw"));
        EXPECT_FALSE(c.DecryptFile(in, fifo, overwrite, "pw"));
    }
    char byte;
    EXPECT_LE(::read(reader, &byte, 1), 0);  // nothing was written into it
    ::close(reader);
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));

    // A device: a null device made here when we may, else the system's own
    // (which an unprivileged run cannot replace anyway).
    fs::path device = dir / "null";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) device = "/dev/null";
    struct stat before {};
    ASSERT_EQ(::stat(device.c_str(), &before), 0);
    EXPECT_FALSE(c.EncryptFile(in, device, true, "pw"));
    EXPECT_FALSE(c.DecryptFile(in, device, true, "pw"));
    struct stat after {};
    ASSERT_EQ(::stat(device.c_str(), &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
    EXPECT_EQ(after.st_ino, before.st_ino);

    // Symbolic links, to a file and to nothing: the link stays, its target too.
    const auto target = Write("target", "keep me");
    fs::create_symlink(target, dir / "link");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_FALSE(c.EncryptFile(in, dir / "link", true, "pw"));
    EXPECT_FALSE(c.EncryptFile(in, dir / "dangling", false, "pw"));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(Read(target), "keep me");

    // plain, fifo, target, link, dangling, and the device when made here
    EXPECT_EQ(Entries(), device.parent_path() == dir ? 6u : 5u);
}

TEST_F(Files, NewOutputsAreOwnerOnlyAndReplacedOnesKeepTheirMode) {
    const auto in = Write("plain", "hello");
    for (const mode_t mask : {mode_t{022}, mode_t{0}, mode_t{077}}) {
        const Umask umask(mask);
        fs::remove(dir / "enc");
        fs::remove(dir / "dec");
        ASSERT_TRUE(c.EncryptFile(in, dir / "enc", false, "pw"));
        ASSERT_TRUE(c.DecryptFile(dir / "enc", dir / "dec", false, "pw"));
        EXPECT_EQ(ModeOf(dir / "enc") & 07777, 0600u) << "umask " << mask;
        EXPECT_EQ(ModeOf(dir / "dec") & 07777, 0600u) << "umask " << mask;
    }

    const Umask umask(022);
    for (const mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0664}, mode_t{0400}}) {
        const auto out = Write("out", "old");
        ASSERT_EQ(::chmod(out.c_str(), mode), 0);
        ASSERT_TRUE(c.EncryptFile(in, out, true, "pw"));
        EXPECT_EQ(fs::file_size(out), 24u);
        EXPECT_EQ(ModeOf(out) & 07777, mode);
        ASSERT_TRUE(c.DecryptFile(out, out, true, "pw"));
        EXPECT_EQ(Read(out), "hello");
        EXPECT_EQ(ModeOf(out) & 07777, mode);
        fs::remove(out);
    }
}

TEST_F(Files, ReadOnlyFolderKeepsItsOldOutput) {
    // Root writes anywhere, so the operation runs as nobody then.
    const bool root = ::geteuid() == 0;
    const uid_t nobody = 65534;
    const auto in = Write("plain", "hello");
    const auto folder = dir / "readonly";
    fs::create_directory(folder);
    const auto out = folder / "out";
    std::ofstream(out, std::ios::binary) << "old";
    ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(in.c_str(), 0644), 0);
    ASSERT_EQ(::chmod(out.c_str(), 0644), 0);
    if (root) {
        ASSERT_EQ(::chown(folder.c_str(), nobody, nobody), 0);
        ASSERT_EQ(::chown(out.c_str(), nobody, nobody), 0);
    }
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);

    const int status = InChild([&] {
        if (root && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) return 3;
        clsBlowfish cipher;
        if (cipher.EncryptFile(in, out, true, "pw")) return 1;
        if (cipher.EncryptFile(in, folder / "new", true, "pw")) return 2;
        return 0;
    });
    ::chmod(folder.c_str(), 0755);
    if (status == 3) GTEST_SKIP() << "cannot run as nobody here";
    EXPECT_EQ(status, 0) << "1: the old output was replaced, 2: a new output was made";
    EXPECT_EQ(Read(out), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
}

TEST_F(Files, AWriteThatFailsHalfwayLeavesTheOldOutputWhole) {
    // A file size limit makes the write fail after its first 4 KiB.
    const auto in = Write("plain", std::string(65536, 'p'));
    const auto out = Write("out", "old");
    const int status = InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
        clsBlowfish cipher;
        return cipher.EncryptFile(in, out, true, "pw") || cipher.DecryptFile(in, out, true, "pw") ? 1 : 0;
    });
    ASSERT_NE(status, 3) << "setrlimit failed";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Read(out), "old");
    EXPECT_EQ(Entries(), 2u);  // no half-written temporary file
}

// A large file is flushed in parts while it is written: it is whole once
// committed, gone when abandoned or when a write fails past the first part.
TEST_F(Files, ALargeFileFlushedInPartsIsWholeOrNothing) {
    constexpr std::size_t kPart = 1 << 20, kParts = 40;
    const auto writeAll = [&](quelvane::safefile::AtomicFile& file) {
        std::string part(kPart, '\0');
        for (std::size_t k = 0; k < kParts; ++k) {
            std::fill(part.begin(), part.end(), static_cast<char>('a' + k % 26));
            if (!file.Write(part.data(), part.size())) return false;
        }
        return true;
    };
    quelvane::safefile::AtomicFile kept, dropped;
    ASSERT_TRUE(kept.Open((dir / "kept").string(), quelvane::safefile::Existing::Refuse).ok());
    ASSERT_TRUE(writeAll(kept));
    ASSERT_TRUE(kept.Commit().ok());
    const std::string content = Read(dir / "kept");
    ASSERT_EQ(content.size(), kPart * kParts);
    EXPECT_EQ(content[kPart * 17], 'r');
    EXPECT_EQ(content.back(), 'n');
    ASSERT_TRUE(dropped.Open((dir / "dropped").string(), quelvane::safefile::Existing::Refuse).ok());
    ASSERT_TRUE(writeAll(dropped));
    dropped.Abandon();
    EXPECT_EQ(Entries(), 1u);

    const int status = InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{24 << 20, 24 << 20};  // past the first part flushed
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
        quelvane::safefile::AtomicFile file;
        if (!file.Open((dir / "limited").string(), quelvane::safefile::Existing::Refuse).ok()) return 4;
        return writeAll(file) || file.Commit().ok() ? 1 : 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Entries(), 1u);
}

#endif
