// SPDX-License-Identifier: MIT
// The command line's decryption in memory against the window's road: the
// same verdict on every hex text, the same text, and the hex file read as
// the window's hex-file load reads it.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <random>
#include <vector>

#include "cipher/HexText.h"
#include "cipher/clsBlowfish.h"
#include "core/FileLoads.h"
#include "formats/HexDecryption.h"
#include "formats/HexFile.h"
#include "formats/TextCipher.h"
#include "system/UserFiles.h"
#include "text/WorkText.h"

namespace {

using namespace quelvane;

class Decryption : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        road.SetTemporaryParent(dir.path());
    }
    QByteArray Encrypt(const QString& text, const QString& password) {
        QString hex, error;
        EXPECT_TRUE(road.Encrypt(password, text, hex, &error)) << error.toStdString();
        return hex.toLatin1();
    }
    HexDecryption InMemory(const QByteArray& hex, const QString& password) {
        HexDecryption result;
        QString error;
        EXPECT_TRUE(DecryptHexBytes(password, std::string_view(hex.constData(), hex.size()), result, &error))
            << error.toStdString();
        return result;
    }
    TextCipher::Decryption ByRoad(const QByteArray& hex, const QString& password) {
        TextCipher::Decryption result;
        QString error;
        EXPECT_TRUE(road.Decrypt(password, QString::fromLatin1(hex), result, &error)) << error.toStdString();
        return result;
    }

    QTemporaryDir dir;
    TextCipher road;
};

TEST_F(Decryption, GivesTheEncryptedBytesOfWhatTheRoadEncrypted) {
    QString longText;
    for (int i = 0; i < 20000; ++i) longText += QStringLiteral("line %1, \"quoted\" \u20AC\n").arg(i);
    for (const QString& text : {QStringLiteral("a"), QStringLiteral("first\nsecond\n"), QStringLiteral("\n\n"),
                                QStringLiteral("caf\u00E9 \u20AC \u0081 \u00FE end"), longText}) {
        const QString password = QStringLiteral("p\u00E4ss \u20AC");
        const HexDecryption result = InMemory(Encrypt(text, password), password);
        ASSERT_FALSE(result.wrongPassword);
        QByteArray expected;
        ASSERT_TRUE(WorkTextToBytes(text, expected));
        EXPECT_EQ(result.text, expected) << text.left(40).toStdString();
    }
}

TEST_F(Decryption, KeepsLoneLineBreaksThatTheWindowWouldTurnIntoCrLf) {
    const std::string plain = "a\nb\rc\r\n\xFE\r\n";
    clsBlowfish cipher;
    const QByteArray hex = QByteArray::fromStdString(cipher.EncryptString(plain, "key", true));
    const HexDecryption result = InMemory(hex, QStringLiteral("key"));
    ASSERT_FALSE(result.wrongPassword);
    EXPECT_EQ(result.text, QByteArray("a\nb\rc\r\n"));
}

// Random damage of every kind, judged the same way by both; when both take
// it as a text, it is the same text.
TEST_F(Decryption, JudgesEveryDamageAsTheRoadDoes) {
    std::mt19937 random(20240607);
    const QByteArray good = Encrypt(QStringLiteral("a text\nof two lines"), QStringLiteral("pw"));
    int wrong = 0, right = 0;
    for (int round = 0; round < 150; ++round) {
        QByteArray hex = good;
        QString password = QStringLiteral("pw");
        switch (round % 6) {
            case 0:
                password = QStringLiteral("Pw");
                break;
            case 1:
                hex[random() % hex.size()] = "0123456789ABCDEF"[random() % 16];
                break;
            case 2:
                hex.chop(1 + random() % 20);
                break;
            case 3:
                hex.insert(random() % hex.size(), " \r\n\t,G\""[random() % 7]);
                break;
            case 4:
                hex.append(QByteArray("0123456789abcdef").left(1 + random() % 16));
                break;
            case 5:
                hex = hex.toLower();
                break;
        }
        const HexDecryption mine = InMemory(hex, password);
        const TextCipher::Decryption window = ByRoad(hex, password);
        ASSERT_EQ(mine.wrongPassword, window.wrongPassword) << hex.toStdString();
        if (!mine.wrongPassword) {
            EXPECT_EQ(BytesToWorkText(mine.text), window.text);
        }
        (mine.wrongPassword ? wrong : right)++;
    }
    EXPECT_GT(wrong, 50);
    EXPECT_GT(right, 20);  // the lower-case texts and blanks at least
}

// Files of digits, blanks, line breaks, commas, quotes and other bytes: the
// pair rule gives the same bytes after this reading as after the window's.
TEST_F(Decryption, ReadsAHexFileAsTheHexLoadDoes) {
    std::mt19937 random(7);
    const QByteArray alphabet("0123456789ABCDEFabcdef  \t\r\n,\"xG\xE9");
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes;
        for (int i = random() % 80; i > 0; --i) bytes += alphabet[random() % alphabet.size()];
        const QString path = dir.filePath(QStringLiteral("h.QvH"));
        ASSERT_TRUE(SaveFileAtomically(path, bytes, nullptr));
        QString loaded;
        ASSERT_TRUE(LoadHexFile(path, loaded, nullptr));
        std::string joined;
        const std::string mine = hextext::Decode(HexFileText(bytes, joined));
        const std::string window = hextext::Decode(
            std::u16string_view(reinterpret_cast<const char16_t*>(loaded.utf16()), std::size_t(loaded.size())));
        ASSERT_EQ(mine, window) << bytes.toStdString();
    }
}

// The same reading a piece at a time, cut anywhere: in a unit of UTF-16, a
// mark, a quoted field or between a pair's digits.
TEST(HexFileDecoder, PiecesReadAsTheWholeFile) {
    std::mt19937 random(8);
    const QByteArray alphabet("0123456789ABCDEFabcdef0123456789  \t\r\n,\"xG\xE9");
    const QByteArray starts[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "\"", "\xEF\xBB"};
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = starts[random() % std::size(starts)];
        const bool wide = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
        for (int i = random() % 120; i > 0; --i) {
            const char c = alphabet[random() % (round % 3 ? alphabet.size() : 22)];
            if (wide)
                bytes += bytes.startsWith("\xFF") ? QByteArray(1, c) + char(random() % 3)
                                                  : char(random() % 3) + QByteArray(1, c);
            else
                bytes += c;
        }
        if (wide && random() % 4 == 0) bytes += '7';  // an odd byte at the end
        for (const bool fileRules : {true, false}) {
            std::string joined;
            const std::string expected =
                fileRules ? hextext::Decode(HexFileText(bytes, joined)) : hextext::Decode(bytes.toStdString());
            HexFileDecoder decoder(fileRules);
            std::string out(bytes.size() + 8, '\0');
            std::size_t n = 0;
            for (qsizetype at = 0; at < bytes.size();) {
                const qsizetype size = qMin<qsizetype>(bytes.size() - at, random() % 9);
                n += decoder.Put(QByteArrayView(bytes).sliced(at, size), out.data() + n);
                at += size;
            }
            n += decoder.Finish(out.data() + n);
            out.resize(n);
            ASSERT_EQ(out, expected) << fileRules << " " << bytes.toHex().toStdString();
        }
    }
}

TEST_F(Decryption, DropsAByteOrderMark) {
    const std::string expected = "\xAB\xCD\x01";
    for (const QByteArray& file : {QByteArray("\xEF\xBB\xBF"
                                              "ABCD\r\n01"),
                                   QByteArray("\xFF\xFE"
                                              "A\0B\0C\0D\0\r\0\n\0"
                                              "0\0"
                                              "1\0",
                                              18),
                                   QByteArray("\xFE\xFF"
                                              "\0A\0B\0C\0D\0,\0"
                                              "0\0"
                                              "1",
                                              16)}) {
        std::string joined;
        EXPECT_EQ(hextext::Decode(HexFileText(file, joined)), expected) << file.toHex().toStdString();
    }
    std::string joined;
    EXPECT_TRUE(IsBlankHexText(HexFileText(QByteArray("\xEF\xBB\xBF \r\n\t"), joined)));
    EXPECT_FALSE(IsBlankHexText(HexFileText(QByteArray(" x"), joined)));
}

}  // namespace
