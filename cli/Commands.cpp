// SPDX-License-Identifier: MIT
#include "cli/Commands.h"

#include <QCoreApplication>

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "cipher/SecureWipe.h"
#include "cli/Password.h"
#include "cli/Streams.h"
#include "core/PasswordGenerator.h"
#include "formats/FormatRegistry.h"
#include "system/TemporaryFolder.h"
#include "system/UserFiles.h"
#include "text/Payload.h"
#include "text/QtByteText.h"
#include "text/TextFileCodec.h"

namespace quelvane::cli {

namespace {

constexpr int kDefaultLength = 112;  // the window's default answer
constexpr int kFirstBatch = 248;  // RandomString draws at most 255 at a time; the window splits at 248

void Report(const QString& message) {
    const QByteArray line = (QStringLiteral("quelvane-cli: ") + message + u'\n').toUtf8();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

QString WithName(const QString& name, const QString& message) { return name + QStringLiteral(": ") + message; }

// The save commands ask before they replace a file; here --force is the yes.
// A folder of that name is left to the writer, which says so.
bool MayWrite(const QString& path, bool force, QString* error) {
    const QFileInfo info(path);
    if (force || !info.exists() || info.isDir()) return true;
    *error = QCoreApplication::translate("quelvane::cli", "%1 exists; --force replaces it").arg(path);
    return false;
}

class Runner {
public:
    explicit Runner(const Arguments& a) : args(a) {}
    ~Runner() { WipeString(password); }
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    int Run() {
        if (args.command == Command::Generate) return Generate();
        return args.outputDir ? Batch() : Single();
    }

private:
    bool Encrypting() const { return args.command == Command::Encrypt; }

    int AskPassword() {
        if (!password.isEmpty()) return kDone;
        QString warning, error;
        const PasswordStatus status =
            ReadPassword(args.passwordFile ? &*args.passwordFile : nullptr, Encrypting(), password, &warning, &error);
        if (!warning.isEmpty()) Report(warning);
        if (status == PasswordStatus::Ok) return kDone;
        Report(error);
        return status == PasswordStatus::Usage ? kUsage : kFailed;
    }

    QString Empty() const {
        return Encrypting()
                   ? QCoreApplication::translate("quelvane::cli", "the input is empty: there is no text to encrypt")
                   : QCoreApplication::translate("quelvane::cli",
                                                 "the input is empty: there is no hex text to decrypt");
    }

    // The password's bytes for format; false, reported, when it can make no key.
    bool KeyOf(const CiphertextFormat& format, const QString& name, const QString& consequence, std::string& key) {
        qsizetype detail = 0;
        const KeyFault fault = format.Key(password, key, &detail);
        if (fault == KeyFault::None) return true;
        Report(WithName(name, KeyFaultMessage(fault, detail, consequence)));
        return false;
    }

    // Where a result goes: the target file, written beside it and put in
    // place once produce is done, or standard output as it comes.
    bool WriteOut(const QString& target, const std::function<bool(FileSink&)>& produce, QString* error) {
        if (!target.isEmpty())
            return WriteFileAtomically(target, produce, error, args.force ? Existing::Replace : Existing::Refuse);
        StandardOutput out;
        if (produce(out)) return true;
        if (error) *error = out.Error();
        return false;
    }

    // The input encrypted in the chosen format, read, encrypted and written
    // out a piece at a time. The password is asked once the input proved usable.
    int Encrypt(const Input& in, const QString& name, const QString& target) {
        CiphertextFormat& format = formats.Chosen();
        const auto encryptor = format.EncryptStream(in.Source(), StreamOptions{!args.binary});
        QString error;
        bool empty = false;
        if (!encryptor->Inspect(empty, &error)) return Report(WithName(name, error)), kFailed;
        if (empty) return Report(WithName(name, Empty())), kFailed;
        if (const int status = AskPassword()) return status;
        std::string key;
        const auto wipeKey = qScopeGuard([&] { SecureWipe(key); });
        if (!KeyOf(format, name, QCoreApplication::translate("quelvane::cli", "it cannot be used as the key"), key))
            return kFailed;
        if (!encryptor->Prepare(key, &error)) return Report(WithName(name, error)), kFailed;
        QString failure;
        const bool written = WriteOut(
            target,
            [&](FileSink& out) {
                // On standard output one line end follows the ciphertext; a file holds it alone.
                return encryptor->Encrypt(out, &failure) && (!target.isEmpty() || out.Put("\n", 1));
            },
            &error);
        if (!failure.isEmpty()) return Report(WithName(name, failure)), kFailed;
        if (!written) return Report(target.isEmpty() ? error : WithName(name, error)), kFailed;
        return kDone;
    }

    // The input decrypted, in the format its first bytes tell, a piece at a
    // time. A file is put in place only once the decryption checked out;
    // standard output is given the text only after a first reading proved it.
    int Decrypt(const Input& in, const QString& name, const QString& target) {
        const ByteSource& source = in.Source();
        QByteArray head;
        CiphertextFormats::ReadHead(source, head);  // unreadable: the format's own look says why
        CiphertextFormat& format = formats.Detect(head);
        const auto decryptor = format.DecryptStream(source, StreamOptions{!args.binary});
        QString error;
        bool blank = true;
        if (!decryptor->Inspect(blank, &error)) return Report(WithName(name, error)), kFailed;
        if (blank) return Report(WithName(name, Empty())), kFailed;
        if (const int status = AskPassword()) return status;
        std::string key;
        const auto wipeKey = qScopeGuard([&] { SecureWipe(key); });
        if (!KeyOf(format, name,
                   QCoreApplication::translate("quelvane::cli", "no text can have been encrypted with it"), key))
            return kFailed;

        StreamDecryption result;
        QString failure;
        bool decrypted = true, written = true;
        const auto produce = [&](FileSink& out) {
            decrypted = decryptor->Decrypt(key, &out, result, &failure);
            return decrypted && !result.wrongPassword && !result.nul && !result.again;
        };
        // Standard output keeps what it is given: judged whole first.
        if (target.isEmpty()) decrypted = decryptor->Decrypt(key, nullptr, result, &failure);
        if (decrypted && !result.wrongPassword && !result.nul) {
            written = WriteOut(target, produce, &error);
            if (!written && result.again && !result.wrongPassword && !result.nul)
                written = WriteOut(target, produce, &error);
        }
        if (!failure.isEmpty()) return Report(WithName(name, failure)), kFailed;
        if (decrypted && result.wrongPassword) {
            Report(
                WithName(name, QCoreApplication::translate("quelvane::cli", "wrong password or damaged ciphertext")));
            return kFailed;
        }
        if (decrypted && result.nul) {
            Report(
                WithName(name, QCoreApplication::translate("quelvane::cli",
                                                           "the decrypted bytes hold a NUL byte, so they are no text: "
                                                           "--binary writes them as they are")));
            return kFailed;
        }
        if (!written) return Report(target.isEmpty() ? error : WithName(name, error)), kFailed;
        return kDone;
    }

    // Encrypts or decrypts one input into target, or standard output when
    // target is empty.
    int Transform(const QString& input, const QString& name, const QString& target) {
        QString error;
        Input in;
        if (!in.Open(input, folder, &error)) return Report(error), kFailed;
        return Encrypting() ? Encrypt(in, name, target) : Decrypt(in, name, target);
    }

    int Single() {
        const QString input = args.inputs.value(0);
        QString error;
        if (args.output && !MayWrite(*args.output, args.force, &error)) return Report(error), kFailed;
        return Transform(input, InputName(input), args.output.value_or(QString()));
    }

    int Batch() {
        if (!QFileInfo(*args.outputDir).isDir()) {
            Report(
                QCoreApplication::translate("quelvane::cli", "%1 is not a folder: --output-dir needs one that exists")
                    .arg(*args.outputDir));
            return kFailed;
        }
        if (const int status = AskPassword()) return status;
        QSet<QString> targets;
        bool allDone = true;
        for (const QString& input : args.inputs) {
            const QString target = QDir(*args.outputDir).filePath(OutputName(args.command, input));
            const QString key = QFileInfo(target).absoluteFilePath();
            QString error;
            if (targets.contains(key)) {
                Report(WithName(
                    input, QCoreApplication::translate("quelvane::cli", "another INPUT of this run goes to %1 already")
                               .arg(target)));
                allDone = false;
                continue;
            }
            targets.insert(key);
            if (!MayWrite(target, args.force, &error)) {
                Report(WithName(input, error));
                allDone = false;
                continue;
            }
            allDone = Transform(input, input, target) == kDone && allDone;
        }
        return allDone ? kDone : kFailed;
    }

    int Generate() {
        const QString answer = args.length.isEmpty() ? QString::number(kDefaultLength) : args.length;
        const std::optional<double> number = ReadNumber(answer);
        if (!number || *number < 3 || *number > kPasswordMax) {
            Report(QCoreApplication::translate("quelvane::cli", "LENGTH must be a number from 3 to 448, not \"%1\"")
                       .arg(answer));
            return kUsage;
        }
        QString error;
        if (args.output && !MayWrite(*args.output, args.force, &error)) return Report(error), kFailed;

        // Drawn as the window draws it, from the system's secure source.
        const int length = static_cast<int>(std::nearbyint(*number));
        QRandomGenerator& source = *QRandomGenerator::system();
        password.reserve(length);
        for (int left = length; left > 0;) {
            const int batch = qMin(left, kFirstBatch);
            QString part = RandomString(static_cast<std::uint8_t>(batch), kRandomModeAscii, source);
            password += part;
            WipeString(part);
            left -= batch;
        }
        QByteArray bytes;
        ToByteText(password, bytes);  // codes 30 to 127: one byte each
        bool written = false;
        if (args.output)
            written = SaveOwnerOnly(*args.output, bytes, &error, args.force);
        else if (::isatty(STDOUT_FILENO))
            written = ShowOnTerminal(&error);
        else
            written = WriteStandardOutput(bytes, &error);
        WipeBytes(bytes);
        if (!written) return Report(error), kFailed;
        return kDone;
    }

    // A terminal would not show the control characters 30, 31 and 127: they
    // are drawn as their control pictures, and a line end follows.
    bool ShowOnTerminal(QString* error) {
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
            Report(QCoreApplication::translate(
                "quelvane::cli",
                "the password holds control characters, shown as \u241E (30), \u241F (31) and "
                "\u2421 (127), which a terminal cannot take: keep it with --output FILE"));
        return written;
    }

    const Arguments& args;
    QString password;
    TemporaryFolder folder;  // where standard input and pipes are kept
    CiphertextFormats formats;
};

}  // namespace

QString OutputName(Command command, const QString& input) {
    const QString name = QFileInfo(input).fileName();
    const QLatin1String from(command == Command::Encrypt ? ".TxT" : ".QvH");
    const QLatin1String to(command == Command::Encrypt ? ".QvH" : ".TxT");
    const bool replace = name.endsWith(from, Qt::CaseInsensitive) && name.size() > from.size();
    return (replace ? name.chopped(from.size()) : name) + to;
}

int Run(const Arguments& args) { return Runner(args).Run(); }

}  // namespace quelvane::cli
