// SPDX-License-Identifier: MIT
#include "age/Encryptor.h"

#include <cstring>

#include "age/Crypto.h"
#include "age/HeaderMac.h"

namespace quelvane::age {
namespace {

constexpr std::size_t kOutPiece = 1u << 20;
constexpr std::size_t kBeginLine = kArmorBegin.size() + 1;

// The header's size for a work factor: every part of an scrypt stanza has
// a fixed length.
std::size_t HeaderSize(int workFactor) {
    const Stanza shape{{"scrypt", std::string(22, 'A'), std::to_string(workFactor)}, std::vector<std::uint8_t>(32)};
    const std::uint8_t mac[32] = {};
    return MarshalHeader({shape}, mac).size();
}

}  // namespace

Encryptor::Encryptor(EncryptOptions options, Sink sink)
    : options_(options), sink_(std::move(sink)), sealed_(kSealedChunkSize) {
    out_.reserve(kOutPiece + 2 * kSealedChunkSize);
}

Encryptor::Encryptor(EncryptOptions options, PositionalSink sink)
    : options_(options), at_(std::move(sink)), sealed_(kSealedChunkSize), armor_(false) {
    out_.reserve(kOutPiece + 2 * kSealedChunkSize);
}

Encryptor::~Encryptor() {
    if (scrypt_.joinable()) scrypt_.join();
}

bool Encryptor::Start(std::string_view passphrase, Error* error) {
    if (chunks_) return Fail(error, ErrorKind::Io, "the encryptor has started already");
    if (options_.workFactor < 1 || options_.workFactor > kMaxWorkFactor)
        return Fail(error, ErrorKind::WorkFactorTooHigh,
                    "the scrypt work factor must be from 1 to " + std::to_string(kMaxWorkFactor));
    fileKey_ = std::make_unique<FileKey>();
    std::uint8_t nonce[kPayloadNonceSize];
    Key256 payloadKey;
    if (!RandomBytes(fileKey_->data(), fileKey_->size()) || !RandomBytes(nonce, sizeof nonce) ||
        !DerivePayloadKey(*fileKey_, nonce, &payloadKey))
        return Fail(error, ErrorKind::Io, "could not make the keys");
    nonce_.assign(reinterpret_cast<const char*>(nonce), sizeof nonce);
    chunks_ = std::make_unique<ChunkCipher>(payloadKey);
    if (!chunks_->ok()) return Fail(error, ErrorKind::Io, "no ChaCha20-Poly1305 in the crypto library");
    if (!at_) {
        if (!MakeScryptStanza(passphrase, options_.workFactor, *fileKey_, &stanza_, error)) return false;
        return FinishHeader(error);
    }
    // The payload's first byte lands after the header and the nonce; in
    // armor, after the last line that holds any of them.
    const std::size_t prefix = HeaderSize(options_.workFactor) + kPayloadNonceSize;
    if (options_.armor) {
        const std::size_t lines = (prefix + kArmorLineBytes - 1) / kArmorLineBytes;
        gap_ = lines * kArmorLineBytes - prefix;
        offset_ = kBeginLine + lines * (64 + 1);
    } else {
        offset_ = prefix;
    }
    passphrase_.assign(passphrase);
    scrypt_ = std::thread([this] {
        scryptOk_ = MakeScryptStanza(passphrase_, options_.workFactor, *fileKey_, &stanza_, &scryptError_);
        Forget(passphrase_);
    });
    return true;
}

bool Encryptor::FinishHeader(Error* error) {
    const std::vector<Stanza> stanzas{stanza_};
    std::uint8_t mac[32];
    if (!ComputeHeaderMac(*fileKey_, MarshalHeaderForMac(stanzas), mac))
        return Fail(error, ErrorKind::Io, "could not compute the header MAC");
    fileKey_.reset();
    const std::string head = MarshalHeader(stanzas, mac) + nonce_;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(head.data());
    if (!at_) return Emit(bytes, head.size(), error);
    std::string text;
    if (!options_.armor) {
        text = head;
    } else {
        // Header, nonce and the payload's first bytes make the first lines
        // whole; a payload too short for that ends here.
        ArmorWriter first;
        const std::string all = head + gapBytes_;
        first.Write(reinterpret_cast<const std::uint8_t*>(all.data()), all.size(), &text);
        if (gapBytes_.size() < gap_) first.Finish(&text);
    }
    return at_(0, reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) ||
           Fail(error, ErrorKind::Io, "could not write the encrypted file");
}

bool Encryptor::Write(const std::uint8_t* data, std::size_t n, Error* error) {
    if (!chunks_ || finished_) return Fail(error, ErrorKind::Io, "the encryptor is not running");
    // A full chunk waits until more comes: only then is it known not to be
    // the last.
    while (n) {
        if (plainSize_ == kChunkSize) {
            if (!Seal(plain_.data(), kChunkSize, false, error)) return false;
            plainSize_ = 0;
        }
        if (plainSize_ == 0 && n > kChunkSize) {
            if (!Seal(data, kChunkSize, false, error)) return false;
            data += kChunkSize;
            n -= kChunkSize;
            continue;
        }
        const std::size_t take = std::min(n, kChunkSize - plainSize_);
        std::memcpy(plain_.data() + plainSize_, data, take);
        plainSize_ += take;
        data += take;
        n -= take;
    }
    return true;
}

bool Encryptor::Finish(Error* error) {
    if (!chunks_ || finished_) return Fail(error, ErrorKind::Io, "the encryptor is not running");
    finished_ = true;
    const bool sealed = Seal(plain_.data(), plainSize_, true, error);
    SecureWipe(plain_.data(), plain_.size());
    plainSize_ = 0;
    if (!sealed) return false;
    if (options_.armor && gapBytes_.size() == gap_) armor_.Finish(&out_);
    if (!Drain(error)) return false;
    if (!at_) return true;
    scrypt_.join();
    if (!scryptOk_) return Fail(error, scryptError_.kind, scryptError_.message);
    return FinishHeader(error);
}

bool Encryptor::Seal(const std::uint8_t* data, std::size_t n, bool last, Error* error) {
    std::uint8_t* out = room_ && at_ && !options_.armor ? room_(offset_, n + kTagSize) : nullptr;
    if (!out) out = sealed_.data();
    if (!chunks_->Seal(data, n, last, out)) return Fail(error, ErrorKind::Io, "could not seal a chunk");
    return Emit(out, n + kTagSize, error);
}

bool Encryptor::Emit(const std::uint8_t* data, std::size_t n, Error* error) {
    // Binary output goes straight on: the sink copies it once, where it keeps it.
    if (!options_.armor) {
        const bool ok = at_ ? at_(offset_, data, n) : sink_(data, n);
        offset_ += n;
        return ok || Fail(error, ErrorKind::Io, "could not write the encrypted file");
    }
    if (gapBytes_.size() < gap_) {
        const std::size_t take = std::min(n, gap_ - gapBytes_.size());
        gapBytes_.append(reinterpret_cast<const char*>(data), take);
        data += take;
        n -= take;
    }
    armor_.Write(data, n, &out_);
    return out_.size() < kOutPiece || Drain(error);
}

bool Encryptor::Drain(Error* error) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(out_.data());
    const bool ok = out_.empty() || (at_ ? at_(offset_, bytes, out_.size()) : sink_(bytes, out_.size()));
    offset_ += out_.size();
    out_.clear();
    return ok || Fail(error, ErrorKind::Io, "could not write the encrypted file");
}

}  // namespace quelvane::age
