// SPDX-License-Identifier: MIT
#include "core/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace quelvane {

namespace {

void Install(const QString& name, const QString& folder) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(), name, QStringLiteral("_"), folder))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

}  // namespace

void InstallTranslations() {
    Install(QStringLiteral("quelvane"), QStringLiteral(":/i18n"));
    Install(QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

}  // namespace quelvane
