// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed texts of message naming: maker names by ID byte, and the model
// and function texts of the makers whose messages are named past the maker.
// Every lookup takes any byte value and returns a pointer to a string literal
// (static lifetime) or nullptr when its table has no entry.
#pragma once

#include <cstdint>
#include <string_view>

namespace tolvex::naming {

// One-byte manufacturer IDs (message byte 1).
const char* OneByteMakerName(std::uint8_t id);
// Three-byte IDs `00 00 id` (American group).
const char* AmericanMakerName(std::uint8_t id);
// Three-byte IDs `00 20 id` (European group); never null, keys without a
// maker give "Unknown 2nd of 3-byte ID".
const char* EuropeanMakerName(std::uint8_t id);

// Ensoniq model by byte 2, and the message type text by byte 5 for that model.
const char* EnsoniqModelName(std::uint8_t model);
const char* EnsoniqTypeText(std::uint8_t model, std::uint8_t type);

// Which function table names a Korg model's messages (function in byte 4).
enum class KorgFunctions { None, M1, Wavestation, Triton, Kronos };
struct KorgModel {
    const char* name;
    KorgFunctions functions;
};
// Korg model by byte 3; nullptr for models named only "Korg".
const KorgModel* KorgModelFor(std::uint8_t model);

const char* M1FunctionText(std::uint8_t function);
const char* WavestationFunctionText(std::uint8_t function);
// Triton functions with a fixed text; 0x41 gives only its ": Parm " lead-in
// and the dump kinds of 0x4C and 0x4D come from TritonDumpKindText.
const char* TritonFunctionText(std::uint8_t function);
// function is 0x4C (Programs) or 0x4D (Combinations); kind is 0-3.
const char* TritonDumpKindText(std::uint8_t function, unsigned kind);

// Yamaha bulk dump formats (byte 3) other than 0x7E, and the 0x7E data
// format names by the six characters at bytes 10-15 (compared exactly).
const char* YamahaBulkFormatText(std::uint8_t format);
const char* YamahaDataFormatText(std::string_view formatName);

}  // namespace tolvex::naming
