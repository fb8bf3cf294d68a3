// SPDX-License-Identifier: MIT
#pragma once
// The command line's encryption and decryption of inputs of any size, in
// constant memory: the input is read a piece at a time, converted, chained
// and written on, the two cores sharing the work. Encryption is serial, so
// its chain runs alone on the calling thread while the other core reads,
// converts, writes the hex text and writes it out; decryption splits the
// blocks between both. The bytes are those of the window's road for the
// same payload and frame words, judged by the same frame-and-marker test.
#include <QByteArray>
#include <QString>
#include <optional>
#include <string_view>

#include "formats/ByteSource.h"
#include "text/FileSink.h"
#include "text/Payload.h"

namespace quelvane {

// How much the streams read and chain at a time; tests make it small.
struct StreamPieces {
    qsizetype plain = 256 * 1024;  // a text or a frame: fits the second-level cache
    qsizetype hex = 2 * 1024 * 1024;  // hex text: twice a frame piece, plus a margin for blanks
};

// The layout of a text file (core/Payload.h), read from in; a large one is
// scanned by two threads at once. False with *error when in cannot be read.
bool ScanTextFile(const ByteSource& in, TextFileLayout& layout, QString* error, const StreamPieces& pieces = {});

// Whether a payload of this many bytes, with the end marker, fits a frame
// (its size is a signed 32-bit word); else *error says so.
bool FitsAFrame(qint64 payloadSize, QString* error);
// The largest payload that fits a frame, and the bytes of that frame (its
// hex text has twice as many digits).
qint64 LargestPayload();
qint64 LargestFrame();

// Encrypts into hex text at out, as "&Quelvane" encrypts a text of this
// payload: a text file's (text: its layout, not Whole) or in's bytes as they
// are (text null), then the end marker. key is the password's bytes. False
// with *error when the key is empty, the payload too large for a frame or in
// cannot be read or changed meanwhile; with *error empty when out failed.
bool EncryptToHex(const ByteSource& in, const TextFileLayout* text, std::string_view key, FileSink& out, QString* error,
                  const StreamPieces& pieces = {});

// Whether the hex text read from in, as a file (HexFileDecoder), holds nothing
// but blanks and line breaks. False with *error when in cannot be read.
bool IsBlankHexFile(const ByteSource& in, bool& blank, QString* error);

struct HexDecryptionOptions {
    bool fileRules = true;  // read as "&Load Quelvane" reads a file (HexFileDecoder), else as hex text
    bool text = false;  // the payload as a UTF-8 text with LF (PutUtf8TextOfPayload), else as it is
    // For a text, whether the payload is read as UTF-8; unset, as its start
    // suggests (HexDecryptionResult::utf8 then tells whether it was right).
    std::optional<bool> utf8;
};

struct HexDecryptionResult {
    bool wrongPassword = false;  // the frame or the end marker did not check out (or damage)
    bool nul = false;  // a text holds a NUL byte
    bool utf8 = false;  // a text reads as UTF-8 (ReadsAsUtf8)
    bool readAsUtf8 = false;  // how out was given a text
    bool damaged = false;  // a text with the UTF-8 mark that is no UTF-8 (IsDamagedPayload)
};

// Hex text decrypted with the key (the password's bytes); the payload
// before the end marker goes to out (null: only judged) as the options say.
// True when the decryption ran: then the result tells what it was, and out
// was given the text if it was no wrong password, no NUL in a text, and read
// as it reads; else out was given bytes to drop. False with *error when the
// key is empty or in cannot be read, with *error empty when out failed.
bool DecryptHex(const ByteSource& in, std::string_view key, const HexDecryptionOptions& options, FileSink* out,
                HexDecryptionResult& result, QString* error, const StreamPieces& pieces = {});

}  // namespace quelvane
