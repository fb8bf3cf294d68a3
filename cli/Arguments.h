// SPDX-License-Identifier: MIT
#pragma once
// The command line of quelvane-cli: one command, its options and operands.
// Nothing on it is secret: the password comes from a file or the terminal.
#include <QString>
#include <QStringList>
#include <optional>

namespace quelvane::cli {

enum class Command { Encrypt, Decrypt, Generate, Upgrade };

struct Arguments {
    bool help = false;
    QString helpText;  // of the command named, or of the program
    bool version = false;
    Command command = Command::Encrypt;
    std::optional<QString> passwordFile;  // "-": standard input
    std::optional<QString> output;  // unset: standard output ("--output -" too)
    std::optional<QString> outputDir;
    bool force = false;
    bool binary = false;  // any bytes as they are, not a text
    bool quiet = false;  // no progress and no warnings; errors still
    QString format = QStringLiteral("quelvane");  // of new ciphertext: "quelvane" or "age"
    bool armor = true;  // age files armored (the default) or binary (--no-armor)
    QStringList inputs;  // empty, or "-": standard input; upgrade's FILEs
    QString length;  // generate's LENGTH, "" for the default
};

// Whether the command reads standard input as its INPUT.
bool ReadsStandardInput(const Arguments& args);

// Parses the arguments after the program's name from one table of options.
// A value option takes the next word whatever it is ("-" and "--"
// included), or its value after "="; the words it takes are never operands.
// False with *error, a one-line message in the program's own words, for a
// usage error. Needs a QCoreApplication for the translations.
bool ParseArguments(const QStringList& args, Arguments& out, QString* error);

}  // namespace quelvane::cli
