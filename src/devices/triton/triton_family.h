// SPDX-License-Identifier: GPL-3.0-or-later
// The Korg Triton family: the "Triton" page and its naming step.
#pragma once

#include <memory>

#include "core/app/device_family.h"

// The controls of the "Triton" page, as the session keys their values and the window names its widgets.
namespace tolvex::ctl {
inline constexpr char TriProg[] = "TriProg";
inline constexpr char TriBank[] = "TriBank";
inline constexpr char TriEfxPIDtxt[] = "TriEfxPIDtxt";
inline constexpr char Tri_Gchan[] = "Tri_Gchan";
}  // namespace tolvex::ctl

namespace tolvex {

std::unique_ptr<const DeviceFamily> makeTritonFamily();

}  // namespace tolvex
