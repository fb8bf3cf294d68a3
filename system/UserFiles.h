// SPDX-License-Identifier: MIT
#pragma once
// The user's files as Qt code sees them: whole-file reading and the one
// atomic writer (over os/SafeFile). Failures come back as false with *error,
// a message that names the path and the cause.
#include <QByteArray>
#include <QString>
#include <functional>

#include "text/FileSink.h"

namespace quelvane {

// Reads the whole file: "Cannot read <path>: <reason>" for a folder, a pipe
// or device, a missing or unreadable file, or one too large for memory.
bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error);

// The same for a name that is not UTF-8, opened by its own bytes (Qt's
// names would open another file). Gives the reason it cannot be read, empty
// when bytes hold the file; refuseSize (if given) may refuse a size first.
QString ReadFileByNameBytes(const QString& path, QByteArray& bytes,
                            const std::function<QString(qint64 size)>& refuseSize = {});

// Whether a file already at the target may be replaced, and whether the
// new one keeps its mode or is owner-only all the same.
enum class Existing { Refuse, Replace, ReplaceOwnerOnly };

// Writes the file at path with what produce puts, atomically: written beside
// it under a fresh name and renamed over it only when produce returned true
// and every byte was written, so a failure leaves the old file whole and
// nothing half written. When produce gives up on its own, *error is left
// empty. A symbolic link, folder, pipe, device or socket at the target is
// never written through or replaced; with Refuse, a file that exists (or
// appears meanwhile) is not either.
// A new file is owner-only (0600); a replaced one keeps its mode.
bool WriteFileAtomically(const QString& path, const std::function<bool(FileSink&)>& produce, QString* error,
                         Existing existing = Existing::Replace);
bool SaveFileAtomically(const QString& path, QByteArrayView bytes, QString* error,
                        Existing existing = Existing::Replace);

// True when a regular file is at path: what the save commands ask about
// before they replace it.
bool RegularFileExists(const QString& path);

}  // namespace quelvane
