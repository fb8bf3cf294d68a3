// SPDX-License-Identifier: MIT
// The window in German, as the system's language (LANGUAGE=de, set by ctest)
// picks it: captions, a message and the about window; the English texts
// stay the source, checked word for word by the other window tests.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QtTest>

#include "about/Info1.h"
#include "core/Translations.h"
#include "tests/support/WindowFixture.h"

using namespace quelvane;

class TranslationTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InstallTranslations(); }
    void germanCaptionsAndMessages();
};

void TranslationTest::germanCaptionsAndMessages() {
    WindowFixture t;
    QCOMPARE(t.w->findChild<QMenu*>(QStringLiteral("File1"))->title(), QStringLiteral("&Datei"));
    QCOMPARE(t.Action("Exit1")->text(), QStringLiteral("&Beenden"));
    QCOMPARE(t.Action("EncryptAsAge")->text(), QString::fromUtf8("Als a&ge verschlüsseln"));
    QVERIFY(t.w->findChild<QLabel*>(QStringLiteral("FormatShown"))
                ->text()
                .startsWith(QString::fromUtf8("Verschlüsselt als")));
    QCOMPARE(t.Key()->toolTip(), QString::fromUtf8("Passwort eingeben (höchstens 448 Zeichen)"));
    QCOMPARE(t.w->windowTitle(), QStringLiteral(" Quelvane"));  // the program's name stays

    t.Action("Quelvane")->trigger();
    QCOMPARE(t.ws.messages.size(), 1);
    QCOMPARE(t.ws.messages[0].text, QStringLiteral("Kein Passwort gesetzt. Bitte geben Sie zuerst ein Passwort ein."));
    QCOMPARE(t.ws.messages[0].title, QStringLiteral("Quelvane"));

    QCOMPARE(Info1::Lines().at(3), QStringLiteral(" Beschreibung"));
    QCOMPARE(Info1::Lines().size(), 10);
}

QTEST_MAIN(TranslationTest)
#include "translation_test.moc"
