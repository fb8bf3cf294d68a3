// SPDX-License-Identifier: MIT
#include "clsBlowfish.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <stdexcept>
#include <system_error>
#include <utility>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "HexText.h"
#include "PiWords.h"
#include "SecureWipe.h"
#include "os/SafeFile.h"

namespace {

using Word = std::uint32_t;
using SBoxes = std::array<std::array<Word, 256>, 4>;

// The size descriptor is a signed 32-bit number.
constexpr std::size_t kMaxData = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - 19;

// Unsigned 32-bit sums wrap modulo 2^32: the same as adding byte by byte
// with a carry.
inline Word F(const SBoxes& S, Word x) noexcept {
    return ((S[0][x >> 24] + S[1][(x >> 16) & 0xFF]) ^ S[2][(x >> 8) & 0xFF]) + S[3][x & 0xFF];
}

inline void Encrypt(const std::array<Word, 18>& P, const SBoxes& S, Word& left, Word& right) noexcept {
    Word L = left, R = right;
    for (int k = 0; k < 16; k += 2) {
        L ^= P[k];
        R ^= F(S, L) ^ P[k + 1];
        L ^= F(S, R);
    }
    left = R ^ P[17];
    right = L ^ P[16];
}

inline void Decrypt(const std::array<Word, 18>& P, const SBoxes& S, Word& left, Word& right) noexcept {
    Word L = right ^ P[16], R = left ^ P[17];
    for (int k = 14; k >= 0; k -= 2) {
        L ^= F(S, R);
        R ^= P[k + 1] ^ F(S, L);
        L ^= P[k];
    }
    left = L;
    right = R;
}

// The byte operations run on a widened copy of the tables. A word w is held
// in 64 bits as w | w << 40: the word itself in bits 0-31 and its low three
// bytes again in bits 40-63. Every byte a round looks up then takes one
// instruction to reach (bits 0-7, 8-15, 24-31 and 56-63), where byte 2 of a
// plain word takes two in a row: that shortens each of the 16 serial rounds
// of encryption and takes instructions out of the interleaved decryption.
// Sums and XORs keep the layout: a carry out of the word stops in bits 32-39,
// which nothing reads, and a carry out of the copy leaves the register.
using Wide = std::uint64_t;

inline Wide Widen(Word w) noexcept { return w | static_cast<Wide>(w) << 40; }

}  // namespace

struct quelvane::blowfish::WideTables {
    WideTables(const std::array<Word, 18>& P, const SBoxes& S) noexcept {
        for (std::size_t i = 0; i < 18; ++i) this->P[i] = Widen(P[i]);
        for (std::size_t b = 0; b < 4; ++b)
            for (std::size_t e = 0; e < 256; ++e) this->S[b][e] = Widen(S[b][e]);
    }
    ~WideTables() { quelvane::SecureWipe(this, sizeof *this); }
    WideTables(const WideTables&) = delete;
    WideTables& operator=(const WideTables&) = delete;

    Wide P[18];
    Wide S[4][256];
};

namespace {

using quelvane::blowfish::WideTables;

inline Wide F(const WideTables& t, Wide x) noexcept {
    return ((t.S[0][static_cast<Word>(x) >> 24] + t.S[1][x >> 56]) ^ t.S[2][(x >> 8) & 0xFF]) + t.S[3][x & 0xFF];
}

// The hot loops below are written out with folds over index sequences, not
// as loops: -O2 unrolls no loop whose body would grow, and the words of the
// blocks in flight stay in registers only when every index is a constant.

// One decryption round, k = 14, 12, ... 0, for every block in flight. Their
// chains are independent, so the processor overlaps the lookups of one block
// with those of the others.
template <int k, std::size_t... i>
inline void DecryptRound(const WideTables& t, Wide* L, Wide* R, std::index_sequence<i...>) noexcept {
    ((L[i] ^= F(t, R[i])), ...);
    ((R[i] ^= t.P[k + 1] ^ F(t, L[i])), ...);
    ((L[i] ^= t.P[k]), ...);
}

template <std::size_t... j, class Lanes>
inline void DecryptRounds(const WideTables& t, Wide* L, Wide* R, std::index_sequence<j...>, Lanes lanes) noexcept {
    (DecryptRound<14 - 2 * static_cast<int>(j)>(t, L, R, lanes), ...);
}

inline Word LoadBig(const std::uint8_t* p) noexcept {
    return Word{p[0]} << 24 | Word{p[1]} << 16 | Word{p[2]} << 8 | Word{p[3]};
}

inline void StoreBig(Word v, std::uint8_t* p) noexcept {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// CBC-decrypts the sizeof...(i) blocks at p in place. The chaining value is
// the ciphertext block before them and comes back as the last one's.
template <std::size_t... i>
inline void DecryptBlocks(const WideTables& t, std::uint8_t* p, Word& ChainLeft, Word& ChainRight,
                          std::index_sequence<i...> lanes) noexcept {
    constexpr std::size_t K = sizeof...(i);
    // CL[i] and CR[i] chain into block i: the ciphertext of block i - 1.
    const Word CL[K + 1] = {ChainLeft, LoadBig(p + 8 * i)...};
    const Word CR[K + 1] = {ChainRight, LoadBig(p + 8 * i + 4)...};
    Wide L[K] = {(Widen(CR[i + 1]) ^ t.P[16])...};
    Wide R[K] = {(Widen(CL[i + 1]) ^ t.P[17])...};
    DecryptRounds(t, L, R, std::make_index_sequence<8>{}, lanes);
    (StoreBig(static_cast<Word>(L[i]) ^ CL[i], p + 8 * i), ...);
    (StoreBig(static_cast<Word>(R[i]) ^ CR[i], p + 8 * i + 4), ...);
    ChainLeft = CL[K];
    ChainRight = CR[K];
}

// CBC-decrypts blocks from to to - 1 of p in place, chaining as above.
void DecryptRun(const WideTables& t, std::uint8_t* p, std::size_t from, std::size_t to, Word& ChainLeft,
                Word& ChainRight) noexcept {
    constexpr std::size_t K = 6;  // enough blocks in flight to hide the lookups' latency
    std::size_t b = from;
    for (; b + K <= to; b += K) DecryptBlocks(t, p + 8 * b, ChainLeft, ChainRight, std::make_index_sequence<K>{});
    for (; b < to; ++b) DecryptBlocks(t, p + 8 * b, ChainLeft, ChainRight, std::make_index_sequence<1>{});
}

// Encryption rounds 2 to 15, written out so the P words are fixed operands.
template <std::size_t... j>
inline void EncryptMiddleRounds(const WideTables& t, Wide& L, Wide& R, std::index_sequence<j...>) noexcept {
    ((L ^= t.P[2 + 2 * j], R ^= F(t, L) ^ t.P[3 + 2 * j], L ^= F(t, R)), ...);
}

// One block of the chain, in place. LastL and LastR are the previous
// block's halves before its final XOR with P[16] and P[17]; this block takes
// those two words into its plaintext instead, off the chain, so one XOR is
// all that lies between two blocks.
inline void EncryptChained(const WideTables& t, std::uint8_t* p, Wide& LastL, Wide& LastR) noexcept {
    Wide L = LastR ^ (Widen(LoadBig(p)) ^ t.P[17] ^ t.P[0]);
    Wide R = LastL ^ (Widen(LoadBig(p + 4)) ^ t.P[16] ^ t.P[1]);
    R ^= F(t, L);
    L ^= F(t, R);
    EncryptMiddleRounds(t, L, R, std::make_index_sequence<7>{});
    LastL = L;
    LastR = R;
    StoreBig(static_cast<Word>(R ^ t.P[17]), p);
    StoreBig(static_cast<Word>(L ^ t.P[16]), p + 4);
}

inline std::uint32_t GetLE(const std::uint8_t* p) noexcept {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

inline void PutLE(std::uint32_t v, std::uint8_t* p) noexcept {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// R1 and R2 hide the first block; they come from the system's secure source.
std::uint32_t RandomFrameWord() {
    static thread_local std::random_device source;
    return static_cast<std::uint32_t>(source()) & 0x7FFFFFFFu;
}

#if !defined(_WIN32)
// Straight into the array, through no stream buffer that would be freed
// with the file's last bytes in it.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& data) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        const auto size = static_cast<std::size_t>(st.st_size);
        data.reserve(size + 19);  // room for the frame
        data.resize(size);
        std::size_t got = 0;
        while (ok && got < size) {
            const ssize_t n = ::read(fd, data.data() + got, size - got);
            if (n < 0 && errno == EINTR) continue;
            ok = n > 0;
            if (ok) got += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    return ok;
}
#else
bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& data) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < 0) return false;
    in.seekg(0);
    data.reserve(static_cast<std::size_t>(size) + 19);  // room for the frame
    data.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(data.data()), size);
    return in.gcount() == size;
}
#endif

// The one writer of a user's file: beside the target, renamed over it when
// complete; no link or special file at the target is written through.
bool WriteFileReplacing(const std::filesystem::path& path, const std::vector<std::uint8_t>& data) {
    return quelvane::safefile::WriteFile(path.string(), data.data(), data.size(), quelvane::safefile::Existing::Replace)
        .ok();
}

}  // namespace

clsBlowfish::clsBlowfish() { ResetTables(); }

clsBlowfish::~clsBlowfish() {
    quelvane::SecureWipe(PBox.data(), sizeof PBox);
    quelvane::SecureWipe(SBox.data(), sizeof SBox);
    quelvane::SecureWipe(KeyText);
    quelvane::SecureWipe(Buffer);
}

void clsBlowfish::ResetTables() noexcept {
    const auto& w = quelvane::kPiWords;
    for (std::size_t i = 0; i < 18; ++i) PBox[i] = w[i];
    // Entry-major: word 18 + 4 * entry + box.
    for (std::size_t n = 0; n < 1024; ++n) SBox[n % 4][n / 4] = w[18 + n];
}

void clsBlowfish::Key(std::string_view New_Value) {
    if (New_Value == KeyText) return;
    quelvane::SecureWipe(KeyText);
    KeyText.assign(New_Value);
    if (New_Value.empty()) throw std::out_of_range("clsBlowfish::Key: an empty key cannot be scheduled");

    ResetTables();
    const std::size_t KeyLen = New_Value.size();
    std::size_t j = 0;
    for (std::size_t i = 0; i < 18; ++i) {
        Word D = 0;
        for (int b = 0; b < 4; ++b) {
            // Each byte keeps the bits of the earlier bytes of the same word.
            D = (D << 8) | (D & 0xFF);
            D |= static_cast<std::uint8_t>(New_Value[j]);
            if (++j == KeyLen) j = 0;
        }
        PBox[i] ^= D;
    }

    Word L = 0, R = 0;
    for (std::size_t i = 0; i < 18; i += 2) {
        EncryptBlock(L, R);
        PBox[i] = L;
        PBox[i + 1] = R;
    }
    for (auto& box : SBox) {
        for (std::size_t e = 0; e < 256; e += 2) {
            EncryptBlock(L, R);
            box[e] = L;
            box[e + 1] = R;
        }
    }
}

std::uint32_t clsBlowfish::RoundFunction(std::uint32_t Value) const noexcept { return F(SBox, Value); }

void clsBlowfish::EncryptBlock(std::uint32_t& Left, std::uint32_t& Right) const noexcept {
    Encrypt(PBox, SBox, Left, Right);
}

void clsBlowfish::DecryptBlock(std::uint32_t& Left, std::uint32_t& Right) const noexcept {
    Decrypt(PBox, SBox, Left, Right);
}

std::uint32_t clsBlowfish::GetWord(const std::uint8_t* byteArray, std::size_t Offset) noexcept {
    return LoadBig(byteArray + Offset);
}

void clsBlowfish::PutWord(std::uint32_t Value, std::uint8_t* byteArray, std::size_t Offset) noexcept {
    StoreBig(Value, byteArray + Offset);
}

// Raises Progress when Offset has reached NextProgress, in exact integer
// arithmetic: Percent = floor(100 * Offset / T) and NextProgress is
// (Percent + 1) / 100 * T + 1 rounded half to even.
void clsBlowfish::RaiseProgress(std::size_t Offset, std::size_t T, std::size_t& NextProgress) const noexcept {
    if (Offset < NextProgress) return;
    const auto Percent = static_cast<std::int32_t>(static_cast<unsigned long long>(Offset) * 100 / T);
    const unsigned long long num = (static_cast<unsigned long long>(Percent) + 1) * T + 100;
    unsigned long long next = num / 100;
    const unsigned long long rem = num % 100;
    if (rem > 50 || (rem == 50 && (next & 1))) ++next;
    NextProgress = static_cast<std::size_t>(next);
    try {
        Progress(Percent);
    } catch (...) {
        // A listener cannot influence the operation.
    }
}

void clsBlowfish::EncryptByte(std::vector<std::uint8_t>& byteArray, std::string_view Key) {
    if (!Key.empty()) this->Key(Key);
    const std::size_t N = byteArray.size();
    const std::size_t T = FrameSize(N);
    byteArray.resize(T);  // the added bytes are zero: the padding
    std::uint8_t* p = byteArray.data();
    std::memmove(p + 12, p, N);
    FrameEncryptor::Header(p, static_cast<std::uint32_t>(N));

    // Serial: each block waits for the one before it.
    const WideTables t(PBox, SBox);
    Wide LastL = t.P[16], LastR = t.P[17];  // a chaining value of zero
    std::size_t NextProgress = 0;
    for (std::size_t Offset = 0; Offset < T; Offset += 8) {
        EncryptChained(t, p + Offset, LastL, LastR);
        if (Progress) RaiseProgress(Offset, T, NextProgress);
    }
}

std::size_t clsBlowfish::FrameSize(std::size_t N) {
    if (N > kMaxData) throw std::length_error("clsBlowfish: more data than a frame can describe");
    return (N + 12 + 7) / 8 * 8;
}

std::int32_t clsBlowfish::SizeDescriptor(const std::uint8_t* frame) noexcept {
    return static_cast<std::int32_t>(GetLE(frame + 8));
}

clsBlowfish::FrameEncryptor::FrameEncryptor(clsBlowfish& cipher, std::string_view Key) {
    if (!Key.empty()) cipher.Key(Key);
    tables = std::make_unique<WideTables>(cipher.PBox, cipher.SBox);
    lastL = tables->P[16];  // a chaining value of zero
    lastR = tables->P[17];
}

clsBlowfish::FrameEncryptor::~FrameEncryptor() = default;

void clsBlowfish::FrameEncryptor::Header(std::uint8_t* frame, std::uint32_t N) {
    const std::uint32_t R1 = RandomFrameWord();
    Header(frame, N, R1, RandomFrameWord());
}

void clsBlowfish::FrameEncryptor::Header(std::uint8_t* frame, std::uint32_t N, std::uint32_t R1,
                                         std::uint32_t R2) noexcept {
    PutLE(R1, frame);
    PutLE(R2, frame + 4);
    PutLE(N, frame + 8);
}

void clsBlowfish::FrameEncryptor::Encrypt(std::uint8_t* data, std::size_t Size) noexcept {
    const WideTables& t = *tables;
    Wide LastL = lastL, LastR = lastR;
    for (std::size_t Offset = 0; Offset + 8 <= Size; Offset += 8) EncryptChained(t, data + Offset, LastL, LastR);
    lastL = LastL;
    lastR = LastR;
}

clsBlowfish::ChainDecryptor::ChainDecryptor(clsBlowfish& cipher, std::string_view Key) {
    if (!Key.empty()) cipher.Key(Key);
    tables = std::make_unique<WideTables>(cipher.PBox, cipher.SBox);
}

clsBlowfish::ChainDecryptor::~ChainDecryptor() = default;

void clsBlowfish::ChainDecryptor::Decrypt(std::uint8_t* data, std::size_t Size,
                                          const std::uint8_t* Previous) const noexcept {
    Word ChainLeft = Previous ? LoadBig(Previous) : 0, ChainRight = Previous ? LoadBig(Previous + 4) : 0;
    DecryptRun(*tables, data, 0, Size / 8, ChainLeft, ChainRight);
}

void clsBlowfish::DecryptByte(std::vector<std::uint8_t>& byteArray, std::string_view Key) noexcept {
    try {
        if (!Key.empty()) this->Key(Key);
    } catch (...) {
        return;  // cannot happen for a non-empty key; never pass it on
    }
    const std::size_t T = byteArray.size();
    std::uint8_t* p = byteArray.data();
    const std::size_t blocks = T / 8;
    const WideTables t(PBox, SBox);

    // Runs of blocks up to the next one that raises Progress, so the block
    // loop itself never looks at the listener.
    Word ChainLeft = 0, ChainRight = 0;
    std::size_t NextProgress = 0;
    for (std::size_t b = 0; b < blocks;) {
        std::size_t stop = blocks;
        if (Progress) stop = std::min(blocks, std::max(b, (NextProgress + 7) / 8) + 1);
        DecryptRun(t, p, b, stop, ChainLeft, ChainRight);
        if (Progress) RaiseProgress(8 * (stop - 1), T, NextProgress);
        b = stop;
    }

    // An incomplete last block ends the operation; so does a frame too short
    // for its size descriptor.
    if (T % 8 != 0 || T < 12) return;
    const auto N = static_cast<std::int32_t>(GetLE(p + 8));
    if (!SizeDescriptorFits(T, N)) return;
    std::memmove(p, p + 12, static_cast<std::size_t>(N));
    // What is cut off holds the text's last bytes again: wiped, not left
    // in the array's spare room.
    quelvane::SecureWipe(p + N, T - static_cast<std::size_t>(N));
    byteArray.resize(static_cast<std::size_t>(N));
}

bool clsBlowfish::SizeDescriptorFits(std::size_t T, std::int64_t N) noexcept {
    // A negative descriptor is as invalid as one out of range.
    if (N < 0) return false;
    const auto spare = static_cast<long long>(T) - N;
    return spare >= 12 && spare <= 19;
}

std::string clsBlowfish::EncryptString(const std::string& Text, std::string_view Key, bool OutputInHex) {
    std::vector<std::uint8_t> bytes(Text.begin(), Text.end());
    EncryptByte(bytes, Key);
    std::string cipherText(bytes.begin(), bytes.end());
    quelvane::SecureWipe(bytes);
    if (!OutputInHex) return cipherText;
    return StringToHex(cipherText);
}

std::string clsBlowfish::DecryptString(std::string& Text, std::string_view Key, bool IsTextInHex) {
    if (IsTextInHex) Text = HexToString(Text);
    std::vector<std::uint8_t> bytes(Text.begin(), Text.end());
    DecryptByte(bytes, Key);
    std::string plain(bytes.begin(), bytes.end());
    quelvane::SecureWipe(bytes);
    return plain;
}

std::string clsBlowfish::StringToHex(std::string_view Text) {
    ResetBuffer();
    AppendToBuffer(quelvane::hextext::Encode(Text));
    return GetBufferText();
}

std::string clsBlowfish::HexToString(std::string_view Text) {
    ResetBuffer();
    AppendToBuffer(quelvane::hextext::Decode(Text));
    return GetBufferText();
}

void clsBlowfish::ResetBuffer() noexcept { quelvane::SecureWipe(Buffer); }

void clsBlowfish::AppendToBuffer(std::string_view Text) { Buffer.append(Text); }

// Hands the collected text over and leaves the buffer empty.
std::string clsBlowfish::GetBufferText() {
    std::string text = std::move(Buffer);
    Buffer.clear();
    return text;
}

bool clsBlowfish::FileExist(const std::filesystem::path& Path) noexcept {
    std::error_code ec;
    (void)std::filesystem::file_size(Path, ec);
    return !ec;
}

bool clsBlowfish::TransformFile(const std::filesystem::path& InFile, const std::filesystem::path& OutFile,
                                bool Overwrite, std::string_view Key, bool encrypt) noexcept {
    std::vector<std::uint8_t> data;
    bool written = false;
    bool ciphertext = false;  // what data holds once encrypted needs no wipe
    try {
        if (!FileExist(InFile)) return false;
        if (!Overwrite && FileExist(OutFile)) return false;
        if (ReadWholeFile(InFile, data) && !data.empty() && !(encrypt && data.size() > kMaxData)) {
            if (encrypt)
                EncryptByte(data, Key);
            else
                DecryptByte(data, Key);
            ciphertext = encrypt;
            written = WriteFileReplacing(OutFile, data);
        }
    } catch (...) {
        written = false;  // no failure reaches the caller
    }
    if (!ciphertext) quelvane::SecureWipe(data);
    return written;
}

bool clsBlowfish::EncryptFile(const std::filesystem::path& InFile, const std::filesystem::path& OutFile, bool Overwrite,
                              std::string_view Key) noexcept {
    return TransformFile(InFile, OutFile, Overwrite, Key, true);
}

bool clsBlowfish::DecryptFile(const std::filesystem::path& InFile, const std::filesystem::path& OutFile, bool Overwrite,
                              std::string_view Key) noexcept {
    return TransformFile(InFile, OutFile, Overwrite, Key, false);
}
