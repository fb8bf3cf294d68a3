// SPDX-License-Identifier: MIT
// Keys and texts do not outlive their command: after every way out of the
// road its cipher object holds no key schedule, and no byte copy of the
// password or the text is left anywhere in the process's memory, freed
// memory included. The memory is searched as it is, page by page.
#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include <malloc.h>
#include <sys/uio.h>
#include <unistd.h>

#include "cipher/clsBlowfish.h"
#include "core/FileLoads.h"
#include "formats/TextCipher.h"
#include "system/UserFiles.h"
#include "tests/cipher/Probe.h"
#include "text/TextFileCodec.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUELVANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUELVANE_ASAN 1
#endif
#endif

namespace {

using namespace quelvane;

// Places of needle in the process's writable memory, the needle's own copy
// left out. Freed heap blocks keep their bytes apart from their first
// sixteen, which the allocator reuses; needles are longer. The memory is
// read through process_vm_readv, so a region that shrinks meanwhile (the
// allocator gives memory back on a free) reads short instead of crashing.
#if defined(QUELVANE_ASAN)
int CopiesInMemory(const QByteArray&) { return 0; }
#else
int CopiesInMemory(const QByteArray& needle) {
    struct Region {
        std::uintptr_t from;
        std::size_t size;
    };
    std::vector<Region> regions;
    {
        QFile maps(QStringLiteral("/proc/self/maps"));
        if (!maps.open(QIODevice::ReadOnly)) return -1;
        for (const QByteArray& line : maps.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() < 2 || !fields[1].startsWith("rw") || line.contains("[vvar]")) continue;
            const QList<QByteArray> range = fields[0].split('-');
            const auto from = static_cast<std::uintptr_t>(range[0].toULongLong(nullptr, 16));
            regions.push_back({from, static_cast<std::size_t>(range[1].toULongLong(nullptr, 16) - from)});
        }
    }
    static char buffer[1 << 20];
    const auto inBuffer = [](const char* p) { return p >= buffer && p < buffer + sizeof buffer; };
    const std::size_t overlap = static_cast<std::size_t>(needle.size()) - 1;
    int found = 0;
    for (const Region& region : regions) {
        for (std::size_t offset = 0; offset < region.size;) {
            const std::size_t want = std::min(sizeof buffer, region.size - offset);
            iovec local{buffer, want};
            iovec remote{reinterpret_cast<void*>(region.from + offset), want};
            const ssize_t got = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
            if (got <= 0) break;
            const auto size = static_cast<std::size_t>(got);
            const bool last = offset + size >= region.size || size < want;
            const std::size_t step = last || size <= overlap ? size : size - overlap;  // later starts: next chunk
            const std::string_view chunk(buffer, size);
            for (std::size_t at = chunk.find(needle.constData(), 0, needle.size()); at < step;
                 at = chunk.find(needle.constData(), at + 1, needle.size())) {
                const char* where = reinterpret_cast<const char*>(region.from + offset + at);
                if (where != needle.constData() && !inBuffer(where)) ++found;
            }
            if (last) break;
            offset += step;
        }
    }
    std::memset(buffer, 0, sizeof buffer);
    return found;
}
#endif

// Made afresh each run, character by character: no byte form of it exists
// before the code under test makes one.
QString RandomLetters(int n) {
    QString s;
    for (int i = 0; i < n; ++i) s += QChar(u'a' + QRandomGenerator::global()->bounded(26));
    return s;
}

// Copies of the byte form of s, searched for with a needle that is wiped afterwards.
int LeftCopies(const QString& s) {
    QByteArray needle = s.toLatin1();
    const int found = CopiesInMemory(needle);
    needle.fill('\0');
    return found;
}

class Secrets : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(QUELVANE_ASAN)
        GTEST_SKIP() << "the sanitizer's allocator keeps freed memory its own way";
#endif
        // Freed memory stays in the process as it was: the allocator gives
        // none back, so what our code frees unwiped is there to be found.
        ::mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
        ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
        ASSERT_TRUE(dir.isValid());
        road.SetTemporaryParent(dir.path());
        password = RandomLetters(40);
        // 12 KiB: below Qt's 16 KiB file buffers and above the C++ streams' 8 KiB.
        text = RandomLetters(6000) + QStringLiteral("\n") + RandomLetters(6000);
    }
    void ExpectNothingLeft(const char* after) {
        const clsBlowfish fresh;
        ASSERT_NE(road.Cipher(), nullptr) << after;
        EXPECT_TRUE(clsBlowfishProbe::SameTables(*road.Cipher(), fresh)) << "key schedule kept " << after;
        EXPECT_EQ(LeftCopies(password.sliced(8)), 0) << "password bytes left " << after;
        EXPECT_EQ(LeftCopies(text.sliced(4000, 48)), 0) << "text bytes left " << after;
    }

    QTemporaryDir dir;
    TextCipher road;
    QString password, text;
};

TEST_F(Secrets, NoKeyOrTextOutlivesACommand) {
    // In byte text, and in UTF-8 with a key of UTF-8 (the searched slices are
    // ASCII, the same bytes in either).
    for (const bool unicode : {false, true}) {
        if (unicode) {
            text.prepend(QChar(0x4E16));
            password.prepend(QChar(0x4E16));
        }
        QString hex, error;
        ASSERT_TRUE(road.Encrypt(password, text, hex, &error)) << error.toStdString();
        ExpectNothingLeft("after encrypting");

        TextCipher::Decryption result;
        ASSERT_TRUE(road.Decrypt(password, hex, result, &error)) << error.toStdString();
        ASSERT_EQ(result.text, text);
        result.text.fill(u'#');  // the window would own it; Qt's copies are out of our reach
        ExpectNothingLeft("after decrypting");
        // The frame's cut moves the text down and leaves its end behind it again.
        QByteArray end = text.right(9).toLatin1() + "\xFE\r\n";
        EXPECT_EQ(CopiesInMemory(end), 0) << "the text's end left past the frame's cut";
        end.fill('\0');

        ASSERT_TRUE(road.Decrypt(password + u'x', hex, result, &error));
        ASSERT_TRUE(result.wrongPassword);
        ExpectNothingLeft("after a wrong password");
    }

    // A failure half-way: the text's first chunks were written as byte text,
    // then as UTF-8, when a lone surrogate half stopped it.
    QString cut = QString(70000, u'x') + QChar(0x2603) + text + QChar(0xD800);
    QString hex, error;
    EXPECT_FALSE(road.Encrypt(password, cut, hex, &error));
    cut.fill(u'#');
    ExpectNothingLeft("after a failed encryption");
}

TEST_F(Secrets, PasswordAndTextFilesLeaveNoCopies) {
    const QString keyFile = dir.filePath(QStringLiteral("key.QvP"));
    QString error;
    {
        QByteArray bytes = password.toLatin1();
        ASSERT_TRUE(SaveFileAtomically(keyFile, bytes, &error)) << error.toStdString();
        bytes.fill('#');
    }
    QString loaded;
    ASSERT_TRUE(LoadPasswordFile(keyFile, loaded, nullptr, &error)) << error.toStdString();
    ASSERT_EQ(loaded, password);

    const QString textFile = dir.filePath(QStringLiteral("notes.TxT"));
    {
        QByteArray bytes = EncodeTextFile(text);
        ASSERT_TRUE(SaveFileAtomically(textFile, bytes, &error)) << error.toStdString();
        bytes.fill('#');
    }
    QString back;
    ASSERT_TRUE(LoadTextFile(textFile, back, &error)) << error.toStdString();
    ASSERT_EQ(back, text);
    back.fill(u'#');
    loaded.fill(u'#');
    EXPECT_EQ(LeftCopies(password.sliced(8)), 0) << "password bytes left";
    EXPECT_EQ(LeftCopies(text.sliced(4000, 48)), 0) << "text bytes left";
}

}  // namespace
