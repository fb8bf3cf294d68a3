// SPDX-License-Identifier: MIT
#include "age/FileCipher.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "age/Armor.h"
#include "age/Decryptor.h"
#include "age/Detect.h"
#include "secret/SecureWipe.h"

namespace quelvane::age {
namespace {

constexpr std::size_t kBufferSize = 1u << 20;
constexpr std::size_t kBuffers = 4;  // per direction

struct Buffer {
    std::unique_ptr<std::uint8_t[]> data{new std::uint8_t[kBufferSize]};
    std::size_t size = 0;
    std::uint64_t offset = 0;
    bool positional = false;
};

// Buffers handed between two threads, in order; a closed queue hands out
// what it holds and then nothing.
class Queue {
public:
    void Push(std::unique_ptr<Buffer> b) {
        std::lock_guard<std::mutex> g(lock_);
        items_.push_back(std::move(b));
        ready_.notify_one();
    }
    std::unique_ptr<Buffer> Pop() {
        std::unique_lock<std::mutex> g(lock_);
        ready_.wait(g, [&] { return !items_.empty() || closed_; });
        if (items_.empty()) return nullptr;
        auto b = std::move(items_.front());
        items_.pop_front();
        return b;
    }
    void Close() {
        std::lock_guard<std::mutex> g(lock_);
        closed_ = true;
        ready_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable ready_;
    std::deque<std::unique_ptr<Buffer>> items_;
    bool closed_ = false;
};

// kBuffers buffers going round: free -> filled -> free.
class Pipe {
public:
    explicit Pipe(bool secret) : secret_(secret) {
        for (std::size_t i = 0; i < kBuffers; ++i) free_.Push(std::make_unique<Buffer>());
    }
    ~Pipe() {
        Close();
        // Wipe every buffer that is back, whatever state it was left in.
        while (auto b = free_.Pop()) Wipe(*b);
        while (auto b = filled_.Pop()) Wipe(*b);
    }
    std::unique_ptr<Buffer> TakeFree() { return free_.Pop(); }
    void Fill(std::unique_ptr<Buffer> b) { filled_.Push(std::move(b)); }
    std::unique_ptr<Buffer> TakeFilled() { return filled_.Pop(); }
    void Release(std::unique_ptr<Buffer> b) {
        Wipe(*b);
        free_.Push(std::move(b));
    }
    void CloseFilled() { filled_.Close(); }
    void Close() {
        free_.Close();
        filled_.Close();
    }

private:
    void Wipe(Buffer& b) {
        if (secret_) SecureWipe(b.data.get(), b.size);
        b.size = 0;
    }
    bool secret_;
    Queue free_, filled_;
};

bool ReadSome(int fd, std::uint8_t* p, std::size_t n, std::size_t* got) {
    while (true) {
        const ssize_t r = read(fd, p, n);
        if (r >= 0) {
            *got = std::size_t(r);
            return true;
        }
        if (errno != EINTR) return false;
    }
}

// 0, or the errno of the write that failed.
int WriteAll(int fd, const Buffer& b) {
    std::size_t done = 0;
    while (done < b.size) {
        const ssize_t w = b.positional ? pwrite(fd, b.data.get() + done, b.size - done, off_t(b.offset + done))
                                       : write(fd, b.data.get() + done, b.size - done);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return errno;
        if (w == 0) return ENOSPC;
        done += std::size_t(w);
    }
    return 0;
}

// The reading thread: fills buffers until the end, then closes. With
// unarmor, an armored input (one not starting with the binary version line)
// is decoded here too, so the other thread sees the binary file.
class Reader {
public:
    Reader(int fd, bool secret, bool unarmor = false)
        : pipe_(secret), unarmor_(unarmor), thread_([this, fd] { Run(fd); }) {}
    ~Reader() {
        stop_ = true;
        pipe_.Close();
        thread_.join();
    }
    std::unique_ptr<Buffer> Next() { return pipe_.TakeFilled(); }
    void Done(std::unique_ptr<Buffer> b) { pipe_.Release(std::move(b)); }
    // Bytes read so far, a few buffers ahead of those handed over.
    std::uint64_t bytesRead() const { return bytesRead_; }
    // After Next gave nothing: whether reading or the armor failed, and why.
    bool Failed(Error* error) const {
        if (armorError_.kind != ErrorKind::None) return Fail(error, armorError_.kind, armorError_.message);
        if (failed_) return Fail(error, ErrorKind::Io, std::string("could not read: ") + std::strerror(readErrno_));
        return true;
    }

private:
    void Run(int fd) {
        std::string decoded;
        bool first = true;
        while (auto b = pipe_.TakeFree()) {
            if (stop_) break;
            std::size_t got = 0;
            if (!ReadSome(fd, b->data.get(), kBufferSize, &got)) {
                readErrno_ = errno;
                failed_ = true;
            }
            bytesRead_ += got;
            if (first && got) armored_ = unarmor_ && b->data[0] != 'a';
            first = false;
            if (!armored_) {
                if (got == 0) break;
                b->size = got;
                pipe_.Fill(std::move(b));
                continue;
            }
            decoded.clear();
            const bool ok = got ? armor_.Feed(reinterpret_cast<const char*>(b->data.get()), got, &decoded, &armorError_)
                                : failed_ || armor_.Finish(&decoded, &armorError_);
            if (!ok || !Emit(std::move(b), decoded) || got == 0) break;
        }
        pipe_.CloseFilled();
    }
    // The decoded bytes in b and, in the rare case they do not fit, more buffers.
    bool Emit(std::unique_ptr<Buffer> b, const std::string& decoded) {
        std::size_t at = 0;
        do {
            if (!b && !(b = pipe_.TakeFree())) return false;
            b->size = std::min(decoded.size() - at, kBufferSize);
            std::memcpy(b->data.get(), decoded.data() + at, b->size);
            at += b->size;
            if (b->size) pipe_.Fill(std::move(b));
        } while (at < decoded.size());
        if (b) pipe_.Release(std::move(b));
        return true;
    }
    Pipe pipe_;
    bool unarmor_;
    bool armored_ = false;
    ArmorReader armor_;
    Error armorError_;
    int readErrno_ = 0;
    std::atomic<bool> failed_{false}, stop_{false};
    std::atomic<std::uint64_t> bytesRead_{0};
    std::thread thread_;
};

// The writing thread: writes buffers as they come, by place or in order.
class Writer {
public:
    // reserve: at least the output's size, in an empty file to be written
    // from its start. The room is taken first, on this thread, while the
    // other one derives the key, which leaves a core idle: writing into taken
    // room skips clearing each page first. Measured, it pays only then.
    Writer(int fd, bool secret, std::uint64_t reserve = 0)
        : pipe_(secret), reserve_(reserve), thread_([this, fd] { Run(fd); }) {}
    ~Writer() { Close(); }
    // Room for n bytes at the end of the buffer being filled, for a Put of
    // them in place; null once a write has failed.
    std::uint8_t* Room(std::size_t n, bool positional, std::uint64_t offset) {
        if (failed_ || n > kBufferSize) return nullptr;
        if (current_ && (kBufferSize - current_->size < n || !Continues(positional, offset)))
            pipe_.Fill(std::move(current_));
        if (!current_ && !Begin(positional, offset)) return nullptr;
        return current_->data.get() + current_->size;
    }
    // Copies the bytes into buffers, unless they are in the room already;
    // false once a write has failed.
    bool Put(const std::uint8_t* p, std::size_t n, bool positional, std::uint64_t offset) {
        if (current_ && p == current_->data.get() + current_->size && n <= kBufferSize - current_->size &&
            Continues(positional, offset)) {
            current_->size += n;
            return !failed_;
        }
        while (n && !failed_) {
            if (current_ && (current_->size == kBufferSize || !Continues(positional, offset)))
                pipe_.Fill(std::move(current_));
            if (!current_ && !Begin(positional, offset)) return false;
            const std::size_t take = std::min(n, kBufferSize - current_->size);
            std::memcpy(current_->data.get() + current_->size, p, take);
            current_->size += take;
            p += take;
            n -= take;
            offset += take;
        }
        return !failed_;
    }
    // Writes what is left and waits; false if any write failed.
    bool Close() {
        if (thread_.joinable()) {
            if (current_) pipe_.Fill(std::move(current_));
            pipe_.CloseFilled();
            thread_.join();
        }
        return !failed_;
    }
    // True when a write failed, with *error telling why (errno is the writing thread's).
    bool Failed(Error* error) const {
        if (!failed_) return false;
        if (error) *error = Error{ErrorKind::Write, std::string("could not write: ") + std::strerror(code_), code_};
        return true;
    }

private:
    bool Continues(bool positional, std::uint64_t offset) const {
        return current_->positional == positional && (!positional || current_->offset + current_->size == offset);
    }
    bool Begin(bool positional, std::uint64_t offset) {
        current_ = pipe_.TakeFree();
        if (!current_) return false;
        current_->positional = positional;
        current_->offset = offset;
        return true;
    }
    void Run(int fd) {
        // Best effort: a file system without it, or short of room, fails later
        // at the write that needs the room. Whatever was taken, the end
        // gives back what lies beyond the bytes written.
        if (reserve_) Reserve(fd, reserve_);
        while (auto b = pipe_.TakeFilled()) {
            if (!failed_ && (code_ = WriteAll(fd, *b)) != 0) failed_ = true;
            pipe_.Release(std::move(b));
        }
        // Taken room does not count in the size, which ends at the last byte written.
        struct stat st {};
        if (reserve_ && (fstat(fd, &st) != 0 || ftruncate(fd, st.st_size) != 0) && !failed_) {
            code_ = errno;
            failed_ = true;
        }
    }
    static void Reserve(int fd, std::uint64_t n) {
#ifdef FALLOC_FL_KEEP_SIZE
        (void)fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(n));
#endif
    }
    Pipe pipe_;
    std::uint64_t reserve_;
    std::unique_ptr<Buffer> current_;
    int code_ = 0;  // set before failed_
    std::atomic<bool> failed_{false};
    std::thread thread_;
};

// An empty regular file at its start, not appending: written by place.
bool Placeable(int fd) {
    struct stat st {};
    const int flags = fcntl(fd, F_GETFL);
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0 && flags >= 0 && !(flags & O_APPEND) &&
           lseek(fd, 0, SEEK_CUR) == 0;
}

std::uint64_t SizeOf(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? std::uint64_t(st.st_size) : 0;
}

// At most what decrypting a regular file of that size writes: a binary
// file's payload, or three quarters of an armored one.
std::uint64_t PlaintextBound(int in, std::uint64_t size) {
    char start[64];
    const off_t at = lseek(in, 0, SEEK_CUR);
    const ssize_t got = size && at >= 0 ? pread(in, start, sizeof start, at) : -1;
    if (got <= 0) return 0;
    return DetectAge({start, std::size_t(got)}) == AgeForm::Binary ? size : size / 4 * 3;
}

// Tells progress as the reader gets on, in bytes of the input.
class Meter {
public:
    Meter(const Progress& progress, std::uint64_t total) : progress_(progress), total_(total) {}
    void NextPass() { base_ = done_; }
    bool At(const Reader& reader, Error* error) {
        const std::uint64_t done = base_ + reader.bytesRead();
        if (done == done_) return true;
        done_ = done;
        return !progress_ || progress_(done_, total_) || Fail(error, ErrorKind::Cancelled, "cancelled");
    }

private:
    const Progress& progress_;
    std::uint64_t total_, base_ = 0, done_ = 0;
};

// One pass of the input through a decryptor; the reader counts raw bytes.
bool Pass(int in, Decryptor& d, Meter& meter, Error* error) {
    Reader reader(in, false, true);
    while (auto b = reader.Next()) {
        const bool ok = d.Write(b->data.get(), b->size, error);
        reader.Done(std::move(b));
        if (!ok || !meter.At(reader, error)) return false;
    }
    const bool read = reader.Failed(error) && meter.At(reader, error);
    meter.NextPass();
    return read && d.Finish(error);
}

}  // namespace

bool EncryptFile(int in, int out, const EncryptOptions& options, std::string_view passphrase, Error* error,
                 const Progress& progress) {
    Meter meter(progress, SizeOf(in));
    Writer writer(out, false);
    const bool positional = Placeable(out);
    std::unique_ptr<Encryptor> e;
    if (positional)
        e = std::make_unique<Encryptor>(options, [&](std::uint64_t at, const std::uint8_t* p, std::size_t n) {
            return writer.Put(p, n, true, at);
        });
    else
        e = std::make_unique<Encryptor>(
            options, [&](const std::uint8_t* p, std::size_t n) { return writer.Put(p, n, false, 0); });
    if (positional) e->UseRoom([&](std::uint64_t at, std::size_t n) { return writer.Room(n, true, at); });
    // A refused write is told as the writer's, not as what it stopped.
    const auto failed = [&] { return writer.Failed(error), false; };
    if (!e->Start(passphrase, error)) return failed();
    {
        Reader reader(in, true);
        while (auto b = reader.Next()) {
            const bool ok = e->Write(b->data.get(), b->size, error);
            reader.Done(std::move(b));
            if (!ok || !meter.At(reader, error)) return failed();
        }
        if (!reader.Failed(error) || !meter.At(reader, error)) return false;
    }
    if (!e->Finish(error) || !writer.Close()) return failed();
    // Whoever writes on after us starts at the end.
    if (positional) lseek(out, 0, SEEK_END);
    return true;
}

bool DecryptFile(int in, int out, std::string_view passphrase, Error* error, const DecryptRun& run) {
    const std::uint64_t size = SizeOf(in);
    const bool twice = run.verifyFirst && out >= 0;
    Meter meter(run.progress, twice ? 2 * size : size);
    std::unique_ptr<Decryptor> first;
    if (twice) {
        first = std::make_unique<Decryptor>(passphrase, nullptr);
        if (!Pass(in, *first, meter, error)) return false;
        if (lseek(in, 0, SEEK_SET) != 0)
            return Fail(error, ErrorKind::Io, std::string("could not read the input again: ") + std::strerror(errno));
    }
    std::unique_ptr<Writer> writer;
    if (out >= 0) writer = std::make_unique<Writer>(out, true, Placeable(out) ? PlaintextBound(in, size) : 0);
    Sink sink;
    if (writer) sink = [&](const std::uint8_t* p, std::size_t n) { return writer->Put(p, n, false, 0); };
    std::unique_ptr<Decryptor> d =
        first ? std::make_unique<Decryptor>(*first->fileKey(), sink) : std::make_unique<Decryptor>(passphrase, sink);
    first.reset();
    if (writer) d->UseRoom([&](std::uint64_t, std::size_t n) { return writer->Room(n, false, 0); });
    if (!Pass(in, *d, meter, error) || (writer && !writer->Close())) {
        if (writer) writer->Failed(error);  // a refused write is told as the writer's
        return false;
    }
    if (run.plaintextSize) *run.plaintextSize = d->plaintextSize();
    return true;
}

}  // namespace quelvane::age
