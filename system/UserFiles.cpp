// SPDX-License-Identifier: MIT
#include "system/UserFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <limits>
#include <new>

#include "os/SafeFile.h"
#include "secret/SecureWipe.h"
#include "system/Fail.h"
#include "text/QtByteText.h"

namespace quelvane {

namespace {

QString ReadError(const QString& path, const QString& reason) {
    return QCoreApplication::translate("quelvane::TextFiles", "Cannot read %1: %2").arg(ShownName(path), reason);
}

QString SaveError(const QString& path, const QString& reason) {
    return QCoreApplication::translate("quelvane::TextFiles", "Cannot save %1: %2").arg(ShownName(path), reason);
}

}  // namespace

QString ReadFileByNameBytes(const QString& path, QByteArray& bytes,
                            const std::function<QString(qint64 size)>& refuseSize) {
    bytes.clear();
    const int fd = ::open(NameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return qt_error_string(errno);
    struct stat info {};
    QString reason;
    if (::fstat(fd, &info) != 0)
        reason = qt_error_string(errno);
    else if (S_ISDIR(info.st_mode))
        reason = QCoreApplication::translate("quelvane::TextFiles", "it is a folder, not a file");
    else if (!S_ISREG(info.st_mode))
        reason = QCoreApplication::translate("quelvane::TextFiles", "it is not a regular file");
    else if (refuseSize)
        reason = refuseSize(qint64(info.st_size));
    for (char chunk[4096]; reason.isEmpty();) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) reason = qt_error_string(errno);
        if (n > 0) bytes.append(chunk, n);
        SecureWipe(chunk, sizeof chunk);
        if (n <= 0) break;
    }
    ::close(fd);
    if (!reason.isEmpty()) WipeBytes(bytes);
    return reason;
}

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

namespace {

class AtomicFileSink : public FileSink {
public:
    explicit AtomicFileSink(safefile::AtomicFile& f) : file(f) {}
    bool Put(const char* data, qsizetype size) override {
        failed = failed || !file.Write(data, static_cast<std::size_t>(size));
        return !failed;
    }
    using FileSink::Put;
    int Descriptor() override { return failed ? -1 : file.Descriptor(); }
    void Refused(int why) override {
        failed = true;
        code = why;
    }
    bool failed = false;
    int code = 0;  // the errno of a write Refused tells

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
        file.Open(NameBytes(path).toStdString(),  // the name's own bytes, UTF-8 or not
                  existing == Existing::Refuse ? safefile::Existing::Refuse : safefile::Existing::Replace,
                  existing == Existing::ReplaceOwnerOnly);
    if (!opened.ok()) return Fail(error, SaveError(path, Reason(opened)));
    AtomicFileSink sink(file);
    // Abandoned on any failure: the fresh file goes, the old file stays.
    if (!produce(sink) || sink.failed) {
        const int code = sink.code ? sink.code : file.Error();
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

bool RegularFileExists(const QString& path) { return QFileInfo(path).isFile(); }

}  // namespace quelvane
