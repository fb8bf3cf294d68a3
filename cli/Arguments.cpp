// SPDX-License-Identifier: MIT
#include "cli/Arguments.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <vector>

#include "system/Fail.h"
#include "text/QtByteText.h"

namespace quelvane::cli {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("quelvane::cli", text); }

// Which commands take an option; kProgram: the line without a command.
enum : unsigned { kEncrypt = 1, kDecrypt = 2, kGenerate = 4, kProgram = 8, kUpgrade = 16 };
constexpr unsigned kTransform = kEncrypt | kDecrypt;

unsigned BitOf(Command command) {
    switch (command) {
        case Command::Encrypt:
            return kEncrypt;
        case Command::Decrypt:
            return kDecrypt;
        case Command::Upgrade:
            return kUpgrade;
        case Command::Generate:
            break;
    }
    return kGenerate;
}

// Every option of the program: its one table, for the parsing and the help.
struct Option {
    const char* name;
    char letter;  // 0: no short form
    const char* valueName;  // nullptr: a switch
    const char* description;
    unsigned commands;
};

constexpr Option kOptions[] = {
    {"password-file", 'k', QT_TRANSLATE_NOOP("quelvane::cli", "FILE"),
     QT_TRANSLATE_NOOP("quelvane::cli",
                       "The password: the text of a password file (.QvP), or of standard input for \"-\". Without "
                       "it the password is asked on the terminal."),
     kTransform | kUpgrade},
    {"output", 'o', QT_TRANSLATE_NOOP("quelvane::cli", "FILE"),
     QT_TRANSLATE_NOOP("quelvane::cli",
                       "Write the result to FILE, only once it is complete; \"-\" is standard output."),
     kTransform | kGenerate},
    {"output-dir", 0, QT_TRANSLATE_NOOP("quelvane::cli", "DIR"),
     QT_TRANSLATE_NOOP("quelvane::cli",
                       "Write each INPUT to DIR under its own name, with the suffix .QvH (encrypt) "
                       "or .TxT (decrypt)."),
     kTransform},
    {"force", 'f', nullptr, QT_TRANSLATE_NOOP("quelvane::cli", "Replace files that exist; never without it."),
     kTransform | kGenerate | kUpgrade},
    {"binary", 0, nullptr,
     QT_TRANSLATE_NOOP("quelvane::cli",
                       "Encrypt any file's bytes exactly as they are (an image, an archive), and "
                       "decrypt to exactly the bytes encrypted."),
     kTransform},
    {"format", 0, QT_TRANSLATE_NOOP("quelvane::cli", "FORMAT"),
     QT_TRANSLATE_NOOP("quelvane::cli",
                       "The format of the ciphertext: quelvane (the default, hex text) or age (the age v1 "
                       "passphrase format, which any age tool opens). Decrypting tells the format itself."),
     kEncrypt},
    {"no-armor", 0, nullptr,
     QT_TRANSLATE_NOOP("quelvane::cli", "With --format age: write the binary age file, not the armored text."),
     kEncrypt},
    {"quiet", 'q', nullptr,
     QT_TRANSLATE_NOOP("quelvane::cli", "Show no progress and no warnings; errors are still shown."),
     kTransform | kGenerate | kUpgrade},
    {"help", 'h', nullptr, QT_TRANSLATE_NOOP("quelvane::cli", "Show this help."),
     kTransform | kGenerate | kUpgrade | kProgram},
    {"version", 'v', nullptr, QT_TRANSLATE_NOOP("quelvane::cli", "Show the version."),
     kTransform | kGenerate | kUpgrade | kProgram},
};

struct CommandInfo {
    const char* name;
    Command command;
};

constexpr CommandInfo kCommands[] = {
    {"encrypt", Command::Encrypt},
    {"decrypt", Command::Decrypt},
    {"generate", Command::Generate},
    {"upgrade", Command::Upgrade},
};

std::optional<Command> CommandNamed(const QString& name) {
    for (const CommandInfo& info : kCommands)
        if (name == QLatin1String(info.name)) return info.command;
    return std::nullopt;
}

QString NameOf(Command command) {
    for (const CommandInfo& info : kCommands)
        if (info.command == command) return QString::fromLatin1(info.name);
    return {};
}

// "-" is standard input and "-5" a (refused) LENGTH: operands, not options.
bool IsOption(const QString& arg) {
    static const QRegularExpression operand(QStringLiteral("^-($|[0-9.])"));
    return arg.startsWith(u'-') && !operand.match(arg).hasMatch();
}

// The option a word names: "--name", "-name" (the long name with one dash)
// or "-x", each perhaps with "=value".
const Option* OptionNamed(QStringView spelled) {
    const bool dashes = spelled.startsWith(u"--");
    const QStringView name = spelled.sliced(dashes ? 2 : 1);
    for (const Option& option : kOptions) {
        if (name == QLatin1String(option.name)) return &option;
        if (!dashes && option.letter && name.size() == 1 && name[0] == QLatin1Char(option.letter)) return &option;
    }
    return nullptr;
}

struct Given {
    const Option* option;
    QString spelled;  // as written, without a value
    QString value;
};

// The words of the line, sorted: the command word, the options with their
// values, the operands. The first fault found is kept for later, as --help
// and --version win over every fault.
struct Line {
    std::optional<QString> word;
    std::vector<Given> options;
    QStringList operands;
    QString fault;

    explicit Line(const QStringList& args) {
        bool optionsEnd = false;
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString& arg = args[i];
            if (!optionsEnd && arg == QLatin1String("--")) {
                optionsEnd = true;
            } else if (optionsEnd || !IsOption(arg)) {
                if (!word && !optionsEnd)
                    word = arg;
                else
                    operands << arg;
            } else {
                const qsizetype equals = arg.indexOf(u'=');
                // Never a value glued to it, and escaped as every name a message shows.
                const QString spelled = ShownName(equals < 0 ? arg : arg.left(equals));
                const Option* option = OptionNamed(spelled);
                if (!option) {
                    Note(QCoreApplication::translate("quelvane::cli", "unknown option %1").arg(spelled));
                    continue;
                }
                Given given{option, spelled, {}};
                if (!option->valueName) {
                    if (equals >= 0)
                        Note(QCoreApplication::translate("quelvane::cli", "%1 takes no value").arg(spelled));
                } else if (equals >= 0) {
                    given.value = arg.mid(equals + 1);
                } else if (i + 1 < args.size()) {
                    given.value = args[++i];  // the next word, whatever it looks like
                } else {
                    Note(QCoreApplication::translate("quelvane::cli", "%1 needs a value").arg(spelled));
                    continue;
                }
                if (option->valueName && given.value.isEmpty())
                    Note(QCoreApplication::translate("quelvane::cli", "%1 needs a value").arg(spelled));
                options.push_back(given);
            }
        }
    }

    void Note(const QString& message) {
        if (fault.isEmpty()) fault = message;
    }

    bool Has(const char* name) const {
        for (const Given& given : options)
            if (qstrcmp(given.option->name, name) == 0) return true;
        return false;
    }

    std::optional<QString> Value(const char* name) const {
        for (const Given& given : options)
            if (qstrcmp(given.option->name, name) == 0) return given.value;
        return std::nullopt;
    }
};

// Words filled into lines of at most width columns, after indent.
QString Wrapped(const QString& text, qsizetype indent, qsizetype width) {
    QString out, line;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            out += line + u'\n' + QString(indent, u' ');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return out + line;
}

QString OptionColumn(const Option& option) {
    QString column =
        option.letter ? QStringLiteral("  -%1, ").arg(QLatin1Char(option.letter)) : QStringLiteral("      ");
    column += QStringLiteral("--") + QLatin1String(option.name);
    if (option.valueName) column += u' ' + Tr(option.valueName);
    return column;
}

QString HelpText(std::optional<Command> command) {
    constexpr qsizetype kWidth = 79;
    QString text;
    const QString usage = QCoreApplication::translate("quelvane::cli", "Usage:");
    if (!command) {
        text = usage + QStringLiteral(" quelvane-cli encrypt|decrypt|upgrade|generate ") +
               QCoreApplication::translate("quelvane::cli", "[OPTION...]") + u'\n' +
               QCoreApplication::translate(
                   "quelvane::cli",
                   "Encrypts texts into Quelvane hex ciphertext and back, as the window does, rewrites such "
                   "files as age files, and makes random passwords.\n\n"
                   "  quelvane-cli encrypt [-k FILE] [-o FILE] [-f] [-q] [--binary] [--format age [--no-armor]] "
                   "[INPUT]\n"
                   "  quelvane-cli decrypt [-k FILE] [-o FILE] [-f] [-q] [--binary] [INPUT]\n"
                   "  quelvane-cli encrypt|decrypt --output-dir DIR [-k FILE] [-f] [-q] [--binary] INPUT...\n"
                   "  quelvane-cli upgrade [-k FILE] [-f] [-q] FILE.QvH...\n"
                   "  quelvane-cli generate [-o FILE] [-f] [-q] [LENGTH]\n\n"
                   "\"quelvane-cli COMMAND --help\" tells more of a command.");
    } else if (*command == Command::Generate) {
        text = usage + QStringLiteral(" quelvane-cli generate ") +
               QCoreApplication::translate("quelvane::cli", "[OPTION...]") + u' ' +
               QCoreApplication::translate("quelvane::cli", "[LENGTH]") + u'\n' +
               Wrapped(QCoreApplication::translate("quelvane::cli",
                                                   "Makes a random password of LENGTH characters from the characters "
                                                   "with codes 32 to 126 (all typeable), drawn "
                                                   "from the system's secure source."),
                       0, kWidth);
    } else if (*command == Command::Upgrade) {
        text = usage + QStringLiteral(" quelvane-cli upgrade ") +
               QCoreApplication::translate("quelvane::cli", "[OPTION...]") + u' ' +
               QCoreApplication::translate("quelvane::cli", "FILE.QvH...") + u'\n' +
               Wrapped(QCoreApplication::translate(
                           "quelvane::cli",
                           "Rewrites each Quelvane hex ciphertext file in the age v1 passphrase format (armored, "
                           "which any age tool opens) under the same password: FILE.QvH becomes FILE.age beside it, "
                           "a file of another name NAME.age. The age file holds the text that was encrypted as "
                           "UTF-8 with LF line breaks, as decrypt writes it; it is decrypted again and compared "
                           "with the text before it takes its name. FILE.QvH is kept."),
                       0, kWidth);
    } else {
        const bool encrypting = *command == Command::Encrypt;
        text =
            usage + u' ' + QStringLiteral("quelvane-cli ") + NameOf(*command) + u' ' +
            QCoreApplication::translate("quelvane::cli", "[OPTION...]") + u' ' +
            QCoreApplication::translate("quelvane::cli", "[INPUT...]") + u'\n' +
            Wrapped(encrypting ? QCoreApplication::translate(
                                     "quelvane::cli",
                                     "Reads a text in any language (UTF-8, else Windows-1252; any line breaks) and "
                                     "writes it as Quelvane hex ciphertext, as the window's encryption makes it. A "
                                     "file holding a NUL byte is no text: --binary encrypts it.")
                               : QCoreApplication::translate(
                                     "quelvane::cli",
                                     "Reads Quelvane hex ciphertext and writes the text that was encrypted, as UTF-8 "
                                     "with LF line breaks (a text of CR LF lines comes back with LF); with --binary, "
                                     "the bytes exactly."),
                    0, kWidth);
    }
    const unsigned bit = command ? BitOf(*command) : kProgram;
    qsizetype column = 0;
    for (const Option& option : kOptions)
        if (option.commands & bit) column = qMax(column, OptionColumn(option).size() + 2);
    text += QStringLiteral("\n\n") + QCoreApplication::translate("quelvane::cli", "Options:") + u'\n';
    for (const Option& option : kOptions) {
        if (!(option.commands & bit)) continue;
        text += OptionColumn(option).leftJustified(column) + Wrapped(Tr(option.description), column, kWidth - column) +
                u'\n';
    }
    if (command && *command == Command::Upgrade)
        text += u'\n' +
                Wrapped(QCoreApplication::translate("quelvane::cli",
                                                    "A FILE.age that exists is replaced only with --force; one "
                                                    "failing FILE stops none of the others."),
                        0, kWidth) +
                u'\n';
    else if (command && *command != Command::Generate)
        text += u'\n' +
                Wrapped(QCoreApplication::translate("quelvane::cli",
                                                    "INPUT is a file, or standard input when absent or \"-\"."),
                        0, kWidth) +
                u'\n';
    else if (command)
        text += u'\n' +
                Wrapped(QCoreApplication::translate("quelvane::cli", "LENGTH is 3 to 448 characters, default 112."), 0,
                        kWidth) +
                u'\n';
    return text + u'\n' +
           Wrapped(QCoreApplication::translate(
                       "quelvane::cli", "Exit status: 0 done, 1 a file or the password failed, 2 a usage error."),
                   0, kWidth) +
           u'\n';
}

}  // namespace

bool ReadsStandardInput(const Arguments& args) {
    return args.command != Command::Generate && args.command != Command::Upgrade &&
           (args.inputs.isEmpty() || args.inputs.contains(QStringLiteral("-")));
}

bool ParseArguments(const QStringList& args, Arguments& out, QString* error) {
    out = Arguments();
    const Line line(args);
    const std::optional<Command> command = line.word ? CommandNamed(*line.word) : std::nullopt;
    // --help and --version win over everything else on the line.
    if (line.Has("help")) {
        out.help = true;
        out.helpText = HelpText(command);
        return true;
    }
    if (line.Has("version")) {
        out.version = true;
        return true;
    }
    if (!line.word)
        return Fail(error, QCoreApplication::translate("quelvane::cli",
                                                       "no command given (encrypt, decrypt, upgrade or generate)"));
    if (!command)
        return Fail(error, QCoreApplication::translate("quelvane::cli",
                                                       "unknown command \"%1\" (encrypt, decrypt, upgrade or generate)")
                               .arg(ShownName(*line.word)));
    if (!line.fault.isEmpty()) return Fail(error, line.fault);
    for (std::size_t i = 0; i < line.options.size(); ++i) {
        const Given& given = line.options[i];
        if (!(given.option->commands & BitOf(*command)))
            return Fail(
                error,
                QCoreApplication::translate("quelvane::cli", "%1 takes no %2").arg(NameOf(*command), given.spelled));
        for (std::size_t k = 0; k < i; ++k)
            if (given.option->valueName && line.options[k].option == given.option)
                return Fail(error,
                            QCoreApplication::translate("quelvane::cli", "%1 is given twice").arg(given.spelled));
    }

    out.command = *command;
    out.passwordFile = line.Value("password-file");
    out.output = line.Value("output");
    out.outputDir = line.Value("output-dir");
    out.force = line.Has("force");
    out.binary = line.Has("binary");
    out.quiet = line.Has("quiet");
    if (const std::optional<QString> format = line.Value("format")) out.format = *format;
    out.armor = !line.Has("no-armor");
    const QStringList& positional = line.operands;

    if (out.output && out.outputDir)
        return Fail(error,
                    QCoreApplication::translate("quelvane::cli", "--output and --output-dir exclude each other"));
    if (out.output == QStringLiteral("-")) out.output.reset();  // standard output, as without it
    if (out.format != QStringLiteral("quelvane") && out.format != QStringLiteral("age"))
        return Fail(error, QCoreApplication::translate("quelvane::cli", "unknown format \"%1\" (quelvane or age)")
                               .arg(ShownName(out.format)));
    if (!out.armor && out.format != QStringLiteral("age"))
        return Fail(error, QCoreApplication::translate("quelvane::cli", "--no-armor is for --format age"));
    if (out.command == Command::Generate) {
        if (positional.size() > 1)
            return Fail(error, QCoreApplication::translate("quelvane::cli", "generate takes one LENGTH at most"));
        if (!positional.isEmpty()) out.length = positional.first();
        return true;
    }
    out.inputs = positional;
    if (out.command == Command::Upgrade) {
        if (positional.isEmpty())
            return Fail(error, QCoreApplication::translate("quelvane::cli", "upgrade needs one FILE.QvH at least"));
        if (positional.contains(QStringLiteral("-")))
            return Fail(error, QCoreApplication::translate(
                                   "quelvane::cli",
                                   "upgrade needs FILE.QvH files: standard input has no name to write beside"));
        return true;
    }
    const bool fromStdin = ReadsStandardInput(out);
    if (out.outputDir) {
        if (fromStdin)
            return Fail(error,
                        QCoreApplication::translate(
                            "quelvane::cli", "--output-dir needs INPUT files: standard input has no name to write"));
    } else if (positional.size() > 1) {
        return Fail(error, QCoreApplication::translate("quelvane::cli", "several INPUT files need --output-dir DIR"));
    }
    if (fromStdin && out.passwordFile == QStringLiteral("-"))
        return Fail(error, QCoreApplication::translate(
                               "quelvane::cli",
                               "the password and the INPUT cannot both come from standard input: give the INPUT "
                               "as a file, or --password-file FILE"));
    return true;
}

}  // namespace quelvane::cli
