// SPDX-License-Identifier: GPL-3.0-or-later
// The programs plug the device families' naming steps in at start; so do the
// core tests, which name messages of every maker.
#include <gtest/gtest.h>

#include "devices/devices.h"

namespace {

class FamiliesEnvironment : public ::testing::Environment {
public:
    void SetUp() override { tolvex::registerDeviceFamilies(); }
};

[[maybe_unused]] ::testing::Environment* const families = ::testing::AddGlobalTestEnvironment(new FamiliesEnvironment);

}  // namespace
