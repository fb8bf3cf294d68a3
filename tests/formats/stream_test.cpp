// SPDX-License-Identifier: MIT
// The command line's streams against the window's road, in pieces small
// enough that every text crosses many of them: what the stream encrypts the
// road decrypts, what the road encrypts the stream decrypts, and a failing
// input or output is told. (Damage and wrong passwords: hexdecryption_test
// against the road, cli_test on long ciphertexts.)
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <random>
#include <vector>

#include "cipher/HexText.h"
#include "cipher/clsBlowfish.h"
#include "formats/StreamCipher.h"
#include "formats/TextCipher.h"
#include "system/UserFiles.h"
#include "text/Payload.h"
#include "text/TextFileCodec.h"

namespace {

using namespace quelvane;

const std::string kKey = "p\xE4ss word";
const QString kPassword = QString::fromLatin1("p\xE4ss word");

// Small pieces: a frame piece of 64 bytes, hex read 40 characters at a time.
const StreamPieces kSmall{64, 40};

QByteArray Encrypt(const QByteArray& file, bool text, const StreamPieces& pieces = kSmall) {
    const MemorySource in(file);
    TextFileLayout layout;
    EXPECT_TRUE(ScanTextFile(in, layout, nullptr, pieces));
    MemorySink hex;
    QString error;
    EXPECT_TRUE(EncryptToHex(in, text ? &layout : nullptr, kKey, hex, &error, pieces)) << error.toStdString();
    return hex.bytes;
}

// The frame's payload, cut out by the whole-array decryption.
QByteArray Payload(const QByteArray& hex) {
    const std::string bytes = hextext::Decode(hex.toStdString());
    std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    clsBlowfish().DecryptByte(data, kKey);
    return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
}

struct Decrypted {
    HexDecryptionResult result;
    QByteArray out;
};

Decrypted Decrypt(const QByteArray& hex, HexDecryptionOptions options, const std::string& key = kKey,
                  const StreamPieces& pieces = kSmall) {
    Decrypted d;
    MemorySink out;
    QString error;
    EXPECT_TRUE(DecryptHex(MemorySource(hex), key, options, &out, d.result, &error, pieces)) << error.toStdString();
    d.out = out.bytes;
    return d;
}

QByteArray RandomBytes(qsizetype size, std::mt19937& random, QByteArrayView alphabet = {}) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& b : bytes) b = alphabet.isEmpty() ? char(random()) : alphabet[random() % alphabet.size()];
    return bytes;
}

// Sizes around the frame pieces (64 bytes, 12 of them the frame's head in
// the first), the hex pieces and the ring of four.
const qsizetype kSizes[] = {1,  2,  3,   4,   5,   49,  50,  51,  52,  53,   61,
                            64, 65, 115, 116, 117, 243, 244, 245, 256, 1000, 4097};

TEST(RoadStream, EncryptsWhatTheRoadDecrypts) {
    std::mt19937 random(21);
    const QByteArray alphabet("ab \r\n\xC3\xA9\xE2\x82\xAC\xE9");
    for (const qsizetype size : kSizes) {
        for (const bool text : {true, false}) {
            const QByteArray file = RandomBytes(size, random, text ? QByteArrayView(alphabet) : QByteArrayView());
            const QByteArray hex = Encrypt(file, text);
            ASSERT_TRUE(TextCipher::IsCiphertext(QString::fromLatin1(hex))) << size;
            MemorySink payload;
            if (text) {
                ASSERT_TRUE(PutPayloadOfTextFile(file, payload));
            }
            ASSERT_EQ(Payload(hex), (text ? payload.bytes : file) + "\xFE\r\n") << size << " " << text;
            if (!text) continue;
            TextCipher road;
            TextCipher::Decryption back;
            ASSERT_TRUE(road.Decrypt(kPassword, QString::fromLatin1(hex), back, nullptr));
            ASSERT_FALSE(back.wrongPassword);
            EXPECT_EQ(back.text, DecodeTextFile(file)) << size;
        }
    }
}

TEST(RoadStream, DecryptsWhatTheRoadEncrypted) {
    std::mt19937 random(22);
    for (const qsizetype size : kSizes) {
        QString text;
        for (qsizetype i = 0; i < size; ++i) text += QStringLiteral("ab\n\u00E9\u20AC\u4E16")[int(random() % 6)];
        TextCipher road;
        QString made;
        ASSERT_TRUE(road.Encrypt(kPassword, text, made, nullptr));
        QByteArray hex = made.toLatin1();
        hex.insert(qsizetype(random() % hex.size()), "\r\n  ");  // read as the hex load reads
        MemorySink payload;
        const Decrypted bytes = Decrypt(hex, {.text = false, .utf8 = {}}),
                        utf8 = Decrypt(hex, {.text = true, .utf8 = {}});
        ASSERT_FALSE(bytes.result.wrongPassword);
        ASSERT_FALSE(utf8.result.wrongPassword);
        ASSERT_TRUE(PutUtf8TextOfPayload(bytes.out, payload));
        EXPECT_EQ(utf8.out, payload.bytes) << size;
        EXPECT_EQ(QString::fromUtf8(utf8.out), text) << size;
        EXPECT_EQ(utf8.result.readAsUtf8, utf8.result.utf8);
    }
}

// Bytes that cannot be read past the middle.
class FailingSource : public MemorySource {
public:
    explicit FailingSource(QByteArrayView bytes) : MemorySource(bytes) {}
    bool Read(qint64 offset, char* to, qsizetype count) const override {
        if (offset + count > Size() / 2) return errno = EIO, false;
        return MemorySource::Read(offset, to, count);
    }
};

class FailingSink : public FileSink {
public:
    bool Put(const char*, qsizetype) override { return false; }
};

TEST(RoadStream, AFailingInputOrOutputIsTold) {
    const QByteArray file(3000, 'x'), hex = Encrypt(file, false);
    const FailingSource in(file), hexIn(hex);
    QString error;
    MemorySink out;
    HexDecryptionResult result;
    TextFileLayout layout;
    EXPECT_FALSE(ScanTextFile(in, layout, &error, kSmall));
    EXPECT_EQ(error, QStringLiteral("the input cannot be read: ") + qt_error_string(EIO));
    EXPECT_FALSE(EncryptToHex(in, nullptr, kKey, out, &error, kSmall));
    EXPECT_TRUE(error.startsWith(QStringLiteral("the input cannot be read")));
    EXPECT_FALSE(DecryptHex(hexIn, kKey, {}, &out, result, &error, kSmall));
    EXPECT_TRUE(error.startsWith(QStringLiteral("the input cannot be read")));

    FailingSink failing;
    EXPECT_FALSE(EncryptToHex(MemorySource(file), nullptr, kKey, failing, &error, kSmall));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_FALSE(DecryptHex(MemorySource(hex), kKey, {}, &failing, result, &error, kSmall));
    EXPECT_TRUE(error.isEmpty());
    // A text file that is not what its scan found (it changed meanwhile).
    layout.form = TextFileLayout::Form::ByteText;
    layout.payloadSize = file.size() + 1;
    EXPECT_FALSE(EncryptToHex(MemorySource(file), &layout, kKey, out, &error, kSmall));
    EXPECT_EQ(error, QStringLiteral("the input changed while it was read"));
    EXPECT_FALSE(EncryptToHex(MemorySource(file), nullptr, "", out, &error, kSmall));
    EXPECT_EQ(error, QStringLiteral("The password is empty."));
}

}  // namespace
