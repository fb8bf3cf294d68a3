// SPDX-License-Identifier: MIT
#include "cli/GenerateCommand.h"

#include <QCoreApplication>

#include <unistd.h>

#include <QRandomGenerator>
#include <cmath>
#include <optional>

#include "cli/Streams.h"
#include "core/PasswordGenerator.h"
#include "system/UserFiles.h"
#include "text/QtByteText.h"

namespace quelvane::cli {

namespace {

constexpr int kDefaultLength = 112;  // the window's default answer
constexpr int kFirstBatch = 248;  // RandomString draws at most 255 at a time; the window splits at 248

// A terminal would not show the control characters 30, 31 and 127: they
// are drawn as their control pictures, and a line end follows.
bool ShowOnTerminal(const Context& run, const QString& password, QString* error) {
    QString shown = password;
    bool control = false;
    for (QChar& c : shown) {
        const char16_t u = c.unicode();
        if (u == 30 || u == 31 || u == 127) {
            c = QChar(static_cast<char16_t>(u == 127 ? 0x2421 : 0x2400 + u));
            control = true;
        }
    }
    shown += u'\n';
    QByteArray bytes = shown.toUtf8();
    WipeString(shown);
    const bool written = WriteStandardOutput(bytes, error);
    WipeBytes(bytes);
    if (written && control)
        run.Warn(QCoreApplication::translate(
            "quelvane::cli",
            "the password holds control characters, shown as \u241E (30), \u241F (31) and \u2421 (127), which a "
            "terminal cannot take: keep it with --output FILE"));
    return written;
}

}  // namespace

int Generate(Context& run) {
    const Arguments& args = run.args;
    const QString answer = args.length.isEmpty() ? QString::number(kDefaultLength) : args.length;
    const std::optional<double> number = ReadNumber(answer);
    if (!number || *number < 3 || *number > kPasswordMax) {
        Report(QCoreApplication::translate("quelvane::cli", "LENGTH must be a number from 3 to 448, not \"%1\"")
                   .arg(ShownName(answer)));
        return kUsage;
    }
    QString error;
    if (args.output && !MayWrite(*args.output, args.force, &error)) return Report(error), kFailed;

    // Drawn as the window draws it, from the system's secure source.
    const int length = static_cast<int>(std::nearbyint(*number));
    QRandomGenerator& source = *QRandomGenerator::system();
    QString password;
    password.reserve(length);
    for (int left = length; left > 0;) {
        const int batch = qMin(left, kFirstBatch);
        QString part = RandomString(static_cast<std::uint8_t>(batch), kRandomModeAscii, source);
        password += part;
        WipeString(part);
        left -= batch;
    }
    QByteArray bytes;
    ToByteText(password, bytes);  // one byte each
    bool written = false;
    if (args.output)
        written = SaveOwnerOnly(*args.output, bytes, &error, args.force);
    else if (::isatty(STDOUT_FILENO))
        written = ShowOnTerminal(run, password, &error);
    else
        written = WriteStandardOutput(bytes, &error);
    WipeBytes(bytes);
    WipeString(password);
    if (!written) return Report(error), kFailed;
    return kDone;
}

}  // namespace quelvane::cli
