// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton to Kronos conversion as a family: its command and options on the
// "Kronos" page, the Kronos and conversion tables read at start, the value maps.
#pragma once

#include <memory>

#include "core/app/device_family.h"

// The controls of the conversion, as the session keys their values and the window names its widgets.
namespace tolvex::ctl {
inline constexpr char PassPrgBank[] = "PassPrgBank";
inline constexpr char AutoSendCB[] = "AutoSendCB";
}  // namespace tolvex::ctl

namespace tolvex {

std::unique_ptr<const DeviceFamily> makeTritonToKronosFamily();

}  // namespace tolvex
