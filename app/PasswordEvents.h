// SPDX-License-Identifier: MIT
#pragma once
// Qt's password box hands the characters typed into it to screen readers in
// its text-changed events, although its text reads as stars; any program on
// the desktop's accessibility bus can listen. MaskPasswordEvents makes those
// events carry a star for every character instead, as the box shows them.

namespace quelvane {

// Installs the masking for the whole program, in front of any update handler
// installed before; calling it again keeps it once.
void MaskPasswordEvents();

}  // namespace quelvane
