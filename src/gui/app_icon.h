// SPDX-License-Identifier: GPL-3.0-or-later
// The program's icon, drawn as packaging/org.tolvex.Tolvex.svg draws it, so the
// window has it without an SVG image plugin or an installed icon theme.
#pragma once

#include <QIcon>

namespace tolvex {

// The desktop file (packaging/org.tolvex.Tolvex.desktop) the window belongs to.
inline constexpr char kDesktopFileName[] = "org.tolvex.Tolvex";

QIcon tolvexIcon();

}  // namespace tolvex
