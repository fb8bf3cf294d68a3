// SPDX-License-Identifier: MIT
#pragma once
// The program's translations, built into it, and Qt's own for its dialogs
// and buttons where the system has them. The system's language (LANGUAGE,
// then LC_ALL, LC_MESSAGES or LANG) picks them; English is the source.

namespace quelvane {

// Installs them into the running QCoreApplication.
void InstallTranslations();

}  // namespace quelvane
