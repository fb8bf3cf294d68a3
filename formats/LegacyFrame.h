// SPDX-License-Identifier: MIT
#pragma once
// How the roads judge decrypted bytes by the legacy frame: the frame's size
// descriptor and the end marker with its line end after the text.
#include <QByteArrayView>

namespace quelvane {

// The end marker and line end after the text in the plain bytes.
inline constexpr QByteArrayView kEndLine("\xFE\r\n", 3);

// The frame and marker test: the decrypted bytes of a ciphertext of
// cipherSize bytes are a whole text when the frame's size descriptor was
// valid and they end in the marker and CR LF.
bool IsWholeText(qint64 cipherSize, QByteArrayView plain);
// The same for decrypted bytes not held whole: their size and their last
// bytes (three at least, where there are as many).
bool IsWholeText(qint64 cipherSize, qint64 plainSize, QByteArrayView plainEnd);

}  // namespace quelvane
