// SPDX-License-Identifier: MIT
// clsBlowfish's text and file operations, over the byte operations.
#include <fstream>
#include <system_error>

#include "cipher/Frame.h"
#include "cipher/HexText.h"
#include "cipher/clsBlowfish.h"
#include "os/SafeFile.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

#if !defined(_WIN32)
// Straight into the array, through no stream buffer that would be freed
// with the file's last bytes in it.
bool ReadWholeFile(const std::filesystem::path& path, quelvane::SecretBytes& data) {
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
bool ReadWholeFile(const std::filesystem::path& path, quelvane::SecretBytes& data) {
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
bool WriteFileReplacing(const std::filesystem::path& path, const quelvane::SecretBytes& data) {
    return quelvane::safefile::WriteFile(path.string(), data.data(), data.size(), quelvane::safefile::Existing::Replace)
        .ok();
}

}  // namespace

std::string clsBlowfish::EncryptString(const std::string& Text, std::string_view Key, bool OutputInHex) {
    quelvane::SecretBytes bytes(Text.begin(), Text.end());
    EncryptBytes(bytes, Key);
    std::string cipherText(bytes.begin(), bytes.end());
    if (!OutputInHex) return cipherText;
    return StringToHex(cipherText);
}

std::string clsBlowfish::DecryptString(std::string& Text, std::string_view Key, bool IsTextInHex) {
    if (IsTextInHex) Text = HexToString(Text);
    quelvane::SecretBytes bytes(Text.begin(), Text.end());
    DecryptBytes(bytes, Key);
    return std::string(bytes.begin(), bytes.end());
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

void clsBlowfish::ResetBuffer() noexcept { Buffer.clear(); }

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
    try {
        if (!FileExist(InFile)) return false;
        if (!Overwrite && FileExist(OutFile)) return false;
        quelvane::SecretBytes data;
        if (!ReadWholeFile(InFile, data) || data.empty() || (encrypt && data.size() > quelvane::frame::kMaxData))
            return false;
        if (encrypt)
            EncryptBytes(data, Key);
        else
            DecryptBytes(data, Key);
        return WriteFileReplacing(OutFile, data);
    } catch (...) {
        return false;  // no failure reaches the caller
    }
}

bool clsBlowfish::EncryptFile(const std::filesystem::path& InFile, const std::filesystem::path& OutFile, bool Overwrite,
                              std::string_view Key) noexcept {
    return TransformFile(InFile, OutFile, Overwrite, Key, true);
}

bool clsBlowfish::DecryptFile(const std::filesystem::path& InFile, const std::filesystem::path& OutFile, bool Overwrite,
                              std::string_view Key) noexcept {
    return TransformFile(InFile, OutFile, Overwrite, Key, false);
}
