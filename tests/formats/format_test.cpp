// SPDX-License-Identifier: MIT
// The format seam: detection falls back to the legacy format, a stream
// through the seam round-trips and reports its progress up to the whole
// input, and a progress that says stop ends a command with nothing written
// and no message of its own; a format reads its input as often as it says,
// which is what the command line's bar counts.
#include <gtest/gtest.h>

#include <QByteArray>
#include <atomic>
#include <string>

#include "formats/FormatRegistry.h"

namespace {

using namespace quelvane;

TEST(Formats, WhatNoFormatClaimsIsTheLegacyFormat) {
    CiphertextFormats formats;
    for (const QByteArray& head : {QByteArray(), QByteArray("0123456789ABCDEF"), QByteArray(100, '\xFF')})
        EXPECT_EQ(&formats.Detect(head), &formats.Legacy()) << head.toHex().toStdString();
    EXPECT_EQ(&formats.DetectText(QStringLiteral("  A1B2")), &formats.Legacy());
    EXPECT_EQ(formats.ByName(QStringLiteral("quelvane")), &formats.Legacy());
    EXPECT_FALSE(formats.Choose(QStringLiteral("no such format")));
    EXPECT_EQ(&formats.Chosen(), &formats.Legacy());
}

TEST(Formats, StreamsRoundTripAndReportTheirProgress) {
    CiphertextFormats formats;
    CiphertextFormat& format = formats.Legacy();
    SecretString key;
    ASSERT_EQ(format.Key(QStringLiteral("pass"), key, nullptr), KeyFault::None);
    const QByteArray text(300000, 'x');  // more than one piece
    const MemorySource in(text);

    const auto encryptor = format.EncryptStream(in, StreamOptions{false});
    bool empty = true;
    QString error;
    ASSERT_TRUE(encryptor->Inspect(empty, &error) && !empty) << error.toStdString();
    ASSERT_TRUE(encryptor->Prepare(key, &error));
    qint64 last = -1, told = -1;
    MemorySink hex;
    const auto note = [&](qint64 done, qint64 total) {
        last = done, told = total;
        return true;
    };
    ASSERT_TRUE(encryptor->Encrypt(hex, &error, note)) << error.toStdString();
    EXPECT_EQ(told, text.size());
    EXPECT_EQ(last, text.size());

    const MemorySource ciphertext(hex.bytes);
    const auto decryptor = format.DecryptStream(ciphertext, StreamOptions{false});
    ASSERT_TRUE(decryptor->Inspect(empty, &error) && !empty);
    MemorySink plain;
    StreamDecryption result;
    ASSERT_TRUE(decryptor->Decrypt(key, &plain, result, &error)) << error.toStdString();
    EXPECT_FALSE(result.wrongPassword || result.nul || result.again);
    EXPECT_EQ(plain.bytes, text);

    // Stopped at the first report: false, no message, nothing given out.
    MemorySink none;
    const auto stop = [](qint64, qint64) { return false; };
    EXPECT_FALSE(decryptor->Decrypt(key, &none, result, &error, stop));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_FALSE(encryptor->Encrypt(none, &error, stop));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_TRUE(none.bytes.isEmpty());
}

class CountedSource : public MemorySource {
public:
    using MemorySource::MemorySource;
    bool Read(qint64 offset, char* to, qsizetype size) const override {
        read += size;
        return MemorySource::Read(offset, to, size);
    }
    mutable std::atomic<qint64> read{0};
};

// The bar counts reads: a text the legacy format streams or holds whole is read twice, one age encrypts once.
TEST(Formats, AnEncryptionReadsItsInputAsOftenAsItSays) {
    CiphertextFormats formats;
    const QByteArray plain = QByteArray(300000, 'x') + "\n", utf16 = QByteArray("\xFF\xFE", 2) + QByteArray(80000, 'y');
    for (const auto& [name, input] : {std::pair{"quelvane", plain}, {"quelvane", utf16}, {"age", plain}}) {
        CiphertextFormat& format = *formats.ByName(QString::fromLatin1(name));
        SecretString key;
        ASSERT_EQ(format.Key(QStringLiteral("pass"), key, nullptr), KeyFault::None);
        const CountedSource in(input);
        const auto encryptor = format.EncryptStream(in, StreamOptions{});
        bool empty = true;
        MemorySink out;
        ASSERT_TRUE(encryptor->Inspect(empty, nullptr) && encryptor->Prepare(key, nullptr) &&
                    encryptor->Encrypt(out, nullptr));
        EXPECT_NEAR(double(in.read), double(encryptor->Passes() * input.size()), 64.0)
            << name;  // a head looked at first
    }
}

}  // namespace
