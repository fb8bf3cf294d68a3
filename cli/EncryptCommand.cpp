// SPDX-License-Identifier: MIT
#include "cli/EncryptCommand.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <cerrno>
#include <optional>
#include <string>

#include "cli/Progress.h"
#include "formats/StreamCipher.h"
#include "secret/SecureWipe.h"
#include "system/UserFiles.h"
#include "text/Payload.h"
#include "text/QtByteText.h"
#include "text/TextFileCodec.h"

namespace quelvane::cli {

namespace {

int Failed(const QString& name, const QString& message) {
    Report(WithName(name, message));
    return kFailed;
}

}  // namespace

int EncryptInput(Context& run, const Input& in, const QString& name, const QString& target) {
    const bool binary = run.args.binary;
    // The bar counts the scan and the encryption, each a pass over the input;
    // a prompt first would be drawn over, so then only the encryption.
    const bool prompts = run.Prompts();
    const qint64 passes = binary || prompts ? 1 : 2;
    if (!prompts) progress::Begin(in.Source().Size(), passes);
    const progress::CountingSource counted(in.Source());
    const ByteSource* source = &counted;
    TextFileLayout layout;
    QString error;
    if (!binary && !ScanTextFile(*source, layout, &error)) return Failed(name, error);
    if (binary ? source->Size() == 0 : layout.empty)
        return Failed(name,
                      QCoreApplication::translate("quelvane::cli", "the input is empty: there is no text to encrypt"));
    // UTF-16, or a text starting with the mark's characters: through memory, as the window takes it.
    const bool whole = !binary && layout.form == TextFileLayout::Form::Whole;
    MemorySink file, payload;
    if (whole) {
        file.bytes.resize(source->Size());
        errno = 0;
        if (!source->Read(0, file.bytes.data(), file.bytes.size()))
            return Failed(name,
                          errno ? QCoreApplication::translate("quelvane::cli", "the input cannot be read: %1")
                                      .arg(qt_error_string(errno))
                                : QCoreApplication::translate("quelvane::cli", "the input changed while it was read"));
        layout.nul = TextFileHoldsNul(file.bytes);
    }
    if (!binary && layout.nul)
        return Failed(name, QCoreApplication::translate(
                                "quelvane::cli",
                                "the input holds a NUL byte, so it is no text: --binary encrypts any file's bytes as "
                                "they are"));
    if (!FitsAFrame(binary || whole ? source->Size() : layout.payloadSize, &error)) return Failed(name, error);
    if (const int status = run.AskPassword()) return status;
    if (prompts) progress::Begin(in.Source().Size(), 1);
    std::string key;
    const auto wipeKey = qScopeGuard([&] { SecureWipe(key); });
    if (!run.KeyOf(run.Password(), name, QCoreApplication::translate("quelvane::cli", "it cannot be used as the key"),
                   key))
        return kFailed;
    std::optional<MemorySource> memory;
    if (whole) {
        QString loneAt;
        if (!PutPayloadOfTextFile(file.bytes, payload, &loneAt))
            return Failed(name, QCoreApplication::translate(
                                    "quelvane::cli",
                                    "%1 holds half of a character (a lone surrogate), which has no UTF-8 form, so "
                                    "the text cannot be encrypted")
                                    .arg(loneAt));
        WipeBytes(file.bytes);
        source = &memory.emplace(payload.bytes);
    }
    const TextFileLayout* text = binary || whole ? nullptr : &layout;
    QString failure;
    const bool written = run.WriteOut(
        target,
        [&](FileSink& out) {
            // On standard output one line end follows the hex text; a file holds the digits alone.
            return EncryptToHex(*source, text, key, out, &failure) && (!target.isEmpty() || out.Put("\n", 1));
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
