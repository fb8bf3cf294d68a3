// SPDX-License-Identifier: MIT
#include "core/FileLoads.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <string>

#include "age/Armor.h"
#include "age/Detect.h"

#include "secret/SecureWipe.h"
#include "system/Fail.h"
#include "system/UserFiles.h"
#include "text/FieldReader.h"
#include "text/Payload.h"
#include "text/QtByteText.h"
#include "text/TextFileCodec.h"
#include "text/Utf8.h"

namespace quelvane {

namespace {

// A file beyond what the work text box holds is not read at all: reading it
// would take minutes and gigabytes before it could be refused.
bool FitsTheWorkText(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() <= kWorkTextMax) return true;
    return Fail(error, QCoreApplication::translate("quelvane::TextFiles", "Cannot read %1: %2")
                           .arg(ShownName(path), QCoreApplication::translate("quelvane::TextFiles",
                                                                             "it is %1 bytes, and the work text holds "
                                                                             "at most %2 characters")
                                                     .arg(info.size())
                                                     .arg(kWorkTextMax)));
}

QString CannotRead(const QString& path, const QString& reason) {
    return QCoreApplication::translate("quelvane::TextFiles", "Cannot read %1: %2").arg(ShownName(path), reason);
}

// A name that is not UTF-8 (from the command line) would be a different
// file under Qt's names: its own bytes are opened.
bool ReadUserFile(const QString& path, QByteArray& bytes, QString* error) {
    if (NameBytes(path) == QFile::encodeName(path))
        return FitsTheWorkText(path, error) && ReadWholeFile(path, bytes, error);
    const QString reason = ReadFileByNameBytes(path, bytes, [](qint64 size) {
        if (size <= kWorkTextMax) return QString();
        return QCoreApplication::translate("quelvane::TextFiles",
                                           "it is %1 bytes, and the work text holds at most %2 characters")
            .arg(size)
            .arg(kWorkTextMax);
    });
    return reason.isEmpty() || Fail(error, CannotRead(path, reason));
}

}  // namespace

bool LoadTextFile(const QString& path, QString& text, QString* error) {
    QByteArray bytes;
    if (!ReadUserFile(path, bytes, error)) return false;
    if (TextFileHoldsNul(bytes)) {
        WipeBytes(bytes);
        return Fail(error, QCoreApplication::translate("quelvane::TextFiles", "Cannot read %1: %2")
                               .arg(ShownName(path),
                                    QCoreApplication::translate("quelvane::TextFiles",
                                                                "it holds a NUL byte, so it is no text (quelvane-cli "
                                                                "--binary encrypts any file)")));
    }
    // The file exactly: commas, quotes and leading blanks stay; line breaks of any kind are the box's.
    text = DecodeTextFile(bytes);
    WipeBytes(bytes);
    return true;
}

bool LoadHexFile(const QString& path, QString& hex, QString* error) {
    QByteArray bytes;
    if (!ReadUserFile(path, bytes, error)) return false;
    switch (age::DetectAge(std::string_view(bytes.constData(), std::size_t(bytes.size())))) {
        case age::AgeForm::Armored:
            // As it is: its line breaks are part of it.
            hex = QString::fromLatin1(bytes);
            WipeBytes(bytes);
            return true;
        case age::AgeForm::Binary: {
            // The box holds text: the same file in its armor, which decrypts alike.
            std::string armored;
            age::ArmorWriter writer;
            writer.Write(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()), &armored);
            writer.Finish(&armored);
            hex = QString::fromLatin1(armored.data(), qsizetype(armored.size()));
            WipeBytes(bytes);
            return true;
        }
        case age::AgeForm::None:
            break;
    }
    // A byte-order mark, as some editors write, is no part of the hex text.
    QByteArrayView content = bytes;
    QByteArray narrowed;
    const TextFileEncoding encoding = DetectTextFile(bytes);
    if (encoding.form == TextFileForm::Utf16LE || encoding.form == TextFileForm::Utf16BE) {
        narrowed = DecodeTextFile(bytes).toUtf8();
        content = narrowed;
    } else if (ByteOrderMark(content).form == TextFileForm::Utf8) {
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

bool PasswordOfFile(const QByteArray& bytes, const QString& name, QString& password, QString* utf8, QString* error) {
    password.clear();
    if (utf8) utf8->clear();
    const bool little = bytes.startsWith("\xFF\xFE"), big = bytes.startsWith("\xFE\xFF");
    if ((little || big) && bytes.size() % 2 == 0) {
        // UTF-16 as a text file is read: its NUL bytes are halves of characters.
        password.resize((bytes.size() - 2) / 2);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + 2;
        for (qsizetype i = 0; i < password.size(); ++i, p += 2)
            password[i] = QChar(static_cast<char16_t>(little ? p[0] | p[1] << 8 : p[0] << 8 | p[1]));
    } else if (!bytes.contains('\0')) {
        // The UTF-8 after the mark where the save wrote it so, else a character a byte.
        password = FromMarkedBytes(bytes);
        utf8::Scan scan;
        if (utf8 && !ReadsAsUtf8(bytes) &&
            utf8::IsValid(reinterpret_cast<const unsigned char*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size()), &scan) &&
            scan.nonAscii)
            *utf8 = QString::fromUtf8(bytes);
    }
    // A NUL is never written by the save and cannot be typed: such a file is no password file.
    if (password.contains(QChar(0)) || (password.isEmpty() && bytes.contains('\0'))) {
        if (!password.isEmpty()) SecureWipe(password.data(), static_cast<std::size_t>(password.size()) * sizeof(QChar));
        password.clear();
        return Fail(error, QCoreApplication::translate("quelvane::TextFiles",
                                                       "%1 holds a NUL byte, which a password cannot hold")
                               .arg(ShownName(name)));
    }
    return true;
}

bool LoadPasswordFile(const QString& path, QString& password, qsizetype* length, QString* error) {
    QByteArray bytes;
    if (!ReadUserFile(path, bytes, error)) return false;
    const bool read = PasswordOfFile(bytes, path, password, nullptr, error);
    WipeBytes(bytes);
    if (!read) return false;
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
