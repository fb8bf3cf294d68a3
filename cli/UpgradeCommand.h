// SPDX-License-Identifier: MIT
#pragma once
// quelvane-cli upgrade: legacy hex ciphertext files rewritten as armored age
// files beside them, under the same password, the old files kept.
#include <QString>

#include "cli/Context.h"

namespace quelvane::cli {

// Where a FILE's age file goes, in FILE's own folder: FILE.QvH becomes
// FILE.age, any other name NAME becomes NAME.age.
QString UpgradeTarget(const QString& file);

// Upgrades every FILE on the line: the text decrypted as decrypt gives it
// (UTF-8, LF line breaks), encrypted into an age file that takes its name
// only once its own decryption gave the same text back. A failing FILE
// stops none of the others. Returns the exit status.
int Upgrade(Context& run);

}  // namespace quelvane::cli
