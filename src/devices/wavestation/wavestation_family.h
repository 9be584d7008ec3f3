// SPDX-License-Identifier: GPL-3.0-or-later
// The Korg Wavestation SR family: the "Wavestation" page.
#pragma once

#include <memory>

#include "core/app/device_family.h"

// The controls of the "Wavestation" page, as the session keys their values and the window names its widgets.
namespace tolvex::ctl {
inline constexpr char WS_Bank[] = "WS_Bank";
}  // namespace tolvex::ctl

namespace tolvex {

std::unique_ptr<const DeviceFamily> makeWavestationFamily();

}  // namespace tolvex
