// SPDX-License-Identifier: MIT
#pragma once
// The formats this build knows, and the one place that tells their
// ciphertexts apart. A new format is one more line in the constructor.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <functional>
#include <memory>
#include <vector>

#include "formats/ByteSource.h"
#include "formats/CiphertextFormat.h"

namespace quelvane {

// Every format this build knows, each one instance (a format may keep state
// between the window's commands, such as its temporary folder).
class CiphertextFormats {
public:
    CiphertextFormats();
    ~CiphertextFormats();
    CiphertextFormats(const CiphertextFormats&) = delete;
    CiphertextFormats& operator=(const CiphertextFormats&) = delete;

    // The legacy hex format: the default for new ciphertext, and the
    // format of whatever no other format claims.
    CiphertextFormat& Legacy() { return *formats.front(); }
    // The format of that name, null for none.
    CiphertextFormat* ByName(QStringView name);
    // The format new ciphertext is made in: the legacy one until chosen.
    CiphertextFormat& Chosen() { return *chosen; }
    // False (and the choice kept) for a name no format has.
    bool Choose(QStringView name);

    // The format of a file's first bytes (at least kHeadBytes where the
    // file has as many), or of a text: the first that claims it, else the
    // legacy format.
    CiphertextFormat& Detect(QByteArrayView head);
    CiphertextFormat& DetectText(QStringView text);
    // The head of a stream, for Detect; false with errno when it cannot be read.
    static bool ReadHead(const ByteSource& in, QByteArray& head);

    // Settings the window gives every format.
    void SetTemporaryParent(const QString& parent);
    void OnBusy(const std::function<void(bool)>& listener);

    const std::vector<std::unique_ptr<CiphertextFormat>>& All() const { return formats; }

private:
    std::vector<std::unique_ptr<CiphertextFormat>> formats;  // the legacy format first
    CiphertextFormat* chosen = nullptr;
};

}  // namespace quelvane
