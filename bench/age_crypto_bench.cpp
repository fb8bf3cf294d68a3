// SPDX-License-Identifier: MIT
// The two candidate libraries of the age format side by side, in one run:
// ChaCha20-Poly1305 on 64 KiB chunks and scrypt at N = 2^18, r = 8, p = 1.
// OpenSSL's scrypt runs twice: on its default allocator, and with its big
// block mapped with MADV_HUGEPAGE, the way the age library gives it.
//   age_crypto_bench [MiB of ChaCha20-Poly1305, default 512]
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sodium.h>
#include <sys/mman.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The benchmark's own copy of the huge-page allocator: large blocks mapped,
// the rest from malloc.
constexpr size_t kBig = 16u << 20;
bool hugeOn = false;
std::mutex mapsLock;
std::map<void*, size_t> maps;
void* Alloc(size_t n, const char*, int) {
    if (!hugeOn || n < kBig) return std::malloc(n);
    void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    madvise(p, n, MADV_HUGEPAGE);
    std::lock_guard<std::mutex> g(mapsLock);
    maps[p] = n;
    return p;
}
void Free(void* p, const char*, int) {
    {
        std::lock_guard<std::mutex> g(mapsLock);
        auto it = maps.find(p);
        if (it != maps.end()) {
            munmap(p, it->second);
            maps.erase(it);
            return;
        }
    }
    std::free(p);
}
void* Realloc(void* p, size_t n, const char* f, int l) {
    {
        std::lock_guard<std::mutex> g(mapsLock);
        if (p && maps.count(p)) return nullptr;  // never asked of a big block
    }
    if (!hugeOn || n < kBig) return std::realloc(p, n);
    return Alloc(n, f, l);
}

const unsigned char kKey[32] = {1, 2, 3};
const char kPass[] = "correct horse battery staple";
const unsigned char kSalt[44] = "age-encryption.org/v1/scrypt0123456789abcde";

double OpenSslChaCha(std::vector<unsigned char>& buf, size_t total) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_chacha20_poly1305(), nullptr, kKey, nullptr);
    unsigned char nonce[12] = {}, tag[16];
    auto start = Clock::now();
    for (size_t done = 0; done < total; done += buf.size()) {
        nonce[10]++;
        int len = 0;
        EVP_EncryptInit_ex(ctx, nullptr, nullptr, nullptr, nonce);
        EVP_EncryptUpdate(ctx, buf.data(), &len, buf.data(), int(buf.size()));
        EVP_EncryptFinal_ex(ctx, buf.data() + len, &len);
        EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_AEAD_GET_TAG, 16, tag);
    }
    double s = Seconds(start);
    EVP_CIPHER_CTX_free(ctx);
    return s;
}

double SodiumChaCha(std::vector<unsigned char>& buf, size_t total) {
    unsigned char nonce[12] = {}, tag[16];
    auto start = Clock::now();
    for (size_t done = 0; done < total; done += buf.size()) {
        nonce[10]++;
        crypto_aead_chacha20poly1305_ietf_encrypt_detached(buf.data(), tag, nullptr, buf.data(), buf.size(), nullptr, 0,
                                                           nullptr, nonce, kKey);
    }
    return Seconds(start);
}

double OpenSslScrypt() {
    unsigned char out[32];
    auto start = Clock::now();
    if (!EVP_PBE_scrypt(kPass, sizeof kPass - 1, kSalt, sizeof kSalt - 1, 1u << 18, 8, 1, 300u << 20, out, 32))
        std::fprintf(stderr, "EVP_PBE_scrypt failed\n");
    return Seconds(start);
}

double SodiumScrypt() {
    unsigned char out[32];
    auto start = Clock::now();
    if (crypto_pwhash_scryptsalsa208sha256_ll(reinterpret_cast<const uint8_t*>(kPass), sizeof kPass - 1, kSalt,
                                              sizeof kSalt - 1, 1u << 18, 8, 1, out, 32))
        std::fprintf(stderr, "crypto_pwhash_scryptsalsa208sha256_ll failed\n");
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    // Before OpenSSL allocates anything; switched on only for its second scrypt.
    if (!CRYPTO_set_mem_functions(Alloc, Realloc, Free)) std::fprintf(stderr, "allocator refused\n");
    if (sodium_init() < 0) return 1;
    size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 512;
    std::vector<unsigned char> buf(64 * 1024, 0x5a);
    size_t total = mib << 20;
    OpenSslChaCha(buf, 64 << 20);  // warm-up
    SodiumChaCha(buf, 64 << 20);
    double o = OpenSslChaCha(buf, total), s = SodiumChaCha(buf, total);
    std::printf("ChaCha20-Poly1305, %zu MiB in 64 KiB chunks\n", mib);
    std::printf("  OpenSSL libcrypto  %7.2f GB/s\n", total / o / 1e9);
    std::printf("  libsodium          %7.2f GB/s   (OpenSSL/libsodium time %.2f)\n", total / s / 1e9, o / s);
    double os1 = OpenSslScrypt();
    hugeOn = true;
    double os2 = OpenSslScrypt();
    hugeOn = false;
    double ss = SodiumScrypt();
    std::printf("scrypt N=2^18 r=8 p=1\n");
    std::printf("  OpenSSL, malloc             %6.3f s\n", os1);
    std::printf("  OpenSSL, MADV_HUGEPAGE map  %6.3f s\n", os2);
    std::printf("  libsodium                   %6.3f s   (OpenSSL huge / libsodium time %.2f)\n", ss, os2 / ss);
    return 0;
}
