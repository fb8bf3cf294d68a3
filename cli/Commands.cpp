// SPDX-License-Identifier: MIT
#include "cli/Commands.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <cmath>
#include <cstdio>
#include <thread>

#include "cli/Password.h"
#include "cli/Streams.h"
#include "core/HexDecryption.h"
#include "core/PasswordGenerator.h"
#include "core/Payload.h"
#include "core/QtByteText.h"
#include "core/TextCipher.h"
#include "core/TextFiles.h"

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

// Collects bytes in memory, for a result written out whole.
class Collect : public FileSink {
public:
    bool Put(const char* data, qsizetype size) override {
        if (bytes.size() + size > bytes.capacity()) {
            // Grown by hand, so the buffer left behind is overwritten first.
            QByteArray bigger;
            bigger.reserve(qMax(2 * bytes.capacity(), bytes.size() + size));
            bigger.append(bytes);
            WipeBytes(bytes);
            bytes = std::move(bigger);
        }
        bytes.append(data, size);
        return true;
    }
    using FileSink::Put;
    QByteArray bytes;
};

// The save commands ask before they replace a file; here --force is the yes.
// A folder of that name is left to the writer, which says so.
bool MayWrite(const QString& path, bool force, QString* error) {
    const QFileInfo info(path);
    if (force || !info.exists() || info.isDir()) return true;
    *error = QStringLiteral("%1 exists; --force replaces it").arg(path);
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

    // A text file's payload, or with --binary the file's bytes as they are,
    // go straight to the window's road, without a work text.
    bool EncryptFile(Input& in, const QString& name, QByteArray& hex, QString* error) {
        QString failure, loneAt;
        const bool encrypted = road.EncryptPlain(
            password,
            [&](FileSink& out) {
                return args.binary ? out.Put(in.Bytes()) : PutPayloadOfTextFile(in.Bytes(), out, &loneAt);
            },
            hex, &failure);
        if (encrypted) return true;
        *error = WithName(name, loneAt.isEmpty() ? failure
                                                 : QStringLiteral("%1 holds half of a character (a lone surrogate), "
                                                                  "which has no UTF-8 form, so the text cannot be "
                                                                  "encrypted")
                                                       .arg(loneAt));
        return false;
    }

    // The input as "&Load Quelvane" reads it; false when it holds no hex text.
    static bool HexOf(Input& in, const QString& name, std::string& joined, std::string_view& hex, QString* error) {
        hex = HexFileText(in.Bytes(), joined);
        if (!IsBlankHexText(hex)) return true;
        *error = WithName(name, QStringLiteral("the input is empty: there is no hex text to decrypt"));
        return false;
    }

    bool Decrypt(std::string_view hex, const QString& name, QByteArray& text, QString* error) {
        HexDecryption result;
        QString failure;
        if (!DecryptHexBytes(password, hex, result, &failure)) {
            *error = WithName(name, failure);
            return false;
        }
        if (result.wrongPassword) {
            *error = WithName(name, QStringLiteral("wrong password or damaged ciphertext"));
            return false;
        }
        text = std::move(result.text);
        return true;
    }

    // Encrypts or decrypts one input into target, or standard output when
    // target is empty. The password is asked once the input proved usable.
    int Transform(const QString& input, const QString& name, const QString& target) {
        QString error;
        Input in;
        if (!in.Read(input, &error)) return Report(error), kFailed;
        bool written = false;
        if (Encrypting()) {
            if (args.binary ? in.Bytes().isEmpty() : IsEmptyTextFile(in.Bytes())) {
                Report(WithName(name, QStringLiteral("the input is empty: there is no text to encrypt")));
                return kFailed;
            }
            if (!args.binary && TextFileHoldsNul(in.Bytes())) {
                Report(WithName(name, QStringLiteral("the input holds a NUL byte, so it is no text: --binary "
                                                     "encrypts any file's bytes as they are")));
                return kFailed;
            }
            if (const int status = AskPassword()) return status;
            QByteArray hex;
            if (!EncryptFile(in, name, hex, &error)) return Report(error), kFailed;
            in.Release();
            written = target.isEmpty() ? WriteHexToStandardOutput(hex, &error)
                                       : WriteHexFile(target, hex, &error, args.force);
        } else {
            std::string joined;
            std::string_view hex;
            QByteArray text;
            if (!HexOf(in, name, joined, hex, &error)) return Report(error), kFailed;
            if (const int status = AskPassword()) return status;
            if (!Decrypt(hex, name, text, &error)) return Report(error), kFailed;
            in.Release();
            joined = std::string();
            if (!args.binary) {
                // The text as a UTF-8 file with LF line breaks, whichever form it was encrypted in.
                if (text.contains('\0')) {
                    WipeBytes(text);
                    Report(WithName(name, QStringLiteral("the decrypted bytes hold a NUL byte, so they are no text: "
                                                         "--binary writes them as they are")));
                    return kFailed;
                }
                Collect utf8;
                PutUtf8TextOfPayload(text, utf8);
                WipeBytes(text);
                text = std::move(utf8.bytes);
            }
            written = target.isEmpty()
                          ? WriteStandardOutput(text, &error)
                          : SaveFileAtomically(target, text, &error, args.force ? Existing::Replace : Existing::Refuse);
            WipeBytes(text);
        }
        if (!written) return Report(target.isEmpty() ? error : WithName(name, error)), kFailed;
        return kDone;
    }

    int Single() {
        const QString input = args.inputs.value(0);
        QString error;
        if (args.output && !MayWrite(*args.output, args.force, &error)) return Report(error), kFailed;
        return Transform(input, InputName(input), args.output.value_or(QString()));
    }

    int Batch() {
        if (!QFileInfo(*args.outputDir).isDir()) {
            Report(QStringLiteral("%1 is not a folder: --output-dir needs one that exists").arg(*args.outputDir));
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
                Report(WithName(input, QStringLiteral("another INPUT of this run goes to %1 already").arg(target)));
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
            Report(QStringLiteral("LENGTH must be a number from 3 to 448, not \"%1\"").arg(answer));
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
            Report(
                QStringLiteral("the password holds control characters, shown as \u241E (30), \u241F (31) and "
                               "\u2421 (127), which a terminal cannot take: keep it with --output FILE"));
        return written;
    }

    const Arguments& args;
    QString password;
    TextCipher road;
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
