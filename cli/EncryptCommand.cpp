// SPDX-License-Identifier: MIT
#include "cli/EncryptCommand.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <string>

#include "cli/Progress.h"
#include "formats/FormatRegistry.h"
#include "secret/SecretBytes.h"

namespace quelvane::cli {

namespace {

int Failed(const QString& name, const QString& message) {
    Report(WithName(name, message));
    return kFailed;
}

}  // namespace

int EncryptInput(Context& run, const Input& in, const QString& name, const QString& target) {
    const bool binary = run.args.binary;
    const progress::CountingSource counted(in.Source());
    CiphertextFormat& format = run.formats.Chosen();
    const auto encryptor = format.EncryptStream(counted, StreamOptions{!binary, run.args.armor});
    // The bar counts every pass the format makes over the input; a prompt
    // first would be drawn over, so then only the encryption's.
    const bool prompts = run.Prompts();
    if (!prompts) progress::Begin(in.Source().Size(), encryptor->Passes());
    QString error;
    bool empty = false;
    if (!encryptor->Inspect(empty, &error)) return Failed(name, error);
    if (empty)
        return Failed(name,
                      QCoreApplication::translate("quelvane::cli", "the input is empty: there is no text to encrypt"));
    if (const int status = run.AskPassword()) return status;
    if (prompts) progress::Begin(in.Source().Size(), 1);
    SecretString key;
    if (!run.KeyOf(format, run.Password(), name,
                   QCoreApplication::translate("quelvane::cli", "it cannot be used as the key"), key))
        return kFailed;
    if (!encryptor->Prepare(key, &error)) return Failed(name, error);
    QString failure;
    const bool written = run.WriteOut(
        target,
        [&](FileSink& out) {
            // On standard output one line end follows the ciphertext; a file holds it alone.
            // A file that grew meanwhile was not read whole: nothing of it goes out.
            return encryptor->Encrypt(out, &failure) && in.EndsWhereItDid(&failure) &&
                   (!target.isEmpty() || out.Put("\n", 1));
        },
        &error);
    if (!failure.isEmpty()) return Failed(name, failure);
    if (!written) {
        if (target.isEmpty()) return Report(error), kFailed;
        return Failed(name, error);
    }
    progress::End();
    return kDone;
}

}  // namespace quelvane::cli
