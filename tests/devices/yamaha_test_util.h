// SPDX-License-Identifier: GPL-3.0-or-later
// Fixtures and hand-built messages shared by the Yamaha tests.
#pragma once

#include <string>
#include <vector>

#include "core/sysex/syx_file.h"
#include "core/text/bytes.h"

namespace tolvex::testing {

inline const std::string kYamahaFixtures = std::string(TOLVEX_FIXTURES_DIR) + "/yamaha/";

// The messages of a fixture file, as Open Sysex reads them.
inline std::vector<Bytes> yamahaFixture(const std::string& name)
{
    return readSyxFile(kYamahaFixtures + name).messages;
}

inline Bytes textBytes(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

inline Bytes joined(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Upper-case hex pairs separated by blanks.
inline std::string hexOf(ByteView bytes)
{
    std::string out;
    for (std::uint8_t b : bytes) out += format("%s%02X", out.empty() ? "" : " ", b);
    return out;
}

}  // namespace tolvex::testing
