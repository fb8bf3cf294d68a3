// SPDX-License-Identifier: MIT
// The window's own road for the command-line tests, without the window:
//   road_helper encrypt PASSWORDFILE TEXTFILE  "&Load PassWord", "&Load Tex File", "&Quelvane": the hex text
//   road_helper decrypt PASSWORDFILE HEXFILE   "&Load Quelvane", "&DeQuelvane", "&Save Tex File": the bytes
// Exit status 3 for a wrong password, 1 for any other failure.
#include <QString>
#include <cstdio>

#include "core/FileLoads.h"
#include "formats/TextCipher.h"
#include "text/TextFileCodec.h"

namespace {

int Fail(const QString& message) {
    std::fprintf(stderr, "road_helper: %s\n", message.toUtf8().constData());
    return 1;
}

void Put(const QByteArray& bytes) { std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return Fail(QStringLiteral("usage: road_helper encrypt|decrypt PASSWORDFILE FILE"));
    const QString command = QString::fromLocal8Bit(argv[1]);
    QString password, error;
    if (!quelvane::LoadPasswordFile(QString::fromLocal8Bit(argv[2]), password, nullptr, &error)) return Fail(error);
    quelvane::TextCipher road;
    if (command == QLatin1String("encrypt")) {
        QString text, hex;
        if (!quelvane::LoadTextFile(QString::fromLocal8Bit(argv[3]), text, &error)) return Fail(error);
        if (!road.Encrypt(password, text, hex, &error)) return Fail(error);
        Put(hex.toLatin1());
        return 0;
    }
    QString hex;
    if (!quelvane::LoadHexFile(QString::fromLocal8Bit(argv[3]), hex, &error)) return Fail(error);
    quelvane::TextCipher::Decryption result;
    if (!road.Decrypt(password, hex, result, &error)) return Fail(error);
    if (result.wrongPassword) return 3;
    Put(quelvane::EncodeTextFile(result.text));
    return 0;
}
