// SPDX-License-Identifier: MIT
// ProtectProcessMemory in real processes: afterwards no core file can be
// written and another process of the same user can neither attach nor read
// the memory.
#include <gtest/gtest.h>

#include <QFile>

#include <fcntl.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "system/Platform.h"

namespace {

constexpr uid_t kNobody = 65534;

// As root every check would pass for root's powers: the processes of the
// test become an ordinary user first.
bool BecomeOrdinaryUser() {
    if (::geteuid() != 0) return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

// A process of an ordinary user that protects itself (or not) and then
// waits to be killed. Its exit code tells what went wrong before the wait.
pid_t StartTarget(bool protect) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid != 0) {
        ::close(ready[1]);
        char c = 0;
        const bool ok = pid > 0 && ::read(ready[0], &c, 1) == 1 && c == 'r';
        ::close(ready[0]);
        return ok ? pid : -1;
    }
    ::close(ready[0]);
    // Dumpable as a program the user starts is (changing user cleared it).
    if (!BecomeOrdinaryUser() || ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0) != 0) ::_exit(2);
    if (protect && !quelvane::ProtectProcessMemory(nullptr)) ::_exit(3);
    if (::write(ready[1], "r", 1) != 1) ::_exit(4);
    for (;;) ::pause();
}

// What another process of the same ordinary user can do to the target:
// kReadsMemory | kAttaches, or -1 when the probe itself failed.
constexpr int kReadsMemory = 1, kAttaches = 2;
int ProbeFromSibling(pid_t target) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!BecomeOrdinaryUser()) ::_exit(100);
        int could = 0;
        const QByteArray mem = QStringLiteral("/proc/%1/mem").arg(target).toLatin1();
        const int fd = ::open(mem.constData(), O_RDONLY);
        if (fd >= 0) {
            could |= kReadsMemory;
            ::close(fd);
        }
        if (::ptrace(PTRACE_ATTACH, target, nullptr, nullptr) == 0) {
            could |= kAttaches;
            ::waitpid(target, nullptr, __WALL);
            ::ptrace(PTRACE_DETACH, target, nullptr, nullptr);
        }
        ::_exit(could);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Stop(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

TEST(ProtectProcessMemory, NoCoreFileAndNoDumping) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const struct rlimit unlimited = {RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_CORE, &unlimited);  // as a user's "ulimit -c unlimited" would
        QString error;
        if (!quelvane::ProtectProcessMemory(&error)) ::_exit(1);
        struct rlimit core {};
        ::getrlimit(RLIMIT_CORE, &core);
        if (core.rlim_cur != 0 || core.rlim_max != 0) ::_exit(2);
        if (::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0) ::_exit(3);
        // Nothing in the process can take it back.
        const struct rlimit again = {1 << 20, 1 << 20};
        if (::setrlimit(RLIMIT_CORE, &again) == 0 && ::geteuid() != 0) ::_exit(4);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ProtectProcessMemory, OtherProcessesOfTheUserCannotAttach) {
    // Without protection a sibling can read and attach, or this test proves nothing here.
    const pid_t open = StartTarget(false);
    ASSERT_GT(open, 0);
    const int control = ProbeFromSibling(open);
    Stop(open);
    ASSERT_NE(control, -1);
    if (control != (kReadsMemory | kAttaches)) GTEST_SKIP() << "attaching is closed here anyway (" << control << ")";

    const pid_t guarded = StartTarget(true);
    ASSERT_GT(guarded, 0);
    EXPECT_EQ(ProbeFromSibling(guarded), 0) << "1: reads /proc/<pid>/mem, 2: attaches";
    Stop(guarded);
}

}  // namespace
