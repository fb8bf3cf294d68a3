// SPDX-License-Identifier: MIT
#include "cli/Arguments.h"

namespace quelvane::cli {

namespace {

bool Fail(QString* error, const QString& message) {
    if (error) *error = message;
    return false;
}

}  // namespace

QString UsageText() {
    return QStringLiteral(
        "Usage: quelvane-cli encrypt [--password-file FILE] [--output FILE] [--force] [--binary] [INPUT]\n"
        "       quelvane-cli decrypt [--password-file FILE] [--output FILE] [--force] [--binary] [INPUT]\n"
        "       quelvane-cli encrypt|decrypt [--password-file FILE] --output-dir DIR [--force] [--binary] INPUT...\n"
        "       quelvane-cli generate [--output FILE] [--force] [LENGTH]\n"
        "\n"
        "encrypt   reads a text (UTF-8, else Windows-1252; any line breaks) in any\n"
        "          language and writes it as Quelvane hex ciphertext, as the window's\n"
        "          \"&Quelvane\" makes it. A file holding a NUL byte is no text: see --binary.\n"
        "decrypt   reads Quelvane hex ciphertext and writes the text that was encrypted\n"
        "          as UTF-8 with LF line breaks (a text of CR LF lines comes back with LF).\n"
        "generate  makes a random password of LENGTH characters (3 to 448, default 112)\n"
        "          from the characters with codes 30 to 127.\n"
        "\n"
        "INPUT is a file, or standard input when absent or \"-\".\n"
        "  --password-file FILE  the password: the text of a password file (.QvP);\n"
        "                        without it the password is asked on the terminal\n"
        "  --output FILE         write the result to FILE, only once it is complete\n"
        "  --output-dir DIR      write each INPUT to DIR under its own name, with the\n"
        "                        suffix .QvH (encrypt) or .TxT (decrypt)\n"
        "  --force               replace files that exist; never without it\n"
        "  --binary              encrypt any file's bytes exactly as they are (an image,\n"
        "                        an archive), and decrypt to exactly the bytes encrypted\n"
        "  -h, --help            show this text\n"
        "  --version             show the version\n"
        "\n"
        "Exit status: 0 done, 1 a file or the password failed, 2 a usage error.\n");
}

bool ParseArguments(const QStringList& args, Arguments& out, QString* error) {
    out = Arguments();
    // --help and --version win over everything else on the line.
    for (const QString& arg : args) {
        if (arg == QLatin1String("--")) break;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            out.help = true;
            return true;
        }
        if (arg == QLatin1String("--version")) {
            out.version = true;
            return true;
        }
    }

    bool haveCommand = false;
    QStringList operands;
    bool optionsEnd = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        // "-" is standard input and "-5" a (refused) LENGTH, not options.
        const bool option =
            !optionsEnd && arg.size() > 1 && arg.startsWith(u'-') && !arg.at(1).isDigit() && arg.at(1) != u'.';
        if (!option) {
            if (!haveCommand) {
                if (arg == QLatin1String("encrypt"))
                    out.command = Command::Encrypt;
                else if (arg == QLatin1String("decrypt"))
                    out.command = Command::Decrypt;
                else if (arg == QLatin1String("generate"))
                    out.command = Command::Generate;
                else
                    return Fail(error,
                                QStringLiteral("unknown command \"%1\" (encrypt, decrypt or generate)").arg(arg));
                haveCommand = true;
            } else {
                operands << arg;
            }
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        // The name only: a value glued on with "=" is never repeated in a message.
        const qsizetype eq = arg.indexOf(u'=');
        const QString name = eq < 0 ? arg : arg.left(eq);
        std::optional<QString>* target = nullptr;
        if (name == QLatin1String("--password-file"))
            target = &out.passwordFile;
        else if (name == QLatin1String("--output"))
            target = &out.output;
        else if (name == QLatin1String("--output-dir"))
            target = &out.outputDir;
        if (name == QLatin1String("--force") || name == QLatin1String("--binary")) {
            if (eq >= 0) return Fail(error, QStringLiteral("%1 takes no value").arg(name));
            (name == QLatin1String("--force") ? out.force : out.binary) = true;
            continue;
        }
        if (!target) return Fail(error, QStringLiteral("unknown option %1").arg(name));
        if (target->has_value()) return Fail(error, QStringLiteral("%1 is given twice").arg(name));
        QString value;
        if (eq >= 0) {
            value = arg.mid(eq + 1);
        } else {
            if (i + 1 >= args.size()) return Fail(error, QStringLiteral("%1 needs a value").arg(name));
            value = args[++i];
        }
        if (value.isEmpty()) return Fail(error, QStringLiteral("%1 needs a value").arg(name));
        *target = value;
    }

    if (!haveCommand) return Fail(error, QStringLiteral("no command given (encrypt, decrypt or generate)"));
    if (out.output && out.outputDir) return Fail(error, QStringLiteral("--output and --output-dir exclude each other"));

    if (out.command == Command::Generate) {
        if (out.passwordFile) return Fail(error, QStringLiteral("generate takes no --password-file"));
        if (out.outputDir) return Fail(error, QStringLiteral("generate takes no --output-dir"));
        if (out.binary) return Fail(error, QStringLiteral("generate takes no --binary"));
        if (operands.size() > 1) return Fail(error, QStringLiteral("generate takes one LENGTH at most"));
        if (!operands.isEmpty()) out.length = operands.first();
        return true;
    }

    out.inputs = operands;
    const bool fromStdin = operands.isEmpty() || operands.contains(QStringLiteral("-"));
    if (out.outputDir) {
        if (fromStdin)
            return Fail(error, QStringLiteral("--output-dir needs INPUT files: standard input has no name to write"));
    } else if (operands.size() > 1) {
        return Fail(error, QStringLiteral("several INPUT files need --output-dir DIR"));
    }
    return true;
}

}  // namespace quelvane::cli
