// SPDX-License-Identifier: MIT
#include "core/FileLoads.h"

#include <QCoreApplication>

#include <string>

#include "secret/SecureWipe.h"
#include "system/UserFiles.h"
#include "text/FieldReader.h"
#include "text/Payload.h"
#include "text/QtByteText.h"
#include "text/TextFileCodec.h"

namespace quelvane {

namespace {

bool Fail(QString* error, const QString& message) {
    if (error) *error = message;
    return false;
}

}  // namespace

bool LoadTextFile(const QString& path, QString& text, QString* error) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error)) return false;
    // The file exactly: commas, quotes and leading blanks stay; line breaks of any kind are the box's.
    text = DecodeTextFile(bytes);
    WipeBytes(bytes);
    return true;
}

bool LoadHexFile(const QString& path, QString& hex, QString* error) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error)) return false;
    // A byte-order mark, as some editors write, is no part of the hex text.
    QByteArrayView content = bytes;
    QByteArray narrowed;
    const TextFileEncoding encoding = DetectTextFile(bytes);
    if (encoding.form == TextFileForm::Utf16LE || encoding.form == TextFileForm::Utf16BE) {
        narrowed = DecodeTextFile(bytes).toUtf8();
        content = narrowed;
    } else if (content.startsWith("\xEF\xBB\xBF")) {
        content = content.sliced(3);  // also before bytes that are no UTF-8: they are no hex text either way
    }
    std::string joined;
    joined.reserve(static_cast<std::size_t>(content.size()));
    FieldReader reader(std::string_view(content.data(), static_cast<std::size_t>(content.size())));
    while (!reader.AtEnd()) {
        std::string field = reader.ReadNextField();
        joined += field;
        SecureWipe(field);
    }
    hex = FromByteText(QByteArrayView(joined.data(), static_cast<qsizetype>(joined.size())));
    SecureWipe(joined);  // the file may hold anything
    WipeBytes(narrowed);
    WipeBytes(bytes);
    return true;
}

bool LoadPasswordFile(const QString& path, QString& password, qsizetype* length, QString* error) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error)) return false;
    // A NUL byte is never written by the save and cannot be typed: such a
    // file is no password file.
    if (bytes.contains('\0')) {
        WipeBytes(bytes);
        return Fail(error, QCoreApplication::translate("quelvane::TextFiles",
                                                       "%1 holds a NUL byte, which a password cannot hold")
                               .arg(ShownName(path)));
    }
    // The UTF-8 after the mark where the save wrote it so, else a character a byte.
    password = FromMarkedBytes(bytes);
    WipeBytes(bytes);
    if (length) *length = password.size();
    if (password.size() > kPasswordMax) {
        // The box keeps the first 448; never half of a pair.
        const qsizetype keep = password.at(kPasswordMax).isLowSurrogate() ? kPasswordMax - 1 : kPasswordMax;
        SecureWipe(password.data() + keep, static_cast<std::size_t>(password.size() - keep) * sizeof(QChar));
        password.truncate(keep);
    }
    return true;
}

}  // namespace quelvane
