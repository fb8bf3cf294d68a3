// SPDX-License-Identifier: MIT
#include "core/TextFiles.h"

#include <QCoreApplication>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "cipher/ByteText.h"
#include "cipher/SafeFile.h"
#include "cipher/SecureWipe.h"
#include "core/FieldReader.h"
#include "core/PasswordGenerator.h"
#include "core/Payload.h"
#include "core/Platform.h"
#include "core/QtByteText.h"
#include "core/Utf8.h"
#include "core/WorkText.h"

namespace quelvane {

namespace {

QString ReadError(const QString& path, const QString& reason) {
    return QCoreApplication::translate("quelvane::TextFiles", "Cannot read %1: %2").arg(ShownName(path), reason);
}

QString SaveError(const QString& path, const QString& reason) {
    return QCoreApplication::translate("quelvane::TextFiles", "Cannot save %1: %2").arg(ShownName(path), reason);
}

bool Fail(QString* error, const QString& message) {
    if (error) *error = message;
    return false;
}

// How a text file's bytes are read. Saving relies on it as well: a text
// whose byte text would be read as anything else is saved another way.
enum class Form { ByteText, Utf8, Utf16LE, Utf16BE };

struct Encoding {
    Form form = Form::ByteText;
    std::size_t skip = 0;  // the byte-order mark
};

Encoding Detect(const unsigned char* p, std::size_t n) {
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        // A mark followed by invalid bytes is no UTF-8: the byte-text rule loses nothing.
        if (utf8::IsValid(p + 3, n - 3)) return {Form::Utf8, 3};
        return {};
    }
    if (n >= 2 && n % 2 == 0 && p[0] == 0xFF && p[1] == 0xFE) return {Form::Utf16LE, 2};
    if (n >= 2 && n % 2 == 0 && p[0] == 0xFE && p[1] == 0xFF) return {Form::Utf16BE, 2};
    utf8::Scan scan;
    if (utf8::IsValid(p, n, &scan) && scan.nonAscii) return {Form::Utf8, 0};
    return {};
}

Encoding Detect(QByteArrayView bytes) {
    return Detect(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<std::size_t>(bytes.size()));
}

bool HasLoneSurrogate(QStringView text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (!c.isSurrogate()) continue;
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        return true;
    }
    return false;
}

// The text as UTF-8, "\n" as CR LF, with or without the byte-order mark.
// Written straight into the result: no other copy of the text is made.
QByteArray EncodeUtf8(QStringView text, bool mark) {
    QByteArray bytes(3 + 3 * text.size(), Qt::Uninitialized);  // 3 bytes a unit at most, CR LF included
    const qsizetype start = mark ? 3 : 0;
    std::copy_n("\xEF\xBB\xBF", start, bytes.data());
    qsizetype pos = 0;
    bool lone = false;  // never: such a text goes as UTF-16
    const qsizetype n = utf8::Encode(text, pos, bytes.data() + start, bytes.size() - start, true, &lone);
    bytes.truncate(start + n);  // keeps the buffer: nothing is left behind in a freed one
    return bytes;
}

// The text as UTF-16LE with the mark, "\n" as CR LF: the one form that
// holds a lone surrogate half.
QByteArray EncodeUtf16(QStringView text) {
    QByteArray bytes(2 + 4 * text.size(), Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(bytes.data());
    qsizetype o = 0;
    auto put = [&](char16_t u) {
        out[o++] = static_cast<unsigned char>(u & 0xFF);
        out[o++] = static_cast<unsigned char>(u >> 8);
    };
    put(0xFEFF);
    for (const QChar c : text) {
        if (c == u'\n') put(u'\r');
        put(c.unicode());
    }
    bytes.truncate(o);
    return bytes;
}

}  // namespace

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error) {
    bytes.clear();
    const QFileInfo info(path);
    if (info.isDir())
        return Fail(error,
                    ReadError(path, QCoreApplication::translate("quelvane::TextFiles", "it is a folder, not a file")));
    // A pipe or a device could block or never end: only regular files.
    if (info.exists() && !info.isFile())
        return Fail(error,
                    ReadError(path, QCoreApplication::translate("quelvane::TextFiles", "it is not a regular file")));
    QFile file(path);
    // Unbuffered: Qt's read buffer would be freed with the bytes of a small
    // file still in it, and the file may hold a password or a text.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Fail(error, ReadError(path, file.errorString()));
    const qint64 size = file.size();
    try {
        if (size > 0) {
            if (size >= std::numeric_limits<qsizetype>::max() / 2) throw std::bad_alloc();
            bytes.resize(static_cast<qsizetype>(size));
            qint64 got = 0;
            while (got < size) {
                const qint64 r = file.read(bytes.data() + got, size - got);
                if (r < 0) {
                    WipeBytes(bytes);
                    return Fail(error, ReadError(path, file.errorString()));
                }
                if (r == 0) break;  // the file shrank while we read it
                got += r;
            }
            bytes.truncate(static_cast<qsizetype>(got));
        } else {
            // Size 0 may still hold data (pseudo-files such as /proc): read what there is.
            bytes = file.readAll();
            if (file.error() != QFileDevice::NoError) {
                WipeBytes(bytes);
                return Fail(error, ReadError(path, file.errorString()));
            }
        }
    } catch (const std::bad_alloc&) {
        bytes = QByteArray();
        return Fail(error, ReadError(path, QCoreApplication::translate("quelvane::TextFiles",
                                                                       "the file is too large to load (%1 bytes)")
                                               .arg(size)));
    }
    return true;
}

QString DecodeTextFile(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto n = static_cast<std::size_t>(bytes.size());
    QString text;
    const bool utf8Mark = n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF;
    const bool utf16LE = !utf8Mark && n >= 2 && n % 2 == 0 && p[0] == 0xFF && p[1] == 0xFE;
    const bool utf16BE = !utf8Mark && n >= 2 && n % 2 == 0 && p[0] == 0xFE && p[1] == 0xFF;
    bool nonAscii = false, carriageReturn = true;
    if (utf16LE || utf16BE) {
        // Unit for unit, lone surrogate halves included: what the save wrote.
        text = QString(static_cast<qsizetype>(n / 2 - 1), Qt::Uninitialized);
        auto* out = reinterpret_cast<char16_t*>(text.data());
        const int high = utf16LE ? 1 : 0;
        for (std::size_t i = 0; i + 1 < n / 2; ++i)
            out[i] = static_cast<char16_t>(p[2 + 2 * i + high] << 8 | p[2 + 2 * i + 1 - high]);
    } else if (!utf8Mark && !(utf8::Decode(p, n, text, &nonAscii, &carriageReturn))) {
        // Not UTF-8: the byte-text rule loses nothing, so the file's bytes all survive.
        text = FromByteText(bytes);
        carriageReturn = true;
    } else if (utf8Mark && !utf8::Decode(p + 3, n - 3, text, &nonAscii, &carriageReturn)) {
        // A mark followed by invalid bytes is no UTF-8 either. A mark after
        // the one skipped is a character of the text.
        text = FromByteText(bytes);
        carriageReturn = true;
    }
    // Valid UTF-8 of ASCII alone reads the same as byte text, so the decoded
    // text serves for both.
    if (carriageReturn) utf8::NormaliseLineBreaks(text);
    return text;
}

QByteArray EncodeTextFile(const QString& text) {
    // Byte text, as the files have always held, when the load reads it back
    // as it is. Byte text that happens to be valid UTF-8 or to start like a
    // byte-order mark would not: that text goes as UTF-8 with the mark.
    QByteArray bytes;
    if (WorkTextToBytes(text, bytes)) {
        if (Detect(bytes).form == Form::ByteText) return bytes;
        WipeBytes(bytes);
        return EncodeUtf8(text, true);
    }
    // A character outside the code page: UTF-8, which the load reads back
    // (with the mark when the text itself starts with one). Only UTF-16
    // holds a lone surrogate half.
    if (HasLoneSurrogate(text)) return EncodeUtf16(text);
    return EncodeUtf8(text, text.startsWith(QChar(0xFEFF)));
}

namespace {

class AtomicFileSink : public FileSink {
public:
    explicit AtomicFileSink(safefile::AtomicFile& f) : file(f) {}
    bool Put(const char* data, qsizetype size) override {
        failed = failed || !file.Write(data, static_cast<std::size_t>(size));
        return !failed;
    }
    using FileSink::Put;
    bool failed = false;

private:
    safefile::AtomicFile& file;
};

// Why a file could not be written, in the user's words.
QString Reason(const safefile::Status& status) {
    switch (status.fault) {
        case safefile::Fault::Link:
            return QCoreApplication::translate(
                "quelvane::TextFiles", "it is a symbolic link, which Quelvane never writes through or replaces");
        case safefile::Fault::Folder:
            return QCoreApplication::translate("quelvane::TextFiles", "a folder of that name exists");
        case safefile::Fault::Special:
            return QCoreApplication::translate(
                "quelvane::TextFiles", "it is a pipe, a device or a socket, not a regular file, and is never replaced");
        case safefile::Fault::Exists:
            return QCoreApplication::translate("quelvane::TextFiles", "a file of that name exists");
        case safefile::Fault::System:
        case safefile::Fault::None:
            break;
    }
    return qt_error_string(status.error);
}

}  // namespace

bool WriteFileAtomically(const QString& path, const std::function<bool(FileSink&)>& produce, QString* error,
                         Existing existing) {
    if (error) error->clear();
    safefile::AtomicFile file;
    const safefile::Status opened =
        file.Open(QFile::encodeName(path).toStdString(),
                  existing == Existing::Refuse ? safefile::Existing::Refuse : safefile::Existing::Replace,
                  existing == Existing::ReplaceOwnerOnly);
    if (!opened.ok()) return Fail(error, SaveError(path, Reason(opened)));
    AtomicFileSink sink(file);
    // Abandoned on any failure: the fresh file goes, the old file stays.
    if (!produce(sink) || sink.failed) {
        const int code = file.Error();
        file.Abandon();
        return sink.failed ? Fail(error, SaveError(path, qt_error_string(code))) : false;
    }
    const safefile::Status committed = file.Commit();
    if (!committed.ok()) return Fail(error, SaveError(path, Reason(committed)));
    return true;
}

bool SaveFileAtomically(const QString& path, QByteArrayView bytes, QString* error, Existing existing) {
    return WriteFileAtomically(
        path, [&](FileSink& out) { return out.Put(bytes); }, error, existing);
}

bool IsEmptyTextFile(QByteArrayView file) {
    return file.isEmpty() || file == QByteArrayView("\xEF\xBB\xBF", 3) || file == QByteArrayView("\xFF\xFE", 2) ||
           file == QByteArrayView("\xFE\xFF", 2);
}

bool TextFileHoldsNul(QByteArrayView file) {
    const auto* p = reinterpret_cast<const unsigned char*>(file.data());
    const qsizetype n = file.size();
    const Form form = n >= 2 && n % 2 == 0 && p[0] == 0xFF && p[1] == 0xFE   ? Form::Utf16LE
                      : n >= 2 && n % 2 == 0 && p[0] == 0xFE && p[1] == 0xFF ? Form::Utf16BE
                                                                             : Form::ByteText;
    if (form == Form::ByteText) return file.contains('\0');  // UTF-8 or byte text: the byte is the character
    for (qsizetype i = 2; i + 1 < n; i += 2)
        if (p[i] == 0 && p[i + 1] == 0) return true;
    return false;
}

bool RegularFileExists(const QString& path) { return QFileInfo(path).isFile(); }

// A file beyond what the work text box holds is not read at all: reading it
// would take minutes and gigabytes before it could be refused.
static bool FitsTheWorkText(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() <= kWorkTextMax) return true;
    return Fail(error, ReadError(path, QCoreApplication::translate("quelvane::TextFiles",
                                                                   "it is %1 bytes, and the work text holds at most "
                                                                   "%2 characters")
                                           .arg(info.size())
                                           .arg(kWorkTextMax)));
}

bool LoadTextFile(const QString& path, QString& text, QString* error) {
    QByteArray bytes;
    if (!FitsTheWorkText(path, error) || !ReadWholeFile(path, bytes, error)) return false;
    if (TextFileHoldsNul(bytes)) {
        WipeBytes(bytes);
        return Fail(error, ReadError(path, QCoreApplication::translate(
                                               "quelvane::TextFiles",
                                               "it holds a NUL byte, so it is no text (quelvane-cli --binary "
                                               "encrypts any file)")));
    }
    // The file exactly: commas, quotes and leading blanks stay; line breaks of any kind are the box's.
    text = DecodeTextFile(bytes);
    WipeBytes(bytes);
    return true;
}

bool LoadHexFile(const QString& path, QString& hex, QString* error) {
    QByteArray bytes;
    if (!FitsTheWorkText(path, error) || !ReadWholeFile(path, bytes, error)) return false;
    // A byte-order mark, as some editors write, is no part of the hex text.
    QByteArrayView content = bytes;
    QByteArray narrowed;
    const Encoding encoding = Detect(bytes);
    if (encoding.form == Form::Utf16LE || encoding.form == Form::Utf16BE) {
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
