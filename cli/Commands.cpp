// SPDX-License-Identifier: MIT
#include "cli/Commands.h"

#include <QCoreApplication>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

#include "cli/DecryptCommand.h"
#include "cli/EncryptCommand.h"
#include "cli/GenerateCommand.h"
#include "cli/Streams.h"
#include "cli/UpgradeCommand.h"
#include "formats/StreamCipher.h"
#include "text/QtByteText.h"

namespace quelvane::cli {

namespace {

using InputCommand = int (*)(Context&, const Input&, const QString& name, const QString& target);

// How much kept input the command can use: a legacy frame's worth; an age
// file has no such limit, only the room of the keeping folder.
Input::Bound KeepBound(Context& run) {
    const Arguments& args = run.args;
    if (args.command == Command::Encrypt) {
        if (&run.formats.Chosen() != &run.formats.Legacy()) return {};
        // A text's payload has a byte at least for each character (each UTF-8
        // start byte) but a byte-order mark's; bytes as they are, one each.
        const bool text = !args.binary;
        return [text, chars = qint64(0)](QByteArrayView piece, qint64 before, QString* why) mutable {
            if (!text) chars = before + piece.size();
            for (const char c : text ? piece : QByteArrayView())
                chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
            if (chars <= LargestPayload() + (text ? 1 : 0)) return true;
            *why = QCoreApplication::translate("quelvane::cli",
                                               "it is too large: a text of at most %1 bytes can be encrypted; "
                                               "reading stopped after %2 bytes")
                       .arg(LargestPayload())
                       .arg(before + piece.size());
            return false;
        };
    }
    // The hex text of the largest frame, with a line break every 64 digits at most.
    const qint64 most = 2 * LargestFrame() + 2 * LargestFrame() / 32;
    return [&run, most, head = QByteArray()](QByteArrayView piece, qint64 before, QString* why) mutable {
        if (head.size() < CiphertextFormat::kHeadBytes)
            head.append(piece.first(std::min(piece.size(), CiphertextFormat::kHeadBytes - head.size())));
        if (before + piece.size() <= most || &run.formats.Detect(head) != &run.formats.Legacy()) return true;
        *why = QCoreApplication::translate("quelvane::cli",
                                           "it is too large for Quelvane ciphertext, whose hex text has at most %1 "
                                           "digits; reading stopped after %2 bytes")
                   .arg(2 * LargestFrame())
                   .arg(before + piece.size());
        return false;
    };
}

// Runs one input into target, or standard output when target is empty.
int Transform(Context& run, InputCommand command, const QString& input, const QString& name, const QString& target) {
    QString error;
    Input in;
    if (!in.Open(input, run.folder, &error, KeepBound(run))) return Report(error), kFailed;
    return command(run, in, name, target);
}

// A file by its name and, where it exists, its device and inode.
struct FileIdentity {
    QString name, absolute;
    bool known = false;
    dev_t device = 0;
    ino_t inode = 0;
};

FileIdentity IdentityOf(const QString& name) {
    FileIdentity id;
    id.name = name;
    struct stat info {};
    if (name.isEmpty() || name == QLatin1String("-")) {
        // A file given as standard input is read where it is, so it is an input too.
        id.known = ::fstat(STDIN_FILENO, &info) == 0 && S_ISREG(info.st_mode);
    } else {
        id.absolute = QDir::cleanPath(QFileInfo(name).absoluteFilePath());
        id.known = ::stat(NameBytes(name).constData(), &info) == 0;
    }
    id.device = info.st_dev;
    id.inode = info.st_ino;
    return id;
}

// Reports every target that is one of the inputs or the password file, by
// its name or as the same file: it would be replaced before it is read (the
// password lost with it), --force or not. True when there is none.
bool NoTargetIsAnInput(const Arguments& args, const QList<QString>& targets) {
    QList<FileIdentity> read;
    for (const QString& input : args.inputs.isEmpty() ? QStringList{QString()} : args.inputs) read << IdentityOf(input);
    const qsizetype inputs = read.size();
    if (args.passwordFile) read << IdentityOf(*args.passwordFile);
    bool none = true;
    for (const QString& target : targets) {
        const FileIdentity written = IdentityOf(target);
        for (qsizetype i = 0; i < read.size(); ++i) {
            const FileIdentity& input = read[i];
            const bool same =
                (!input.absolute.isEmpty() && input.absolute == written.absolute) ||
                (input.known && written.known && input.device == written.device && input.inode == written.inode);
            if (!same) continue;
            const QString name = ShownName(InputName(input.name));
            Report(i < inputs ? QCoreApplication::translate("quelvane::cli",
                                                            "%1 would replace %2, an INPUT of this run, before it is "
                                                            "read (--force or not); nothing was done")
                                    .arg(ShownName(target), name)
                              : QCoreApplication::translate("quelvane::cli",
                                                            "%1 would replace %2, the password file of this run "
                                                            "(--force or not); nothing was done")
                                    .arg(ShownName(target), name));
            none = false;
            break;
        }
    }
    return none;
}

int Single(Context& run, InputCommand command) {
    const Arguments& args = run.args;
    const QString input = args.inputs.value(0);
    QString error;
    if (args.output && !NoTargetIsAnInput(args, {*args.output})) return kFailed;
    if (!args.output && !StandardOutputOpen(&error)) return Report(error), kFailed;
    if (args.output && !MayWrite(*args.output, args.force, &error)) return Report(error), kFailed;
    return Transform(run, command, input, InputName(input), args.output.value_or(QString()));
}

// Every INPUT into the folder; a failing one stops none of the others.
int Batch(Context& run, InputCommand command) {
    const Arguments& args = run.args;
    struct stat folder {};
    if (::stat(NameBytes(*args.outputDir).constData(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
        Report(QCoreApplication::translate("quelvane::cli", "%1 is not a folder: --output-dir needs one that exists")
                   .arg(ShownName(*args.outputDir)));
        return kFailed;
    }
    QList<QString> all;
    for (const QString& input : args.inputs) all << QDir(*args.outputDir).filePath(OutputName(args, input));
    if (!NoTargetIsAnInput(args, all)) return kFailed;
    if (const int status = run.AskPassword()) return status;
    QSet<QString> targets;
    bool allDone = true;
    for (const QString& input : args.inputs) {
        const QString target = QDir(*args.outputDir).filePath(OutputName(args, input));
        const QString key = QFileInfo(target).absoluteFilePath();
        QString error;
        if (targets.contains(key)) {
            Report(WithName(input,
                            QCoreApplication::translate("quelvane::cli", "another INPUT of this run goes to %1 already")
                                .arg(ShownName(target))));
            allDone = false;
            continue;
        }
        targets.insert(key);
        if (!MayWrite(target, args.force, &error)) {
            Report(WithName(input, error));
            allDone = false;
            continue;
        }
        allDone = Transform(run, command, input, input, target) == kDone && allDone;
    }
    return allDone ? kDone : kFailed;
}

}  // namespace

QString OutputName(const Arguments& args, const QString& input) {
    const QString name = QFileInfo(input).fileName();
    const bool encrypting = args.command == Command::Encrypt;
    const bool age = args.format == QStringLiteral("age");
    const QString to = encrypting ? QString::fromLatin1(age ? ".age" : ".QvH") : QStringLiteral(".TxT");
    for (const char* suffix : {".TxT", ".QvH", ".age"}) {
        const QLatin1String from(suffix);
        // Encrypting drops a text's suffix; decrypting either ciphertext's.
        if ((from == QLatin1String(".TxT")) != encrypting) continue;
        if (name.endsWith(from, Qt::CaseInsensitive) && name.size() > from.size())
            return name.chopped(from.size()) + to;
    }
    return name + to;
}

int Run(const Arguments& args) {
    Context run(args);
    run.formats.Choose(args.format);
    if (args.command == Command::Generate) return Generate(run);
    if (args.command == Command::Upgrade) return Upgrade(run);
    const InputCommand command = args.command == Command::Encrypt ? EncryptInput : DecryptInput;
    return args.outputDir ? Batch(run, command) : Single(run, command);
}

}  // namespace quelvane::cli
