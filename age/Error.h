// SPDX-License-Identifier: MIT
#pragma once
// What went wrong with an age file, in kinds a caller tells apart: the wrong
// passphrase, a work factor above the limit, a changed or cut file, one that
// is no age file at all, and a failure to read or write.
#include <string>

namespace quelvane::age {

enum class ErrorKind {
    None,
    NoStanzaOpens,  // wrong passphrase, or a file for keys rather than a passphrase
    WorkFactorTooHigh,  // refused before any key derivation
    Damaged,  // header MAC, a chunk's tag, a missing last chunk, trailing data
    Malformed,  // not well-formed age
    Io,  // the sink refused, no memory, no randomness
    Write,  // a file written here refused a write: code tells why
    Cancelled,  // a progress callback said stop
};

struct Error {
    ErrorKind kind = ErrorKind::None;
    std::string message;
    int code = 0;  // errno, for Write
};

// Sets *error (when given) and returns false, for one-line failure returns.
inline bool Fail(Error* error, ErrorKind kind, std::string message) {
    if (error) *error = Error{kind, std::move(message)};
    return false;
}

}  // namespace quelvane::age
