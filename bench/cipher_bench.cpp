// SPDX-License-Identifier: MIT
// Throughput of the cipher engine on one 16 MiB buffer, side by side with
// published Blowfish-CBC from OpenSSL's libcrypto in the same run. The key
// schedules differ, the per-block work does not, so the ratio is fair.
//
// Without arguments it repeats every benchmark, interleaved at random, and
// ends with the ratios of the medians. Any --benchmark_* flag overrides.
// bench/compare-builds runs it as built with the project's flags and with -O2.
#define OPENSSL_SUPPRESS_DEPRECATED  // BF_* are deprecated in OpenSSL 3
#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/HexText.h"
#include "cipher/clsBlowfish.h"

#ifndef QUELVANE_BENCH_BUILD
#define QUELVANE_BENCH_BUILD "flags not recorded"
#endif

namespace {

constexpr std::size_t kSize = 16u << 20;
constexpr std::string_view kKey = "correct horse battery staple";

using Bytes = std::vector<std::uint8_t>;

const Bytes& Plain() {
    static const Bytes data = [] {
        Bytes d(kSize);
        std::mt19937 gen(20240607);
        for (auto& b : d) b = static_cast<std::uint8_t>(gen());
        return d;
    }();
    return data;
}

// A whole frame of exactly 16 MiB, so both sides decrypt the same length.
const Bytes& Cipher() {
    static const Bytes data = [] {
        Bytes d(Plain().begin(), Plain().begin() + (kSize - 16));
        clsBlowfish c;
        c.EncryptByte(d, kKey);
        return d;
    }();
    return data;
}

void BM_EncryptByte(benchmark::State& state) {
    clsBlowfish c;
    c.Key(kKey);
    Bytes data;
    data.reserve(kSize + 19);  // as a file read leaves it: room for the frame
    for (auto _ : state) {
        state.PauseTiming();
        data.assign(Plain().begin(), Plain().end());
        state.ResumeTiming();
        c.EncryptByte(data);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void BM_DecryptByte(benchmark::State& state) {
    clsBlowfish c;
    c.Key(kKey);
    Bytes data;
    data.reserve(kSize);
    for (auto _ : state) {
        state.PauseTiming();
        data.assign(Cipher().begin(), Cipher().end());
        state.ResumeTiming();
        c.DecryptByte(data);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

// The command line's pieces: 256 KiB runs of whole blocks, chained.
constexpr std::size_t kPiece = 256 * 1024;

void BM_FrameEncryptor(benchmark::State& state) {
    clsBlowfish c;
    c.Key(kKey);
    Bytes data(kSize);
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(Plain().begin(), Plain().end(), data.begin());
        state.ResumeTiming();
        clsBlowfish::FrameEncryptor encryptor(c);
        for (std::size_t at = 0; at < kSize; at += kPiece) encryptor.Encrypt(data.data() + at, kPiece);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void BM_ChainDecryptor(benchmark::State& state) {
    clsBlowfish c;
    c.Key(kKey);
    Bytes data(kSize);
    const clsBlowfish::ChainDecryptor decryptor(c);
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(Cipher().begin(), Cipher().end(), data.begin());
        state.ResumeTiming();
        // Backwards, so each piece's previous block is still ciphertext.
        for (std::size_t at = kSize; at > 0; at -= kPiece)
            decryptor.Decrypt(data.data() + at - kPiece, kPiece, at > kPiece ? data.data() + at - kPiece - 8 : nullptr);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void OpenSslCbc(benchmark::State& state, const Bytes& in, int direction) {
    BF_KEY key;
    BF_set_key(&key, static_cast<int>(kKey.size()), reinterpret_cast<const unsigned char*>(kKey.data()));
    Bytes out(kSize);
    for (auto _ : state) {
        unsigned char iv[8] = {};
        BF_cbc_encrypt(in.data(), out.data(), static_cast<long>(kSize), &key, iv, direction);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void BM_OpenSSL_Encrypt(benchmark::State& state) { OpenSslCbc(state, Plain(), BF_ENCRYPT); }
void BM_OpenSSL_Decrypt(benchmark::State& state) { OpenSslCbc(state, Cipher(), BF_DECRYPT); }

// Hex rates count the 16 MiB of bytes, not the 32 MiB of digits.
void BM_HexEncode(benchmark::State& state) {
    const std::string_view bytes(reinterpret_cast<const char*>(Plain().data()), kSize);
    for (auto _ : state) {
        std::string hex = quelvane::hextext::Encode(bytes);
        benchmark::DoNotOptimize(hex.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

// The conversion alone, into a buffer that is already there.
void BM_HexEncodeTo(benchmark::State& state) {
    std::string hex(2 * kSize, '\0');
    for (auto _ : state) {
        quelvane::hextext::EncodeTo(Plain().data(), kSize, hex.data());
        benchmark::DoNotOptimize(hex.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

// What a new 32 MiB string costs by itself: the floor under Encode, which
// returns one. glibc maps blocks of that size afresh on every call.
void BM_NewString32MiB(benchmark::State& state) {
    for (auto _ : state) {
        std::string hex(2 * kSize, '\0');
        benchmark::DoNotOptimize(hex.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

const std::string& HexText() {
    static const std::string hex =
        quelvane::hextext::Encode(std::string_view(reinterpret_cast<const char*>(Plain().data()), kSize));
    return hex;
}

void BM_HexDecode(benchmark::State& state) {
    const std::string_view hex = HexText();
    for (auto _ : state) {
        std::string bytes = quelvane::hextext::Decode(hex);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

// The window hands its text over as UTF-16.
void BM_HexDecode16(benchmark::State& state) {
    const std::u16string hex(HexText().begin(), HexText().end());
    for (auto _ : state) {
        std::string bytes = quelvane::hextext::Decode(std::u16string_view(hex));
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

class TempFolder {
public:
    TempFolder() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("quelvane-bench-" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// One read and one write of the whole file, plus the cipher; wall time.
void FileBench(benchmark::State& state, bool encrypt) {
    TempFolder folder;
    const auto in = folder.path() / "in.bin";
    const auto out = folder.path() / "out.bin";
    WriteFile(in, encrypt ? Plain() : Cipher());
    clsBlowfish c;
    for (auto _ : state) {
        const bool ok = encrypt ? c.EncryptFile(in, out, true, kKey) : c.DecryptFile(in, out, true, kKey);
        if (!ok) {
            state.SkipWithError("the file operation failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void BM_EncryptFile(benchmark::State& state) { FileBench(state, true); }
void BM_DecryptFile(benchmark::State& state) { FileBench(state, false); }

BENCHMARK(BM_EncryptByte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSSL_Encrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameEncryptor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChainDecryptor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecryptByte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSSL_Decrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HexEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HexEncodeTo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewString32MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HexDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HexDecode16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncryptFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecryptFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the bytes-per-second figure of every benchmark: the median when the
// run was repeated, else the median of the single runs it saw.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(OO_Tabular) {}  // plain text, easy to quote

    void ReportRuns(const std::vector<Run>& reports) override {
        for (const auto& run : reports) {
            if (run.error_occurred) continue;
            const auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end()) continue;
            const std::string name = run.run_name.function_name;
            repetitions_ = std::max<std::int64_t>(repetitions_, run.repetitions);
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") medians_[name] = it->second.value;
            } else {
                singles_[name].push_back(it->second.value);
            }
        }
        ConsoleReporter::ReportRuns(reports);
    }

    // Bytes per second, 0 when the benchmark did not run.
    double Rate(const std::string& name) const {
        if (const auto it = medians_.find(name); it != medians_.end()) return it->second;
        const auto it = singles_.find(name);
        if (it == singles_.end() || it->second.empty()) return 0;
        auto v = it->second;
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }

    std::int64_t Repetitions() const { return repetitions_; }

private:
    std::map<std::string, double> medians_;
    std::map<std::string, std::vector<double>> singles_;
    std::int64_t repetitions_ = 1;
};

void PrintRatio(const SummaryReporter& r, const char* label, const char* ours, const char* peer, double required) {
    const double a = r.Rate(ours), b = r.Rate(peer);
    if (a <= 0 || b <= 0) return;
    const double ratio = a / b;
    std::printf("%-36s = %.2fx  (%.1f MB/s vs %.1f MB/s; required >= %.1fx: %s)\n", label, ratio, a / 1e6, b / 1e6,
                required, ratio >= required ? "met" : "NOT MET");
}

void PrintRate(const SummaryReporter& r, const char* label, const char* name, double requiredGBs) {
    const double a = r.Rate(name);
    if (a <= 0) return;
    if (requiredGBs > 0)
        std::printf("%-36s = %.2f GB/s  (required >= %.1f GB/s: %s)\n", label, a / 1e9, requiredGBs,
                    a / 1e9 >= requiredGBs ? "met" : "NOT MET");
    else
        std::printf("%-36s = %.1f MB/s\n", label, a / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    // Defaults first, so that flags given on the command line win.
    std::vector<char*> args{argv[0]};
    std::string reps = "--benchmark_repetitions=9";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    args.push_back(reps.data());
    args.push_back(interleave.data());
    args.push_back(aggregates.data());
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    int n = static_cast<int>(args.size());
    args.push_back(nullptr);

    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;
    (void)Plain();
    (void)Cipher();
    (void)HexText();

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf(
        "\nSummary: medians of %lld repetitions; MB and GB are 10^6 and 10^9 bytes; hex rates count the bytes\n",
        static_cast<long long>(reporter.Repetitions()));
    std::printf("Compiled with: %s\n", QUELVANE_BENCH_BUILD);
    PrintRatio(reporter, "EncryptByte / OpenSSL encrypt", "BM_EncryptByte", "BM_OpenSSL_Encrypt", 1.0);
    PrintRatio(reporter, "DecryptByte / OpenSSL decrypt", "BM_DecryptByte", "BM_OpenSSL_Decrypt", 2.5);
    PrintRatio(reporter, "FrameEncryptor / OpenSSL encrypt", "BM_FrameEncryptor", "BM_OpenSSL_Encrypt", 1.0);
    PrintRatio(reporter, "ChainDecryptor / OpenSSL decrypt", "BM_ChainDecryptor", "BM_OpenSSL_Decrypt", 2.5);
    PrintRate(reporter, "hex EncodeTo (into a ready buffer)", "BM_HexEncodeTo", 1.0);
    PrintRate(reporter, "hex Encode (returns a new string)", "BM_HexEncode", 1.0);
    PrintRate(reporter, "  a new 32 MiB string by itself", "BM_NewString32MiB", 0);
    PrintRate(reporter, "hex Decode (char)", "BM_HexDecode", 1.0);
    PrintRate(reporter, "hex Decode (char16_t)", "BM_HexDecode16", 1.0);
    PrintRate(reporter, "EncryptFile (16 MiB file)", "BM_EncryptFile", 0);
    PrintRate(reporter, "DecryptFile (16 MiB file)", "BM_DecryptFile", 0);
    return 0;
}
