// SPDX-License-Identifier: MIT
#pragma once
// Encrypts a stream into an age file under a passphrase: one scrypt stanza,
// a random file key and payload nonce, 64 KiB chunks, armored or binary.
//   Encryptor e({.armor = true}, sink);
//   e.Start(passphrase, &error); e.Write(...)...; e.Finish(&error);
// The sink gets the file in pieces: about 1 MiB armored, a chunk binary. With a positional sink
// (a file) the payload is encrypted while scrypt runs on a thread of its
// own: the header's size is known beforehand, so the payload goes to its
// place first and the header in front of it at Finish.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "age/Armor.h"
#include "age/Error.h"
#include "age/Keys.h"
#include "age/Payload.h"
#include "age/ScryptStanza.h"

namespace quelvane::age {

// Takes output bytes; false stops the work with an Io error.
using Sink = std::function<bool(const std::uint8_t* data, std::size_t n)>;
// Takes output bytes for a place in the output.
using PositionalSink = std::function<bool(std::uint64_t offset, const std::uint8_t* data, std::size_t n)>;
// Room in the sink's own buffer for the next n bytes, or null: a chunk is
// sealed or opened there, and handed to the sink in place, saving a copy.
using Room = std::function<std::uint8_t*(std::uint64_t offset, std::size_t n)>;

struct EncryptOptions {
    bool armor = true;
    int workFactor = kDefaultWorkFactor;
};

class Encryptor {
public:
    Encryptor(EncryptOptions options, Sink sink);
    Encryptor(EncryptOptions options, PositionalSink sink);
    ~Encryptor();  // waits for a running scrypt
    Encryptor(const Encryptor&) = delete;
    Encryptor& operator=(const Encryptor&) = delete;

    // The passphrase's bytes as they are (UTF-8 for a typed one). Derives
    // the wrap key and emits the header, or with a positional sink starts
    // deriving and leaves the header to Finish.
    bool Start(std::string_view passphrase, Error* error);
    bool Write(const std::uint8_t* data, std::size_t n, Error* error);
    bool Finish(Error* error);
    // Binary with a positional sink: seals each chunk into the sink's room.
    void UseRoom(Room room) { room_ = std::move(room); }

private:
    bool Seal(const std::uint8_t* data, std::size_t n, bool last, Error* error);
    bool Emit(const std::uint8_t* data, std::size_t n, Error* error);
    bool Drain(Error* error);
    bool FinishHeader(Error* error);

    EncryptOptions options_;
    Sink sink_;
    PositionalSink at_;
    Room room_;
    // With a positional sink: where the payload's output goes next, the
    // bytes of the header's last armor line that are payload, and scrypt's
    // thread and outcome.
    std::uint64_t offset_ = 0;
    std::size_t gap_ = 0;
    std::string gapBytes_;
    std::string nonce_;
    std::unique_ptr<FileKey> fileKey_;
    SecretString passphrase_;
    std::thread scrypt_;
    Stanza stanza_;
    Error scryptError_;
    bool scryptOk_ = false;
    std::unique_ptr<ChunkCipher> chunks_;
    SecretBytes plain_ = SecretBytes(kChunkSize);
    std::size_t plainSize_ = 0;  // of plain_, the chunk being filled
    std::vector<std::uint8_t> sealed_;
    std::string out_;
    ArmorWriter armor_;  // without a begin line when positional
    bool finished_ = false;
};

}  // namespace quelvane::age
