// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton/triton_sysex.h"

#include <optional>

#include "core/app/controls.h"
#include "core/app/device_commands.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/app/session.h"
#include "core/app/sysex_out.h"
#include "core/text/text_utils.h"
#include "devices/triton/triton_names.h"

namespace tolvex {

namespace {

// The Channel box as a global channel 0-15, or nothing after its box: a
// channel OR-ed into 0x30 beyond that range would make another byte.
std::optional<int> channelOf(Session& s)
{
    return checkedChannel(s, 15, "The Channel bank must be between 0 and 15");
}

Bytes header(int channel)
{
    return {0xF0, 0x42 /* Korg */, static_cast<std::uint8_t>(0x30 | channel), 0x50 /* Triton */};
}

bool sendCurrentRequest(Session& s, int channel, std::uint8_t function)
{
    Bytes m = header(channel);
    m.insert(m.end(), {function, 0x00, 0xF7});
    return sendLogged(s, m);
}

}  // namespace

void Tri_sx_request(Session& s, std::uint8_t reqtype, std::uint8_t reqid)
{
    const std::optional<int> channel = channelOf(s);
    if (!channel) return;
    const std::optional<int> bank = s.controls.number(ctl::TriBank);
    if (!bank) return refuse(s, "You must specify a valid number for the Triton Studio Bank.");
    int program = 0;
    if (reqid == kTriOneRecord) {
        const std::optional<int> number = s.controls.number(ctl::TriProg);
        if (!number) return refuse(s, "You must specify a valid number for the Program.");
        program = *number;
        if (program < 0 || program > 127) return refuse(s, "The program value must be between 0 and 127");
    }
    if (*bank < 0 || *bank > 11) return refuse(s, format("The Triton Studio bank must be between 0 and %d.", 11));
    Bytes m = header(*channel);
    m.insert(m.end(), {reqtype, static_cast<std::uint8_t>(*bank | (reqid & 3) << 4), static_cast<std::uint8_t>(program),
                       0x00, 0xF7});
    sendLogged(s, m);
}

void Tri_Req_1ProgClick(Session& s)
{
    Tri_sx_request(s, kTriProgramDumpRequest, kTriOneRecord);
}

void Tri_Req_1ProgbankClick(Session& s)
{
    Tri_sx_request(s, kTriProgramDumpRequest, kTriOneBank);
}

void Tri_ReqAllProgBanksClick(Session& s)
{
    Tri_sx_request(s, kTriProgramDumpRequest, kTriAllBanks);
}

void Tri_Req_1CombiClick(Session& s)
{
    Tri_sx_request(s, kTriCombiDumpRequest, kTriOneRecord);
}

void Tri_Req_1CombiBankClick(Session& s)
{
    Tri_sx_request(s, kTriCombiDumpRequest, kTriOneBank);
}

void Tri_ReqAllCombiBanksClick(Session& s)
{
    Tri_sx_request(s, kTriCombiDumpRequest, kTriAllBanks);
}

void Tri_ReqCurProgClick(Session& s)
{
    if (const auto channel = channelOf(s)) sendCurrentRequest(s, *channel, kTriCurrentProgramDumpRequest);
}

void Tri_ReqCurCombiClick(Session& s)
{
    if (const auto channel = channelOf(s)) sendCurrentRequest(s, *channel, kTriCurrentCombiDumpRequest);
}

void Tri_ParsEfxClick(Session& s, const std::function<void(Session&, std::int32_t)>& parse)
{
    const std::optional<int> channel = channelOf(s);
    if (!channel) return;
    const std::optional<int> PID = s.controls.number(ctl::TriEfxPIDtxt);
    if (!PID) return refuse(s, "You must specify a valid number for the PID.");
    if (!sendCurrentRequest(s, *channel, kTriCurrentCombiDumpRequest)) return;
    s.operation.postProcessTasks.try_emplace(kTriParseEfxTask, parse);
    SetPostProcess(s, kTriParseEfxTask, *PID);
}

std::string mfs(std::uint8_t mfid)
{
    const char* prefix = "?st?";
    switch (mfid >> 5) {
    case 0: prefix = "INT-"; break;
    case 1: prefix = "Off-"; break;
    case 3: prefix = "EXT-"; break;
    case 4: prefix = "EX2-"; break;
    default: break;
    }
    return format("%s%2d%s", prefix, (mfid & 0x0F) + 1, (mfid & 0x10) ? "g" : " ");
}

}  // namespace tolvex
