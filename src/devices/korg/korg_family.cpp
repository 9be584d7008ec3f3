// SPDX-License-Identifier: GPL-3.0-or-later
// The Korg instruments Tolvex names but has no page for: the M1 with its
// functions, and the models named by name only.
#include "core/app/device_family.h"
#include "core/sysex/naming_tables.h"
#include "devices/common/korg_confirmation.h"
#include "devices/common/korg_naming.h"

namespace tolvex {

namespace {

using namespace naming;

constexpr IdText kM1Rows[] = {
    {0x21, " : Write Completed"},
    {0x22, " : Write ERROR"},
    {0x23, " : Data Load Completed"},
    {0x24, " : Data Load ERROR"},
    {0x26, " : Received Data ERROR"},
    {0x40, " : Program Parameter Dump"},
    {0x41, " : Parameter Change"},
    {0x42, " : mode data"},
    {0x45, " : All Multisound name"},
    {0x47, " : All Drum sound name"},
    {0x48, " : ALL Sequence Data Dump"},
    {0x49, " : Combination Dump"},
    {0x4C, " : ALL Program Dump"},
    {0x4D, " : ALL Combination Dump"},
    {0x4E, " : Mode Change"},
    {0x50, " : ALL Data Dump"},
    {0x51, " : Global Data Dump"},
};
constexpr ByIdTable kM1 = byId(kM1Rows);

// The M1 answers the dumps it loads as the Triton does: its Program, sequence,
// Combination, all-data and global dumps.
constexpr std::uint8_t kM1AnsweredDumps[] = {0x40, 0x48, 0x49, 0x4C, 0x4D, 0x50, 0x51};

class KorgFamily final : public DeviceFamily {
public:
    std::optional<DumpConfirmation> confirmation(ByteView sx) const override
    {
        return korgDumpConfirmation(sx, {0x19, "M1 Synthesizer", kM1AnsweredDumps});
    }
    const char* name() const override { return "Korg"; }
    std::vector<std::string> fixtures() const override { return {"tests/fixtures/korg/03rw-program-bank.syx"}; }
    void addNamers(Session&, FamilyNamers& namers) const override
    {
        namers.add(korgModelNamer(0x19, "M1 Synthesizer", [](ByteView sx, NameParts& out) {
            if (const char* text = kM1[sx[4]]) out.name += text;
        }));
        for (const auto& [model, name] : {std::pair<std::uint8_t, const char*>{0x24, "M3R"},
                                          {0x2B, "O1/W"},
                                          {0x30, "O3R/W"},
                                          {0x36, "O5R/W"},
                                          {0x39, "I3"}})
            namers.add(korgModelNamer(model, name));
    }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeKorgFamily()
{
    return std::make_unique<KorgFamily>();
}

}  // namespace tolvex
