// SPDX-License-Identifier: MIT
// Real age both ways. It reads a passphrase only from a terminal, so it runs
// on a pseudo-terminal that answers its prompts. Skipped without age.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "AgeTest.h"
#include "age/FileCipher.h"
#include "age/Payload.h"

using namespace agetest;
namespace fs = std::filesystem;

namespace {

std::string AgeProgram() {
    for (const char* dir : {"/usr/bin", "/usr/local/bin"})
        if (fs::exists(fs::path(dir) / "age")) return (fs::path(dir) / "age").string();
    return {};
}

// Runs age with args, answering each of its passphrase prompts (up to
// answers of them); its exit status, or -1.
int RunAge(const std::vector<std::string>& args, const std::string& passphrase, int answers) {
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child < 0) return -1;
    if (child == 0) {
        std::vector<char*> argv;
        static std::string program = AgeProgram();
        argv.push_back(program.data());
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    std::string seen;
    int answered = 0;
    while (true) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 60000) <= 0) break;  // a hung age fails the test, not the run
        char buf[512];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;  // EIO once age has closed the terminal
        seen.append(buf, std::size_t(n));
        // A prompt is "...passphrase...:"; answer each once.
        std::size_t at = 0;
        int prompts = 0;
        while ((at = seen.find("passphrase", at)) != std::string::npos) {
            const std::size_t colon = seen.find(':', at);
            if (colon == std::string::npos) break;
            ++prompts;
            at = colon;
        }
        for (; answered < std::min(prompts, answers); ++answered) {
            const std::string line = passphrase + "\n";
            if (write(master, line.data(), line.size()) != ssize_t(line.size())) break;
        }
    }
    close(master);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "age said: %s\n", seen.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

class AgeInterop : public ::testing::Test {
protected:
    void SetUp() override {
        if (AgeProgram().empty()) GTEST_SKIP() << "age is not installed";
        dir_ = fs::temp_directory_path() / ("quelvane-age-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    fs::path dir_;
    // Two chunks and a bit, and a passphrase beyond ASCII as it is typed.
    const std::string plain_ = RandomText(2 * kChunkSize + 3, 11);
    const std::string pass_ = "grüne Brücke 42";
};

}  // namespace

TEST_F(AgeInterop, AgeFilesOpenHere) {
    WriteFile(dir_ / "plain", plain_);
    for (bool armor : {false, true}) {
        const fs::path out = dir_ / (armor ? "a.age" : "b.age");
        std::vector<std::string> args{"-p"};
        if (armor) args.push_back("-a");
        args.insert(args.end(), {"-o", out.string(), (dir_ / "plain").string()});
        ASSERT_EQ(RunAge(args, pass_, 2), 0);
        Opened r = Decrypt(ReadFile(out), pass_);
        ASSERT_TRUE(r.ok) << r.error.message;
        EXPECT_TRUE(r.plain == plain_) << "armor " << armor;
    }
}

TEST_F(AgeInterop, FilesFromHereOpenInAge) {
    for (bool armor : {false, true}) {
        const fs::path in = dir_ / "ours.age", out = dir_ / "back";
        // Armored by place (as files are written), binary in order.
        if (armor) {
            WriteFile(dir_ / "plain", plain_);
            const int from = open((dir_ / "plain").c_str(), O_RDONLY);
            const int to = open(in.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            Error error;
            ASSERT_TRUE(EncryptFile(from, to, {true, 10}, pass_, &error)) << error.message;
            close(from);
            close(to);
        } else {
            WriteFile(in, Encrypt(plain_, pass_, false, 1 << 20, 10));
        }
        ASSERT_EQ(RunAge({"-d", "-o", out.string(), in.string()}, pass_, 1), 0);
        EXPECT_TRUE(ReadFile(out) == plain_) << "armor " << armor;
        fs::remove(out);
    }
}
