// SPDX-License-Identifier: MIT
// The random password source and the number reading of its length box, and
// the byte form of the work text.
#include <QtTest>
#include <array>
#include <optional>
#include <stdexcept>

#include "cipher/ByteText.h"
#include "core/PasswordGenerator.h"
#include "text/QtByteText.h"
#include "text/WorkText.h"

using namespace quelvane;

namespace {
std::optional<QByteArray> Bytes(const QString& text, qsizetype* bad = nullptr) {
    QByteArray bytes;
    if (!WorkTextToBytes(text, bytes, bad)) return std::nullopt;
    return bytes;
}
}  // namespace

class GeneratorTest : public QObject {
    Q_OBJECT
private slots:
    void everyCodeFrom30To127AndNoOther();
    void lengthsAndModes();
    void numbersOfTheLengthBox();
    void workTextBytes();
    void encodingInRunsAndChunks();
};

void GeneratorTest::everyCodeFrom30To127AndNoOther() {
    QRandomGenerator source(7);
    std::array<int, 256> counts{};
    const int batches = 400;
    for (int i = 0; i < batches; ++i)
        for (const QChar c : RandomString(245, kRandomModeAscii, source)) {
            QVERIFY(c.unicode() < 256);
            ++counts[c.unicode()];
        }
    const double expected = batches * 245 / 98.0;  // 1000 per code
    for (int code = 0; code < 256; ++code) {
        if (code < 30 || code > 127) {
            QCOMPARE(counts[code], 0);
        } else {
            // Far outside six standard deviations only when the draw is skewed.
            QVERIFY2(std::abs(counts[code] - expected) < 6 * std::sqrt(expected), qPrintable(QString::number(code)));
        }
    }
}

void GeneratorTest::lengthsAndModes() {
    QRandomGenerator source(1);
    QCOMPARE(RandomString(0, kRandomModeAscii, source), QString());
    QCOMPARE(RandomString(255, kRandomModeAscii, source).size(), 255);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, RandomString(5, 65, source));
    QRandomGenerator a(99), b(99);
    QCOMPARE(RandomString(50, kRandomModeAscii, a), RandomString(50, kRandomModeAscii, b));
}

void GeneratorTest::numbersOfTheLengthBox() {
    QCOMPARE(ReadNumber(QStringLiteral("112")), std::optional<double>(112));
    QCOMPARE(ReadNumber(QStringLiteral("-5")), std::optional<double>(-5));
    QCOMPARE(ReadNumber(QStringLiteral("+7.25")), std::optional<double>(7.25));
    QCOMPARE(ReadNumber(QStringLiteral(".5")), std::optional<double>(0.5));
    QCOMPARE(ReadNumber(QStringLiteral(" 12 ")), std::optional<double>(12));
    for (const char* no : {"", " ", "abc", "12x", "1e3", "0x10", "1,5", "- 3", "inf", "nan", "1.2.3"})
        QVERIFY2(!ReadNumber(QLatin1String(no)), no);

    // Half to even.
    QCOMPARE(ReadByteCount(QStringLiteral("3.5")), std::optional<std::uint8_t>(4));
    QCOMPARE(ReadByteCount(QStringLiteral("4.5")), std::optional<std::uint8_t>(4));
    QCOMPARE(ReadByteCount(QStringLiteral("0.5")), std::optional<std::uint8_t>(0));
    QCOMPARE(ReadByteCount(QStringLiteral("1.5")), std::optional<std::uint8_t>(2));
    QCOMPARE(ReadByteCount(QStringLiteral("4.51")), std::optional<std::uint8_t>(5));
    QCOMPARE(ReadByteCount(QStringLiteral("255.4")), std::optional<std::uint8_t>(255));
    QVERIFY(!ReadByteCount(QStringLiteral("255.6")));
    QVERIFY(!ReadByteCount(QStringLiteral("-1")));
}

void GeneratorTest::workTextBytes() {
    QCOMPARE(Bytes(QStringLiteral("a\nb\n")), std::optional<QByteArray>("a\r\nb\r\n"));
    QCOMPARE(Bytes(QString::fromUtf8("€\u00A0þ")), std::optional<QByteArray>("\x80\xA0\xFE"));
    qsizetype bad = -1;
    QVERIFY(!Bytes(QString::fromUtf8("ab\u2603"), &bad));
    QCOMPARE(bad, qsizetype(2));
    QCOMPARE(BytesToWorkText("a\r\nb\nc\rd\r\r\n"), QStringLiteral("a\nb\nc\nd\n\n"));
    QCOMPARE(BytesToWorkText("\x80\xFE\x81"), QString::fromUtf8("€þ\u0081"));
    QCOMPARE(BytesToWorkText(""), QString());
    // Every byte but the line ends survives the way there and back.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n') all.append(char(b));
    QCOMPARE(Bytes(BytesToWorkText(all)), std::optional<QByteArray>(all));
}

void GeneratorTest::encodingInRunsAndChunks() {
    // Texts that cross the 16-character runs of the fast path with line
    // breaks, code-page characters and one that has no byte, converted in
    // pieces of every room size, against the plain rule character by character.
    QRandomGenerator source(11);
    const char16_t alphabet[] = {u'a', u'Z', u' ', u'\n', u'\t', 0x7F, 0x81, 0xA0, 0xE9, 0xFF, 0x20AC, 0xFE};
    for (int round = 0; round < 200; ++round) {
        QString text;
        const int length = int(source.bounded(120));
        for (int i = 0; i < length; ++i) text += QChar(alphabet[source.bounded(int(std::size(alphabet)))]);
        const bool crlf = round % 2 == 0;
        const qsizetype badAt = round % 5 == 0 && length > 0 ? qsizetype(source.bounded(length)) : -1;
        // A character with no byte: one far off, or one of the code-page
        // gaps right beside characters that have one.
        const char16_t noByte[] = {0x2603, 0x9F, 0x100};
        if (badAt >= 0) text[badAt] = QChar(noByte[round % 3]);

        QByteArray expected;
        qsizetype expectedStop = text.size();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            const std::optional<std::uint8_t> byte = bytetext::ToByte(c);
            if (!byte) {
                expectedStop = i;
                break;
            }
            if (c == u'\n' && crlf)
                expected += "\r\n";
            else
                expected += char(*byte);
        }
        for (const qsizetype room : {2, 3, 7, 16, 17, 40}) {
            QByteArray got;
            qsizetype pos = 0;
            bool bad = false;
            char buffer[64];
            while (pos < text.size() && !bad) {
                const qsizetype before = pos;
                const qsizetype n = EncodeByteText(text, pos, buffer, room, crlf, &bad);
                QVERIFY(n <= room);
                QVERIFY(n > 0 || bad || pos > before);
                got.append(buffer, n);
            }
            QCOMPARE(got, expected);
            QCOMPARE(bad, badAt >= 0);
            QCOMPARE(pos, expectedStop);
        }
    }
}

QTEST_MAIN(GeneratorTest)
#include "generator_test.moc"
