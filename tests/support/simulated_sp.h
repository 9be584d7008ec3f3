// SPDX-License-Identifier: GPL-3.0-or-later
// A Peavey SP sampler on a loopback port: it holds a bank of waves, tones,
// maps and presets and answers directory status, object dump, bank name and
// bank load requests after delays on the shell's clock (virtual in tests,
// real under the command line's shell).
#pragma once

#include <array>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/app/shell.h"
#include "core/text/bytes.h"
#include "midi/loopback.h"

namespace tolvex::testing {

struct SpBank {
    std::string name;                           // 14 characters
    std::array<std::vector<Bytes>, 4> objects;  // data by type (wave, tone, map, preset) and number; empty: none
};

// Record bytes as the SP keeps them; names are padded with blanks to 14.
Bytes spWave(const std::string& name, std::uint8_t mode, std::uint32_t words, std::uint16_t kwords);
// A header padded to 32 bytes and one 16-byte slot per tone; the header claims
// `claimedZones` zones (-1: as many as there are slots).
Bytes spMap(const std::string& name, const std::vector<std::uint8_t>& tones, int claimedZones = -1);
struct SpLayer {
    std::array<std::uint8_t, 4> maps;
    std::array<std::uint8_t, 3> sw;
};
Bytes spPreset(const std::string& name, std::uint8_t mode, std::uint8_t center, std::uint8_t width, std::int8_t detune,
               SpLayer a, SpLayer b);
// Three waves, four tones of which number 1 is empty, two maps, three presets.
SpBank scriptedSpBank();

// Messages as the SP sends them.
Bytes spDumpMessage(int type, int number, ByteView data);
Bytes spStatusMessage(int type, int numobjs, int low, int high);
Bytes spDirListMessage(int type, int declaredLength, const std::vector<std::pair<int, std::string>>& entries);
Bytes spReplyMessage(std::uint8_t code);

class SimulatedSP {
public:
    SimulatedSP(MidiLoopback& bus, Shell& shell, std::string port, SpBank bank = scriptedSpBank());
    ~SimulatedSP();
    SimulatedSP(const SimulatedSP&) = delete;
    SimulatedSP& operator=(const SimulatedSP&) = delete;

    SpBank bank;
    int delayMs = 20;                                  // before answering a status, dump or name request
    bool silent = false;                               // answers nothing
    std::set<int> silentBanks;                         // loads of these banks get no answer
    std::set<int> refusedBanks;                        // loads of these banks answer "operation failed"
    std::map<std::pair<int, int>, int> numberInReply;  // (type, object): the number its dump claims instead

    const std::vector<Bytes>& heard() const { return heard_; }

private:
    void hear(ByteView message);
    void answer(Bytes message, int delay);

    MidiLoopback& bus_;
    Shell& shell_;
    std::string port_;
    std::vector<Bytes> heard_;
    int timers_ = 0;
};

}  // namespace tolvex::testing
