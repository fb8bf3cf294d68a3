// SPDX-License-Identifier: MIT
// Quelvane: encrypts a text with a password into hex text and back.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/QtWindowSystem.h"
#include "app/Signals.h"
#include "app/frmMain.h"
#include "core/Translations.h"
#include "system/Platform.h"
#include "system/TemporaryFolder.h"
#include "text/QtByteText.h"

int main(int argc, char** argv) {
    // Before anything holds a secret: no core file, no attaching.
    QString error;
    if (!quelvane::ProtectProcessMemory(&error)) qWarning("%s", qPrintable(error));
    // Runs killed in the middle of a command may have left their text behind.
    quelvane::TemporaryFolder::RemoveAbandoned();

    // After "--" every argument is a file, even one named like an option of
    // Qt's (-style, -reverse): Qt is shown only what comes before.
    QStringList afterDashes;
    int qtArgc = argc;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") != 0) continue;
        qtArgc = i;
        for (int file = i + 1; file < argc; ++file) afterDashes << quelvane::NameFromBytes(argv[file]);
        break;
    }
    QApplication app(qtArgc, argv);
    quelvane::InstallTranslations();
    QApplication::setOrganizationName(QStringLiteral("Quelvane"));
    QApplication::setApplicationName(QStringLiteral("Quelvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUELVANE_VERSION));
    // The desktop entry's name: Wayland compositors match the window to it.
    QGuiApplication::setDesktopFileName(QStringLiteral("quelvane"));

    // What Qt left: files, or --help and --version. An unknown option is a
    // mistake typed in a terminal (file managers pass absolute paths): it is
    // told there, and no window opens.
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);  // as Qt's own: -style
    parser.setApplicationDescription(
        QCoreApplication::translate("main",
                                    "Encrypts a text with a password into hex ciphertext and back. Each FILE "
                                    "is loaded in order: .QvH as hex text, .age (armored or binary) as an "
                                    "age text, .TxT as text, .QvP as the password."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QCoreApplication::translate("main", "FILE"),
                                 QCoreApplication::translate("main", "A .QvH, .age, .TxT or .QvP file to load."),
                                 QCoreApplication::translate("main", "[FILE...] [-- FILE...]"));
    // The arguments Qt left, from their bytes: a file name that is not UTF-8
    // opens its own file (Qt's decoding would make it another name).
    QStringList arguments;
    for (int i = 0; i < qtArgc; ++i) arguments << quelvane::NameFromBytes(argv[i]);
    if (!parser.parse(arguments)) {
        const QString message = QCoreApplication::translate("main",
                                                            "quelvane: %1\nTry 'quelvane --help' for more "
                                                            "information.\n")
                                    .arg(parser.errorText());
        std::fputs(message.toLocal8Bit().constData(), stderr);
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
    const QStringList files = parser.positionalArguments() + afterDashes;

    int status = 0;
    {
        quelvane::QtWindowSystem windowSystem;
        quelvane::frmMain window(windowSystem);
        windowSystem.SetMainWindow(&window);
        quelvane::CloseOnSignals([&window] { window.CloseWithoutAsking(); });
        window.CentreOnScreen();
        window.show();
        // Once the window is up, so that a file's message box has it to stand on.
        if (!files.isEmpty()) QTimer::singleShot(0, &window, [&window, files] { window.LoadStartFiles(files); });
        status = app.exec();
    }  // the window and its temporary folder are gone here
    if (const int signal = quelvane::SignalThatClosed()) quelvane::EndWithSignal(signal);
    return status;
}
