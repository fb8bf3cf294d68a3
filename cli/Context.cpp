// SPDX-License-Identifier: MIT
#include "cli/Context.h"

#include <QCoreApplication>

#include <sys/stat.h>

#include <cstdio>

#include "cli/Progress.h"
#include "cli/Streams.h"
#include "core/PasswordStrength.h"
#include "system/UserFiles.h"
#include "text/Payload.h"
#include "text/QtByteText.h"

namespace quelvane::cli {

namespace {

void WriteLine(const QString& message) {
    const QByteArray line = (QStringLiteral("quelvane-cli: ") + message + u'\n').toUtf8();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

}  // namespace

void Report(const QString& message) {
    progress::Break();
    WriteLine(message);
}

QString WithName(const QString& name, const QString& message) {
    return ShownName(name) + QStringLiteral(": ") + message;
}

bool MayWrite(const QString& path, bool force, QString* error) {
    struct stat info {};
    if (force || ::stat(NameBytes(path).constData(), &info) != 0 || S_ISDIR(info.st_mode)) return true;
    *error = QCoreApplication::translate("quelvane::cli", "%1 exists; --force replaces it").arg(ShownName(path));
    return false;
}

Context::~Context() {
    WipeString(password);
    for (OtherReading& other : others) WipeString(other.password);
}

void Context::Warn(const QString& message) const {
    if (args.quiet) return;
    progress::Aside();
    WriteLine(message);
}

int Context::AskPassword() {
    if (!password.isEmpty()) return kDone;
    QStringList warnings;
    QString error;
    const PasswordStatus status = ReadPassword(args.passwordFile ? &*args.passwordFile : nullptr,
                                               args.command == Command::Encrypt, password, others, warnings, &error);
    for (const QString& warning : warnings) Warn(warning);
    if (status == PasswordStatus::Ok && args.command == Command::Encrypt) {
        // Told, not refused: the user may have reasons, and scripts must keep working.
        const PasswordStrength level = RatePassword(password).level;
        if (IsWeak(level))
            Warn(QCoreApplication::translate("quelvane::cli",
                                             "the password is %1: it is easy to guess; encrypting with it anyway")
                     .arg(StrengthWord(level)));
    }
    if (status == PasswordStatus::Ok) return kDone;
    Report(error);
    return status == PasswordStatus::Usage ? kUsage : kFailed;
}

bool Context::KeyOf(const CiphertextFormat& format, const QString& of, const QString& name, const QString& consequence,
                    SecretString& key) const {
    qsizetype detail = 0;
    const KeyFault fault = format.Key(of, key, &detail);
    if (fault == KeyFault::None) return true;
    Report(WithName(name, KeyFaultMessage(fault, detail, consequence)));
    return false;
}

bool Context::WriteOut(const QString& target, const std::function<bool(FileSink&)>& produce, QString* error) const {
    if (!target.isEmpty())
        return WriteFileAtomically(target, produce, error, args.force ? Existing::Replace : Existing::Refuse);
    if (error) error->clear();
    // Decrypted text is judged as it is made: it is held until it proved
    // right, so standard output gets only what was judged.
    if (args.command == Command::Decrypt) {
        HeldOutput out(folder);
        if (produce(out)) return out.Finish(error);
        if (error) *error = out.Error();
        return false;
    }
    StandardOutput out;
    if (produce(out) && out.Finish()) return true;
    if (error) *error = out.Error();
    return false;
}

}  // namespace quelvane::cli
