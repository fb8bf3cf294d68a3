// SPDX-License-Identifier: MIT
#include "cli/Password.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QStringList>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <string>

#include "cipher/SecureWipe.h"
#include "core/FileLoads.h"
#include "core/PasswordGenerator.h"
#include "os/SafeFile.h"
#include "text/Payload.h"
#include "text/QtByteText.h"

namespace quelvane::cli {

namespace {

bool Fail(QString* error, const QString& message) {
    if (error) *error = message;
    return false;
}

// The terminal's settings while echo is off, for the signal handler: a
// Ctrl-C at the prompt must not leave the terminal without echo.
int gTerminal = -1;
termios gSaved{};
volatile std::sig_atomic_t gEchoOff = 0;

void RestoreAndDie(int signal) {
    if (gEchoOff) tcsetattr(gTerminal, TCSAFLUSH, &gSaved);
    safefile::cleanup::RemoveAll();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Echo off (the line end still echoed) from construction to destruction.
class NoEcho {
public:
    explicit NoEcho(int fd) {
        if (tcgetattr(fd, &gSaved) != 0) return;
        gTerminal = fd;
        struct sigaction action {};
        action.sa_handler = RestoreAndDie;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) sigaction(kFatalSignals[i], &action, &previous[i]);
        // Stopped at the prompt, the shell would get the terminal without echo.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGTSTP, &ignore, &previousStop);
        termios quiet = gSaved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK);
        quiet.c_lflag |= ECHONL;
        gEchoOff = 1;
        ok = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    }
    ~NoEcho() {
        if (gTerminal < 0) return;
        tcsetattr(gTerminal, TCSAFLUSH, &gSaved);
        gEchoOff = 0;
        for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) sigaction(kFatalSignals[i], &previous[i], nullptr);
        sigaction(SIGTSTP, &previousStop, nullptr);
        gTerminal = -1;
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;
    bool ok = false;

private:
    struct sigaction previous[std::size(kFatalSignals)]{};
    struct sigaction previousStop {};
};

void WriteAll(int fd, const char* text) {
    for (std::size_t left = std::strlen(text); left > 0;) {
        const ssize_t n = ::write(fd, text, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text += n;
        left -= static_cast<std::size_t>(n);
    }
}

// One line typed at the terminal, without its line end. False at end of
// input before a line end, or when the line is unreasonably long.
bool ReadLine(int fd, std::string& line) {
    constexpr std::size_t kMost = 64 * 1024;
    line.clear();
    line.reserve(1024);  // typed passwords fit, so the line is never moved and left behind
    char c;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') break;
        if (line.size() >= kMost) return false;
        line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// A typed line as a password: UTF-8, as the terminal sends it.
bool LineToPassword(std::string& line, QString& password, QString* error) {
    password = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    SecureWipe(line);
    if (password.contains(QChar(0))) {
        WipeString(password);
        return Fail(error,
                    QCoreApplication::translate(
                        "quelvane::cli", "the password typed holds a NUL character, which a password cannot hold"));
    }
    return true;
}

class Terminal {
public:
    Terminal() : fd(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~Terminal() {
        if (fd >= 0) ::close(fd);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    bool Usable() const { return fd >= 0 && isatty(fd); }

    // Asks once; false at end of input or on a terminal that cannot hide the typing.
    bool Ask(const char* prompt, QString& password, QString* error) {
        std::string line;
        bool read = false;
        {
            NoEcho quiet(fd);
            if (!quiet.ok)
                return Fail(error,
                            QCoreApplication::translate("quelvane::cli", "the terminal cannot hide what is typed"));
            WriteAll(fd, prompt);
            read = ReadLine(fd, line);
        }
        if (!read) {
            SecureWipe(line);
            return Fail(error, QCoreApplication::translate("quelvane::cli", "no password was read from the terminal"));
        }
        return LineToPassword(line, password, error);
    }

private:
    int fd;
};

}  // namespace

void WipeString(QString& text) noexcept {
    if (!text.isEmpty() && text.isDetached()) SecureWipe(text.data(), static_cast<std::size_t>(text.size()) * 2);
    text.clear();
}

PasswordStatus ReadPassword(const QString* passwordFile, bool confirm, QString& password, QString* warning,
                            QString* error) {
    WipeString(password);
    if (passwordFile) {
        qsizetype length = 0;
        if (!LoadPasswordFile(*passwordFile, password, &length, error)) return PasswordStatus::Failed;
        QStringList notes;
        if (length > kPasswordMax)
            notes << QCoreApplication::translate(
                         "quelvane::cli", "%1 holds %2 characters; the password is its first 448, as in the window")
                         .arg(ShownName(*passwordFile), QString::number(length));
        // Editors end a file with a line break unasked; in a password file it is part of the password.
        if (password.endsWith(u'\n') || password.endsWith(u'\r'))
            notes << QCoreApplication::translate(
                         "quelvane::cli",
                         "%1 ends with a line break, which is part of the password; a password file "
                         "made with an editor may hold one it was not meant to")
                         .arg(ShownName(*passwordFile));
        if (warning) *warning = notes.join(u'\n');
    } else {
        Terminal terminal;
        if (!terminal.Usable()) {
            Fail(error,
                 QCoreApplication::translate(
                     "quelvane::cli", "no password: give --password-file FILE, or run on a terminal to be asked"));
            return PasswordStatus::Usage;
        }
        if (!terminal.Ask("Password: ", password, error)) return PasswordStatus::Failed;
        if (confirm && !password.isEmpty()) {
            QString again;
            if (!terminal.Ask("Password again: ", again, error)) {
                WipeString(password);
                return PasswordStatus::Failed;
            }
            const bool same = again == password;
            WipeString(again);
            if (!same) {
                WipeString(password);
                Fail(error, QCoreApplication::translate("quelvane::cli", "the two passwords typed differ"));
                return PasswordStatus::Failed;
            }
        }
        // As the password box takes a pasted password: the first 448 characters.
        if (password.size() > kPasswordMax) {
            if (warning)
                *warning = QCoreApplication::translate(
                               "quelvane::cli",
                               "the password typed has %1 characters; the password is its first 448, as "
                               "in the window")
                               .arg(password.size());
            SecureWipe(password.data() + kPasswordMax, static_cast<std::size_t>(password.size() - kPasswordMax) * 2);
            password.truncate(kPasswordMax);
        }
    }
    if (password.isEmpty()) {
        Fail(error,
             passwordFile
                 ? QCoreApplication::translate("quelvane::cli", "%1 is empty: a password needs one character at least")
                       .arg(ShownName(*passwordFile))
                 : QCoreApplication::translate("quelvane::cli",
                                               "the password is empty: a password needs one character at least"));
        return PasswordStatus::Failed;
    }
    std::string key;
    qsizetype detail = 0;
    const KeyFault fault = PasswordKey(password, key, &detail);
    SecureWipe(key);
    if (fault == KeyFault::None) return PasswordStatus::Ok;
    WipeString(password);
    Fail(error,
         fault == KeyFault::TooLong
             ? QCoreApplication::translate("quelvane::cli",
                                           "the password takes %1 bytes as a key (UTF-8, as it holds characters beyond "
                                           "Windows-1252), but a key holds at most 448 bytes")
                   .arg(detail)
             : QCoreApplication::translate(
                   "quelvane::cli",
                   "character %1 of the password is half of a character (a lone surrogate), which "
                   "has no UTF-8 form, so it cannot be the key")
                   .arg(detail));
    return PasswordStatus::Failed;
}

}  // namespace quelvane::cli
