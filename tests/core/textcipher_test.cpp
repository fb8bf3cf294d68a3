// SPDX-License-Identifier: MIT
// The encrypt/decrypt road on its own: what it writes, what it reads back,
// how it judges the frame and the end marker, and that it leaves nothing on
// disk, on real temporary folders.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "cipher/clsBlowfish.h"
#include "core/TextCipher.h"

namespace {

using namespace quelvane;

class Road : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        road.SetTemporaryParent(dir.path());
        road.OnBusy([this](bool on) { busy.push_back(on); });
    }
    QStringList LeftOnDisk() const {
        QStringList found;
        QDirIterator it(dir.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) found << it.next();
        return found;
    }
    QString Encrypt(const QString& text, const QString& password = QStringLiteral("pw")) {
        QString hex, error;
        EXPECT_TRUE(road.Encrypt(password, text, hex, &error)) << error.toStdString();
        return hex;
    }
    TextCipher::Decryption Decrypt(const QString& hex, const QString& password = QStringLiteral("pw")) {
        TextCipher::Decryption result;
        QString error;
        EXPECT_TRUE(road.Decrypt(password, hex, result, &error)) << error.toStdString();
        return result;
    }

    QTemporaryDir dir;
    TextCipher road;
    std::vector<bool> busy;
};

// The plain bytes behind a hex text, decrypted apart from the road.
std::string DecryptApart(const QString& hex, const std::string& key) {
    clsBlowfish cipher;
    std::string text = hex.toStdString();
    return cipher.DecryptString(text, key, true);
}

TEST_F(Road, EncryptsTheTextWithMarkerAndLineEndsAsHex) {
    const QString hex = Encrypt(QStringLiteral("a\nb"));
    EXPECT_EQ(hex.size(), 2 * 24);  // 1 + 2 + 1 + 3 bytes of text, marker and CR LF, 12 of frame, 4 of padding
    EXPECT_EQ(DecryptApart(hex, "pw"), std::string("a\r\nb\xFE\r\n"));
    for (const QChar c : hex) EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'));
    EXPECT_TRUE(road.SourcePath().endsWith(QStringLiteral("/DumpSTempFile$$$")));
    EXPECT_TRUE(road.DestinationPath().endsWith(QStringLiteral("/DumpDTempFile$$$")));
    EXPECT_TRUE(LeftOnDisk().isEmpty());
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
}

TEST_F(Road, RoundTripsEveryLengthAcrossChunksAndHalves) {
    // Lengths around the frame's padding, the 16-character runs of the byte
    // conversion, its 64 KiB chunks and the two halves of the hex reading.
    for (const qsizetype length : {1, 4, 5, 12, 13, 15, 16, 17, 100, 65535, 65536, 65537, 300001}) {
        QString text(length, Qt::Uninitialized);
        for (qsizetype i = 0; i < length; ++i) text[i] = QChar(char16_t(i % 97 == 96 ? u'\n' : u'a' + i % 26));
        if (length > 3) text[length / 2] = QChar(0x20AC);  // a code-page character in the middle
        const QString hex = Encrypt(text);
        ASSERT_EQ(hex.size() % 16, 0);
        const TextCipher::Decryption back = Decrypt(hex);
        ASSERT_FALSE(back.wrongPassword) << length;
        ASSERT_EQ(back.text, text) << length;
    }
    EXPECT_TRUE(LeftOnDisk().isEmpty());
}

TEST_F(Road, WrongPasswordAndDamageAreJudgedNotShown) {
    const QString hex = Encrypt(QStringLiteral("secret"), QStringLiteral("right"));
    EXPECT_TRUE(Decrypt(hex, QStringLiteral("wrong")).wrongPassword);
    EXPECT_TRUE(Decrypt(hex, QStringLiteral("wrong")).text.isEmpty());
    QString cut = hex;
    cut.chop(16);  // a block short: the size descriptor no longer fits
    EXPECT_TRUE(Decrypt(cut, QStringLiteral("right")).wrongPassword);
    EXPECT_TRUE(Decrypt(QStringLiteral("zz"), QStringLiteral("right")).wrongPassword);
    EXPECT_EQ(Decrypt(hex, QStringLiteral("right")).text, QStringLiteral("secret"));
    EXPECT_TRUE(LeftOnDisk().isEmpty());
}

TEST(WholeText, FrameAndMarker) {
    const QByteArray text("abc\xFE\r\n");
    EXPECT_TRUE(TextCipher::IsWholeText(text.size() + 12, text));
    EXPECT_TRUE(TextCipher::IsWholeText(text.size() + 19, text));
    EXPECT_FALSE(TextCipher::IsWholeText(text.size() + 11, text));
    EXPECT_FALSE(TextCipher::IsWholeText(text.size() + 20, text));
    EXPECT_FALSE(TextCipher::IsWholeText(24, QByteArray("abc\xFE\r")));  // marker without its line end
    EXPECT_FALSE(TextCipher::IsWholeText(24, QByteArray("abc\r\n\xFE")));
    EXPECT_FALSE(TextCipher::IsWholeText(16, QByteArray()));
}

TEST_F(Road, CharactersWithoutAByteStopBeforeAnythingIsLeft) {
    // Past the first chunk, so part of the text was already written.
    QString text(70000, u'x');
    text[69999] = QChar(0x2603);
    QString hex = QStringLiteral("unchanged"), error;
    EXPECT_FALSE(road.Encrypt(QStringLiteral("pw"), text, hex, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("The work text holds the character"))) << error.toStdString();
    EXPECT_EQ(hex, QStringLiteral("unchanged"));

    TextCipher::Decryption result;
    EXPECT_FALSE(road.Encrypt(QString::fromUtf8("p\u0101ss"), QStringLiteral("text"), hex, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("The password"))) << error.toStdString();
    EXPECT_FALSE(road.Decrypt(QString::fromUtf8("p\u0101ss"), QStringLiteral("00"), result, &error));
    EXPECT_TRUE(LeftOnDisk().isEmpty());
    EXPECT_TRUE(busy.empty()) << "the cipher never started";
}

TEST_F(Road, AFolderThatCannotBeMadeIsAClearError) {
    road.SetTemporaryParent(dir.filePath(QStringLiteral("missing/deeper")));
    QString hex, error;
    EXPECT_FALSE(road.Encrypt(QStringLiteral("pw"), QStringLiteral("text"), hex, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot make a private temporary folder for the encryption")))
        << error.toStdString();
    TextCipher::Decryption result;
    EXPECT_FALSE(road.Decrypt(QStringLiteral("pw"), QStringLiteral("00"), result, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot make a private temporary folder for the decryption")));
}

TEST_F(Road, HexTextAfterAByteOrderMarkDecrypts) {
    const QString hex = Encrypt(QStringLiteral("marked"));
    for (const QString& pasted : {QChar(0xFEFF) + hex, QChar(0xFEFF) + hex.first(20) + u'\n' + hex.sliced(20)}) {
        const TextCipher::Decryption back = Decrypt(pasted);
        EXPECT_FALSE(back.wrongPassword);
        EXPECT_EQ(back.text, QStringLiteral("marked"));
    }
}

// The password box masks the password: a message names a character's
// position, never the character or its code.
TEST_F(Road, PasswordMessagesNameThePositionOnly) {
    const QString password = QString::fromUtf8("ke\u0101y");
    QString hex, error;
    TextCipher::Decryption result;
    EXPECT_FALSE(road.Encrypt(password, QStringLiteral("text"), hex, &error));
    QString decryptError;
    EXPECT_FALSE(road.Decrypt(password, QStringLiteral("00"), result, &decryptError));
    for (const QString& message : {error, decryptError}) {
        EXPECT_TRUE(message.startsWith(QStringLiteral("The password's character number 3 "))) << message.toStdString();
        EXPECT_FALSE(message.contains(QChar(0x0101)) || message.contains(QStringLiteral("101")));
    }
}

TEST(HexCiphertext, OnlyWholeBlocksOfHexDigits) {
    QTemporaryDir dir;
    TextCipher road;
    road.SetTemporaryParent(dir.path());
    QString hex, error;
    ASSERT_TRUE(road.Encrypt(QStringLiteral("pw"), QStringLiteral("a"), hex, &error));
    EXPECT_TRUE(TextCipher::IsHexCiphertext(hex));
    EXPECT_TRUE(TextCipher::IsHexCiphertext(hex.toLower()));
    EXPECT_TRUE(TextCipher::IsHexCiphertext(QChar(0xFEFF) + hex.first(16) + QStringLiteral("\r\n ") + hex.sliced(16)));
    for (const QString& other :
         {QString(), QStringLiteral("plain words"), hex.first(16), hex.chopped(1), hex + QStringLiteral("G"),
          hex.first(16) + QChar(0xFEFF) + hex.sliced(16), QStringLiteral("DEADBEEF, the password is here, DEADBEEF")})
        EXPECT_FALSE(TextCipher::IsHexCiphertext(other)) << other.toStdString();
}

// The temporary files hold the plaintext: owner-only in an owner-only
// folder, whatever the umask.
TEST_F(Road, TemporaryFilesAreOwnerOnly) {
    QStringList seen;
    road.OnBusy([&](bool on) {
        if (!on) return;
        for (const QString& path : {QFileInfo(road.SourcePath()).path(), road.SourcePath()}) {
            struct stat st {};
            if (::stat(QFile::encodeName(path).constData(), &st) == 0)
                seen << QStringLiteral("%1 %2").arg(QFileInfo(path).fileName()).arg(st.st_mode & 0777, 0, 8);
        }
    });
    const mode_t saved = ::umask(0);
    Encrypt(QStringLiteral("open to all?"));
    ::umask(saved);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[0].endsWith(QStringLiteral(" 700"))) << seen[0].toStdString();
    EXPECT_EQ(seen[1], QStringLiteral("DumpSTempFile$$$ 600"));
}

}  // namespace
