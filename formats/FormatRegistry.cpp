// SPDX-License-Identifier: MIT
#include "formats/FormatRegistry.h"

#include <algorithm>

#include "formats/AgeFormat.h"
#include "formats/LegacyFormat.h"

namespace quelvane {

CiphertextFormats::CiphertextFormats() {
    formats.push_back(std::make_unique<LegacyFormat>());  // first: the default and the fallback
    formats.push_back(std::make_unique<AgeFormat>());
    chosen = formats.front().get();
}

CiphertextFormats::~CiphertextFormats() = default;

CiphertextFormat* CiphertextFormats::ByName(QStringView name) {
    for (const auto& format : formats)
        if (format->Name() == name) return format.get();
    return nullptr;
}

bool CiphertextFormats::Choose(QStringView name) {
    CiphertextFormat* format = ByName(name);
    if (format) chosen = format;
    return format != nullptr;
}

CiphertextFormat& CiphertextFormats::Detect(QByteArrayView head) {
    head = head.first(std::min(head.size(), CiphertextFormat::kHeadBytes));
    for (const auto& format : formats)
        if (format->Claims(head)) return *format;
    return Legacy();
}

CiphertextFormat& CiphertextFormats::DetectText(QStringView text) {
    // Its first characters as UTF-8: at least as many bytes as Claims looks at.
    return Detect(text.first(std::min(text.size(), CiphertextFormat::kHeadBytes)).toUtf8());
}

bool CiphertextFormats::ReadHead(const ByteSource& in, QByteArray& head) {
    head.resize(static_cast<qsizetype>(std::min<qint64>(in.Size(), CiphertextFormat::kHeadBytes)));
    if (head.isEmpty() || in.Read(0, head.data(), head.size())) return true;
    head.clear();
    return false;
}

void CiphertextFormats::SetTemporaryParent(const QString& parent) {
    for (const auto& format : formats) format->SetTemporaryParent(parent);
}

void CiphertextFormats::OnBusy(const std::function<void(bool)>& listener) {
    for (const auto& format : formats) format->OnBusy(listener);
}

}  // namespace quelvane
