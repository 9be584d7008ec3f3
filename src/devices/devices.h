// SPDX-License-Identifier: GPL-3.0-or-later
// The device families together: which there are, in the order of their pages,
// and the steps that give a session and a command table all of them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/device_family.h"

namespace tolvex {

class CommandTable;
class Session;

// One of each family, in the order of their pages.
std::vector<std::unique_ptr<const DeviceFamily>> makeDeviceFamilies();
// How each family that keeps patches splits its messages, in the same order.
std::vector<PatchFamily> patchFamilies();
// One of them by its PatchFamily::name; nothing when no family has that name.
std::optional<PatchFamily> patchFamily(const std::string& name);

// Gives the session its families and their naming steps; a session that has
// them already is left as it is. Front ends call it before anything is named.
void installDeviceFamilies(Session& s);

// Adds every family's pages, boxes and commands to `table`, and binds the
// commands that read several families (the CSV bank files).
void registerDeviceFamilies(CommandTable& table);

}  // namespace tolvex
