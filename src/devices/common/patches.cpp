// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/common/patches.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tolvex {

std::string patchNameText(ByteView bytes)
{
    std::string text;
    for (std::uint8_t b : bytes) {
        if (b == 0) break;
        text.push_back(static_cast<char>(b));
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

const std::vector<std::string>& patchCategories()
{
    static const std::vector<std::string> all = {"Piano",    "Keys",   "Organ", "Strings", "Brass",
                                                 "Woodwind", "Guitar", "Bass",  "Lead",    "Pad",
                                                 "Synth",    "Bell",   "Voice", "Drum",    "FX"};
    return all;
}

std::string guessCategory(const std::string& name)
{
    // The first keyword found decides, so the more telling ones come first:
    // "SYN BASS" is a bass, "BASSOON" a woodwind, "E.PIANO" keys.
    static constexpr std::pair<std::string_view, std::string_view> keywords[] = {{"bassoon", "Woodwind"},
                                                                                 {"woodwind", "Woodwind"},
                                                                                 {"e.piano", "Keys"},
                                                                                 {"epiano", "Keys"},
                                                                                 {"e.pno", "Keys"},
                                                                                 {"rhodes", "Keys"},
                                                                                 {"wurli", "Keys"},
                                                                                 {"clav", "Keys"},
                                                                                 {"harpsi", "Keys"},
                                                                                 {"celest", "Bell"},
                                                                                 {"piano", "Piano"},
                                                                                 {"pno", "Piano"},
                                                                                 {"bass", "Bass"},
                                                                                 {"organ", "Organ"},
                                                                                 {"orgn", "Organ"},
                                                                                 {"b3", "Organ"},
                                                                                 {"string", "Strings"},
                                                                                 {"violin", "Strings"},
                                                                                 {"cello", "Strings"},
                                                                                 {"viola", "Strings"},
                                                                                 {"str ", "Strings"},
                                                                                 {"strg", "Strings"},
                                                                                 {"brass", "Brass"},
                                                                                 {"trumpet", "Brass"},
                                                                                 {"trp", "Brass"},
                                                                                 {"horn", "Brass"},
                                                                                 {"trombone", "Brass"},
                                                                                 {"tuba", "Brass"},
                                                                                 {"flute", "Woodwind"},
                                                                                 {"sax", "Woodwind"},
                                                                                 {"clarinet", "Woodwind"},
                                                                                 {"oboe", "Woodwind"},
                                                                                 {"pipe", "Woodwind"},
                                                                                 {"reed", "Woodwind"},
                                                                                 {"guitar", "Guitar"},
                                                                                 {"gtr", "Guitar"},
                                                                                 {"pluck", "Guitar"},
                                                                                 {"harp", "Guitar"},
                                                                                 {"koto", "Guitar"},
                                                                                 {"sitar", "Guitar"},
                                                                                 {"lead", "Lead"},
                                                                                 {"solo", "Lead"},
                                                                                 {"pad", "Pad"},
                                                                                 {"sweep", "Pad"},
                                                                                 {"warm", "Pad"},
                                                                                 {"bell", "Bell"},
                                                                                 {"chime", "Bell"},
                                                                                 {"marimba", "Bell"},
                                                                                 {"vibe", "Bell"},
                                                                                 {"xylo", "Bell"},
                                                                                 {"mallet", "Bell"},
                                                                                 {"choir", "Voice"},
                                                                                 {"voice", "Voice"},
                                                                                 {"vox", "Voice"},
                                                                                 {"vocal", "Voice"},
                                                                                 {"drum", "Drum"},
                                                                                 {"perc", "Drum"},
                                                                                 {"kit", "Drum"},
                                                                                 {"snare", "Drum"},
                                                                                 {"kick", "Drum"},
                                                                                 {"fx", "FX"},
                                                                                 {"sfx", "FX"},
                                                                                 {"noise", "FX"},
                                                                                 {"wind", "FX"},
                                                                                 {"synth", "Synth"},
                                                                                 {"syn", "Synth"},
                                                                                 {"orch", "Strings"},
                                                                                 {"analog", "Synth"},
                                                                                 {"timpani", "Drum"},
                                                                                 {"whis", "FX"},
                                                                                 {"saw", "Synth"},
                                                                                 {"square", "Synth"},
                                                                                 {"keys", "Keys"}};
    std::string lowered = name + ' ';  // a keyword ending in a blank also matches at the end
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    for (const auto& [word, category] : keywords)
        if (lowered.find(word) != std::string::npos) return std::string(category);
    return {};
}

std::string tritonCombiCategory(int number)
{
    // The factory Combination categories as the factory banks use them:
    // Keyboard, Organ, Bell/Mallet, Strings, Brass, Orchestral, World,
    // Guitar/Plucked, Pads/Choir, Motion Synth, Synth, Lead/Solo, Splits, SE,
    // Hit/Arpg, Drums. Those that say little about the sound ("" here) leave
    // the category to the name.
    static constexpr std::array<const char*, 16> categories = {"Keys", "Organ",  "Bell", "Strings", "Brass", "",
                                                               "",     "Guitar", "Pad",  "Synth",   "Synth", "Lead",
                                                               "",     "FX",     "",     "Drum"};
    return number >= 0 && number < static_cast<int>(categories.size()) ? categories[static_cast<std::size_t>(number)]
                                                                       : "";
}

}  // namespace tolvex
