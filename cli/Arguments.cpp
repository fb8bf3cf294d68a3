// SPDX-License-Identifier: MIT
#include "cli/Arguments.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

namespace quelvane::cli {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("quelvane::cli", text); }

bool Fail(QString* error, const QString& message) {
    if (error) *error = message;
    return false;
}

// Every option of the program, and the commands that take it.
struct Option {
    const char* name;
    const char* valueName;  // nullptr: a switch
    const char* description;
    bool encrypt, decrypt, generate;
};

constexpr Option kOptions[] = {
    {"password-file", QT_TRANSLATE_NOOP("quelvane::cli", "FILE"),
     QT_TRANSLATE_NOOP("quelvane::cli",
                       "The password: the text of a password file (.QvP). Without it the password is "
                       "asked on the terminal."),
     true, true, false},
    {"output", QT_TRANSLATE_NOOP("quelvane::cli", "FILE"),
     QT_TRANSLATE_NOOP("quelvane::cli", "Write the result to FILE, only once it is complete."), true, true, true},
    {"output-dir", QT_TRANSLATE_NOOP("quelvane::cli", "DIR"),
     QT_TRANSLATE_NOOP("quelvane::cli",
                       "Write each INPUT to DIR under its own name, with the suffix .QvH (encrypt) "
                       "or .TxT (decrypt)."),
     true, true, false},
    {"force", nullptr, QT_TRANSLATE_NOOP("quelvane::cli", "Replace files that exist; never without it."), true, true,
     true},
    {"binary", nullptr,
     QT_TRANSLATE_NOOP("quelvane::cli",
                       "Encrypt any file's bytes exactly as they are (an image, an archive), and "
                       "decrypt to exactly the bytes encrypted."),
     true, true, false},
};

bool Takes(const Option& option, Command command) {
    return command == Command::Encrypt   ? option.encrypt
           : command == Command::Decrypt ? option.decrypt
                                         : option.generate;
}

std::optional<Command> CommandNamed(const QString& name) {
    if (name == QLatin1String("encrypt")) return Command::Encrypt;
    if (name == QLatin1String("decrypt")) return Command::Decrypt;
    if (name == QLatin1String("generate")) return Command::Generate;
    return std::nullopt;
}

// "-" is standard input and "-5" a (refused) LENGTH: operands, not options.
bool IsOption(const QString& arg) {
    static const QRegularExpression operand(QStringLiteral("^-($|[0-9.])"));
    return arg.startsWith(u'-') && !operand.match(arg).hasMatch();
}

// The command: the first operand before "--".
std::optional<QString> CommandWord(const QStringList& args, qsizetype& at) {
    for (at = 0; at < args.size(); ++at) {
        if (args[at] == QLatin1String("--")) break;
        if (IsOption(args[at])) {
            // The value of an option that takes one is no command.
            const QString name = args[at].mid(2);
            for (const Option& option : kOptions)
                if (option.valueName && name == QLatin1String(option.name)) ++at;
            continue;
        }
        return args[at];
    }
    return std::nullopt;
}

class Parser {
public:
    explicit Parser(std::optional<Command> command) : command(command) {
        parser.setApplicationDescription(Description());
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addHelpOption();
        parser.addVersionOption();
        for (const Option& option : kOptions) {
            if (command && !Takes(option, *command)) continue;
            QCommandLineOption added(QString::fromLatin1(option.name), Tr(option.description));
            if (option.valueName) added.setValueName(Tr(option.valueName));
            parser.addOption(added);
        }
        if (!command) {
            parser.addPositionalArgument(QStringLiteral("command"),
                                         QCoreApplication::translate("quelvane::cli", "encrypt, decrypt or generate"),
                                         QStringLiteral("encrypt|decrypt|generate"));
        } else if (*command == Command::Generate) {
            parser.addPositionalArgument(QStringLiteral("generate"),
                                         QCoreApplication::translate("quelvane::cli", "Makes a random password."));
            parser.addPositionalArgument(
                QCoreApplication::translate("quelvane::cli", "LENGTH"),
                QCoreApplication::translate("quelvane::cli", "Its length: 3 to 448 characters, default 112."),
                QCoreApplication::translate("quelvane::cli", "[LENGTH]"));
        } else {
            const bool encrypting = *command == Command::Encrypt;
            parser.addPositionalArgument(
                QString::fromLatin1(encrypting ? "encrypt" : "decrypt"),
                encrypting ? QCoreApplication::translate("quelvane::cli", "Encrypts texts into hex ciphertext.")
                           : QCoreApplication::translate("quelvane::cli", "Decrypts hex ciphertext into texts."));
            parser.addPositionalArgument(
                QCoreApplication::translate("quelvane::cli", "INPUT"),
                QCoreApplication::translate("quelvane::cli", "A file, or standard input when absent or \"-\"."),
                QCoreApplication::translate("quelvane::cli", "[INPUT...]"));
        }
    }

    QString Description() const {
        QString text;
        if (!command) {
            text = QCoreApplication::translate(
                "quelvane::cli",
                "Encrypts texts into Quelvane hex ciphertext and back, as the window does, and makes random "
                "passwords.\n\n"
                "  quelvane-cli encrypt [--password-file FILE] [--output FILE] [--force] [--binary] [INPUT]\n"
                "  quelvane-cli decrypt [--password-file FILE] [--output FILE] [--force] [--binary] [INPUT]\n"
                "  quelvane-cli encrypt|decrypt --output-dir DIR [--password-file FILE] [--force] [--binary] "
                "INPUT...\n"
                "  quelvane-cli generate [--output FILE] [--force] [LENGTH]\n\n"
                "\"quelvane-cli COMMAND --help\" tells more of a command.");
        } else if (*command == Command::Encrypt) {
            text = QCoreApplication::translate(
                "quelvane::cli",
                "Reads a text in any language (UTF-8, else Windows-1252; any line breaks) and writes it as "
                "Quelvane hex ciphertext, as the window's \"&Quelvane\" makes it. A file holding a NUL byte is "
                "no text: --binary encrypts it.");
        } else if (*command == Command::Decrypt) {
            text = QCoreApplication::translate(
                "quelvane::cli",
                "Reads Quelvane hex ciphertext and writes the text that was encrypted, as UTF-8 with LF line "
                "breaks (a text of CR LF lines comes back with LF); with --binary, the bytes exactly.");
        } else {
            text = QCoreApplication::translate(
                "quelvane::cli",
                "Makes a random password of LENGTH characters from the characters with codes 30 to 127, drawn "
                "from the system's secure source.");
        }
        return text;
    }

    QString HelpText() const {
        return parser.helpText() + u'\n' +
               QCoreApplication::translate("quelvane::cli",
                                           "Exit status: 0 done, 1 a file or the password failed, 2 a usage error.") +
               u'\n';
    }

    QCommandLineParser parser;
    std::optional<Command> command;
};

// The options on the line, for messages in our own words.
QStringList OptionNames(const QStringList& args) {
    QStringList names;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--")) break;
        if (IsOption(arg)) names << arg.section(u'=', 0, 0);
    }
    return names;
}

bool CheckOptions(const Parser& p, const QStringList& args, QString* error) {
    const QCommandLineParser& parser = p.parser;
    for (const QString& name : parser.unknownOptionNames()) {
        const QString dashed = (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        for (const Option& option : kOptions)
            if (name == QLatin1String(option.name) && p.command)
                return Fail(error, QCoreApplication::translate("quelvane::cli", "%1 takes no %2")
                                       .arg(QString::fromLatin1(p.command == Command::Generate  ? "generate"
                                                                : p.command == Command::Encrypt ? "encrypt"
                                                                                                : "decrypt"),
                                            dashed));
        return Fail(error, QCoreApplication::translate("quelvane::cli", "unknown option %1")
                               .arg(dashed));  // the name only: never a value glued to it
    }
    for (const Option& option : kOptions) {
        const QString name = QString::fromLatin1(option.name);
        if (!parser.optionNames().contains(name)) continue;
        const QString dashed = QStringLiteral("--") + name;
        if (option.valueName && parser.values(name).size() > 1)
            return Fail(error, QCoreApplication::translate("quelvane::cli", "%1 is given twice").arg(dashed));
        if (option.valueName && parser.value(name).isEmpty())
            return Fail(error, QCoreApplication::translate("quelvane::cli", "%1 needs a value").arg(dashed));
    }
    // A value option last on the line: Qt's words would say so less plainly.
    const QStringList names = OptionNames(args);
    if (!names.isEmpty() && args.last().section(u'=', 0, 0) == names.last())
        for (const Option& option : kOptions)
            if (option.valueName && names.last() == QStringLiteral("--") + QLatin1String(option.name) &&
                !args.last().contains(u'='))
                return Fail(error, QCoreApplication::translate("quelvane::cli", "%1 needs a value").arg(names.last()));
    return true;
}

}  // namespace

bool ParseArguments(const QStringList& args, Arguments& out, QString* error) {
    out = Arguments();
    qsizetype at = 0;
    const std::optional<QString> word = CommandWord(args, at);
    const std::optional<Command> command = word ? CommandNamed(*word) : std::nullopt;

    // The command word is taken out; "-5" and such go after "--", where the
    // parser takes them as operands.
    QStringList line{QStringLiteral("quelvane-cli")};
    QStringList operands;
    bool optionsEnd = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (i == at && word) continue;
        const QString& arg = args[i];
        if (!optionsEnd && arg == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        if (optionsEnd || (arg.startsWith(u'-') && !IsOption(arg)))
            operands << arg;
        else
            line << arg;
    }
    if (!operands.isEmpty()) line << QStringLiteral("--") << operands;

    Parser p(command);
    const bool parsed = p.parser.parse(line);
    // --help and --version win over everything else on the line.
    if (p.parser.isSet(QStringLiteral("help")) || p.parser.isSet(QStringLiteral("help-all"))) {
        out.help = true;
        out.helpText = p.HelpText();
        return true;
    }
    if (p.parser.isSet(QStringLiteral("version"))) {
        out.version = true;
        return true;
    }
    if (!word)
        return Fail(error,
                    QCoreApplication::translate("quelvane::cli", "no command given (encrypt, decrypt or generate)"));
    if (!command)
        return Fail(
            error, QCoreApplication::translate("quelvane::cli", "unknown command \"%1\" (encrypt, decrypt or generate)")
                       .arg(*word));
    if (!CheckOptions(p, args, error)) return false;
    if (!parsed) return Fail(error, p.parser.errorText());

    const QCommandLineParser& parser = p.parser;
    const auto value = [&](const char* name) -> std::optional<QString> {
        const QString option = QString::fromLatin1(name);
        if (!parser.optionNames().contains(option)) return std::nullopt;
        return parser.value(option);
    };
    out.command = *command;
    out.passwordFile = value("password-file");
    out.output = value("output");
    out.outputDir = value("output-dir");
    out.force = parser.isSet(QStringLiteral("force"));
    out.binary = out.command != Command::Generate && parser.isSet(QStringLiteral("binary"));
    const QStringList positional = parser.positionalArguments();

    if (out.output && out.outputDir)
        return Fail(error,
                    QCoreApplication::translate("quelvane::cli", "--output and --output-dir exclude each other"));
    if (out.command == Command::Generate) {
        if (positional.size() > 1)
            return Fail(error, QCoreApplication::translate("quelvane::cli", "generate takes one LENGTH at most"));
        if (!positional.isEmpty()) out.length = positional.first();
        return true;
    }
    out.inputs = positional;
    const bool fromStdin = positional.isEmpty() || positional.contains(QStringLiteral("-"));
    if (out.outputDir) {
        if (fromStdin)
            return Fail(error,
                        QCoreApplication::translate(
                            "quelvane::cli", "--output-dir needs INPUT files: standard input has no name to write"));
    } else if (positional.size() > 1) {
        return Fail(error, QCoreApplication::translate("quelvane::cli", "several INPUT files need --output-dir DIR"));
    }
    return true;
}

}  // namespace quelvane::cli
