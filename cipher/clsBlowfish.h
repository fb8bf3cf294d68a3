// SPDX-License-Identifier: MIT
#pragma once
// Blowfish variant of this program: published round function and key
// schedule, but S-box words laid in entry by entry and key bytes OR-packed
// into key words. Data is framed (two random words, a length word, zero
// padding) and chained (CBC, zero IV). Every stored ciphertext depends on it.
//
// Texts are byte texts: std::string holding one Windows-1252 byte per char.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/BlowfishBlock.h"
#include "cipher/Chain.h"
#include "secret/SecretBytes.h"

class clsBlowfish {
public:
    // Receives the percentage of the array processed so far, rounded down.
    using ProgressListener = std::function<void(std::int32_t Percent)>;

    clsBlowfish();
    ~clsBlowfish();
    clsBlowfish(const clsBlowfish&) = delete;
    clsBlowfish& operator=(const clsBlowfish&) = delete;

    // Write-only key. Setting the key already held does nothing; an empty key
    // on a keyed object throws std::out_of_range and keeps the earlier tables.
    void Key(std::string_view New_Value);

    // In place. An empty Key argument keeps the object's key.
    void EncryptByte(std::vector<std::uint8_t>& byteArray, std::string_view Key = {});
    // Never throws. A frame with a bad size descriptor (a wrong key) is left
    // whole, decrypted; an incomplete last block is left as it was.
    void DecryptByte(std::vector<std::uint8_t>& byteArray, std::string_view Key = {}) noexcept;

    // The frame rule: a ciphertext of T bytes holds N data bytes when T - N
    // is 12 to 19. DecryptByte cuts the data out only then, so a decrypted
    // array (or file) of any other length means a wrong key or damage.
    static bool SizeDescriptorFits(std::size_t T, std::int64_t N) noexcept;

    // The size of the frame around N data bytes: whole blocks, the 12 frame
    // bytes included. Throws std::length_error past what a frame can describe.
    static std::size_t FrameSize(std::size_t N);
    // The size descriptor of a frame from its first 12 decrypted bytes.
    static std::int32_t SizeDescriptor(const std::uint8_t* frame) noexcept;

    // EncryptByte a piece at a time, for data too large to hold at once: the
    // frame's first 12 bytes (Header), then the data and zero padding, all
    // encrypted in order as runs of whole blocks. For the same data and frame
    // words the bytes are EncryptByte's.
    class FrameEncryptor {
    public:
        // Sets Key on cipher first when not empty, then takes a copy of its
        // tables, which is wiped when the encryptor goes.
        explicit FrameEncryptor(clsBlowfish& cipher, std::string_view Key = {});
        ~FrameEncryptor();
        FrameEncryptor(const FrameEncryptor&) = delete;
        FrameEncryptor& operator=(const FrameEncryptor&) = delete;

        // Two random words from the system's secure source, then N.
        static void Header(std::uint8_t* frame, std::uint32_t N);
        static void Header(std::uint8_t* frame, std::uint32_t N, std::uint32_t R1, std::uint32_t R2) noexcept;

        // Encrypts Size bytes (whole blocks) in place, chained to those before.
        void Encrypt(std::uint8_t* data, std::size_t Size) noexcept;

    private:
        quelvane::blowfish::EncryptChain chain;
    };

    // DecryptByte's chained decryption for any run of whole blocks, given the
    // ciphertext block before it: runs do not depend on each other, so
    // several threads may decrypt parts of one ciphertext at once.
    class ChainDecryptor {
    public:
        explicit ChainDecryptor(clsBlowfish& cipher, std::string_view Key = {});
        ~ChainDecryptor();
        ChainDecryptor(const ChainDecryptor&) = delete;
        ChainDecryptor& operator=(const ChainDecryptor&) = delete;

        // Decrypts Size bytes (whole blocks) in place; Previous is the 8
        // ciphertext bytes before them, nullptr for a frame's first block.
        void Decrypt(std::uint8_t* data, std::size_t Size, const std::uint8_t* Previous) const noexcept;

    private:
        quelvane::blowfish::DecryptChain chain;
    };

    std::string EncryptString(const std::string& Text, std::string_view Key = {}, bool OutputInHex = false);
    // With IsTextInHex, Text is replaced by its decoded form first.
    std::string DecryptString(std::string& Text, std::string_view Key = {}, bool IsTextInHex = false);

    // True when OutFile was written. The output replaces OutFile atomically:
    // on failure nothing half-written is left and an old OutFile stays whole.
    // Only a regular file is replaced: a FIFO, a device, a folder or a
    // symbolic link at OutFile gives false and is left alone, never opened.
    // A replaced OutFile keeps its permission bits; a new one is owner-only.
    bool EncryptFile(const std::filesystem::path& InFile, const std::filesystem::path& OutFile, bool Overwrite,
                     std::string_view Key = {}) noexcept;
    bool DecryptFile(const std::filesystem::path& InFile, const std::filesystem::path& OutFile, bool Overwrite,
                     std::string_view Key = {}) noexcept;

    // The Progress event: raised synchronously between blocks of the byte
    // operations; 0 first, then about once per percent, never 100.
    void OnProgress(ProgressListener listener) { Progress = std::move(listener); }

private:
    friend struct clsBlowfishProbe;  // tests read the tables and single blocks

    void EncryptBlock(std::uint32_t& Left, std::uint32_t& Right) const noexcept;
    void DecryptBlock(std::uint32_t& Left, std::uint32_t& Right) const noexcept;
    std::uint32_t RoundFunction(std::uint32_t Value) const noexcept;
    static std::uint32_t GetWord(const std::uint8_t* byteArray, std::size_t Offset) noexcept;
    static void PutWord(std::uint32_t Value, std::uint8_t* byteArray, std::size_t Offset) noexcept;

    void RaiseProgress(std::size_t Offset, std::size_t T, std::size_t& NextProgress) const noexcept;
    template <class Run>
    void RunWithProgress(std::size_t T, Run&& run);
    // Sets Key first when not empty; the tables the chains copy.
    const quelvane::blowfish::Tables& Keyed(std::string_view Key);

    // EncryptByte and DecryptByte for the caller's array or a wiping one.
    template <class Bytes>
    void EncryptBytes(Bytes& byteArray, std::string_view Key);
    template <class Bytes>
    void DecryptBytes(Bytes& byteArray, std::string_view Key) noexcept;

    bool TransformFile(const std::filesystem::path& InFile, const std::filesystem::path& OutFile, bool Overwrite,
                       std::string_view Key, bool encrypt) noexcept;
    static bool FileExist(const std::filesystem::path& Path) noexcept;

    std::string StringToHex(std::string_view Text);
    std::string HexToString(std::string_view Text);
    void ResetBuffer() noexcept;
    void AppendToBuffer(std::string_view Text);
    std::string GetBufferText();

    quelvane::SecretBox<quelvane::blowfish::Tables> tables;  // PBox and SBox
    quelvane::SecretBytes KeyText;
    std::string Buffer;  // collects the output of the hex conversions: ciphertext only
    ProgressListener Progress;
};
