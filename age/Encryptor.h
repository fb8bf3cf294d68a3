// SPDX-License-Identifier: MIT
#pragma once
// Encrypts a stream into an age file under a passphrase: one scrypt stanza,
// a random file key and payload nonce, 64 KiB chunks, armored or binary.
//   Encryptor e({.armor = true}, sink);
//   e.Start(passphrase, &error); e.Write(...)...; e.Finish(&error);
// The sink gets the file in pieces of about 1 MiB.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "age/Armor.h"
#include "age/Error.h"
#include "age/Payload.h"
#include "age/ScryptStanza.h"
#include "age/Secret.h"

namespace quelvane::age {

// Takes output bytes; false stops the work with an Io error.
using Sink = std::function<bool(const std::uint8_t* data, std::size_t n)>;

struct EncryptOptions {
    bool armor = true;
    int workFactor = kDefaultWorkFactor;
};

class Encryptor {
public:
    Encryptor(EncryptOptions options, Sink sink);
    ~Encryptor();
    Encryptor(const Encryptor&) = delete;
    Encryptor& operator=(const Encryptor&) = delete;

    // The passphrase's bytes as they are (UTF-8 for a typed one). Derives
    // the wrap key and emits the header.
    bool Start(std::string_view passphrase, Error* error);
    bool Write(const std::uint8_t* data, std::size_t n, Error* error);
    bool Finish(Error* error);

private:
    bool Seal(const std::uint8_t* data, std::size_t n, bool last, Error* error);
    bool Emit(const std::uint8_t* data, std::size_t n, Error* error);
    bool Drain(Error* error);

    EncryptOptions options_;
    Sink sink_;
    std::unique_ptr<ChunkCipher> chunks_;
    SecretBuffer plain_{kChunkSize};
    std::vector<std::uint8_t> sealed_;
    std::string out_;
    ArmorWriter armor_;
    bool finished_ = false;
};

}  // namespace quelvane::age
