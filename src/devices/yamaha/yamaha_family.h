// SPDX-License-Identifier: GPL-3.0-or-later
// The Yamaha DX7, DX7II and TX802 family: the "DX/TX" page.
#pragma once

#include <memory>

#include "core/app/device_family.h"

namespace tolvex {

std::unique_ptr<const DeviceFamily> makeYamahaFamily();

}  // namespace tolvex
