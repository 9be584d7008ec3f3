// SPDX-License-Identifier: GPL-3.0-or-later
// The Peavey SP sampler family: the "SP" page and its naming step.
#pragma once

#include <memory>

#include "core/app/device_family.h"

// The controls of the "SP" page, as the session keys their values and the window names its widgets.
namespace tolvex::ctl {
inline constexpr char SP_DevID_edit[] = "SP_DevID_edit";
inline constexpr char SP_Bank_Num_edit[] = "SP_Bank_Num_edit";
}  // namespace tolvex::ctl

namespace tolvex {

std::unique_ptr<const DeviceFamily> makePeaveyFamily();

}  // namespace tolvex
