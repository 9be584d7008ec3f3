// SPDX-License-Identifier: GPL-3.0-or-later
// The device families' modules, one folder each: every factory gives its
// family's page, commands, naming steps and tables (`DeviceFamily`);
// devices/devices.cpp lists them in the order of their pages.
#pragma once

#include <memory>

#include "core/app/device_family.h"

namespace tolvex {

std::unique_ptr<const DeviceFamily> makeYamahaFamily();
std::unique_ptr<const DeviceFamily> makePeaveyFamily();
std::unique_ptr<const DeviceFamily> makeWavestationFamily();
std::unique_ptr<const DeviceFamily> makeTritonFamily();
std::unique_ptr<const DeviceFamily> makeKronosFamily();
std::unique_ptr<const DeviceFamily> makeTritonToKronosFamily();

}  // namespace tolvex
