// SPDX-License-Identifier: GPL-3.0-or-later
// The Ensoniq instruments Tolvex names (no page): the model in byte 2, the
// message type in byte 5.
#include "core/app/device_family.h"

namespace tolvex {

namespace {

// Message types 0x00-0x0B; columns VFX SD / SD-1, SQ-1, TS-10.
constexpr const char* kTypes[12][3] = {
    {" : Command", " : Command", " : Command"},
    {" : Error", " : Error", " : Error"},
    {" : One Program", " : Single Sound", nullptr},
    {" : All Programs", " : All Sounds", " : One Program"},
    {" : One Preset", " : Single Sequence", " : 60 Programs"},
    {" : All Presets", " : All Sequences", " : One Preset"},
    {nullptr, nullptr, " : 60 Presets"},
    {nullptr, nullptr, " : Single Sequence"},
    {nullptr, nullptr, " : All Sequences"},
    {" : Single Sequence Dump", nullptr, " : Track Parameters"},
    {" : All Sequence Dump", nullptr, nullptr},
    {" : Track Parameters", nullptr, nullptr},
};
constexpr const char* kModels[3] = {"VFX SD / SD-1", "SQ-1", "TS-10"};

class EnsoniqFamily final : public DeviceFamily {
public:
    const char* name() const override { return "Ensoniq"; }
    std::vector<std::string> fixtures() const override { return {"tests/fixtures/ensoniq/vfx-all-programs.syx"}; }
    void addNamers(Session&, FamilyNamers& namers) const override
    {
        for (std::uint8_t model = 0x05; model <= 0x07; ++model)
            namers.add({{0x0F}, 2, model, [column = model - 0x05](ByteView sx, NameParts& out) {
                            out.name += " - ";
                            out.name += kModels[column];
                            if (sx.size() <= 5 || sx[5] >= std::size(kTypes)) return;
                            if (const char* type = kTypes[sx[5]][column]) out.name += type;
                        }});
    }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeEnsoniqFamily()
{
    return std::make_unique<EnsoniqFamily>();
}

}  // namespace tolvex
