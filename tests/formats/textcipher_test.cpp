// SPDX-License-Identifier: MIT
// The encrypt/decrypt road on its own: what it writes, what it reads back,
// how it judges the frame and the end marker, and that it leaves nothing on
// disk, on real temporary folders.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "cipher/clsBlowfish.h"
#include "formats/LegacyFrame.h"
#include "formats/StreamCipher.h"
#include "formats/TextCipher.h"
#include "text/Payload.h"

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
        return found.filter(
            QRegularExpression(QStringLiteral("/(?!Quelvane\\.lock$)[^/]*$")));  // the run's own mark stays
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

// A payload is judged the same on the window's road and on the command
// line's stream: the UTF-8 mark before bytes that are no UTF-8 is damage,
// never read again as byte text.
TEST_F(Road, AMarkedPayloadThatIsNoUtf8IsDamage) {
    const struct {
        QByteArray payload;
        bool damaged;
        const char* text;  // UTF-8
    } cases[] = {
        {"\xEF\xBB\xBF"
         "caf\xC3\xA9",
         false, "caf\u00e9"},
        {"\xEF\xBB\xBF"
         "caf\xE9",
         true, ""},  // one byte changed
        {"\xEF\xBB\xBF\xC3", true, ""},  // cut inside a sequence
        {"caf\xE9", false, "caf\u00e9"},  // byte text, no mark
        {"\xEF\xBB", false, "\u00ef\u00bb"},  // no whole mark
    };
    for (const auto& c : cases) {
        clsBlowfish cipher;
        const QString hex =
            QString::fromStdString(cipher.EncryptString((c.payload + "\xFE\r\n").toStdString(), "pw", true));
        const TextCipher::Decryption window = Decrypt(hex);
        EXPECT_FALSE(window.wrongPassword) << c.payload.toHex().toStdString();
        EXPECT_EQ(window.damaged, c.damaged) << c.payload.toHex().toStdString();
        EXPECT_EQ(window.text, QString::fromUtf8(c.text)) << c.payload.toHex().toStdString();

        const QByteArray hexBytes = hex.toLatin1();
        const MemorySource in(hexBytes);
        HexDecryptionOptions options;
        options.text = true;
        MemorySink out;
        HexDecryptionResult stream;
        QString error;
        ASSERT_TRUE(DecryptHex(in, "pw", options, &out, stream, &error)) << error.toStdString();
        EXPECT_FALSE(stream.wrongPassword);
        EXPECT_EQ(stream.damaged, c.damaged) << c.payload.toHex().toStdString();
        if (!c.damaged) {
            EXPECT_EQ(QString::fromUtf8(out.bytes), QString::fromUtf8(c.text));
        }
    }
    EXPECT_TRUE(LeftOnDisk().isEmpty());
}

TEST(WholeText, FrameAndMarker) {
    const QByteArray text("abc\xFE\r\n");
    EXPECT_TRUE(IsWholeText(text.size() + 12, text));
    EXPECT_TRUE(IsWholeText(text.size() + 19, text));
    EXPECT_FALSE(IsWholeText(text.size() + 11, text));
    EXPECT_FALSE(IsWholeText(text.size() + 20, text));
    EXPECT_FALSE(IsWholeText(24, QByteArray("abc\xFE\r")));  // marker without its line end
    EXPECT_FALSE(IsWholeText(24, QByteArray("abc\r\n\xFE")));
    EXPECT_FALSE(IsWholeText(16, QByteArray()));
}

// Every language goes through, in the payload an independent reader expects:
// byte text where the code page holds every character (what older copies
// read), else the UTF-8 mark and UTF-8; the key likewise.
TEST_F(Road, EveryLanguageInItsPayload) {
    const auto utf8 = [](const char* s) { return kUtf8Mark.toByteArray() + QByteArray(s).replace("\n", "\r\n"); };
    const struct {
        const char* text;  // UTF-8
        QByteArray payload;
    } cases[] = {
        {"caf\u00e9 \u20ac\nna\u00efve", QByteArray("caf\xE9 \x80\r\nna\xEFve")},
        {"\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440",
         utf8("\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440")},
        {"\u039a\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1\n",
         utf8("\u039a\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1\n")},
        {"\u4f60\u597d\uff0c\u4e16\u754c", utf8("\u4f60\u597d\uff0c\u4e16\u754c")},
        {"\u0645\u0631\u062d\u0628\u0627 abc", utf8("\u0645\u0631\u062d\u0628\u0627 abc")},
        {"\u0928\u092e\u0938\u094d\u0924\u0947", utf8("\u0928\u092e\u0938\u094d\u0924\u0947")},
        {"Za\u017c\u00f3\u0142\u0107 \u015f\u0131 Vi\u1ec7t",
         utf8("Za\u017c\u00f3\u0142\u0107 \u015f\u0131 Vi\u1ec7t")},
        {"\U0001F468\u200D\U0001F469\u200D\U0001F467 \U0001F1E9\U0001F1EA",
         utf8("\U0001F468\u200D\U0001F469\u200D\U0001F467 \U0001F1E9\U0001F1EA")},
        // The characters of the mark: as byte text they would read as UTF-8, so they go as UTF-8.
        {"\u00ef\u00bb\u00bfabc", utf8("\u00ef\u00bb\u00bfabc")},
        // Also when the rest is no UTF-8: as byte text the mark would be read as damage.
        {"\u00ef\u00bb\u00bf\u00e9", utf8("\u00ef\u00bb\u00bf\u00e9")},
    };
    const QString passwords[] = {QStringLiteral("pw"), QString::fromUtf8("\u043f\u0430\u0440\u043e\u043b\u044c"),
                                 QString::fromUtf8("\u5bc6\u7801\U0001F511")};
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        for (const QString& password : passwords) {
            const QString hex = Encrypt(text, password);
            const QByteArray key = password == QStringLiteral("pw") ? QByteArray("pw") : password.toUtf8();
            EXPECT_EQ(QByteArray::fromStdString(DecryptApart(hex, key.toStdString())), c.payload + "\xFE\r\n")
                << c.text;
            const TextCipher::Decryption back = Decrypt(hex, password);
            EXPECT_FALSE(back.wrongPassword) << c.text;
            EXPECT_EQ(back.text, text) << c.text;
        }
    }
    EXPECT_TRUE(LeftOnDisk().isEmpty());
}

TEST_F(Road, LoneSurrogatesAndOverlongKeysStopBeforeAnythingIsLeft) {
    // Past the first chunk, and after a character beyond the code page, so
    // both forms were tried and part of the text was already written.
    QString text(70000, u'x');
    text[10] = QChar(0x4E16);
    text[69999] = QChar(0xD800);
    QString hex = QStringLiteral("unchanged"), error;
    EXPECT_FALSE(road.Encrypt(QStringLiteral("pw"), text, hex, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("line 1, column 70000"))) << error.toStdString();
    EXPECT_EQ(hex, QStringLiteral("unchanged"));

    TextCipher::Decryption result;
    const QString tooLong(150, QChar(0x4E16));  // 450 bytes in UTF-8
    for (const QString& password : {QStringLiteral("p") + QChar(0xDC00), tooLong}) {
        EXPECT_FALSE(road.Encrypt(password, QStringLiteral("text"), hex, &error));
        EXPECT_TRUE(error.startsWith(QStringLiteral("The password"))) << error.toStdString();
        EXPECT_FALSE(road.Decrypt(password, QStringLiteral("00"), result, &error));
    }
    EXPECT_TRUE(error.contains(QStringLiteral("450 bytes"))) << error.toStdString();
    EXPECT_TRUE(Decrypt(Encrypt(QStringLiteral("t"), tooLong.first(149)), tooLong.first(149)).text == u"t");
    EXPECT_TRUE(LeftOnDisk().isEmpty());
    EXPECT_EQ(busy, (std::vector<bool>{true, false, true, false})) << "the cipher never started for a refusal";
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
    const QString password = QStringLiteral("ke") + QChar(0xD801) + QStringLiteral("y");
    QString hex, error;
    TextCipher::Decryption result;
    EXPECT_FALSE(road.Encrypt(password, QStringLiteral("text"), hex, &error));
    QString decryptError;
    EXPECT_FALSE(road.Decrypt(password, QStringLiteral("00"), result, &decryptError));
    for (const QString& message : {error, decryptError}) {
        EXPECT_TRUE(message.startsWith(QStringLiteral("The password's character number 3 "))) << message.toStdString();
        EXPECT_FALSE(message.contains(QChar(0xD801)) || message.contains(QStringLiteral("D801")));
    }
}

TEST(Ciphertext, PairsOfHexDigitsOfAFrameAtLeast) {
    QTemporaryDir dir;
    TextCipher road;
    road.SetTemporaryParent(dir.path());
    QString hex, error;
    ASSERT_TRUE(road.Encrypt(QStringLiteral("pw"), QStringLiteral("abcdefghij"), hex, &error));
    for (const QString& ciphertext :
         {hex, hex.toLower(), QChar(0xFEFF) + hex.first(16) + QStringLiteral("\r\n ") + hex.sliced(16), hex.chopped(2),
          QString(32, u'0')})
        EXPECT_TRUE(TextCipher::IsCiphertext(ciphertext)) << ciphertext.toStdString();
    for (const QString& other :
         {QString(), QStringLiteral("plain words"), hex.first(30), hex.chopped(1), hex + QStringLiteral("G"),
          hex.first(16) + QChar(0xFEFF) + hex.sliced(16), QStringLiteral("DEADBEEF, the password is here, DEADBEEF")})
        EXPECT_FALSE(TextCipher::IsCiphertext(other)) << other.toStdString();
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
