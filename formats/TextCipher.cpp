// SPDX-License-Identifier: MIT
#include "formats/TextCipher.h"

#include <QCoreApplication>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <new>
#include <string>
#include <thread>
#include <type_traits>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "cipher/HexText.h"
#include "cipher/clsBlowfish.h"
#include "formats/LegacyFrame.h"
#include "os/HugePages.h"
#include "secret/SecretBytes.h"
#include "secret/SecureWipe.h"
#include "system/Fail.h"
#include "system/Platform.h"
#include "system/UserFiles.h"
#include "text/Payload.h"
#include "text/QtByteText.h"

namespace quelvane {

namespace {

constexpr qsizetype kChunk = 64 * 1024;  // fits the caches; big enough for few system calls

std::filesystem::path FsPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString LoneSurrogateMessage(QStringView text, qsizetype at) {
    return QCoreApplication::translate(
               "quelvane::TextCipher",
               "The work text holds half of a character (a lone surrogate, U+%1) at %2, which has no UTF-8 form, "
               "so the text cannot be encrypted. Nothing was changed.")
        .arg(QString::number(text[at].unicode(), 16).toUpper(), PlaceInText(text, at));
}

// Why writing in the folder failed, as the system words it: the error the
// failed write left, or a full disk seen in the free space; empty when
// neither tells.
QString WriteFailureCause(const QString& folder, qint64 needed, int code) {
    switch (code) {
        case ENOSPC:
#if defined(EDQUOT)
        case EDQUOT:
#endif
        case EFBIG:
        case EIO:
        case EROFS:
            return qt_error_string(code);
        default:
            break;
    }
    const QStorageInfo storage(folder);
    if (storage.isValid() && storage.bytesAvailable() < needed) return qt_error_string(ENOSPC);
    return QString();
}

QString WriteFailureMessage(const QString& what, const QString& folder, const QString& cause) {
    return QCoreApplication::translate("quelvane::TextCipher",
                                       "%1 (the temporary file in %2 could not be written%3). Nothing was changed.")
        .arg(what, folder, cause.isEmpty() ? QString() : QStringLiteral(": ") + cause);
}

// The password's bytes, the key; wiped when the command ends.
bool KeyOf(const QString& password, SecretString& key, const QString& consequence, QString* error) {
    qsizetype detail = 0;
    const KeyFault fault = PasswordKey(password, key, &detail);
    if (fault != KeyFault::None)
        return Fail(error, QCoreApplication::translate("quelvane::TextCipher", "%1 Nothing was changed.")
                               .arg(KeyFaultMessage(fault, detail, consequence)));
    return true;
}

// The two temporary files go on every way out of a command.
class Temporaries {
public:
    Temporaries(const QString& a, const QString& b) : first(a), second(b) {}
    ~Temporaries() {
        QFile::remove(first);
        QFile::remove(second);
    }

private:
    const QString& first;
    const QString& second;
};

// Neither the key nor its schedule outlives the command: on every way out
// the cipher object is replaced by a fresh one, whose tables hold no key
// (the old one wipes its own as it goes).
class FreshCipherAfter {
public:
    explicit FreshCipherAfter(std::unique_ptr<clsBlowfish>& c) : cipher(c) {}
    ~FreshCipherAfter() {
        cipher.reset(new (std::nothrow) clsBlowfish());
        ScrubStack();
    }

private:
    std::unique_ptr<clsBlowfish>& cipher;
};

// The busy stretch ends on every way out too.
class Busy {
public:
    explicit Busy(const std::function<void(bool)>& l) : listener(l) { Set(true); }
    ~Busy() { Release(); }
    void Release() {
        if (on) Set(false);
    }

private:
    void Set(bool value) {
        on = value;
        if (listener) listener(value);
    }
    const std::function<void(bool)>& listener;
    bool on = false;
};

// Passes bytes on and counts them.
class CountingSink : public FileSink {
public:
    explicit CountingSink(FileSink& o) : out(o) {}
    bool Put(const char* data, qsizetype size) override {
        count += size;
        return out.Put(data, size);
    }
    using FileSink::Put;
    qint64 count = 0;

private:
    FileSink& out;
};

// Writes one byte of every page, so the kernel maps them all now.
void TouchPages(char* p, qsizetype size) {
    constexpr qsizetype kPage = 4096;
    AdviseHugePages(p, static_cast<std::size_t>(size));
    for (qsizetype i = 0; i < size; i += kPage) p[i] = 0;
}

// At least size bytes of the kept buffer. A larger block is asked for huge
// pages before it is first written; the old one goes, wiped.
char* Room(SecretBytes& buffer, std::size_t size) {
    if (size > buffer.size()) {
        SecretBytes fresh;
        fresh.reserve(size);
        AdviseHugePages(fresh.data(), size);
        fresh.resize(size);
        buffer.swap(fresh);
    }
    return reinterpret_cast<char*>(buffer.data());
}

// Bytes from to to of the file as hex text at out (two characters a byte),
// read in chunks straight into it.
template <class Ch>
bool ReadAsHex(const QString& path, qint64 from, qint64 to, Ch* out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !file.seek(from)) return false;
    std::array<std::uint8_t, kChunk> chunk;
    for (qint64 done = from; done < to;) {
        const qint64 got = file.read(reinterpret_cast<char*>(chunk.data()), qMin<qint64>(kChunk, to - done));
        if (got <= 0) return false;
        hextext::EncodeTo(chunk.data(), static_cast<std::size_t>(got), out + 2 * (done - from));
        done += got;
    }
    return true;
}

}  // namespace

TextCipher::TextCipher() : cipher(std::make_unique<clsBlowfish>()) {}

TextCipher::~TextCipher() = default;

bool TextCipher::IsCiphertext(QStringView text) {
    const auto* p = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    qsizetype digits = 0, i = p && n > 0 && p[0] == 0xFEFF ? 1 : 0;
#if defined(__SSE2__) || defined(_M_X64)
    // Eight at a time: a hex text of tens of millions of digits is checked
    // before every decryption.
    const __m128i zero = _mm_setzero_si128();
    const auto below = [&](__m128i x, char16_t from, short count) {  // from <= x < from + count
        return _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(x, _mm_set1_epi16(static_cast<short>(from))),
                                              _mm_set1_epi16(static_cast<short>(count - 1))),
                               zero);
    };
    for (; i + 8 <= n; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i hex = _mm_or_si128(below(x, u'0', 10), below(_mm_or_si128(x, _mm_set1_epi16(0x20)), u'a', 6));
        const __m128i blank = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(x, _mm_set1_epi16(' ')), _mm_cmpeq_epi16(x, _mm_set1_epi16('\t'))),
            _mm_or_si128(_mm_cmpeq_epi16(x, _mm_set1_epi16('\n')), _mm_cmpeq_epi16(x, _mm_set1_epi16('\r'))));
        if (_mm_movemask_epi8(_mm_or_si128(hex, blank)) != 0xFFFF) return false;
        digits += std::popcount(static_cast<unsigned>(_mm_movemask_epi8(hex))) / 2;
    }
#endif
    for (; i < n; ++i) {
        const char16_t c = p[i];
        if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f'))
            ++digits;
        else if (!(c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'))
            return false;
    }
    // The smallest ciphertext is two blocks: a frame around the marker and line end.
    return digits >= 32 && digits % 2 == 0;
}

bool TextCipher::Prepare(const QString& purpose, QString* error) {
    QString path, reason;
    if (!folder.Path(path, &reason))
        return Fail(error, QCoreApplication::translate(
                               "quelvane::TextCipher",
                               "Cannot make a private temporary folder for the %1 (%2). Nothing was changed.")
                               .arg(purpose, reason));
    if (folderPath != path) {
        folder.RemoveOnSignal(QStringLiteral("DumpSTempFile$$$"));
        folder.RemoveOnSignal(QStringLiteral("DumpDTempFile$$$"));
    }
    folderPath = path;
    source = path + QStringLiteral("/DumpSTempFile$$$");
    destination = path + QStringLiteral("/DumpDTempFile$$$");
    return true;
}

bool TextCipher::Encrypt(const QString& password, QStringView workText, QString& hex, QString* error) {
    return EncryptAs(password, workText, hex, error);
}

template <class Hex>
bool TextCipher::EncryptAs(const QString& password, QStringView workText, Hex& hex, QString* error) {
    // The text converted a chunk at a time on the way to the file: no whole
    // copy of the plaintext in memory. Byte text is tried first, as it fits
    // most texts; the first character without a byte starts it again as UTF-8.
    PayloadForm form = NeedsUtf8Form(workText) ? PayloadForm::Utf8 : PayloadForm::ByteText;
    qsizetype bad = -1;
    std::array<char, kChunk> chunk;
    const auto writePlain = [&](FileSink& out) {
        if (form == PayloadForm::Utf8 && !out.Put(kUtf8Mark)) return false;
        qsizetype pos = 0;
        while (pos < workText.size()) {
            bool failed = false;
            const qsizetype n = EncodePayload(workText, pos, chunk.data(), kChunk, form, &failed);
            if (!out.Put(chunk.data(), n)) return false;
            if (failed) {
                bad = pos;
                return false;
            }
        }
        return true;
    };
    bool encrypted = EncryptFrom(password, writePlain, hex, error);
    if (bad >= 0 && form == PayloadForm::ByteText && !IsLoneSurrogateAt(workText, bad)) {
        form = PayloadForm::Utf8;
        bad = -1;
        encrypted = EncryptFrom(password, writePlain, hex, error);
    }
    SecureWipe(chunk.data(), chunk.size());
    if (bad >= 0) return Fail(error, LoneSurrogateMessage(workText, bad));
    return encrypted;
}

template <class Hex>
bool TextCipher::EncryptFrom(const QString& password, const PlainWriter& writePlain, Hex& hex, QString* error) {
    // QString holds UTF-16 units, QByteArray bytes: either gets two a ciphertext byte.
    using Ch = std::conditional_t<std::is_same_v<Hex, QString>, char16_t, char>;
    FreshCipherAfter fresh(cipher);
    SecretString key;
    if (!KeyOf(password, key, QCoreApplication::translate("quelvane::TextCipher", "it cannot be used as the key"),
               error))
        return false;
    if (!Prepare(QCoreApplication::translate("quelvane::TextCipher", "encryption"), error)) return false;
    Temporaries temporaries(source, destination);

    // The text, then the end marker and CR LF.
    qint64 plainSize = 0;
    QString writeError;
    const bool written = WriteFileAtomically(
        source,
        [&](FileSink& out) {
            CountingSink counted(out);
            const bool plainGiven = writePlain(counted);
            if (!plainGiven || !counted.Put(kEndMarker)) return false;
            plainSize = counted.count;
            return true;
        },
        &writeError);
    if (!written && !writeError.isEmpty())
        return Fail(error,
                    QCoreApplication::translate("quelvane::TextCipher", "%1. Nothing was changed.").arg(writeError));
    if (!written) return Fail(error, QString());  // the writer gave up, for its own reason

    // The hex text's string is made now and its pages touched on another
    // core while this one encrypts: a fresh string of tens of megabytes
    // otherwise costs as long in page faults as the hex conversion itself.
    const qint64 cipherSize = (plainSize + 12 + 7) / 8 * 8;
    Hex out(static_cast<qsizetype>(2 * cipherSize), Qt::Uninitialized);
    std::thread touch(TouchPages, reinterpret_cast<char*>(out.data()), out.size() * qsizetype(sizeof(Ch)));

    cipher = std::make_unique<clsBlowfish>();
    Busy busyStretch(busy);
    errno = 0;
    const bool encrypted = cipher->EncryptFile(FsPath(source), FsPath(destination), overwrite, key);
    const int code = errno;
    touch.join();
    // The plain text leaves the disk at once. That and the last part of the
    // hex text go to the other core.
    bool shown = encrypted && QFileInfo(destination).size() == cipherSize;
    if (shown) {
        auto* to = reinterpret_cast<Ch*>(out.data());
        // The other core also deletes the source file, so it takes less of the hex.
        const qint64 half = cipherSize / 8 * 5;
        bool secondHalf = false;
        std::thread other([&] {
            QFile::remove(source);
            secondHalf = ReadAsHex(destination, half, cipherSize, to + 2 * half);
        });
        shown = ReadAsHex(destination, 0, half, to);
        other.join();
        shown = shown && secondHalf;
    }
    QFile::remove(source);
    if (!shown)
        return Fail(error, WriteFailureMessage(
                               QCoreApplication::translate("quelvane::TextCipher", "The text could not be encrypted"),
                               folderPath, encrypted ? QString() : WriteFailureCause(folderPath, cipherSize, code)));
    hex = std::move(out);
    return true;
}

bool TextCipher::Decrypt(const QString& password, QStringView hexText, Decryption& result, QString* error) {
    FreshCipherAfter fresh(cipher);
    SecretString key;
    if (!KeyOf(password, key,
               QCoreApplication::translate("quelvane::TextCipher", "no text can have been encrypted with it"), error))
        return false;
    if (!Prepare(QCoreApplication::translate("quelvane::TextCipher", "decryption"), error)) return false;
    Temporaries temporaries(source, destination);

    // A byte-order mark, as pasted from a file some editor wrote, is no part of the hex text.
    while (hexText.startsWith(QChar(0xFEFF))) hexText = hexText.sliced(1);
    qint64 cipherSize = 0;
    {
        char* bytes = Room(scratch, std::size_t(hexText.size()) / 2 + 1);
        hextext::PairDecoder pairs;
        std::size_t n =
            pairs.Put(reinterpret_cast<const char16_t*>(hexText.utf16()), std::size_t(hexText.size()), bytes);
        n += pairs.Finish(bytes + n);
        cipherSize = static_cast<qint64>(n);
        QString reason;
        const bool saved = SaveFileAtomically(source, QByteArrayView(bytes, cipherSize), &reason);
        SecureWipe(bytes, n);
        if (!saved)
            return Fail(error,
                        QCoreApplication::translate("quelvane::TextCipher", "%1. Nothing was changed.").arg(reason));
    }

    cipher = std::make_unique<clsBlowfish>();
    Busy busyStretch(busy);
    errno = 0;
    const bool decrypted = cipher->DecryptFile(FsPath(source), FsPath(destination), overwrite, key);
    const int code = errno;
    busyStretch.Release();
    // An empty ciphertext decrypts to nothing and is judged like a wrong
    // password; any other failure is the temporary folder's.
    if (!decrypted && cipherSize > 0)
        return Fail(error, WriteFailureMessage(QCoreApplication::translate("quelvane::TextCipher",
                                                                           "The hex text could not be decrypted"),
                                               folderPath, WriteFailureCause(folderPath, cipherSize, code)));

    char* plainBytes = nullptr;
    qint64 plainSize = 0;
    {
        // Unbuffered: a small text would otherwise stay behind in Qt's read buffer.
        QFile file(destination);
        if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            const qint64 size = file.size();
            plainBytes = Room(scratch, std::size_t(size));
            for (qint64 got = 0; plainSize < size; plainSize += got)
                if ((got = file.read(plainBytes + plainSize, size - plainSize)) <= 0) break;
        }
    }
    QFile::remove(destination);  // no decrypted bytes stay on disk, whatever they are
    const QByteArrayView plain(plainBytes, plainSize);
    result = Decryption();
    if (!IsWholeText(cipherSize, plain)) {
        result.wrongPassword = true;
    } else {
        const QByteArrayView payload = plain.chopped(3);
        result.damaged = IsDamagedPayload(payload);
        if (!result.damaged) result.text = PayloadToWorkText(payload);
    }
    if (plainBytes) SecureWipe(plainBytes, std::size_t(plainSize));
    return true;
}

}  // namespace quelvane
