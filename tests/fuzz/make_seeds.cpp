// SPDX-License-Identifier: MIT
// Writes seeds of long, valid frames for the fuzz targets, so that they start
// from ciphertexts of several KiB and not only from what they find by
// themselves in 15 seconds; a few short ones keep the quick runs going too. Each seed is laid out the way its target
// reads its input (FuzzedDataProvider: the key from the front up to a backslash and one more byte, the choices from the
// back), and read back here the same way to be sure it takes the intended path. Usage: make_seeds FOLDER   (writes
// FOLDER/<target>/seeds/*)
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cipher/HexText.h"
#include "cipher/clsBlowfish.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kKey = "fuzz seed key";  // no backslash: it ends the key

#define SEED_CHECK(cond)                                                   \
    do {                                                                   \
        if (!(cond)) {                                                     \
            std::fprintf(stderr, "make_seeds: %s does not hold\n", #cond); \
            std::exit(1);                                                  \
        }                                                                  \
    } while (0)

Bytes Plain(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(gen());
    return b;
}

Bytes Encrypted(const Bytes& plain) {
    Bytes b = plain;
    clsBlowfish c;
    c.EncryptByte(b, kKey);
    return b;
}

std::string HexOf(const Bytes& b) { return quelvane::hextext::Encode(std::string(b.begin(), b.end())); }

// The key, its end mark, the payload, then the choices read from the back
// (the last byte is read first).
Bytes Seed(const std::string& payload, const Bytes& choices) {
    Bytes s(kKey.begin(), kKey.end());
    s.push_back('\\');
    s.push_back('|');
    s.insert(s.end(), payload.begin(), payload.end());
    s.insert(s.end(), choices.begin(), choices.end());
    return s;
}

std::string AsText(const Bytes& b) { return {b.begin(), b.end()}; }

void Save(const fs::path& folder, const std::string& name, const Bytes& seed) {
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
    SEED_CHECK(out.good());
}

// Hex text in lines of width characters, each ended by CR LF.
std::string Wrapped(const std::string& hex, std::size_t width, bool lower) {
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += width) {
        std::string line = hex.substr(i, width);
        if (lower)
            for (char& ch : line) ch = static_cast<char>(ch >= 'A' && ch <= 'F' ? ch + ('a' - 'A') : ch);
        out += line + "\r\n";
    }
    return out;
}

void DecryptByteSeeds(const fs::path& folder) {
    unsigned n = 0;
    for (const std::size_t size : {0u, 100u, 3000u, 8191u, 16000u}) {
        const Bytes plain = Plain(size, ++n);
        const Bytes cipher = Encrypted(plain);
        // Raw bytes: a whole frame under the right key. Choices: listener, frame = no.
        const std::uint8_t listener = static_cast<std::uint8_t>(n % 3);
        const Bytes raw = Seed(AsText(cipher), {listener, 0});
        FuzzedDataProvider in(raw.data(), raw.size());
        SEED_CHECK(in.ConsumeRandomLengthString(80) == kKey);
        SEED_CHECK(!in.ConsumeBool());
        SEED_CHECK(in.ConsumeIntegralInRange<int>(0, 2) == listener);
        SEED_CHECK(in.ConsumeRemainingBytes<std::uint8_t>() == cipher);
        Save(folder, "frame-" + std::to_string(cipher.size()) + ".bin", raw);

        // A plaintext that the target frames itself, then changes one byte of.
        // Choices: what, where (2 bytes), damage = one byte, listener, frame = yes.
        const Bytes framed = Seed(AsText(plain), {0x5A, 0x12, 0x34, 1, listener, 1});
        FuzzedDataProvider again(framed.data(), framed.size());
        SEED_CHECK(again.ConsumeRandomLengthString(80) == kKey);
        SEED_CHECK(again.ConsumeBool());
        SEED_CHECK(again.ConsumeIntegralInRange<int>(0, 2) == listener);
        SEED_CHECK(again.ConsumeIntegralInRange<std::size_t>(0, 3) == 1);
        (void)again.ConsumeIntegral<std::uint16_t>();
        (void)again.ConsumeIntegral<std::uint8_t>();
        SEED_CHECK(again.ConsumeRemainingBytes<std::uint8_t>() == plain);
        Save(folder, "plain-" + std::to_string(plain.size()) + ".bin", framed);
    }
}

void DecryptStringSeeds(const fs::path& folder) {
    unsigned n = 10;
    for (const std::size_t size : {5u, 2500u, 6000u, 12000u}) {
        const Bytes plain = Plain(size, ++n);
        const std::string hex = HexOf(Encrypted(plain));
        // Hex text as it is, and wrapped in lower case. Choice: real = no.
        for (const std::string& text : {hex, Wrapped(hex, 64, true)}) {
            const Bytes seed = Seed(text, {0});
            FuzzedDataProvider in(seed.data(), seed.size());
            SEED_CHECK(in.ConsumeRandomLengthString(80) == kKey);
            SEED_CHECK(!in.ConsumeBool());
            SEED_CHECK(in.ConsumeRemainingBytesAsString() == text);
            Save(folder, "hex-" + std::to_string(text.size()) + ".txt", seed);
        }
        // A plaintext the target encrypts and wraps. Choices: lower, width, real = yes.
        const Bytes seed = Seed(AsText(plain), {1, 75, 1});
        FuzzedDataProvider in(seed.data(), seed.size());
        SEED_CHECK(in.ConsumeRandomLengthString(80) == kKey);
        SEED_CHECK(in.ConsumeBool());
        SEED_CHECK(in.ConsumeIntegralInRange<std::size_t>(1, 80) == 76);
        SEED_CHECK(in.ConsumeBool());
        SEED_CHECK(in.ConsumeRemainingBytes<std::uint8_t>() == plain);
        Save(folder, "plain-" + std::to_string(plain.size()) + ".bin", seed);
    }
}

void HexDecodeSeeds(const fs::path& folder) {
    unsigned n = 20;
    for (const std::size_t size : {20u, 2000u, 7000u, 12000u}) {
        const std::string hex = HexOf(Encrypted(Plain(size, ++n)));
        Save(folder, "hex-" + std::to_string(hex.size()) + ".txt", Bytes(hex.begin(), hex.end()));
        const std::string wrapped = Wrapped(hex, 76, size % 2 == 0);
        Save(folder, "wrapped-" + std::to_string(wrapped.size()) + ".txt", Bytes(wrapped.begin(), wrapped.end()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    const fs::path top = argv[1];
    DecryptByteSeeds(top / "decrypt_byte" / "seeds");
    DecryptStringSeeds(top / "decrypt_string" / "seeds");
    HexDecodeSeeds(top / "hex_decode" / "seeds");
    return 0;
}
