// SPDX-License-Identifier: MIT
#include "age/ScryptStanza.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "age/Base64.h"
#include "age/Crypto.h"

namespace quelvane::age {
namespace {

constexpr std::string_view kLabel = "age-encryption.org/v1/scrypt";
constexpr std::size_t kSaltSize = 16;
const std::uint8_t kZeroNonce[12] = {};

bool WrapKey(std::string_view passphrase, const std::uint8_t* salt, int workFactor, Key256* key) {
    std::uint8_t full[kLabel.size() + kSaltSize];
    std::memcpy(full, kLabel.data(), kLabel.size());
    std::memcpy(full + kLabel.size(), salt, kSaltSize);
    return Scrypt(passphrase, full, sizeof full, workFactor, key);
}

// ^[1-9][0-9]*$ as a number, held at 1000 for longer ones; -1 otherwise.
int ParseWorkFactor(std::string_view arg) {
    if (arg.empty() || arg[0] < '1' || arg[0] > '9') return -1;
    int value = 0;
    for (char c : arg) {
        if (c < '0' || c > '9') return -1;
        value = std::min(1000, value * 10 + (c - '0'));
    }
    return value;
}

}  // namespace

bool MakeScryptStanza(std::string_view passphrase, int workFactor, const FileKey& fileKey, Stanza* stanza,
                      Error* error) {
    if (workFactor < 1 || workFactor > kMaxWorkFactor)
        return Fail(error, ErrorKind::WorkFactorTooHigh,
                    "the scrypt work factor must be from 1 to " + std::to_string(kMaxWorkFactor));
    std::uint8_t salt[kSaltSize];
    if (!RandomBytes(salt, sizeof salt)) return Fail(error, ErrorKind::Io, "no random bytes for the salt");
    Key256 wrapKey;
    if (!WrapKey(passphrase, salt, workFactor, &wrapKey))
        return Fail(error, ErrorKind::Io, "scrypt failed (not enough memory?)");
    ChaChaPoly aead(wrapKey);
    std::vector<std::uint8_t> body(fileKey.size() + 16);
    if (!aead.Seal(kZeroNonce, fileKey.data(), fileKey.size(), body.data()))
        return Fail(error, ErrorKind::Io, "could not wrap the file key");
    *stanza = Stanza{{"scrypt", base64::EncodeRaw(salt, sizeof salt), std::to_string(workFactor)}, std::move(body)};
    return true;
}

bool OpenScryptStanza(const std::vector<Stanza>& stanzas, std::string_view passphrase, FileKey* fileKey, Error* error) {
    bool scrypt = false;
    for (const Stanza& s : stanzas) scrypt = scrypt || s.args[0] == "scrypt";
    if (!scrypt)
        return Fail(error, ErrorKind::NoStanzaOpens,
                    "no stanza opens with a password: the age file is encrypted to keys, not to a password");
    if (stanzas.size() != 1)
        return Fail(error, ErrorKind::Malformed, "not a valid age file: a scrypt stanza must be the only stanza");
    const Stanza& s = stanzas[0];
    if (s.args.size() != 3) return Fail(error, ErrorKind::Malformed, "not a valid age file: scrypt takes 2 arguments");
    std::vector<std::uint8_t> salt;
    if (!base64::DecodeRaw(s.args[1], &salt) || salt.size() != kSaltSize)
        return Fail(error, ErrorKind::Malformed, "not a valid age file: the scrypt salt is not 16 bytes");
    const int workFactor = ParseWorkFactor(s.args[2]);
    if (workFactor < 0)
        return Fail(error, ErrorKind::Malformed, "not a valid age file: the scrypt work factor is not a number");
    if (workFactor > kMaxWorkFactor)
        return Fail(error, ErrorKind::WorkFactorTooHigh,
                    "the age file asks for scrypt work factor " + s.args[2] + "; at most " +
                        std::to_string(kMaxWorkFactor) + " is accepted");
    if (s.body.size() != fileKey->size() + 16)
        return Fail(error, ErrorKind::Malformed, "not a valid age file: the scrypt stanza's body is not 32 bytes");
    Key256 wrapKey;
    if (!WrapKey(passphrase, salt.data(), workFactor, &wrapKey))
        return Fail(error, ErrorKind::Io, "scrypt failed (not enough memory?)");
    ChaChaPoly aead(wrapKey);
    FileKey key;
    if (!aead.Open(kZeroNonce, s.body.data(), fileKey->size(), key.data()))
        return Fail(error, ErrorKind::NoStanzaOpens, "wrong password: no stanza of the age file opens with it");
    *fileKey = key;
    return true;
}

}  // namespace quelvane::age
