// SPDX-License-Identifier: MIT
#include "age/Encryptor.h"

#include <cstring>

#include "age/Crypto.h"
#include "age/HeaderMac.h"

namespace quelvane::age {
namespace {
constexpr std::size_t kOutPiece = 1u << 20;
}

Encryptor::Encryptor(EncryptOptions options, Sink sink)
    : options_(options), sink_(std::move(sink)), sealed_(kSealedChunkSize) {
    out_.reserve(kOutPiece + 2 * kSealedChunkSize);
}

Encryptor::~Encryptor() = default;

bool Encryptor::Start(std::string_view passphrase, Error* error) {
    FileKey fileKey;
    if (!RandomBytes(fileKey.data(), fileKey.size())) return Fail(error, ErrorKind::Io, "no random bytes for the key");
    Stanza stanza;
    if (!MakeScryptStanza(passphrase, options_.workFactor, fileKey, &stanza, error)) return false;
    const std::vector<Stanza> stanzas{std::move(stanza)};
    std::uint8_t mac[32];
    if (!ComputeHeaderMac(fileKey, MarshalHeaderForMac(stanzas), mac))
        return Fail(error, ErrorKind::Io, "could not compute the header MAC");
    const std::string header = MarshalHeader(stanzas, mac);
    std::uint8_t nonce[kPayloadNonceSize];
    Key256 payloadKey;
    if (!RandomBytes(nonce, sizeof nonce) || !DerivePayloadKey(fileKey, nonce, &payloadKey))
        return Fail(error, ErrorKind::Io, "could not make the payload key");
    chunks_ = std::make_unique<ChunkCipher>(payloadKey);
    if (!chunks_->ok()) return Fail(error, ErrorKind::Io, "no ChaCha20-Poly1305 in the crypto library");
    return Emit(reinterpret_cast<const std::uint8_t*>(header.data()), header.size(), error) &&
           Emit(nonce, sizeof nonce, error);
}

bool Encryptor::Write(const std::uint8_t* data, std::size_t n, Error* error) {
    if (!chunks_ || finished_) return Fail(error, ErrorKind::Io, "the encryptor is not running");
    // A full chunk waits until more comes: only then is it known not to be
    // the last.
    while (n) {
        if (plain_.size() == kChunkSize) {
            if (!Seal(plain_.data(), kChunkSize, false, error)) return false;
            plain_.resize(0);
        }
        if (plain_.size() == 0 && n > kChunkSize) {
            if (!Seal(data, kChunkSize, false, error)) return false;
            data += kChunkSize;
            n -= kChunkSize;
            continue;
        }
        const std::size_t take = std::min(n, kChunkSize - plain_.size());
        std::memcpy(plain_.data() + plain_.size(), data, take);
        plain_.resize(plain_.size() + take);
        data += take;
        n -= take;
    }
    return true;
}

bool Encryptor::Finish(Error* error) {
    if (!chunks_ || finished_) return Fail(error, ErrorKind::Io, "the encryptor is not running");
    finished_ = true;
    const bool sealed = Seal(plain_.data(), plain_.size(), true, error);
    plain_.Wipe();
    if (!sealed) return false;
    if (options_.armor) armor_.Finish(&out_);
    return Drain(error);
}

bool Encryptor::Seal(const std::uint8_t* data, std::size_t n, bool last, Error* error) {
    if (!chunks_->Seal(data, n, last, sealed_.data())) return Fail(error, ErrorKind::Io, "could not seal a chunk");
    return Emit(sealed_.data(), n + kTagSize, error);
}

bool Encryptor::Emit(const std::uint8_t* data, std::size_t n, Error* error) {
    if (options_.armor)
        armor_.Write(data, n, &out_);
    else
        out_.append(reinterpret_cast<const char*>(data), n);
    return out_.size() < kOutPiece || Drain(error);
}

bool Encryptor::Drain(Error* error) {
    const bool ok = out_.empty() || sink_(reinterpret_cast<const std::uint8_t*>(out_.data()), out_.size());
    out_.clear();
    return ok || Fail(error, ErrorKind::Io, "could not write the encrypted file");
}

}  // namespace quelvane::age
