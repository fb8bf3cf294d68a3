// SPDX-License-Identifier: MIT
// quelvane-cli: the window's encryption, decryption and password generator
// for scripts and stored files.
#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <utility>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Progress.h"
#include "cli/Streams.h"
#include "core/Translations.h"
#include "os/CleanupList.h"
#include "system/Platform.h"
#include "system/TemporaryFolder.h"

namespace {

// A standard stream closed at start would be taken by the next file opened,
// and what is meant for it written into that file. It is held by /dev/null
// opened the other way, so that every use of it fails with EBADF, which
// the messages tell as a closed stream.
void HoldClosedStreams() {
    for (const auto& [fd, flags] :
         {std::pair{STDIN_FILENO, O_WRONLY}, std::pair{STDOUT_FILENO, O_RDONLY}, std::pair{STDERR_FILENO, O_RDONLY}}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int held = ::open("/dev/null", flags | O_CLOEXEC);
        if (held >= 0 && held != fd) {
            ::dup2(held, fd);
            ::close(held);
        }
    }
}

// The process holds a password and plaintext: no core file, and no other
// process of the same user may read its memory. Runs killed in the middle of
// an encryption (SIGKILL, a crash) may have left their text behind.
void Harden() {
    // A signal that ends a command takes its temporary files with it.
    quelvane::safefile::cleanup::RemoveOnSignals();
    QString error;
    if (!quelvane::ProtectProcessMemory(&error)) std::fprintf(stderr, "quelvane-cli: %s\n", qPrintable(error));
    quelvane::TemporaryFolder::RemoveAbandoned();
    // A closed pipe is reported as a write error, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
}

void Print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), to);
}

// The help or the version on standard output, told when it cannot go there.
int Show(const QString& text) {
    QString error;
    if (quelvane::cli::WriteStandardOutput(text.toUtf8(), &error)) return quelvane::cli::kDone;
    quelvane::cli::Report(error);
    return quelvane::cli::kFailed;
}

}  // namespace

int main(int argc, char** argv) {
    HoldClosedStreams();
    Harden();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quelvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUELVANE_VERSION));
    quelvane::InstallTranslations();
    const QStringList args = QCoreApplication::arguments().mid(1);

    quelvane::cli::Arguments parsed;
    QString error;
    if (!quelvane::cli::ParseArguments(args, parsed, &error)) {
        Print(stderr, QCoreApplication::translate("quelvane::cli", "quelvane-cli: %1\nTry \"quelvane-cli --help\".\n")
                          .arg(error));
        return quelvane::cli::kUsage;
    }
    if (parsed.help) return Show(parsed.helpText);
    if (parsed.version) return Show(QStringLiteral("quelvane-cli %1\n").arg(QStringLiteral(QUELVANE_VERSION)));
    quelvane::cli::progress::Allow(!parsed.quiet && ::isatty(STDERR_FILENO));
    const int status = quelvane::cli::Run(parsed);
    // Nothing of the text or the password below this frame or in the vector
    // registers, where the dynamic linker would save them at exit.
    quelvane::ScrubStack();
    return status;
}
