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
#include "formats/StreamCipher.h"
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

    // The password's bytes; false, reported, when it can make no key.
    bool KeyOf(const QString& name, const QString& consequence, std::string& key) {
        qsizetype detail = 0;
        const KeyFault fault = PasswordKey(password, key, &detail);
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

    // A text file's payload, or with --binary the input's bytes as they are,
    // read, encrypted, made hex text and written out a piece at a time. The
    // password is asked once the input proved usable.
    int Encrypt(const Input& in, const QString& name, const QString& target) {
        const ByteSource* source = &in.Source();
        TextFileLayout layout;
        QString error;
        if (!args.binary && !ScanTextFile(*source, layout, &error)) return Report(WithName(name, error)), kFailed;
        if (args.binary ? source->Size() == 0 : layout.empty) return Report(WithName(name, Empty())), kFailed;
        // UTF-16, or a text starting with the mark's characters: through memory, as the window takes it.
        const bool whole = !args.binary && layout.form == TextFileLayout::Form::Whole;
        MemorySink file, payload;
        if (whole) {
            file.bytes.resize(source->Size());
            errno = 0;
            if (!source->Read(0, file.bytes.data(), file.bytes.size())) {
                Report(WithName(
                    name, errno ? QCoreApplication::translate("quelvane::cli", "the input cannot be read: %1")
                                      .arg(qt_error_string(errno))
                                : QCoreApplication::translate("quelvane::cli", "the input changed while it was read")));
                return kFailed;
            }
            layout.nul = TextFileHoldsNul(file.bytes);
        }
        if (!args.binary && layout.nul) {
            Report(WithName(name, QCoreApplication::translate("quelvane::cli",
                                                              "the input holds a NUL byte, so it is no text: --binary "
                                                              "encrypts any file's bytes as they are")));
            return kFailed;
        }
        if (!FitsAFrame(args.binary || whole ? source->Size() : layout.payloadSize, &error))
            return Report(WithName(name, error)), kFailed;
        if (const int status = AskPassword()) return status;
        std::string key;
        const auto wipeKey = qScopeGuard([&] { SecureWipe(key); });
        if (!KeyOf(name, QCoreApplication::translate("quelvane::cli", "it cannot be used as the key"), key))
            return kFailed;
        std::optional<MemorySource> memory;
        if (whole) {
            QString loneAt;
            if (!PutPayloadOfTextFile(file.bytes, payload, &loneAt)) {
                Report(WithName(
                    name, QCoreApplication::translate("quelvane::cli",
                                                      "%1 holds half of a character (a lone surrogate), which has no "
                                                      "UTF-8 form, so the text cannot be encrypted")
                              .arg(loneAt)));
                return kFailed;
            }
            WipeBytes(file.bytes);
            source = &memory.emplace(payload.bytes);
        }
        const TextFileLayout* text = args.binary || whole ? nullptr : &layout;
        QString failure;
        const bool written = WriteOut(
            target,
            [&](FileSink& out) {
                // On standard output one line end follows the hex text; a file holds the digits alone.
                return EncryptToHex(*source, text, key, out, &failure) && (!target.isEmpty() || out.Put("\n", 1));
            },
            &error);
        if (!failure.isEmpty()) return Report(WithName(name, failure)), kFailed;
        if (!written) return Report(target.isEmpty() ? error : WithName(name, error)), kFailed;
        return kDone;
    }

    // Hex text decrypted a piece at a time. A file is put in place only once
    // the frame and the end marker checked out; standard output is given the
    // text only after a first reading proved it whole.
    int Decrypt(const Input& in, const QString& name, const QString& target) {
        const ByteSource& source = in.Source();
        QString error;
        bool blank = true;
        if (!IsBlankHexFile(source, blank, &error)) return Report(WithName(name, error)), kFailed;
        if (blank) return Report(WithName(name, Empty())), kFailed;
        if (const int status = AskPassword()) return status;
        std::string key;
        const auto wipeKey = qScopeGuard([&] { SecureWipe(key); });
        if (!KeyOf(name, QCoreApplication::translate("quelvane::cli", "no text can have been encrypted with it"), key))
            return kFailed;

        HexDecryptionOptions options;
        options.text = !args.binary;
        HexDecryptionResult result;
        QString failure;
        bool decrypted = true, written = true, misread = false;
        const auto produce = [&](FileSink& out) {
            decrypted = DecryptHex(source, key, options, &out, result, &failure);
            misread = decrypted && result.readAsUtf8 != result.utf8;
            return decrypted && !result.wrongPassword && !result.nul && !misread;
        };
        if (target.isEmpty()) {
            // Standard output keeps what it is given: judged whole first.
            decrypted = DecryptHex(source, key, options, nullptr, result, &failure);
            options.utf8 = result.utf8;
        }
        if (decrypted && !result.wrongPassword && !result.nul) {
            written = WriteOut(target, produce, &error);
            // A text read as UTF-8 that turns out to be none is read again as byte text.
            if (!written && misread && !result.wrongPassword && !result.nul) {
                options.utf8 = result.utf8;
                written = WriteOut(target, produce, &error);
            }
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
