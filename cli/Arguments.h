// SPDX-License-Identifier: MIT
#pragma once
// The command line of quelvane-cli: one command, its options and operands.
// Nothing on it is secret: the password comes from a file or the terminal.
#include <QString>
#include <QStringList>
#include <optional>

namespace quelvane::cli {

enum class Command { Encrypt, Decrypt, Generate };

struct Arguments {
    bool help = false;
    QString helpText;  // of the command named, or of the program
    bool version = false;
    Command command = Command::Encrypt;
    std::optional<QString> passwordFile;
    std::optional<QString> output;
    std::optional<QString> outputDir;
    bool force = false;
    bool binary = false;  // any bytes as they are, not a text
    QStringList inputs;  // empty, or "-": standard input
    QString length;  // generate's LENGTH, "" for the default
};

// Parses the arguments after the program's name, on QCommandLineParser
// (which makes the help); messages in the program's own words. False with
// *error, a one-line message, for a usage error. Needs a QCoreApplication.
bool ParseArguments(const QStringList& args, Arguments& out, QString* error);

}  // namespace quelvane::cli
