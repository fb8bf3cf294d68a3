// SPDX-License-Identifier: MIT
#pragma once
// What the commands of one run share: the parsed line, the password once
// asked, the private folder for kept inputs, and the words on standard error.
#include <QList>
#include <QString>
#include <functional>
#include <string>

#include "cli/Arguments.h"
#include "cli/Password.h"
#include "formats/FormatRegistry.h"
#include "secret/SecretBytes.h"
#include "system/TemporaryFolder.h"
#include "text/FileSink.h"

namespace quelvane::cli {

// Exit statuses.
inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

// A line on standard error, "quelvane-cli: " first; errors are never silenced.
void Report(const QString& message);

// "name: message", the name escaped as every name a message shows.
QString WithName(const QString& name, const QString& message);

// The save commands ask before they replace a file; here --force is the yes.
// A folder of that name is left to the writer, which says so.
bool MayWrite(const QString& path, bool force, QString* error);

class Context {
public:
    explicit Context(const Arguments& args) : args(args) {}
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // Reported unless --quiet.
    void Warn(const QString& message) const;

    // Asks the password once a run; kDone, or the exit status of its failure (reported).
    int AskPassword();
    const QString& Password() const { return password; }
    // Whether AskPassword is yet to ask on the terminal (nothing may be drawn meanwhile).
    bool Prompts() const { return !args.passwordFile && password.isEmpty(); }
    // Other readings of the password, for a second try on a wrong one.
    const QList<OtherReading>& OtherReadings() const { return others; }

    // The password's bytes as format's key; false, reported with name and
    // consequence, when it makes none.
    bool KeyOf(const CiphertextFormat& format, const QString& password, const QString& name, const QString& consequence,
               SecretString& key) const;

    // Where a result goes: the target file, written beside it and put in
    // place once produce is done, or standard output: a decrypted text once
    // produce is done, a ciphertext as it comes but for its end.
    bool WriteOut(const QString& target, const std::function<bool(FileSink&)>& produce, QString* error) const;

    const Arguments& args;
    mutable TemporaryFolder folder;  // where standard input, pipes and results for standard output are kept
    CiphertextFormats formats;  // the chosen one for encrypting; the input's own for decrypting

private:
    QString password;
    QList<OtherReading> others;
};

}  // namespace quelvane::cli
