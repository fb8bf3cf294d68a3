// SPDX-License-Identifier: MIT
// The window's age road: the work text as UTF-8 with LF and back, the
// password as typed, and each failure told apart with nothing kept.
#include <gtest/gtest.h>

#include "age/Decryptor.h"
#include "age/Encryptor.h"
#include "formats/AgeText.h"

using quelvane::AgeText;

namespace {
constexpr int kQuick = 2;  // work factor: files from the window use 18
}

TEST(AgeText, RoundTripAndPayload) {
    const QString text = QString::fromUtf8("Grüße, Привет, 你好 😀\nzweite Zeile\n");
    const QString password = QString::fromUtf8("pässwörd ✓");
    QString armored, error;
    ASSERT_TRUE(AgeText::Encrypt(password, text, armored, &error, kQuick)) << error.toStdString();
    EXPECT_TRUE(armored.startsWith("-----BEGIN AGE ENCRYPTED FILE-----\n"));
    EXPECT_TRUE(AgeText::IsAge(armored));
    EXPECT_TRUE(AgeText::IsAge(QStringView(u"\n  -----BEGIN AGE ENCRYPTED FILE-----\n")));
    EXPECT_FALSE(AgeText::IsAge(QStringView(u"0011AABB")));
    AgeText::Decryption result;
    ASSERT_TRUE(AgeText::Decrypt(password, armored, result, &error)) << error.toStdString();
    EXPECT_EQ(result.text, text);
    // The payload is the text's UTF-8 with LF, as age -d gives it.
    std::string payload;
    quelvane::age::Decryptor d(password.toUtf8().toStdString(), [&](const std::uint8_t* p, std::size_t n) {
        payload.append(reinterpret_cast<const char*>(p), n);
        return true;
    });
    const QByteArray bytes = armored.toLatin1();
    quelvane::age::Error e;
    ASSERT_TRUE(d.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), std::size_t(bytes.size()), &e) &&
                d.Finish(&e));
    EXPECT_EQ(QByteArray::fromStdString(payload), text.toUtf8());
}

// A file from elsewhere: binary, CR LF line ends, or no text at all.
TEST(AgeText, FilesFromElsewhere) {
    auto make = [](const std::string& payload) {
        QByteArray out;
        quelvane::age::Encryptor e({false, kQuick}, [&](const std::uint8_t* p, std::size_t n) {
            out.append(reinterpret_cast<const char*>(p), qsizetype(n));
            return true;
        });
        quelvane::age::Error error;
        e.Start("pw", &error);
        e.Write(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size(), &error);
        e.Finish(&error);
        return out;
    };
    AgeText::Decryption result;
    QString error;
    ASSERT_TRUE(AgeText::Decrypt("pw", QByteArrayView(make("one\r\ntwo\r\n")), result, &error));
    EXPECT_EQ(result.text, "one\ntwo\n");
    EXPECT_FALSE(AgeText::Decrypt("pw", QByteArrayView(make(std::string("\xff\xfe\0x", 4))), result, &error));
    EXPECT_EQ(result.failure, AgeText::Failure::NotText);
    EXPECT_TRUE(error.contains("quelvane-cli"));
    EXPECT_TRUE(result.text.isEmpty());
    EXPECT_FALSE(AgeText::Decrypt("PW", QByteArrayView(make("x")), result, &error));
    EXPECT_EQ(result.failure, AgeText::Failure::WrongPassword);
    QByteArray cut = make(std::string(70000, 'a'));
    cut.chop(1);
    EXPECT_FALSE(AgeText::Decrypt("pw", QByteArrayView(cut), result, &error));
    EXPECT_EQ(result.failure, AgeText::Failure::Damaged);
    EXPECT_FALSE(AgeText::Decrypt("pw", QStringView(u"-----BEGIN AGE ENCRYPTED FILE-----\nAAAA\n"), result, &error));
    EXPECT_EQ(result.failure, AgeText::Failure::Malformed);  // no age inside
    QByteArray high = make("x");
    high.replace(" 2\n", " 23\n");
    EXPECT_FALSE(AgeText::Decrypt("pw", QByteArrayView(high), result, &error));
    EXPECT_EQ(result.failure, AgeText::Failure::WorkFactorTooHigh);
    EXPECT_TRUE(error.contains("22"));
}

TEST(AgeText, LoneSurrogatesRefused) {
    QString armored, error;
    const QString lone = QString(QChar(0xD800)) + "x";
    EXPECT_FALSE(AgeText::Encrypt("pw", lone, armored, &error, kQuick));
    EXPECT_FALSE(AgeText::Encrypt(lone, QStringView(u"text"), armored, &error, kQuick));
    EXPECT_TRUE(armored.isEmpty());
}
