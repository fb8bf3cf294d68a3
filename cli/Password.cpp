// SPDX-License-Identifier: MIT
#include "cli/Password.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <termios.h>
#include <unistd.h>

#include <QStringList>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <string>

#include "cli/Streams.h"
#include "core/FileLoads.h"
#include "core/PasswordGenerator.h"
#include "os/CleanupList.h"
#include "secret/SecureWipe.h"
#include "system/Fail.h"
#include "system/UserFiles.h"
#include "text/Payload.h"
#include "text/QtByteText.h"
#include "text/Utf8.h"

namespace quelvane::cli {

namespace {

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

// The terminal's encoding, as the locale names it.
QByteArray TerminalCodeset() {
    const char* codeset = ::nl_langinfo(CODESET);
    return codeset ? QByteArray(codeset) : QByteArray();
}

// A typed line as a password, decoded by the terminal's encoding and never
// lossily: a line that is not valid in it is refused, so two different lines
// never give the same password. UTF-8 where the locale says UTF-8 or plain
// ASCII (the C locale, where terminals send UTF-8 all the same).
bool LineToPassword(std::string& line, QString& password, QString* error) {
    const QByteArray codeset = TerminalCodeset();
    const bool utf8 = codeset.isEmpty() || codeset == "UTF-8" || codeset == "ANSI_X3.4-1968" || codeset == "ASCII";
    bool valid = false;
    if (utf8) {
        valid = utf8::IsValid(reinterpret_cast<const unsigned char*>(line.data()), line.size());
        if (valid) password = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    } else if (iconv_t convert = ::iconv_open("UTF-8", codeset.constData()); convert != reinterpret_cast<iconv_t>(-1)) {
        std::string out(line.size() * 4 + 4, '\0');
        char* in = line.data();
        std::size_t inLeft = line.size(), outLeft = out.size();
        char* to = out.data();
        valid = ::iconv(convert, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1) &&
                ::iconv(convert, nullptr, nullptr, &to, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
        ::iconv_close(convert);
        if (valid) password = QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size() - outLeft));
        SecureWipe(out);
    }
    SecureWipe(line);
    if (!valid) {
        WipeString(password);
        return Fail(error, QCoreApplication::translate("quelvane::cli",
                                                       "the password typed is not valid %1, the terminal's encoding: "
                                                       "set the terminal and the locale (LANG) to the same encoding")
                               .arg(QString::fromLatin1(codeset.isEmpty() || utf8 ? QByteArray("UTF-8") : codeset)));
    }
    if (password.contains(QChar(0))) {
        WipeString(password);
        return Fail(error,
                    QCoreApplication::translate(
                        "quelvane::cli", "the password typed holds a NUL character, which a password cannot hold"));
    }
    return true;
}

// A password file, or standard input for "-", read whole.
bool ReadPasswordBytes(const QString& path, QByteArray& bytes, QString* error) {
    if (path != QLatin1String("-")) return ReadNamedFile(path, bytes, error);
    constexpr qsizetype kMost = 1024 * 1024;  // far beyond a password; standard input may be endless
    bytes.reserve(64 * 1024);
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int code = errno;
            SecureWipe(chunk, sizeof chunk);
            WipeBytes(bytes);
            return Fail(error,
                        QCoreApplication::translate("quelvane::cli", "Cannot read %1: %2")
                            .arg(QCoreApplication::translate("quelvane::cli", "standard input"), StreamReason(code)));
        }
        if (n == 0) break;
        if (bytes.size() + n > kMost) {
            SecureWipe(chunk, sizeof chunk);
            WipeBytes(bytes);
            return Fail(error, QCoreApplication::translate(
                                   "quelvane::cli", "standard input holds more than 1 MiB, which is no password file"));
        }
        bytes.append(chunk, n);
    }
    SecureWipe(chunk, sizeof chunk);
    return true;
}

QString NamedFile(const QString& path) {
    return path == QLatin1String("-") ? QCoreApplication::translate("quelvane::cli", "standard input")
                                      : ShownName(path);
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

namespace {

// The box keeps the first 448 characters; never half of a pair.
void Truncate(QString& password) {
    if (password.size() <= kPasswordMax) return;
    const qsizetype keep = password.at(kPasswordMax).isLowSurrogate() ? kPasswordMax - 1 : kPasswordMax;
    SecureWipe(password.data() + keep, static_cast<std::size_t>(password.size() - keep) * sizeof(QChar));
    password.truncate(keep);
}

// The other normalisation form, or both where the password is in neither.
void AddOtherForms(const QString& password, const QString& how, QList<OtherReading>& others) {
    for (const auto form : {QString::NormalizationForm_C, QString::NormalizationForm_D}) {
        QString normal = password.normalized(form);
        if (normal == password) continue;
        Truncate(normal);
        OtherReading reading{
            normal, how.isEmpty()
                        ? QCoreApplication::translate("quelvane::cli", "the password in Unicode normalisation form %1")
                              .arg(form == QString::NormalizationForm_C ? u"NFC" : u"NFD")
                        : how};
        others.push_back(reading);
        WipeString(normal);
    }
}

bool FromFile(const QString& path, QString& password, QList<OtherReading>& others, QStringList& warnings,
              QString* error) {
    QByteArray bytes;
    if (!ReadPasswordBytes(path, bytes, error)) return false;
    QString utf8;
    const QString name =
        path == QLatin1String("-") ? QCoreApplication::translate("quelvane::cli", "standard input") : path;
    const bool read = PasswordOfFile(bytes, name, password, &utf8, error);
    WipeBytes(bytes);
    if (!read) return false;
    const qsizetype length = password.size();
    Truncate(password);
    if (length > kPasswordMax)
        warnings << QCoreApplication::translate(
                        "quelvane::cli", "%1 holds %2 characters; the password is its first 448, as in the window")
                        .arg(NamedFile(path), QString::number(length));
    // Editors end a file with a line break unasked; in a password file it is part of the password.
    if (password.endsWith(u'\n') || password.endsWith(u'\r'))
        warnings << QCoreApplication::translate("quelvane::cli",
                                                "%1 ends with a line break, which is part of the password; a password "
                                                "file made with an editor may hold one it was not meant to")
                        .arg(NamedFile(path));
    if (!utf8.isEmpty()) {
        // The rule stored files need: without the mark a file's bytes are its characters.
        warnings << QCoreApplication::translate("quelvane::cli",
                                                "%1 is UTF-8 without the mark EF BB BF, so it is read one character "
                                                "a byte (Windows-1252), as the window reads it; save it with the mark "
                                                "to have it read as UTF-8")
                        .arg(NamedFile(path));
        Truncate(utf8);
        others.push_back({utf8, QCoreApplication::translate("quelvane::cli", "the password file read as UTF-8")});
        AddOtherForms(utf8, others.back().how, others);
        WipeString(utf8);
    }
    return true;
}

}  // namespace

PasswordStatus ReadPassword(const QString* passwordFile, bool confirm, QString& password, QList<OtherReading>& others,
                            QStringList& warnings, QString* error) {
    WipeString(password);
    for (OtherReading& other : others) WipeString(other.password);
    others.clear();
    if (passwordFile) {
        if (!FromFile(*passwordFile, password, others, warnings, error)) return PasswordStatus::Failed;
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
            warnings << QCoreApplication::translate("quelvane::cli",
                                                    "the password typed has %1 characters; the password is its first "
                                                    "448, as in the window")
                            .arg(password.size());
            Truncate(password);
        }
    }
    if (password.isEmpty()) {
        Fail(error,
             passwordFile
                 ? QCoreApplication::translate("quelvane::cli", "%1 is empty: a password needs one character at least")
                       .arg(NamedFile(*passwordFile))
                 : QCoreApplication::translate("quelvane::cli",
                                               "the password is empty: a password needs one character at least"));
        return PasswordStatus::Failed;
    }
    // Before the file's other readings: the password as it was read comes first.
    QList<OtherReading> readings;
    AddOtherForms(password, QString(), readings);
    others = readings + others;
    SecretString key;
    qsizetype detail = 0;
    const KeyFault fault = PasswordKey(password, key, &detail);
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
