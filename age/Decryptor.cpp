// SPDX-License-Identifier: MIT
#include "age/Decryptor.h"

#include <algorithm>
#include <cstring>

#include "age/Header.h"
#include "age/HeaderMac.h"
#include "age/ScryptStanza.h"

namespace quelvane::age {

Decryptor::Decryptor(std::string_view passphrase, Sink sink)
    : passphrase_(passphrase), sink_(std::move(sink)), pending_(kSealedChunkSize) {}

Decryptor::Decryptor(const FileKey& fileKey, Sink sink)
    : sink_(std::move(sink)),
      fileKey_(std::make_unique<FileKey>(fileKey)),
      knownKey_(true),
      pending_(kSealedChunkSize) {}

Decryptor::~Decryptor() = default;

bool Decryptor::Failed(Error* error, ErrorKind kind, std::string message) {
    state_ = State::Failed;
    Forget(passphrase_);
    SecureWipe(plain_.data(), plain_.size());
    return Fail(error, kind, std::move(message));
}

bool Decryptor::Write(const std::uint8_t* data, std::size_t n, Error* error) {
    if (state_ == State::Failed || state_ == State::Done)
        return Fail(error, ErrorKind::Io, "the decryptor has stopped");
    if (!n) return true;
    if (state_ == State::Start) {
        // A binary file begins with its version line; anything else may only
        // be armor, whose reader judges it.
        armored_ = data[0] != 'a';
        state_ = State::Header;
    }
    if (!armored_) return Binary(data, n, error);
    binary_.clear();
    Error armorError;
    if (!armor_.Feed(reinterpret_cast<const char*>(data), n, &binary_, &armorError))
        return Failed(error, armorError.kind, armorError.message);
    return Binary(reinterpret_cast<const std::uint8_t*>(binary_.data()), binary_.size(), error);
}

bool Decryptor::Binary(const std::uint8_t* data, std::size_t n, Error* error) {
    if (state_ == State::Header && n) {
        const std::size_t before = header_.size();
        const std::size_t take = std::min(n, kMaxHeaderSize - before);
        header_.append(reinterpret_cast<const char*>(data), take);
        const long end = FindHeaderEnd(header_, &headerScan_);
        if (end < 0)
            return Failed(error, ErrorKind::Malformed,
                          header_.size() >= kMaxHeaderSize ? "not a valid age file: the header is too long"
                                                           : "not an age file: it does not begin with "
                                                             "age-encryption.org/v1");
        if (end == 0)
            return take == n || Failed(error, ErrorKind::Malformed, "not a valid age file: the header is too long");
        const std::size_t used = std::size_t(end) - before;
        data += used;
        n -= used;
        if (!OpenHeader(std::size_t(end), error)) return false;
    }
    if (state_ == State::Nonce && n) {
        const std::size_t take = std::min(n, kPayloadNonceSize - nonceSize_);
        std::memcpy(nonce_ + nonceSize_, data, take);
        nonceSize_ += take;
        data += take;
        n -= take;
        if (nonceSize_ == kPayloadNonceSize) {
            Key256 payloadKey;
            if (!DerivePayloadKey(*fileKey_, nonce_, &payloadKey))
                return Failed(error, ErrorKind::Io, "could not derive the payload key");
            chunks_ = std::make_unique<ChunkCipher>(payloadKey);
            if (!chunks_->ok()) return Failed(error, ErrorKind::Io, "no ChaCha20-Poly1305 in the crypto library");
            state_ = State::Chunks;
        }
    }
    while (state_ == State::Chunks && n) {
        // A full sealed chunk is known not to be the last once a byte follows.
        if (pendingSize_ == kSealedChunkSize) {
            if (!OpenChunk(pending_.data(), kSealedChunkSize, false, error)) return false;
            pendingSize_ = 0;
        }
        if (pendingSize_ == 0 && n > kSealedChunkSize) {
            if (!OpenChunk(data, kSealedChunkSize, false, error)) return false;
            data += kSealedChunkSize;
            n -= kSealedChunkSize;
            continue;
        }
        const std::size_t take = std::min(n, kSealedChunkSize - pendingSize_);
        std::memcpy(pending_.data() + pendingSize_, data, take);
        pendingSize_ += take;
        data += take;
        n -= take;
    }
    return true;
}

bool Decryptor::OpenHeader(std::size_t headerSize, Error* error) {
    Header header;
    Error parseError;
    if (!ParseHeader(std::string_view(header_).substr(0, headerSize), &header, &parseError))
        return Failed(error, parseError.kind, parseError.message);
    if (!knownKey_) {
        fileKey_ = std::make_unique<FileKey>();
        Error openError;
        const bool opened = OpenScryptStanza(header.stanzas, passphrase_, fileKey_.get(), &openError);
        Forget(passphrase_);
        if (!opened) return Failed(error, openError.kind, openError.message);
    }
    if (!VerifyHeaderMac(*fileKey_, header.macInput, header.mac.data()))
        return Failed(error, ErrorKind::Damaged, "the age file was changed: its header MAC does not match");
    header_.clear();
    state_ = State::Nonce;
    return true;
}

bool Decryptor::OpenChunk(const std::uint8_t* sealed, std::size_t n, bool last, Error* error) {
    const std::uint64_t index = chunks_->index();
    const std::size_t size = n >= kTagSize ? n - kTagSize : 0;
    std::uint8_t* out = sink_ && room_ && size ? room_(plaintextSize_, size) : nullptr;
    if (!out) out = plain_.data();
    if (chunks_->Open(sealed, n, last, out)) {
        if (last && size == 0 && index > 0)
            return Failed(error, ErrorKind::Malformed, "not a valid age file: its last chunk is empty");
        plaintextSize_ += size;
        if (sink_ && size && !sink_(out, size))
            return Failed(error, ErrorKind::Io, "could not write the decrypted data");
        return true;
    }
    // Told apart for the message only: the chunk read the other way.
    const bool otherWay = n >= kTagSize && chunks_->Open(sealed, n, !last, out);
    // What a refused chunk opened to stays nowhere, in the sink's room least of all.
    SecureWipe(out, size);
    if (otherWay && !last)
        return Failed(error, ErrorKind::Damaged, "the age file was changed: data follows its last chunk");
    if (otherWay) return Failed(error, ErrorKind::Damaged, "the age file is cut off: its last chunk is missing");
    return Failed(error, ErrorKind::Damaged,
                  "the age file was changed or cut: chunk " + std::to_string(index + 1) + " failed its check");
}

bool Decryptor::Finish(Error* error) {
    if (state_ == State::Failed || state_ == State::Done)
        return Fail(error, ErrorKind::Io, "the decryptor has stopped");
    if (armored_) {
        binary_.clear();
        Error armorError;
        if (!armor_.Finish(&binary_, &armorError)) return Failed(error, armorError.kind, armorError.message);
        if (!Binary(reinterpret_cast<const std::uint8_t*>(binary_.data()), binary_.size(), error)) return false;
    }
    return EndOfInput(error);
}

bool Decryptor::EndOfInput(Error* error) {
    switch (state_) {
        case State::Start:
            return Failed(error, ErrorKind::Malformed, "not an age file: it is empty");
        case State::Header:
            return Failed(error, ErrorKind::Damaged, "the age file is cut off inside its header");
        case State::Nonce:
            return Failed(error, ErrorKind::Damaged, "the age file is cut off before its payload");
        case State::Chunks:
            if (pendingSize_ < kTagSize)
                return Failed(error, ErrorKind::Damaged,
                              pendingSize_ == 0 && chunks_->index() == 0
                                  ? "the age file is cut off before its payload"
                                  : "the age file is cut off: its last chunk is missing");
            if (!OpenChunk(pending_.data(), pendingSize_, true, error)) return false;
            state_ = State::Done;
            SecureWipe(plain_.data(), plain_.size());
            return true;
        default:
            return Fail(error, ErrorKind::Io, "the decryptor has stopped");
    }
}

}  // namespace quelvane::age
