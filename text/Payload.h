// SPDX-License-Identifier: MIT
#pragma once
// What the cipher takes of a text and of a password, in every language.
//
// A text whose every character has a Windows-1252 byte is its byte text,
// line breaks as CR LF: the payload the program has always encrypted, which
// every older copy reads. Any other text is the UTF-8 mark EF BB BF, then
// its UTF-8, line breaks as CR LF. Byte text that would itself read as that
// form (the mark, then valid UTF-8) takes the UTF-8 form, so it comes back
// as it was. Password files follow the same rule without the line breaks.
// A key is the password's byte text where it has one, else its UTF-8.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <memory>
#include <string>

#include "secret/SecretBytes.h"
#include "text/FileSink.h"
#include "text/Utf8.h"

namespace quelvane {

// The most characters a password holds (the password box stops there).
inline constexpr int kPasswordMax = 448;

inline constexpr QByteArrayView kUtf8Mark("\xEF\xBB\xBF", 3);

enum class PayloadForm { ByteText, Utf8 };

// True when bytes start with the UTF-8 mark and are valid UTF-8 after it.
bool ReadsAsUtf8(QByteArrayView bytes);

// True when a payload starts with the UTF-8 mark but is no valid UTF-8
// after it. Nothing written here looks so (a text starting with the mark's
// characters takes the UTF-8 form): it is a damaged ciphertext, not to be
// read again as byte text.
bool IsDamagedPayload(QByteArrayView payload);

// Byte text unless it would start with the mark, else the mark and UTF-8, with "\n" as CR LF when
// crlf. False at a lone surrogate half, which has no UTF-8: *bad (when
// given) is then its index and bytes is empty.
bool MarkedBytes(QStringView text, bool crlf, QByteArray& bytes, qsizetype* bad = nullptr);

// The text of such bytes: the UTF-8 after the mark where ReadsAsUtf8, else
// byte text, one character a byte.
QString FromMarkedBytes(QByteArrayView bytes);

// True when a text that has byte text must take the UTF-8 form all the same:
// it starts with the characters of the mark, whose bytes would be read as it.
bool NeedsUtf8Form(QStringView text);

// Converts the work text from pos on into payload bytes of the given form
// (without the mark) at out, at most room bytes (room >= 4), and moves pos
// past what it converted; "\n" goes as CR LF. Stops early with *bad set at a
// character the form has no bytes for (pos is then its index).
qsizetype EncodePayload(QStringView text, qsizetype& pos, char* out, qsizetype room, PayloadForm form, bool* bad);

// The payload as the work text box holds it: CR LF, lone CR and lone LF as "\n".
QString PayloadToWorkText(QByteArrayView payload);

// The payload as a UTF-8 text file with LF line breaks (CR LF and a lone CR
// each become LF), for the command line. False when out fails.
bool PutUtf8TextOfPayload(QByteArrayView payload, FileSink& out);

// The payload "&Quelvane" encrypts of a text file as "&Load Tex File" loads
// it into the box (its encoding detected; line breaks of every kind, and the
// line and paragraph separators the box turns into line breaks, as CR LF),
// put straight into out without making the work text. False when out fails
// or the text holds a lone surrogate half: then *loneAt (when given) is its
// place, "line L, column C".
bool PutPayloadOfTextFile(QByteArrayView file, FileSink& out, QString* loneAt = nullptr);

// --- The same, a piece at a time, for files too large to hold -------------

// Where a piece of a text file read in pieces may end, so that no UTF-8
// sequence and no CR LF is split: how much of bytes to take (at least
// bytes.size() - 5); the rest starts the next piece. The file's last piece
// is taken whole.
qsizetype TextPieceEnd(QByteArrayView bytes);

// What PutPayloadOfTextFile makes of a text file, found by one pass over it.
struct TextFileLayout {
    enum class Form {
        ByteText,  // the bytes as they are, line breaks as CR LF
        Utf8ToByteText,  // valid UTF-8 whose every character has a byte
        Utf8,  // the mark, then the UTF-8 as it is
        Whole,  // UTF-16, or a text starting with the mark's characters: taken whole
    };
    Form form = Form::ByteText;
    qint64 skip = 0;  // the byte-order mark's bytes, left out
    qint64 payloadSize = 0;  // not for Whole
    bool empty = false;  // no character (IsEmptyTextFile)
    bool nul = false;  // a NUL byte (TextFileHoldsNul; not for UTF-16)
};

// Looks at a text file's pieces, in order and cut by TextPieceEnd, for its
// layout. Two scans of the two halves of a file (the second constructed at
// its offset) may run at once and be joined.
class TextFileScan {
public:
    explicit TextFileScan(qint64 fileSize, qint64 offset = 0) : size(fileSize), seen(offset) {}
    void Put(QByteArrayView piece);
    // Takes in the scan of the pieces that follow this one's.
    void Join(const TextFileScan& next);
    TextFileLayout Layout() const;

    // What the bytes hold, counted a piece at a time and added up.
    struct Counts {
        qint64 cr = 0, lf = 0, crlf = 0;
        qint64 continuation = 0;  // bytes 0x80 to 0xBF: of a multi-byte sequence, in UTF-8
        qint64 separators = 0;  // U+2028 and U+2029 in UTF-8
        bool nul = false;
        Counts& operator+=(const Counts& more) {
            cr += more.cr, lf += more.lf, crlf += more.crlf;
            continuation += more.continuation, separators += more.separators;
            nul = nul || more.nul;
            return *this;
        }
    };

private:
    qint64 size, seen;
    char head[9] = {};  // the file's first bytes
    bool valid = true;  // UTF-8 after a mark
    utf8::Scan scan;
    Counts counts;
};

// Converts a text file's pieces (cut as for the scan) into the payload its
// layout (not Whole) tells, into out: together what PutPayloadOfTextFile puts.
class TextFileConversion {
public:
    TextFileConversion(const TextFileLayout& layout, FileSink& out);
    ~TextFileConversion();
    TextFileConversion(const TextFileConversion&) = delete;
    TextFileConversion& operator=(const TextFileConversion&) = delete;
    // False once out failed.
    bool Put(QByteArrayView piece);
    bool Finish();

private:
    struct Buffer;
    std::unique_ptr<Buffer> buffer;
    TextFileLayout::Form form;
    qint64 skip;
};

// PutUtf8TextOfPayload a piece at a time, cut anywhere; utf8 is
// ReadsAsUtf8 of the whole payload.
class Utf8TextOfPayload {
public:
    Utf8TextOfPayload(bool utf8, FileSink& out);
    ~Utf8TextOfPayload();
    Utf8TextOfPayload(const Utf8TextOfPayload&) = delete;
    Utf8TextOfPayload& operator=(const Utf8TextOfPayload&) = delete;
    bool Put(QByteArrayView piece);
    bool Finish();

private:
    struct Buffer;
    std::unique_ptr<Buffer> buffer;
    bool utf8;
    qsizetype markLeft;  // bytes of the mark still to leave out
    bool afterCr = false;  // a CR ended the last piece: an LF starting this one went with it
};

enum class KeyFault { None, LoneSurrogate, TooLong };

// The key bytes of a password, in storage that wipes itself. TooLong past
// kPasswordMax bytes (*detail the byte count), LoneSurrogate at a lone
// surrogate half (*detail its character number, from 1).
KeyFault PasswordKey(QStringView password, SecretString& key, qsizetype* detail);

// The window's message for a key fault: the position or the byte count,
// never a character of the password.
QString KeyFaultMessage(KeyFault fault, qsizetype detail, const QString& consequence);

}  // namespace quelvane
