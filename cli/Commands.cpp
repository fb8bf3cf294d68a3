// SPDX-License-Identifier: MIT
#include "cli/Commands.h"

#include <QCoreApplication>

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include "cli/DecryptCommand.h"
#include "cli/EncryptCommand.h"
#include "cli/GenerateCommand.h"
#include "cli/Streams.h"
#include "cli/UpgradeCommand.h"
#include "text/QtByteText.h"

namespace quelvane::cli {

namespace {

using InputCommand = int (*)(Context&, const Input&, const QString& name, const QString& target);

// Runs one input into target, or standard output when target is empty.
int Transform(Context& run, InputCommand command, const QString& input, const QString& name, const QString& target) {
    QString error;
    Input in;
    if (!in.Open(input, run.folder, &error)) return Report(error), kFailed;
    return command(run, in, name, target);
}

int Single(Context& run, InputCommand command) {
    const Arguments& args = run.args;
    const QString input = args.inputs.value(0);
    QString error;
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
