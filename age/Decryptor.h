// SPDX-License-Identifier: MIT
#pragma once
// Decrypts an age file under a passphrase, fed a piece at a time, armored or
// binary (told by its first byte). Plaintext reaches the sink a chunk at a
// time, each only after its tag checked out; without a sink the file is only
// verified. Any failure ends the work: nothing more reaches the sink, and
// the caller discards what did.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "age/Armor.h"
#include "age/Encryptor.h"
#include "age/Error.h"
#include "age/Keys.h"
#include "age/Payload.h"

namespace quelvane::age {

class Decryptor {
public:
    // An empty sink: verify only.
    Decryptor(std::string_view passphrase, Sink sink);
    // The same file again with the file key a first pass opened: no scrypt,
    // the header still parsed and its MAC checked.
    Decryptor(const FileKey& fileKey, Sink sink);
    ~Decryptor();
    Decryptor(const Decryptor&) = delete;
    Decryptor& operator=(const Decryptor&) = delete;

    bool Write(const std::uint8_t* data, std::size_t n, Error* error);
    // After the last piece: the last chunk must have come, and nothing after it.
    bool Finish(Error* error);
    // Opens each chunk into the sink's room (the offset is the plaintext's).
    void UseRoom(Room room) { room_ = std::move(room); }

    bool armored() const noexcept { return armored_; }
    // Once the header has opened; null before.
    const FileKey* fileKey() const noexcept { return fileKey_.get(); }
    std::uint64_t plaintextSize() const noexcept { return plaintextSize_; }

private:
    enum class State { Start, Header, Nonce, Chunks, Done, Failed };
    bool Binary(const std::uint8_t* data, std::size_t n, Error* error);
    bool OpenHeader(std::size_t headerSize, Error* error);
    bool OpenChunk(const std::uint8_t* sealed, std::size_t n, bool last, Error* error);
    bool EndOfInput(Error* error);
    bool Failed(Error* error, ErrorKind kind, std::string message);

    State state_ = State::Start;
    SecretString passphrase_;
    Sink sink_;
    Room room_;
    bool armored_ = false;
    ArmorReader armor_;
    std::string binary_;  // bytes out of the armor, one piece at a time
    std::string header_;
    std::size_t headerScan_ = 0;
    std::size_t nonceSize_ = 0;
    std::uint8_t nonce_[kPayloadNonceSize];
    std::unique_ptr<FileKey> fileKey_;
    bool knownKey_ = false;
    std::unique_ptr<ChunkCipher> chunks_;
    SecretBytes pending_;  // a sealed chunk not known to be last or not
    std::size_t pendingSize_ = 0;
    SecretBytes plain_ = SecretBytes(kChunkSize);
    std::uint64_t plaintextSize_ = 0;
};

}  // namespace quelvane::age
