// SPDX-License-Identifier: MIT
// Whole-file reading, text decoding and atomic saving, on real files in a
// temporary folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <optional>
#include <random>

#include "core/FileLoads.h"
#include "system/UserFiles.h"
#include "text/Payload.h"
#include "text/QtByteText.h"
#include "text/TextFileCodec.h"
#include "text/WorkText.h"

namespace {

using namespace quelvane;

// The read and the save as results to compare.
struct FileRead {
    bool ok = false;
    QByteArray bytes;
    QString error;
};

FileRead Read(const QString& path) {
    FileRead r;
    r.ok = ReadWholeFile(path, r.bytes, &r.error);
    return r;
}

std::optional<QString> Save(const QString& path, QByteArrayView bytes) {
    QString error;
    if (SaveFileAtomically(path, bytes, &error)) return std::nullopt;
    return error;
}

QByteArray Slurp(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
    return f.readAll();
}

void Spit(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

class TextFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QStringList Entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    QTemporaryDir dir;
};

void ExpectReadFails(const QString& path) {
    const FileRead r = Read(path);
    EXPECT_FALSE(r.ok) << path.toStdString();
    EXPECT_TRUE(r.bytes.isEmpty());
    const QString prefix = QStringLiteral("Cannot read %1: ").arg(path);
    EXPECT_TRUE(r.error.startsWith(prefix)) << r.error.toStdString();
    EXPECT_GT(r.error.size(), prefix.size()) << "no reason given";
}

TEST_F(TextFiles, ReadsWholeFilesAndEmptyOnes) {
    QByteArray bytes;
    for (int i = 0; i < 300000; ++i) bytes.append(static_cast<char>(i * 7));
    Spit(Path("data.bin"), bytes);
    FileRead r = Read(Path("data.bin"));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.bytes, bytes);
    EXPECT_TRUE(r.error.isEmpty());

    Spit(Path("empty.TxT"), {});
    r = Read(Path("empty.TxT"));
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.bytes.isEmpty());
}

TEST_F(TextFiles, ReadFailuresNameThePathAndReason) {
    ExpectReadFails(Path("missing.TxT"));
    QDir(dir.path()).mkdir("folder.TxT");
    ExpectReadFails(Path("folder.TxT"));
    Spit(Path("plain"), "x");
    ExpectReadFails(Path("plain/inside.TxT"));  // parent is a regular file

    ExpectReadFails(QStringLiteral("/dev/zero"));  // endless: never read
    ExpectReadFails(QStringLiteral("/dev/null"));

    // A file that was there and is replaced by a folder of the same name.
    Spit(Path("swap.QvH"), "0A0B");
    ASSERT_TRUE(Read(Path("swap.QvH")).ok);
    ASSERT_TRUE(QFile::remove(Path("swap.QvH")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("swap.QvH"));
    ExpectReadFails(Path("swap.QvH"));
}

TEST(DecodeTextFile, Utf8OrByteText) {
    // Valid UTF-8 with non-ASCII characters is UTF-8.
    EXPECT_EQ(DecodeTextFile("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
              QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    // Windows-1252 bytes are not valid UTF-8: byte text.
    EXPECT_EQ(DecodeTextFile("caf\xE9 \x80 \x9F"), QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8"));
    EXPECT_EQ(DecodeTextFile("plain ascii"), QStringLiteral("plain ascii"));
    EXPECT_EQ(DecodeTextFile(QByteArray()), QString());
    // Forms a lax decoder would take: overlong, surrogate, beyond U+10FFFF,
    // a cut-off sequence at the end, a lone continuation byte.
    for (const QByteArray& bad :
         {QByteArray("\xC0\xAF"), QByteArray("\xE0\x80\xAF"), QByteArray("\xED\xA0\x80"),
          QByteArray("\xF4\x90\x80\x80"), QByteArray("ok \xC3"), QByteArray("\xA9"), QByteArray("\xF5\x80\x80\x80")}) {
        const QByteArray bytes = "x" + bad;
        ASSERT_EQ(DecodeTextFile(bytes).size(), bytes.size()) << bytes.toHex().toStdString();
    }
    // UTF-8 text longer than the eight-byte fast path, with the non-ASCII late.
    const QByteArray longer = QByteArray(37, 'a') + "\xC3\xA9" + QByteArray(20, 'b');
    EXPECT_EQ(DecodeTextFile(longer), QString::fromUtf8(longer));
}

TEST(DecodeTextFile, Utf8AcrossTheFastRunsAgreesWithQt) {
    // Sequences of every length at every offset of the sixteen-byte ASCII
    // runs, line breaks of every kind among them, against Qt's own decoder.
    const QByteArray pieces[] = {"a",
                                 "Z",
                                 " ",
                                 "\r\n",
                                 "\r",
                                 "\n",
                                 "\xC3\xA9",
                                 "\xE2\x82\xAC",
                                 "\xF0\x9F\x98\x80",
                                 "\xEF\xBB\xBF",
                                 "0123456789abcdef"};
    std::mt19937 random(5);
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes;
        const int count = int(random() % 40);
        for (int i = 0; i < count; ++i) bytes += pieces[random() % std::size(pieces)];
        if (bytes.startsWith("\xEF\xBB\xBF")) bytes.prepend('x');  // a leading mark is no character
        QString expected = QString::fromUtf8(bytes);
        expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        if (!bytes.contains('\x80') && !bytes.contains('\xC3') && !bytes.contains('\xE2') && !bytes.contains('\xF0') &&
            !bytes.contains('\xEF'))
            expected =
                QString::fromLatin1(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        ASSERT_EQ(DecodeTextFile(bytes), expected) << bytes.toHex().toStdString();
        // One byte cut from a sequence makes the whole file byte text.
        const qsizetype cut = bytes.indexOf('\x82');
        if (cut > 0) {
            QByteArray broken = bytes;
            broken.remove(cut, 1);
            ASSERT_EQ(DecodeTextFile(broken).size(), broken.size() - broken.count("\r\n"))
                << broken.toHex().toStdString();
        }
    }
}

struct Collect : FileSink {
    QByteArray bytes;
    bool Put(const char* data, qsizetype size) override {
        bytes.append(data, size);
        return true;
    }
};

// A text file of every form, line break and gap of the code page, characters
// beyond it, and sizes across the chunks and the sixteen-byte runs.
QByteArray RandomTextFile(std::mt19937& random) {
    const QByteArray pieces[] = {"abc",
                                 " ",
                                 "\r\n",
                                 "\r",
                                 "\n",
                                 "\xC3\xA9",
                                 "\xE2\x82\xAC",
                                 "\xE2\x80\xA8",
                                 "\xE2\x98\x83",
                                 "\xE9",
                                 "\x81",
                                 "\xEF\xBB\xBF",
                                 QByteArray(70, 'x'),
                                 QByteArray(20000, 'y')};
    const QByteArray starts[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    QByteArray file = starts[random() % std::size(starts)];
    const int count = int(random() % 12);
    for (int i = 0; i < count; ++i) file += pieces[random() % std::size(pieces)];
    if (file.size() % 2 && random() % 2) file += 'z';  // even sizes for the UTF-16 marks too
    return file;
}

// The payload the command line encrypts straight from a file is the one the
// window encrypts after loading it.
TEST(PayloadOfTextFile, SameAsLoadingItIntoTheBox) {
    std::mt19937 random(9);
    for (int round = 0; round < 600; ++round) {
        QByteArray file = RandomTextFile(random);

        QString text = DecodeTextFile(file);
        text.replace(QChar::LineSeparator, u'\n').replace(QChar::ParagraphSeparator, u'\n');
        QByteArray expected;
        const bool representable = MarkedBytes(text, true, expected);
        Collect got;
        QString loneAt;
        ASSERT_EQ(PutPayloadOfTextFile(file, got, &loneAt), representable) << file.toHex().toStdString();
        ASSERT_EQ(loneAt.isEmpty(), representable);
        if (representable) {
            ASSERT_EQ(got.bytes, expected) << file.left(200).toHex().toStdString();
        }
        ASSERT_EQ(IsEmptyTextFile(file), text.isEmpty());
    }
}

// Pieces of random sizes, cut where TextPieceEnd says; the last whole.
template <class Take>
void InPieces(QByteArrayView file, std::mt19937& random, Take take) {
    for (qsizetype at = 0; at < file.size();) {
        QByteArrayView piece = file.sliced(at, qMin<qsizetype>(file.size() - at, 6 + random() % 300));
        if (at + piece.size() < file.size()) piece = piece.first(TextPieceEnd(piece));
        take(piece);
        at += piece.size();
    }
}

// A file read in pieces, scanned by one scan or by two joined, has the
// payload PutPayloadOfTextFile puts, of the size the scan found.
TEST(PayloadOfTextFile, InPiecesAsWhole) {
    std::mt19937 random(10);
    const QByteArray extras[] = {"", QByteArray(1, '\0'), "\xE2\x80\xA9\r", "\xC3\xAF\xC2\xBB\xC2\xBF",
                                 "\xEF\xBB\xBF\xE9"};
    for (int round = 0; round < 600; ++round) {
        QByteArray file = RandomTextFile(random);
        const QByteArray& extra = extras[random() % std::size(extras)];
        // A mark before bytes that are no UTF-8 only counts at the start.
        file.insert(extra.startsWith(kUtf8Mark) ? 0 : random() % (file.size() + 1), extra);
        Collect whole;
        const bool representable = PutPayloadOfTextFile(file, whole);
        EXPECT_FALSE(IsDamagedPayload(whole.bytes)) << file.left(200).toHex().toStdString();

        TextFileScan scan(file.size());
        InPieces(file, random, [&](QByteArrayView piece) { scan.Put(piece); });
        const qsizetype half = file.size() > 40 ? TextPieceEnd(QByteArrayView(file).first(file.size() / 2)) : 0;
        TextFileScan first(file.size()), second(file.size(), half);
        first.Put(QByteArrayView(file).first(half));
        InPieces(QByteArrayView(file).sliced(half), random, [&](QByteArrayView piece) { second.Put(piece); });
        first.Join(second);
        const TextFileLayout layout = scan.Layout(), joined = first.Layout();
        ASSERT_EQ(layout.form, joined.form);
        EXPECT_EQ(layout.empty, IsEmptyTextFile(file));
        if (layout.form == TextFileLayout::Form::Whole) continue;
        ASSERT_TRUE(representable);
        EXPECT_EQ(layout.nul, TextFileHoldsNul(file));
        EXPECT_EQ(joined.nul, layout.nul);
        ASSERT_EQ(layout.payloadSize, whole.bytes.size()) << file.left(200).toHex().toStdString();
        EXPECT_EQ(joined.payloadSize, layout.payloadSize);

        Collect pieces;
        TextFileConversion conversion(layout, pieces);
        InPieces(file, random, [&](QByteArrayView piece) { ASSERT_TRUE(conversion.Put(piece)); });
        ASSERT_TRUE(conversion.Finish());
        ASSERT_EQ(pieces.bytes, whole.bytes) << file.left(200).toHex().toStdString();
    }
}

// The decrypted payload's UTF-8, and its check, cut anywhere.
TEST(PayloadOfTextFile, Utf8TextInPiecesAsWhole) {
    std::mt19937 random(12);
    const QByteArray parts[] = {"ab",
                                "\r",
                                "\n",
                                "\r\n",
                                "\xE9",
                                "\xC3\xA9",
                                "\xF0\x9F\x98\x80",
                                "\xE2\x82",
                                "\xEF\xBB\xBF",
                                QByteArray(40, 'q')};
    for (int round = 0; round < 2000; ++round) {
        QByteArray payload = round % 2 ? QByteArray(kUtf8Mark.data(), 3) : QByteArray();
        for (int i = random() % 12; i > 0; --i) payload += parts[random() % std::size(parts)];
        const bool utf8 = ReadsAsUtf8(payload);
        Collect whole, pieces;
        ASSERT_TRUE(PutUtf8TextOfPayload(payload, whole));
        Utf8TextOfPayload text(utf8, pieces);
        utf8::Validator validator;
        for (qsizetype at = 0; at < payload.size();) {
            const qsizetype size = qMin<qsizetype>(payload.size() - at, random() % 5);
            ASSERT_TRUE(text.Put(QByteArrayView(payload).sliced(at, size)));
            validator.Put(reinterpret_cast<const unsigned char*>(payload.constData()) + at, std::size_t(size));
            at += size;
        }
        ASSERT_TRUE(text.Finish());
        EXPECT_EQ(pieces.bytes, whole.bytes) << payload.toHex().toStdString();
        EXPECT_EQ(validator.Valid(), utf8::IsValid(reinterpret_cast<const unsigned char*>(payload.constData()),
                                                   std::size_t(payload.size())))
            << payload.toHex().toStdString();
    }
}

TEST(DecodeTextFile, ByteOrderMark) {
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFplain"), QStringLiteral("plain"));
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF"), QString());
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF\xC3\xA9"), QString::fromUtf8("\xC3\xA9"));
    // A mark followed by bytes that are not UTF-8: every byte survives.
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF\xE9"), QString::fromUtf8("\xC3\xAF\xC2\xBB\xC2\xBF\xC3\xA9"));
}

TEST(DecodeTextFile, LineBreaks) {
    EXPECT_EQ(DecodeTextFile("a\r\nb\rc\nd\r"), QStringLiteral("a\nb\nc\nd\n"));
    EXPECT_EQ(DecodeTextFile("\r\r\n\n\r"), QStringLiteral("\n\n\n\n"));
    EXPECT_EQ(DecodeTextFile("\xC3\xA9\r\n\xC3\xA9"), QString::fromUtf8("\xC3\xA9\n\xC3\xA9"));
    EXPECT_EQ(DecodeTextFile("\xE9\r\n\xE9\r"), QString::fromUtf8("\xC3\xA9\n\xC3\xA9\n"));
}

TEST_F(TextFiles, SaveCreatesAndReplacesExactly) {
    const QString target = Path("key.QvP");
    EXPECT_EQ(Save(target, "0123456789"), std::nullopt);
    EXPECT_EQ(Slurp(target), "0123456789");
    EXPECT_EQ(Save(target, "abc"), std::nullopt);
    EXPECT_EQ(Slurp(target), "abc");
    EXPECT_EQ(QFile(target).size(), 3);
    EXPECT_EQ(Save(target, {}), std::nullopt);
    EXPECT_EQ(QFile(target).size(), 0);
    EXPECT_EQ(Entries(), QStringList{"key.QvP"}) << "a temporary file was left behind";
}

void ExpectSaveError(const std::optional<QString>& error, const QString& path) {
    ASSERT_TRUE(error.has_value()) << "save reported success: " << path.toStdString();
    const QString prefix = QStringLiteral("Cannot save %1: ").arg(path);
    EXPECT_TRUE(error->startsWith(prefix)) << error->toStdString();
    EXPECT_GT(error->size(), prefix.size()) << "no reason given";
}

TEST_F(TextFiles, FailedSavesReportAndLeaveTheOldFile) {
    Spit(Path("plain"), "I am a file");
    ExpectSaveError(Save(Path("plain/notes.TxT"), "new"), Path("plain/notes.TxT"));
    EXPECT_EQ(Slurp(Path("plain")), "I am a file");

    QDir(dir.path()).mkdir("folder.TxT");
    Spit(Path("folder.TxT/inner"), "kept");
    ExpectSaveError(Save(Path("folder.TxT"), "new"), Path("folder.TxT"));
    EXPECT_EQ(Slurp(Path("folder.TxT/inner")), "kept");

    ExpectSaveError(Save(Path("no/such/folder/x.TxT"), "new"), Path("no/such/folder/x.TxT"));
    EXPECT_EQ(Entries(), (QStringList{"folder.TxT", "plain"}));
}

// A write that fails half-way (the file-size limit stands in for a full disk,
// which even root cannot override) leaves the old file whole.
TEST_F(TextFiles, WriteFailingMidwayKeepsTheOldFile) {
    const QString target = Path("old.TxT");
    Spit(target, "old contents");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const auto error = Save(target, QByteArray(1 << 20, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    ExpectSaveError(error, target);
    EXPECT_FALSE(error->contains(QLatin1String("Unknown error"))) << error->toStdString();
    EXPECT_EQ(Slurp(target), "old contents");
    EXPECT_EQ(Entries(), QStringList{"old.TxT"}) << "a temporary file was left behind";
}

TEST_F(TextFiles, SavedBytesReadBackUnchanged) {
    QByteArray bytes;
    for (int i = 0; i < 256; ++i) bytes.append(static_cast<char>(i));
    const QString target = Path("all.QvH");
    ASSERT_EQ(Save(target, bytes), std::nullopt);
    const FileRead r = Read(target);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bytes, bytes);
}

// What "&Save Tex File" writes, "&Load Tex File" reads back as the same text.
TEST(TextFileEncoding, EverySavedTextLoadsBackExactly) {
    const QString mass = QString::fromUtf8("Das Ma\u00DF\u201C steht am Fu\u00DF\u00BB des Bergs");
    const QList<QString> texts = {
        mass,  // its Windows-1252 bytes DF 93 and DF BB happen to be valid UTF-8
        QString::fromUtf8("\u00C3\u00A9t\u00E9"),  // "é" written as UTF-8 and read as byte text
        QString::fromUtf8("\u00EF\u00BB\u00BFstarts like a mark"),  // byte text EF BB BF
        QString::fromUtf8("\u00FF\u00FEor a UTF-16 mark"),  // byte text FF FE, even length
        QString::fromUtf8("\u00FE\u00FF"),
        QChar(0xFEFF) + QString::fromUtf8("a mark that is part of the text \u2603"),
        QString(QChar(0xFEFF)),
        QString(QChar(0xFEFF)) + QChar(0xFEFF) + u'x',
        QChar(0xFEFF) + QString::fromUtf8("\u00E9 in the code page"),
        QString::fromUtf8("snow \u2603 and caf\u00E9\nline"),
        QStringView(u"lone \xD800 half and a pair \xD83D\xDE00\nend").toString(),
        QStringLiteral("plain\nlines\n\nend\n"),
        QString::fromUtf8("caf\u00E9 \u20AC \u0178"),  // byte text that is not UTF-8
        QString(),
    };
    for (const QString& text : texts) {
        const QByteArray bytes = EncodeTextFile(text);
        EXPECT_EQ(DecodeTextFile(bytes), text) << bytes.toHex(' ').toStdString();
    }
    // Texts that read back as they are keep today's bytes.
    EXPECT_EQ(EncodeTextFile(QString::fromUtf8("caf\u00E9\n\u20AC")), QByteArray("caf\xE9\r\n\x80"));
    EXPECT_EQ(EncodeTextFile(QStringLiteral("abc")), QByteArray("abc"));
    // The others go as UTF-8 with the mark, line breaks as CR LF.
    EXPECT_EQ(EncodeTextFile(QString::fromUtf8("Ma\u00DF\u201C\nx")), QByteArray("\xEF\xBB\xBF"
                                                                                 "Ma\xC3\x9F\xE2\x80\x9C\r\nx"));
}

TEST(DecodeTextFile, Utf16WithItsMark) {
    EXPECT_EQ(DecodeTextFile(QByteArray("\xFF\xFEh\0i\0\r\0\n\0\x03&", 12)), QString::fromUtf8("hi\n\u2603"));
    EXPECT_EQ(DecodeTextFile(QByteArray("\xFE\xFF\0h\0i\0\r&\x03", 10)), QString::fromUtf8("hi\n\u2603"));
    // An odd length is no UTF-16: byte text, every byte kept.
    EXPECT_EQ(DecodeTextFile(QByteArray("\xFF\xFEh", 3)), QString::fromUtf8("\u00FF\u00FEh"));
}

TEST_F(TextFiles, HexFilesWithAByteOrderMarkLoadAsTheirDigits) {
    QString hex, error;
    Spit(Path("utf8.QvH"),
         "\xEF\xBB\xBF"
         "0A1B\r\n2C3D");
    ASSERT_TRUE(LoadHexFile(Path("utf8.QvH"), hex, &error)) << error.toStdString();
    EXPECT_EQ(hex, QStringLiteral("0A1B2C3D"));
    Spit(Path("stray.QvH"), QByteArray("\xEF\xBB\xBF"
                                       "0A1B\xFF"));  // a mark before bytes that are no UTF-8
    ASSERT_TRUE(LoadHexFile(Path("stray.QvH"), hex, &error)) << error.toStdString();
    EXPECT_TRUE(hex.startsWith(QStringLiteral("0A1B"))) << hex.toStdString();
    Spit(Path("utf16.QvH"), QByteArray("\xFF\xFE"
                                       "0\0A\0\r\0\n\0"
                                       "1\0B\0",
                                       14));
    ASSERT_TRUE(LoadHexFile(Path("utf16.QvH"), hex, &error)) << error.toStdString();
    EXPECT_EQ(hex, QStringLiteral("0A1B"));
}

mode_t ModeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 07777;
    return st.st_mode & 07777;
}

// A new file may hold a password or a text: owner-only, whatever the umask.
// A replaced file keeps the mode its owner gave it.
TEST_F(TextFiles, NewFilesAreOwnerOnlyAndReplacedOnesKeepTheirMode) {
    for (const mode_t mask : {mode_t{022}, mode_t{0}, mode_t{077}}) {
        const mode_t saved = ::umask(mask);
        const QString target = Path(QStringLiteral("new-%1.QvP").arg(mask, 0, 8));
        EXPECT_EQ(Save(target, "secret"), std::nullopt);
        ::umask(saved);
        EXPECT_EQ(ModeOf(target), mode_t{0600}) << "umask " << std::oct << mask;
    }
    for (const mode_t mode : {mode_t{0644}, mode_t{0640}, mode_t{0604}}) {
        const QString target = Path(QStringLiteral("old-%1.TxT").arg(mode, 0, 8));
        Spit(target, "old");
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), mode), 0);
        const mode_t saved = ::umask(077);
        EXPECT_EQ(Save(target, "new"), std::nullopt);
        ::umask(saved);
        EXPECT_EQ(ModeOf(target), mode) << std::oct << mode;
        EXPECT_EQ(Slurp(target), "new");
    }
    // The process's umask is as it was.
    const mode_t before = ::umask(022);
    EXPECT_EQ(Save(Path("after.TxT"), "x"), std::nullopt);
    EXPECT_EQ(::umask(before), mode_t{022});
}

}  // namespace

// A file name's bytes survive the string a message and the parser carry:
// any bytes come back exactly, UTF-8 reads as UTF-8, and a byte that is not
// UTF-8 is shown escaped.
TEST(FileNames, AnyBytesComeBackAndShowEscaped) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(static_cast<qsizetype>(random() % 12), '\0');
        for (char& b : bytes) b = static_cast<char>(random() % 2 ? 0x80 + random() % 0x80 : random() % 0x80);
        ASSERT_EQ(NameBytes(NameFromBytes(bytes)), bytes) << bytes.toHex().constData();
    }
    for (const char* name : {"notes.txt", "caf\xC3\xA9 \xE4\xB8\x96.txt", "\xF0\x9F\x94\x91", "\xED\xB3\xA9"})
        EXPECT_EQ(NameBytes(NameFromBytes(name)), QByteArray(name));
    EXPECT_EQ(NameFromBytes("caf\xC3\xA9"), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(ShownName(NameFromBytes("caf\xE9\x1B.txt")), QStringLiteral("caf\\xE9\\x1B.txt"));
    EXPECT_EQ(ShownName(NameFromBytes("\xED\xB3\xA9")),
              QStringLiteral("\\xED\\xB3\\xA9"));  // a surrogate's UTF-8 is none
}
