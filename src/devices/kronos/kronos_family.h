// SPDX-License-Identifier: GPL-3.0-or-later
// The Korg Kronos family: the "Kronos" page, its "Special" menu entries, the
// timbre-copy window and its naming step.
#pragma once

#include <memory>

#include "core/app/device_family.h"

// The controls of the "Kronos" page, as the session keys their values and the window names its widgets.
namespace tolvex::ctl {
inline constexpr char KroProg[] = "KroProg";
inline constexpr char KroBank[] = "KroBank";
inline constexpr char BankTextMemo1[] = "BankTextMemo1";
}  // namespace tolvex::ctl

namespace tolvex {

std::unique_ptr<const DeviceFamily> makeKronosFamily();

}  // namespace tolvex
