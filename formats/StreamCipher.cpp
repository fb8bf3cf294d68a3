// SPDX-License-Identifier: MIT
#include "formats/StreamCipher.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>
#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

#include "cipher/HexText.h"
#include "cipher/clsBlowfish.h"
#include "formats/HexFile.h"
#include "formats/LegacyFrame.h"
#include "secret/SecretBytes.h"
#include "secret/SecureWipe.h"
#include "system/Fail.h"
#include "system/Platform.h"
#include "text/QtByteText.h"

namespace quelvane {

namespace {

constexpr std::size_t kFrameHeader = 12;

// Why a read failed: the system's reason, or the input ending before the
// size it had (0).
QString ReadFailure(int code) {
    if (code == 0) return QCoreApplication::translate("quelvane::TextCipher", "the input changed while it was read");
    return QCoreApplication::translate("quelvane::TextCipher", "the input cannot be read: %1")
        .arg(qt_error_string(code));
}

// Memory that may hold plaintext: wiped when it goes.
class Buffer {
public:
    explicit Buffer(std::size_t size) : bytes(size) {}
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    char* data() { return bytes.data(); }
    std::uint8_t* bytesAt(std::size_t at) { return reinterpret_cast<std::uint8_t*>(bytes.data()) + at; }
    std::size_t size() const { return bytes.size(); }

private:
    std::vector<char, SecureAllocator<char>> bytes;
};

// Reads in from from to to a buffer at a time and hands each piece to take;
// a text's pieces end where TextPieceEnd says. False when take gives up, or
// the read fails: then *code is errno (0 for an early end).
template <class Take>
bool ReadPieces(const ByteSource& in, qint64 from, qint64 to, Buffer& buffer, bool text, int* code, Take take) {
    for (qint64 at = from; at < to;) {
        const auto n = static_cast<qsizetype>(std::min<qint64>(qint64(buffer.size()), to - at));
        errno = 0;
        if (!in.Read(at, buffer.data(), n)) {
            *code = errno;
            return false;
        }
        QByteArrayView piece(buffer.data(), n);
        if (text && at + n < to) piece = piece.first(TextPieceEnd(piece));
        if (!take(piece)) return false;
        at += piece.size();
    }
    return true;
}

// A thread of ours that has seen plaintext leaves nothing of it on its stack.
template <class Work>
std::thread Beside(Work work) {
    return std::thread([work] {
        work();
        ScrubStack();
    });
}

}  // namespace

// --- The layout of a text file --------------------------------------------

namespace {

bool ScanRange(const ByteSource& in, TextFileScan& scan, qint64 from, qint64 to, qsizetype piece, int* code) {
    Buffer buffer(static_cast<std::size_t>(piece));
    return ReadPieces(in, from, to, buffer, true, code, [&](QByteArrayView bytes) {
        scan.Put(bytes);
        return true;
    });
}

}  // namespace

bool ScanTextFile(const ByteSource& in, TextFileLayout& layout, QString* error, const StreamPieces& pieces) {
    const qint64 size = in.Size();
    const qsizetype piece = std::max<qsizetype>(pieces.plain, 16);
    // A large file in two halves, one a core, split where a piece may end.
    qint64 split = 0;
    if (size >= 8 * piece) {
        char window[16];
        const qint64 from = size / 2 - 8;
        errno = 0;
        if (!in.Read(from, window, sizeof window)) return Fail(error, ReadFailure(errno));
        split = from + TextPieceEnd(QByteArrayView(window, sizeof window));
    }
    TextFileScan first(size), second(size, split);
    int firstCode = -1, secondCode = -1;
    bool secondRead = true;
    std::thread other;
    if (split > 0) other = Beside([&] { secondRead = ScanRange(in, second, split, size, piece, &secondCode); });
    const bool firstRead = ScanRange(in, first, 0, split > 0 ? split : size, piece, &firstCode);
    if (other.joinable()) other.join();
    if (!firstRead || !secondRead) return Fail(error, ReadFailure(firstRead ? secondCode : firstCode));
    if (split > 0) first.Join(second);
    layout = first.Layout();
    return true;
}

// --- Encryption ---------------------------------------------------------------

namespace {

// The frame on its way through the chain, a piece at a time: the other
// thread fills pieces (frame header, payload, marker, padding), this one
// encrypts them in order, the other writes them out as hex text. kRing
// pieces are in flight, so neither waits for the other while the chain,
// the slowest part, has work.
class Encryption : public FileSink {
public:
    static constexpr std::size_t kRing = 4;

    Encryption(std::size_t frameSize, std::size_t pieceSize, FileSink& out)
        : frameSize(frameSize),
          pieceSize(pieceSize),
          count((frameSize + pieceSize - 1) / pieceSize),
          frames(kRing * pieceSize),
          hex(2 * pieceSize),
          out(out) {}

    // The chain: every piece as soon as it is filled, on the calling thread.
    void Chain(clsBlowfish::FrameEncryptor& encryptor) {
        for (std::size_t k = 0; k < count; ++k) {
            {
                std::unique_lock<std::mutex> hold(lock);
                turn.wait(hold, [&] { return filled > k || stop; });
                if (filled <= k) return;
            }
            encryptor.Encrypt(Piece(k), SizeOf(k));
            {
                const std::lock_guard<std::mutex> hold(lock);
                encrypted = k + 1;
            }
            turn.notify_all();
        }
    }

    // The frame's bytes in order, from the other thread.
    bool Put(const char* data, qsizetype size) override {
        while (size > 0) {
            if (put == frameSize) {
                changed = true;  // more than the frame was made for
                return false;
            }
            const std::size_t take = std::min(SizeOf(current) - used, static_cast<std::size_t>(size));
            std::memcpy(Piece(current) + used, data, take);
            used += take;
            put += take;
            data += take;
            size -= static_cast<qsizetype>(take);
            if (used == SizeOf(current) && !Pass()) return false;
        }
        return true;
    }
    using FileSink::Put;

    // The rest once the payload ended at payloadEnd: the padding, and the
    // hex text of every piece still to write.
    bool End(std::size_t payloadEnd) {
        if (put != payloadEnd) {
            changed = true;  // not the payload the frame was made for
            return false;
        }
        static constexpr char kZeros[8] = {};
        return Put(kZeros, static_cast<qsizetype>(frameSize - put)) && WriteOut(count);
    }

    // Tells the chain to stop waiting: the other thread gave up.
    void Stop() {
        {
            const std::lock_guard<std::mutex> hold(lock);
            stop = true;
        }
        turn.notify_all();
    }

    bool Changed() const { return changed; }

private:
    std::uint8_t* Piece(std::size_t k) { return frames.bytesAt((k % kRing) * pieceSize); }
    std::size_t SizeOf(std::size_t k) const { return std::min(pieceSize, frameSize - k * pieceSize); }

    // The current piece is full: on to the chain, and a free one for what follows.
    bool Pass() {
        {
            const std::lock_guard<std::mutex> hold(lock);
            filled = current + 1;
        }
        turn.notify_all();
        ++current;
        used = 0;
        return WriteOut(current >= kRing ? current - kRing + 1 : 0);
    }

    // Writes every encrypted piece out as hex text, waiting for the chain
    // until at least until pieces are out.
    bool WriteOut(std::size_t until) {
        for (;;) {
            std::size_t ready = 0;
            {
                std::unique_lock<std::mutex> hold(lock);
                if (written < until) turn.wait(hold, [&] { return encrypted > written; });
                ready = encrypted;
            }
            for (; written < ready; ++written) {
                const std::size_t size = SizeOf(written);
                hextext::EncodeTo(Piece(written), size, hex.data());
                if (!out.Put(hex.data(), static_cast<qsizetype>(2 * size))) return false;
            }
            if (written >= until) return true;
        }
    }

    const std::size_t frameSize, pieceSize, count;
    Buffer frames, hex;
    FileSink& out;
    std::mutex lock;
    std::condition_variable turn;
    std::size_t filled = 0, encrypted = 0;  // pieces; under lock
    bool stop = false;  // under lock
    // The other thread's alone.
    std::size_t current = 0, used = 0, put = 0, written = 0;
    bool changed = false;
};

}  // namespace

bool FitsAFrame(qint64 payloadSize, QString* error) {
    try {
        (void)clsBlowfish::FrameSize(static_cast<std::size_t>(payloadSize + kEndMarker.size()));
        return true;
    } catch (const std::length_error&) {
        return Fail(error,
                    QCoreApplication::translate("quelvane::TextCipher",
                                                "the input is too large: a text of at most 2 GiB less 23 bytes can be "
                                                "encrypted (%1 bytes)")
                        .arg(payloadSize));
    }
}

qint64 LargestPayload() {
    static const qint64 largest = [] {
        qint64 fits = 0, fitsNot = qint64(1) << 40;
        while (fitsNot - fits > 1) {
            const qint64 mid = fits + (fitsNot - fits) / 2;
            (FitsAFrame(mid, nullptr) ? fits : fitsNot) = mid;
        }
        return fits;
    }();
    return largest;
}

qint64 LargestFrame() {
    return qint64(clsBlowfish::FrameSize(static_cast<std::size_t>(LargestPayload() + kEndMarker.size())));
}

bool EncryptToHex(const ByteSource& in, const TextFileLayout* text, std::string_view key, FileSink& out, QString* error,
                  const StreamPieces& pieces) {
    if (key.empty()) return Fail(error, QCoreApplication::translate("quelvane::TextCipher", "The password is empty."));
    const qint64 payload = (text ? text->payloadSize : in.Size()) + kEndMarker.size();
    if (!FitsAFrame(payload - kEndMarker.size(), error)) return false;
    const std::size_t frameSize = clsBlowfish::FrameSize(static_cast<std::size_t>(payload));
    clsBlowfish cipher;
    clsBlowfish::FrameEncryptor encryptor(cipher, key);
    const std::size_t piece = std::max<std::size_t>(16, static_cast<std::size_t>(pieces.plain) / 8 * 8);
    Encryption frame(frameSize, piece, out);

    int code = -1;  // a read's failure
    bool done = false;
    std::thread other = Beside([&] {
        std::uint8_t header[kFrameHeader];
        clsBlowfish::FrameEncryptor::Header(header, static_cast<std::uint32_t>(payload));
        done = frame.Put(reinterpret_cast<const char*>(header), sizeof header);
        Buffer read(piece);
        if (done && text) {
            TextFileConversion conversion(*text, frame);
            done = ReadPieces(in, 0, in.Size(), read, true, &code,
                              [&](QByteArrayView bytes) { return conversion.Put(bytes); }) &&
                   conversion.Finish();
        } else if (done) {
            done = ReadPieces(in, 0, in.Size(), read, false, &code,
                              [&](QByteArrayView bytes) { return frame.Put(bytes); });
        }
        done = done && frame.Put(kEndMarker) && frame.End(kFrameHeader + static_cast<std::size_t>(payload));
        if (!done) frame.Stop();
    });
    frame.Chain(encryptor);
    other.join();
    if (code >= 0) return Fail(error, ReadFailure(code));
    if (frame.Changed()) return Fail(error, ReadFailure(0));
    return done || Fail(error, QString());  // out failed
}

// --- Decryption ---------------------------------------------------------------

namespace {

// The decrypted frame in order, a piece at a time: the size descriptor, the
// payload (its text to out), the end marker; then the road's frame-and-marker
// test, IsWholeText. Gives up early where the frame cannot be a
// text's.
class FrameCheck {
public:
    FrameCheck(const HexDecryptionOptions& options, FileSink* out, qint64 bound)
        : options(options), out(out), bound(bound) {}
    ~FrameCheck() { SecureWipe(head, sizeof head); }
    FrameCheck(const FrameCheck&) = delete;
    FrameCheck& operator=(const FrameCheck&) = delete;

    // The bytes of the frame from at on; false to stop.
    bool Take(qint64 at, const std::uint8_t* p, qint64 n) {
        const qint64 end = at + n;
        for (qint64 i = at; i < std::min<qint64>(end, kFrameHeader); ++i) header[i] = p[i - at];
        if (size < 0 && end >= qint64(kFrameHeader)) {
            size = clsBlowfish::SizeDescriptor(header);
            // Shorter than its end marker, or longer than the input could
            // hold: a wrong password, seen at once.
            if (size < kEndMarker.size() || qint64(kFrameHeader) + size > bound) return Wrong();
        }
        if (size < 0) return true;
        const qint64 textEnd = qint64(kFrameHeader) + size - kEndMarker.size();
        qint64 from = std::max<qint64>(at, kFrameHeader), to = std::min(end, textEnd);
        if (from < to && !Text(p + (from - at), to - from)) return false;
        from = std::max(at, textEnd);
        to = std::min(end, qint64(kFrameHeader) + size);
        for (qint64 i = from; i < to; ++i) {
            tail[marker++] = static_cast<char>(p[i - at]);
            if (p[i - at] != static_cast<std::uint8_t>(kEndMarker[i - textEnd])) return Wrong();
        }
        return true;
    }

    // The test once the whole ciphertext (T bytes) went through. False when out failed.
    bool Finish(qint64 T, HexDecryptionResult& result) {
        // As DecryptByte cuts: whole blocks, a frame's head at least.
        result.wrongPassword = wrong || T % 8 != 0 || T < qint64(kFrameHeader) || size < 0 ||
                               !IsWholeText(T, size, QByteArrayView(tail, marker));
        if (!options.text) return true;
        result.nul = nul;
        const bool marked = headSize == 3 && QByteArrayView(head, 3) == kUtf8Mark;
        result.utf8 = marked && validator.Valid();
        result.damaged = marked && !result.utf8 && !result.wrongPassword;
        if (!converter && out && !nul && !result.wrongPassword && !Start()) return false;
        result.readAsUtf8 = readAsUtf8;
        return !converter || converter->Finish() || Failed();
    }

    bool OutFailed() const { return outFailed; }

private:
    bool Wrong() {
        wrong = true;
        return false;
    }
    bool Failed() {
        outFailed = true;
        return false;
    }

    // Bytes of the payload before the marker, seen so far: seen.
    bool Text(const std::uint8_t* p, qint64 n) {
        const char* c = reinterpret_cast<const char*>(p);
        if (!options.text) {
            seen += n;
            return !out || out->Put(c, n) || Failed();
        }
        // The text's UTF-8 check looks past the mark's three bytes.
        const qint64 past = std::max<qint64>(0, 3 - seen);
        if (n > past) validator.Put(p + past, static_cast<std::size_t>(n - past));
        nul = nul || std::memchr(c, 0, static_cast<std::size_t>(n));
        // The first three bytes tell how the text may be read.
        if (!converter) {
            while (headSize < 3 && n > 0) {
                head[headSize++] = *c++;
                --n;
                ++seen;
            }
            const bool ended = seen == size - qint64(kEndMarker.size());
            if (headSize < 3 && !ended) return true;
            if (out && !nul && !Start()) return false;
        }
        seen += n;
        if (!converter || nul) return true;  // no text with a NUL goes out
        return converter->Put(QByteArrayView(c, n)) || Failed();
    }

    bool Start() {
        readAsUtf8 = options.utf8.value_or(headSize == 3 && QByteArrayView(head, 3) == kUtf8Mark);
        converter = std::make_unique<Utf8TextOfPayload>(readAsUtf8, *out);
        return converter->Put(QByteArrayView(head, headSize)) || Failed();
    }

    const HexDecryptionOptions& options;
    FileSink* out;
    const qint64 bound;
    std::uint8_t header[kFrameHeader] = {};
    qint64 size = -1;  // the size descriptor, once read
    char tail[3] = {};  // where the end marker should be
    qsizetype marker = 0;  // bytes of it found
    bool wrong = false, outFailed = false;
    // A text's.
    qint64 seen = 0;
    char head[3] = {};
    int headSize = 0;
    bool nul = false, readAsUtf8 = false;
    utf8::Validator validator;
    std::unique_ptr<Utf8TextOfPayload> converter;
};

// The hex text in pieces: the reading (in order) gives each piece its whole
// blocks and the ciphertext block before them, so each thread decrypts its
// piece on its own; the frame check takes the pieces in order again.
class Decryption {
public:
    Decryption(const ByteSource& in, const clsBlowfish::ChainDecryptor& decryptor, bool fileRules, FrameCheck& check,
               qsizetype hexPiece)
        : in(in),
          decryptor(decryptor),
          check(check),
          hexPiece(hexPiece),
          count(std::max<qint64>(1, (in.Size() + hexPiece - 1) / hexPiece)),
          decoder(fileRules) {}

    // One thread's share: pieces taken in turn until none is left.
    void Run() {
        Piece piece(static_cast<std::size_t>(hexPiece));
        for (;;) {
            qint64 k = 0;
            {
                std::unique_lock<std::mutex> hold(lock);
                k = next++;
                if (k >= count) return;
                turn.wait(hold, [&] { return readUpTo == k || stop; });
                if (stop) return;
            }
            const bool wasRead = Read(k, piece);
            Pass(readUpTo, k, wasRead);
            if (!wasRead) return;
            if (piece.size > 0)
                decryptor.Decrypt(piece.plain.bytesAt(0), piece.size, piece.first ? nullptr : piece.previous);
            {
                std::unique_lock<std::mutex> hold(lock);
                turn.wait(hold, [&] { return checkedUpTo == k || stop; });
                if (stop) return;
            }
            const bool taken = check.Take(piece.at, piece.plain.bytesAt(0), qint64(piece.size));
            Pass(checkedUpTo, k, taken);
            if (!taken) return;
        }
    }

    qint64 CipherSize() const { return cipherSize; }
    int ReadError() const { return code; }

private:
    struct Piece {
        explicit Piece(std::size_t hexSize) : hex(hexSize), plain(hexSize / 2 + 16) {}
        Buffer hex, plain;
        qint64 at = 0;  // where in the frame
        std::size_t size = 0;  // whole blocks
        std::uint8_t previous[8] = {};
        bool first = true;
    };

    void Pass(qint64& stage, qint64 k, bool go) {
        {
            const std::lock_guard<std::mutex> hold(lock);
            stage = k + 1;
            stop = stop || !go;
        }
        turn.notify_all();
    }

    // Piece k of the hex text decoded, after the bytes the last one left.
    bool Read(qint64 k, Piece& piece) {
        const qint64 from = k * hexPiece;
        const auto n = static_cast<qsizetype>(std::min<qint64>(hexPiece, in.Size() - from));
        errno = 0;
        if (n > 0 && !in.Read(from, piece.hex.data(), n)) {
            code = errno;
            return false;
        }
        char* to = piece.plain.data();
        std::memcpy(to, carry, carried);
        std::size_t got = carried + decoder.Put(QByteArrayView(piece.hex.data(), n), to + carried);
        if (k + 1 == count) got += decoder.Finish(to + got);
        cipherSize += qint64(got - carried);
        const std::size_t whole = got / 8 * 8;
        piece.first = !chained;
        if (chained) std::memcpy(piece.previous, chain, sizeof chain);
        if (whole > 0) {
            std::memcpy(chain, to + whole - 8, sizeof chain);
            chained = true;
        }
        // An incomplete last block stays out: such a frame is judged wrong.
        carried = got - whole;
        std::memcpy(carry, to + whole, carried);
        piece.at = frameAt;
        piece.size = whole;
        frameAt += qint64(whole);
        return true;
    }

    const ByteSource& in;
    const clsBlowfish::ChainDecryptor& decryptor;
    FrameCheck& check;
    const qsizetype hexPiece;
    const qint64 count;
    std::mutex lock;
    std::condition_variable turn;
    qint64 next = 0, readUpTo = 0, checkedUpTo = 0;  // pieces; under lock
    bool stop = false;  // under lock
    // The reading's, passed on from piece to piece.
    HexFileDecoder decoder;
    char carry[8] = {};
    std::size_t carried = 0;
    char chain[8] = {};
    bool chained = false;
    qint64 frameAt = 0, cipherSize = 0;
    int code = -1;
};

}  // namespace

bool IsBlankHexFile(const ByteSource& in, bool& blank, QString* error) {
    // Any character but those gives a byte, so the first piece mostly tells.
    HexFileDecoder decoder;
    Buffer hex(64 * 1024), bytes(32 * 1024 + 8);
    int code = -1;
    blank = true;
    ReadPieces(in, 0, in.Size(), hex, false, &code, [&](QByteArrayView piece) {
        blank = decoder.Put(piece, bytes.data()) == 0;
        return blank;
    });
    if (code >= 0) return Fail(error, ReadFailure(code));
    blank = blank && decoder.Finish(bytes.data()) == 0;
    return true;
}

bool DecryptHex(const ByteSource& in, std::string_view key, const HexDecryptionOptions& options, FileSink* out,
                HexDecryptionResult& result, QString* error, const StreamPieces& pieces) {
    result = HexDecryptionResult();
    if (key.empty()) return Fail(error, QCoreApplication::translate("quelvane::TextCipher", "The password is empty."));
    clsBlowfish cipher;
    const clsBlowfish::ChainDecryptor decryptor(cipher, key);
    // Two hex digits a byte at most: a longer frame is no frame of this input.
    FrameCheck check(options, out, in.Size() / 2 + 8);
    Decryption decryption(in, decryptor, options.fileRules, check, std::max<qsizetype>(pieces.hex, 16));
    std::thread other = Beside([&] { decryption.Run(); });
    decryption.Run();
    other.join();
    if (decryption.ReadError() >= 0) return Fail(error, ReadFailure(decryption.ReadError()));
    if (check.OutFailed() || !check.Finish(decryption.CipherSize(), result)) return Fail(error, QString());
    return true;
}

}  // namespace quelvane
