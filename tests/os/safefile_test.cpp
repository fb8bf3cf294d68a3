// SPDX-License-Identifier: MIT
// The one writer of a user's file against what someone sharing the machine
// may have put at the target, before the write and during it; and the
// fresh file a signal finds half written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "os/SafeFile.h"

namespace fs = std::filesystem;
using namespace quelvane::safefile;

namespace {

class SafeFile : public ::testing::Test {
public:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("quelvane-safefile-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(dir / name, std::ios::binary) << content;
    }
    static std::string Read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Names in the folder: no fresh file may stay behind.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static mode_t ModeOf(const std::string& p) {
        struct stat st {};
        return ::lstat(p.c_str(), &st) == 0 ? st.st_mode : 0;
    }

    fs::path dir;
};

// Links, pipes and devices at the target: Files.NonRegularOutputsAreRefusedAndLeftAsTheyWere.
TEST_F(SafeFile, WhatIsAtTheTargetDecides) {
    struct Case {
        const char* name;
        std::function<void(SafeFile&)> plant;  // puts something at "target"
        Existing existing;
        Fault fault;
        std::vector<std::string> names;  // the folder afterwards
    };
    const Case cases[] = {
        {"nothing, a new file", [](SafeFile&) {}, Existing::Refuse, Fault::None, {"target"}},
        {"a file, replaced",
         [](SafeFile& t) { t.Write("target", "old content, longer"); },
         Existing::Replace,
         Fault::None,
         {"target"}},
        {"a file, kept", [](SafeFile& t) { t.Write("target", "old"); }, Existing::Refuse, Fault::Exists, {"target"}},
        {"a folder",
         [](SafeFile& t) { fs::create_directory(t.dir / "target"); },
         Existing::Replace,
         Fault::Folder,
         {"target"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir);
        fs::create_directories(dir);
        c.plant(*this);
        const mode_t before = ModeOf(Path("target"));
        const Status status = WriteFile(Path("target"), "new", 3, c.existing);
        EXPECT_EQ(status.fault, c.fault);
        EXPECT_EQ(Names(), c.names);
        if (c.fault == Fault::None) {
            EXPECT_EQ(Read(Path("target")), "new");
            EXPECT_EQ(ModeOf(Path("target")) & 0777, before ? before & 0777 : 0600);
        } else {
            EXPECT_EQ(status.where, Path("target"));
            EXPECT_EQ(ModeOf(Path("target")), before) << "what was there stays as it was";
        }
    }
}

// What appears at the target while the file is written wins over the write.
TEST_F(SafeFile, WhatAppearsMeanwhileIsNotOverwritten) {
    for (const bool link : {false, true}) {
        SCOPED_TRACE(link ? "a link planted" : "a file made");
        fs::remove_all(dir);
        fs::create_directories(dir);
        if (link) Write("target", "mine");
        AtomicFile file;
        ASSERT_TRUE(file.Open(Path("target"), link ? Existing::Replace : Existing::Refuse).ok());
        ASSERT_TRUE(file.Write("secret", 6));
        if (link) {
            fs::remove(dir / "target");
            fs::create_symlink(dir / "elsewhere", dir / "target");
        } else {
            Write("target", "theirs");
        }
        EXPECT_EQ(file.Commit().fault, link ? Fault::Link : Fault::Exists);
        EXPECT_EQ(Names(), std::vector<std::string>{"target"});
        EXPECT_FALSE(fs::exists(dir / "elsewhere"));
        if (!link) {
            EXPECT_EQ(Read(Path("target")), "theirs");
        }
    }
}

// A signal that ends the process takes the half-written file with it.
TEST_F(SafeFile, ASignalRemovesTheFreshFile) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            cleanup::RemoveOnSignals();
            AtomicFile file;
            if (file.Open(Path("target"), Existing::Refuse).ok() && file.Write("half", 4)) ::raise(signal);
            ::_exit(3);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the usual status for the signal";
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_TRUE(Names().empty()) << Names().front();
    }
}

}  // namespace
