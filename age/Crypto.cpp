// SPDX-License-Identifier: MIT
#include "age/Crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#if defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#endif

namespace quelvane::age {
namespace {

#if defined(__linux__)
// scrypt's block of 128 * r * N bytes is its cost: faulting in 256 MiB of
// small pages takes most of a second, the same in 2 MiB pages a few
// hundredths. So OpenSSL's allocator hands out large blocks as mappings
// aligned to 2 MiB and marked for huge pages; all else goes to malloc.
constexpr std::size_t kLarge = 8u << 20;
constexpr std::size_t kHuge = 2u << 20;

std::mutex& MapsLock() {
    static std::mutex lock;
    return lock;
}
// A mapped block, and the thread faulting its pages in.
struct Mapped {
    std::size_t size = 0;
    std::thread faulting;
};
std::map<void*, Mapped>& Maps() {
    static std::map<void*, Mapped> maps;
    return maps;
}

// Clearing the fresh pages is the other cost, on some hosts much of a
// second: a second thread faults them in from the far end while scrypt
// fills the block from the near one, so each clears about half.
void FaultIn(char* block, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
    for (std::size_t at = size; at > 0; at -= kHuge)
        if (madvise(block + at - kHuge, kHuge, MADV_POPULATE_WRITE) != 0) return;
#else
    (void)block;
    (void)size;
#endif
}

void* MapLarge(std::size_t n) {
    const std::size_t size = (n + kHuge - 1) & ~(kHuge - 1);
    void* raw = mmap(nullptr, size + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    auto* base = static_cast<char*>(raw);
    auto* aligned = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(base) + kHuge - 1) & ~(kHuge - 1));
    if (aligned > base) munmap(base, aligned - base);
    if (char* end = aligned + size; base + size + kHuge > end) munmap(end, base + size + kHuge - end);
    madvise(aligned, size, MADV_HUGEPAGE);
    std::thread faulting;
    try {
        faulting = std::thread(FaultIn, aligned, size);
    } catch (const std::system_error&) {
        // No thread: scrypt faults every page in itself.
    }
    std::lock_guard<std::mutex> guard(MapsLock());
    Maps()[aligned] = Mapped{size, std::move(faulting)};
    return aligned;
}

// The size of a mapped block, 0 for one from malloc.
std::size_t MappedSize(void* p) {
    std::lock_guard<std::mutex> guard(MapsLock());
    auto it = Maps().find(p);
    return it == Maps().end() ? 0 : it->second.size;
}

void* Allocate(std::size_t n, const char*, int) { return n >= kLarge ? MapLarge(n) : std::malloc(n); }

void Release(void* p, const char*, int) {
    if (!p) return;
    Mapped mapped;
    {
        std::lock_guard<std::mutex> guard(MapsLock());
        auto it = Maps().find(p);
        if (it != Maps().end()) {
            mapped = std::move(it->second);
            Maps().erase(it);
        }
    }
    if (!mapped.size) {
        std::free(p);
        return;
    }
    if (mapped.faulting.joinable()) mapped.faulting.join();
    munmap(p, mapped.size);
}

void* Reallocate(void* p, std::size_t n, const char* file, int line) {
    const std::size_t mapped = p ? MappedSize(p) : 0;
    if (!mapped && n < kLarge) return std::realloc(p, n);
    void* fresh = Allocate(n, file, line);
    if (fresh && p) {
        std::memcpy(fresh, p, std::min(n, mapped ? mapped : malloc_usable_size(p)));
        Release(p, file, line);
    }
    return fresh;
}

// Before main, so before OpenSSL's first allocation; if something came first
// the call is refused and scrypt runs on malloc, only slower.
[[maybe_unused]] const bool kAllocatorInstalled = CRYPTO_set_mem_functions(Allocate, Reallocate, Release) == 1;
#endif

const std::uint8_t* Bytes(std::string_view s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

}  // namespace

bool RandomBytes(std::uint8_t* out, std::size_t n) { return n <= INT_MAX && RAND_bytes(out, int(n)) == 1; }

bool HkdfSha256(const std::uint8_t* ikm, std::size_t ikmSize, const std::uint8_t* salt, std::size_t saltSize,
                std::string_view info, Key256* out) {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr);
    if (!ctx) return false;
    std::size_t outSize = out->size();
    // An empty salt is HKDF's zero salt; OpenSSL wants a pointer either way.
    static const std::uint8_t kNoSalt = 0;
    const bool ok = EVP_PKEY_derive_init(ctx) == 1 && EVP_PKEY_CTX_set_hkdf_md(ctx, EVP_sha256()) == 1 &&
                    EVP_PKEY_CTX_set1_hkdf_salt(ctx, saltSize ? salt : &kNoSalt, int(saltSize)) == 1 &&
                    EVP_PKEY_CTX_set1_hkdf_key(ctx, ikm, int(ikmSize)) == 1 &&
                    EVP_PKEY_CTX_add1_hkdf_info(ctx, Bytes(info), int(info.size())) == 1 &&
                    EVP_PKEY_derive(ctx, out->data(), &outSize) == 1 && outSize == out->size();
    EVP_PKEY_CTX_free(ctx);
    return ok;
}

bool HmacSha256(const Key256& key, std::string_view data, std::uint8_t out[32]) {
    unsigned int size = 0;
    return HMAC(EVP_sha256(), key.data(), int(key.size()), Bytes(data), data.size(), out, &size) && size == 32;
}

bool Scrypt(std::string_view passphrase, const std::uint8_t* salt, std::size_t saltSize, int logN, Key256* out) {
    const std::uint64_t n = std::uint64_t{1} << logN;
    // OpenSSL's own sum: 128 r (N + 2) for V and 128 r p for B.
    const std::uint64_t maxMemory = 128 * 8 * (n + 3) + 4096;
    return EVP_PBE_scrypt(passphrase.data(), passphrase.size(), salt, saltSize, n, 8, 1, maxMemory, out->data(),
                          out->size()) == 1;
}

bool EqualBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) { return CRYPTO_memcmp(a, b, n) == 0; }

ChaChaPoly::ChaChaPoly(const Key256& key) : key_(key) {
    ctx_ = EVP_CIPHER_CTX_new();
    if (ctx_ && EVP_CipherInit_ex(ctx_, EVP_chacha20_poly1305(), nullptr, nullptr, nullptr, 1) != 1) {
        EVP_CIPHER_CTX_free(ctx_);
        ctx_ = nullptr;
    }
}

ChaChaPoly::~ChaChaPoly() { EVP_CIPHER_CTX_free(ctx_); }

bool ChaChaPoly::Seal(const std::uint8_t nonce[12], const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    int len = 0, tail = 0;
    return ctx_ && n <= INT_MAX && EVP_CipherInit_ex(ctx_, nullptr, nullptr, key_.data(), nonce, 1) == 1 &&
           EVP_CipherUpdate(ctx_, out, &len, in, int(n)) == 1 && EVP_CipherFinal_ex(ctx_, out + len, &tail) == 1 &&
           std::size_t(len + tail) == n && EVP_CIPHER_CTX_ctrl(ctx_, EVP_CTRL_AEAD_GET_TAG, 16, out + n) == 1;
}

bool ChaChaPoly::Open(const std::uint8_t nonce[12], const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    int len = 0, tail = 0;
    std::uint8_t tag[16];
    std::memcpy(tag, in + n, 16);
    return ctx_ && n <= INT_MAX && EVP_CipherInit_ex(ctx_, nullptr, nullptr, key_.data(), nonce, 0) == 1 &&
           EVP_CIPHER_CTX_ctrl(ctx_, EVP_CTRL_AEAD_SET_TAG, 16, tag) == 1 &&
           EVP_CipherUpdate(ctx_, out, &len, in, int(n)) == 1 && EVP_CipherFinal_ex(ctx_, out + len, &tail) == 1 &&
           std::size_t(len + tail) == n;
}

}  // namespace quelvane::age
