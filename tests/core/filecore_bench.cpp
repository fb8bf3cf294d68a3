// SPDX-License-Identifier: MIT
// Speed of the field reader and of loading and saving 16 MiB files, each next
// to a plain peer in the same run:
//   build-c/tests/filecore/filecore_bench --benchmark_min_time=0.5
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <random>
#include <string>

#include "core/FileLoads.h"
#include "system/UserFiles.h"
#include "text/FieldReader.h"
#include "text/QtByteText.h"

namespace {

using namespace quelvane;

constexpr std::size_t kSize = 16u << 20;

// Lines of words with now and then a comma, a quoted field or leading blanks.
std::string TextSample() {
    std::mt19937 rng(7);
    const char* words[] = {"alpha", "beta", "gamma", "delta", "\"quoted, text\"", "  lead", "x,y", "Blowfish"};
    std::string s;
    s.reserve(kSize + 64);
    while (s.size() < kSize) {
        for (int w = 0, n = 4 + rng() % 8; w < n; ++w) (s += words[rng() % 8]) += ' ';
        s += "\r\n";
    }
    s.resize(kSize);
    return s;
}

std::string HexSample(std::size_t lineLength) {
    static const char digits[] = "0123456789ABCDEF";
    std::mt19937 rng(11);
    std::string s;
    s.reserve(kSize + 2);
    for (std::size_t i = 0; s.size() < kSize; ++i) {
        s += digits[rng() % 16];
        if (lineLength && (i + 1) % lineLength == 0) s += "\r\n";
    }
    s.resize(kSize);
    return s;
}

void Fields(benchmark::State& state, const std::string& bytes) {
    for (auto _ : state) {
        FieldReader reader(bytes);
        std::size_t total = 0;
        while (!reader.AtEnd()) total += reader.ReadNextField().size();
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// Peer: the least a line splitter can do, memchr for LF and a copy per line.
void PeerLines(benchmark::State& state, const std::string& bytes) {
    for (auto _ : state) {
        std::size_t total = 0, pos = 0;
        while (pos < bytes.size()) {
            const void* hit = std::memchr(bytes.data() + pos, '\n', bytes.size() - pos);
            const std::size_t end = hit ? static_cast<const char*>(hit) - bytes.data() : bytes.size();
            total += std::string(bytes.data() + pos, end - pos).size();
            pos = end + 1;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

const std::string& Text() {
    static const std::string s = TextSample();
    return s;
}
const std::string& HexOneLine() {
    static const std::string s = HexSample(0);
    return s;
}
const std::string& HexLines() {
    static const std::string s = HexSample(64);
    return s;
}

void BM_FieldReader_Text(benchmark::State& s) { Fields(s, Text()); }
void BM_Peer_MemchrLines_Text(benchmark::State& s) { PeerLines(s, Text()); }
void BM_FieldReader_HexOneLine(benchmark::State& s) { Fields(s, HexOneLine()); }
void BM_FieldReader_Hex64PerLine(benchmark::State& s) { Fields(s, HexLines()); }
void BM_Peer_MemchrLines_Hex64PerLine(benchmark::State& s) { PeerLines(s, HexLines()); }
BENCHMARK(BM_FieldReader_Text)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peer_MemchrLines_Text)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldReader_HexOneLine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldReader_Hex64PerLine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peer_MemchrLines_Hex64PerLine)->Unit(benchmark::kMillisecond);

// Files in a temporary folder: a 16 MiB UTF-8 text, a 16 MiB Windows-1252
// text and a 16 MiB one-line hex file.
struct Files {
    QTemporaryDir dir;
    QString utf8, ansi, hex;
    QByteArray utf8Bytes, ansiBytes, hexBytes;
    Files() {
        std::string t = Text();
        ansiBytes = QByteArray::fromStdString(t);
        for (std::size_t i = 1000; i < t.size(); i += 1000) t[i] = '\xE9';  // é in Windows-1252
        ansiBytes = QByteArray::fromStdString(t);
        utf8Bytes = FromByteText(ansiBytes).toUtf8().left(static_cast<qsizetype>(kSize));
        utf8Bytes.chop(1);  // not to end inside a two-byte sequence
        hexBytes = QByteArray::fromStdString(HexOneLine());
        utf8 = dir.filePath("utf8.TxT");
        ansi = dir.filePath("ansi.TxT");
        hex = dir.filePath("cipher.QvH");
        SaveFileAtomically(utf8, utf8Bytes, nullptr);
        SaveFileAtomically(ansi, ansiBytes, nullptr);
        SaveFileAtomically(hex, hexBytes, nullptr);
    }
};
Files& TheFiles() {
    static Files f;
    return f;
}

void LoadText(benchmark::State& state, const QString& path) {
    for (auto _ : state) {
        QString text;
        LoadTextFile(path, text, nullptr);
        benchmark::DoNotOptimize(text.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * QFile(path).size()));
}

void BM_LoadTextFile_Utf8(benchmark::State& s) { LoadText(s, TheFiles().utf8); }
void BM_LoadTextFile_Windows1252(benchmark::State& s) { LoadText(s, TheFiles().ansi); }

// The hex load: read whole, fields joined with nothing, then the work text.
void BM_LoadHexFile(benchmark::State& state) {
    for (auto _ : state) {
        QString text;
        LoadHexFile(TheFiles().hex, text, nullptr);
        benchmark::DoNotOptimize(text.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void BM_Peer_QFileReadAll(benchmark::State& state) {
    for (auto _ : state) {
        QFile f(TheFiles().hex);
        f.open(QIODevice::ReadOnly);
        QByteArray b = f.readAll();
        benchmark::DoNotOptimize(b.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void Save(benchmark::State& state, const QByteArray& bytes) {
    const QString target = TheFiles().dir.filePath("saved");
    for (auto _ : state) benchmark::DoNotOptimize(SaveFileAtomically(target, bytes, nullptr));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_SaveTextFile(benchmark::State& s) { Save(s, TheFiles().ansiBytes); }
void BM_SaveHexFile(benchmark::State& s) { Save(s, TheFiles().hexBytes); }

// Peer: a plain truncating write in place, no temporary file, no sync.
void BM_Peer_QFileWrite(benchmark::State& state) {
    const QString target = TheFiles().dir.filePath("plain");
    for (auto _ : state) {
        QFile f(target);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        benchmark::DoNotOptimize(f.write(TheFiles().hexBytes));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

BENCHMARK(BM_LoadTextFile_Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTextFile_Windows1252)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadHexFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peer_QFileReadAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTextFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveHexFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peer_QFileWrite)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
