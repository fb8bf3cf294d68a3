// SPDX-License-Identifier: MIT
// quelvane-cli: the window's encryption, decryption and password generator
// for scripts and stored files.
#include <QCoreApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "core/Translations.h"
#include "os/CleanupList.h"
#include "system/Platform.h"
#include "system/TemporaryFolder.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
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
    if (parsed.help) {
        Print(stdout, parsed.helpText);
        return std::fflush(stdout) == 0 ? quelvane::cli::kDone : quelvane::cli::kFailed;
    }
    if (parsed.version) {
        Print(stdout, QStringLiteral("quelvane-cli %1\n").arg(QStringLiteral(QUELVANE_VERSION)));
        return std::fflush(stdout) == 0 ? quelvane::cli::kDone : quelvane::cli::kFailed;
    }
    const int status = quelvane::cli::Run(parsed);
    // Nothing of the text or the password below this frame or in the vector
    // registers, where the dynamic linker would save them at exit.
    quelvane::ScrubStack();
    return status;
}
