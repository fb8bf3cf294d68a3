// SPDX-License-Identifier: MIT
// The format seam: detection falls back to the legacy format, a stream
// through the seam round-trips and reports its progress up to the whole
// input, and a progress that says stop ends a command with nothing written
// and no message of its own.
#include <gtest/gtest.h>

#include <QByteArray>
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
    std::string key;
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

}  // namespace
