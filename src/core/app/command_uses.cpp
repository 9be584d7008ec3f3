// SPDX-License-Identifier: GPL-3.0-or-later
// What each command of the windows reads, asks and writes, as
// `tolvex-cli run COMMAND --help` tells it.
#include "core/app/command_table.h"
#include "core/app/controls.h"

namespace tolvex {

namespace {

const char kOut[] = "MIDI: the output port (--out PORT)";
const char kInOut[] = "MIDI: the answers on the input port (--in PORT), requests to the output (--out PORT)";
const char kNoOutput[] = "no MIDI output: \"MIDI Interface Not Installed\"";
const char kNothingSelected[] = "no entry selected: \"Nothing Selected\"";
const char kNoneSelected[] = "no entry selected: \"No Messages Were Selected - nothing to do\"";
const char kBadNumber[] = "a box that holds no number, or one out of range: its box";
const char kBesideEntry[] =
    " beside the entry's file (its name with the extension replaced; \"untitled\" in the "
    "current folder when the entry has none), replaced";

std::string beside(const char* extensions)
{
    return std::string(extensions) + kBesideEntry;
}

}  // namespace

void describeCommands(CommandTable& t)
{
    // Librarian.
    t.describe("ViewSelected", {"each selected entry", {}, {}, {}, {"log: \"Sysex: \" and its first 24 bytes"}, {}});
    t.describe("Button_send", {"each selected entry, in list order", {}, {}, {}, {kOut}, {kNoOutput}});
    t.describe("ButtonClearSel", {"each selected entry", {}, {}, {}, {"the list: the selected entries removed"}, {}});
    t.describe("Button_clear", {"", {}, {}, {}, {"the list: every entry removed"}, {}});
    t.describe("SendProgChange", {"",
                                  {ctl::ProgChange, ctl::Channel},
                                  {},
                                  {},
                                  {"MIDI: one program change to the output (--out PORT)"},
                                  {kNoOutput, kBadNumber}});
    t.describe("ClearLogButton", {"", {}, {}, {}, {"the log: emptied"}, {}});
    t.describe("ReqSysex", {"",
                            {ctl::SXreqString},
                            {},
                            {},
                            {"MIDI: the typed bytes as one SysEx message (--out PORT)"},
                            {"an empty box or a word of more than 8 hexadecimal digits"}});
    t.describe("Cancel", {"", {}, {}, {}, {"stops \"Read all SP Banks\" after its current bank"}, {}});
    t.describe("Open1sx", {"",
                           {},
                           {"a .syx file (--file PATH)"},
                           {},
                           {"the list: one entry per message of the file, selected"},
                           {"a file that cannot be read"}});
    t.describe("OpenCSVfileMenu", {"",
                                   {ctl::Channel},
                                   {"a CSV bank file (--file PATH)"},
                                   {},
                                   {"the list: one bank message as \"<type> (CSV)\"",
                                    "a DX7II bank: CSV-DX7iiPackedPerf.bin in the current folder"},
                                   {"a file that cannot be read, or a row that cannot be read exactly", kBadNumber}});
    t.describe("SaveAs1", {"the selected entries, in list order",
                           {},
                           {},
                           {},
                           {"a .syx file (--file PATH) holding their bytes back to back"},
                           {kNoneSelected}});
    t.describe("Exit1", {"", {}, {}, {}, {"ends the program"}, {}});
    t.describe("KroGlobal2Txt", {"the first selected entry: a Kronos Global dump",
                                 {},
                                 {},
                                 {},
                                 {"Kronos-Global-Cat-Parse.txt in the current folder"},
                                 {"a message of another kind"}});
    t.describe("KroParseToText", {"the first selected entry: a Kronos Combi or current-Combi dump",
                                  {},
                                  {},
                                  {},
                                  {"combiparse.txt in the current folder", "log: the Combi's name"},
                                  {"\"Message is not Kronos Combi\""}});
    t.describe("KroSaveCombiBin", {"the first selected entry: a Kronos Combi or current-Combi dump",
                                   {},
                                   {},
                                   {},
                                   {"the unpacked Combi (7810 bytes) to a file (--file PATH)"},
                                   {"\"Message is not Kronos Combi\""}});

    // DX/TX.
    const char* const kUnpackStops = "a dump of another kind, or a damaged one: its unpacking error";
    t.describe("Conv_VMEM", {"the first selected entry: a DX7 32-voice bank",
                             {},
                             {},
                             {},
                             {beside(".bin, .txt")},
                             {kNothingSelected, kUnpackStops}});
    t.describe("DX7peb", {"the first selected entry: a DX7II performance edit buffer",
                          {},
                          {},
                          {},
                          {beside(".bin, .txt")},
                          {kNothingSelected, kUnpackStops}});
    t.describe("ConvDX7p", {"the first selected entry: a DX7II 32-performance bank",
                            {},
                            {},
                            {},
                            {beside(".bin, .txt, .csv, .lst, .map")},
                            {kNothingSelected, kUnpackStops}});
    t.describe("Map1_32", {"the first selected entry: a DX7 32-voice bank",
                           {},
                           {},
                           {},
                           {"the voice map: voice names 1-32 for later exports"},
                           {kNothingSelected, kUnpackStops}});
    t.describe("Map32_64", {"the first selected entry: a DX7 32-voice bank",
                            {},
                            {},
                            {},
                            {"the voice map: voice names 33-64 for later exports"},
                            {kNothingSelected, kUnpackStops}});
    t.describe("RdTX802ROM",
               {"",
                {ctl::Channel},
                {kInOut},
                {},
                {"TX802RomProgs.txt in the current folder"},
                {kNoOutput, kBadNumber, "no answer within 5 s: \"Timeout waiting for requested sysex message N\""}});
    t.describe(
        "RdDX7CRT",
        {"",
         {ctl::Channel},
         {kInOut},
         {},
         {"cartprogs.txt in the current folder", "the list: the answers and the 32 performances as one DX7II bank"},
         {kNoOutput, kBadNumber, "no answer within 5 s: \"Timeout waiting for requested sysex message N\""}});
    t.describe("ConvTX802perfBank", {"the first selected entry: a TX802 64-performance bank",
                                     {},
                                     {},
                                     {},
                                     {beside(".bin, .txt, .csv, .lst, .map")},
                                     {kNothingSelected, kUnpackStops}});
    t.describe("ConvTX802Perf", {"the first selected entry: a TX802 performance edit buffer",
                                 {},
                                 {},
                                 {},
                                 {beside(".bin, .txt, .csv, .lst")},
                                 {kNothingSelected, kUnpackStops}});
    t.describe("DX7p_to_TX802p", {"the first selected entry: a DX7II performance edit buffer",
                                  {ctl::Channel},
                                  {},
                                  {},
                                  {"the list: \"TX802 Perf Edit Buf converted from DX7\" (--save-new FILE keeps it)"},
                                  {kNothingSelected, kBadNumber, kUnpackStops}});
    t.describe(
        "dx7pb_to_tx802pb",
        {"the first selected entry: a DX7II 32-performance bank",
         {ctl::Channel},
         {},
         {{"Select Target Bank range for TX802",
           {"1-32 (or yes): performances 1-32", "33-64 (or no): performances 33-64", "cancel: nothing is converted"}}},
         {"the list: \"TX802 Perf converted from DX7\" (--save-new FILE keeps it)"},
         {kNothingSelected, kBadNumber, kUnpackStops}});
    t.describe("CheckSumCheck",
               {"each selected entry: a Yamaha bulk dump",
                {},
                {},
                {},
                {"log: \"Checking: \" + its text + \": Checksum Correct\" or \": Checksum Invalid ...\""},
                {kNoOutput}});

    // SP.
    t.describe("SPtoFile", {"each selected entry: a Peavey SP directory or object dump",
                            {},
                            {},
                            {},
                            {beside(".txt (directories) or [Type].bin (objects)")},
                            {"a message of another kind"}});
    t.describe("SP_Load_Bank", {"",
                                {ctl::SP_Bank_Num_edit, ctl::SP_DevID_edit},
                                {kInOut},
                                {},
                                {"the SP loads the bank from its disk; log: \"Bank Loaded OK\""},
                                {kBadNumber, "no answer in time"}});
    t.describe(
        "Rd_PV_SP_bank",
        {"", {ctl::Channel}, {kInOut}, {}, {"PV_SP_Preset_Data.txt in the current folder"}, {"no answer in time"}});
    t.describe("SP_Load_All_Banks",
               {"",
                {ctl::Channel, ctl::SP_Bank_Num_edit, ctl::SP_DevID_edit},
                {kInOut},
                {},
                {"PV_SP_Preset_DataN.txt for each bank N from the Bank box on, in the current folder"},
                {"no answer in time"}});

    // Wavestation.
    t.describe("ExtractWS", {"the first selected entry: a Wavestation SR dump",
                             {},
                             {"WS_SR_Global_Patch.txt and WS_SR_Global_Perf.txt names, when loaded"},
                             {},
                             {beside(".bin"),
                              "WS_SR_Patchs_bankN.txt, WS_SR_Perfs_bankN.txt or WS_SR_Perfmap.txt "
                              "in the current folder"},
                             {"a function the tool does not handle"}});
    t.describe("LoadMappingButton", {"",
                                     {},
                                     {"WS_SR_Global_Patch.txt and WS_SR_Global_Perf.txt in the current folder"},
                                     {},
                                     {"the name tables of later extractions"},
                                     {"a file that cannot be read"}});

    // Triton.
    const char* const kTritonChecks = "a channel outside 0-15, a bank outside 0-11, a program outside 0-127: its box";
    for (const char* control : {"TriReq1Prog", "TriReq1Combi"})
        t.describe(control, {"",
                             {ctl::Channel, ctl::TriBank, ctl::TriProg},
                             {},
                             {},
                             {"MIDI: the request (--out PORT)"},
                             {kTritonChecks}});
    for (const char* control :
         {"TriReq1ProgBank", "TriReqAllProgInallBanks", "TriReq1CombiBank", "TriReqAllCombiInAllBanks"})
        t.describe(control,
                   {"", {ctl::Channel, ctl::TriBank}, {}, {}, {"MIDI: the request (--out PORT)"}, {kTritonChecks}});
    for (const char* control : {"ReqCurProg", "ReqCurCombi"})
        t.describe(control, {"", {ctl::Channel}, {}, {}, {"MIDI: the request (--out PORT)"}, {kBadNumber}});
    t.describe("TriParsEfx", {"",
                              {ctl::Channel, ctl::TriEfxPIDtxt},
                              {kInOut},
                              {},
                              {"TriEfxDebug.bin in the current folder", "log: the effect parameter and its mapping"},
                              {kBadNumber, "no answer within 5 s"}});
    const Question useNames{"Use these names for Triton to Kronos conversion?",
                            {"yes: the names also go to the conversion's name list in the settings folder",
                             "no: only the report is written"}};
    t.describe("TriAllProgText", {"the first selected entry: a Triton all-banks Program dump",
                                  {},
                                  {},
                                  {useNames},
                                  {"TriProgNamesList.txt in the current folder (1,536 lines)"},
                                  {kNoneSelected, "a message of another kind"}});
    t.describe("TriAllCombiText", {"the first selected entry: a Triton all-banks Combination dump",
                                   {},
                                   {},
                                   {useNames},
                                   {"TriCombiNamesList.txt in the current folder (1,536 lines)"},
                                   {kNoneSelected, "\"Message is not Triton Combi\""}});

    // Kronos.
    const char* const kKronosChecks = "a channel outside 0-15, a bank or program out of range: its box";
    for (const char* control : {"KroReq1Prog", "KroReq1Combi", "CurProgReq", "CurCombReq", "CurSetlistReq"})
        t.describe(control, {"",
                             {ctl::Channel, ctl::KroBank, ctl::KroProg},
                             {},
                             {},
                             {"MIDI: the request (--out PORT)"},
                             {kKronosChecks}});
    t.describe("Conv1TriCombi",
               {"the first selected entry: a Triton Combi bank, one-Combi or current-Combi dump",
                {ctl::Tri_Gchan, ctl::KroProg, ctl::PassPrgBank, ctl::AutoSendCB},
                {"KroInitCombi.bin, Kro_Default_EFX_Data.bin, TriProgNameList.txt, TriCombiNameList.txt"},
                {},
                {"the list: \"Kronos Combi converted from Triton\" (+ \" \" and the Prog box for a bank)",
                 "Tri-Kronos-Combi-Parse.txt (replaced) and Tri-Kronos-Combi-Convert-Log.txt (appended) in the "
                 "current folder; debug-tri-data.bin, debug-kro-data.bin",
                 "MIDI: the converted Combi when Auto Send is checked (--out PORT)"},
                {kNoneSelected, "\"Message is not Triton Combi Bank\"", kBadNumber}});
    t.describe("TimbreCopy", {"the first selected entry: a Kronos Combi dump",
                              {},
                              {},
                              {},
                              {"shows the timbre-copy window with it as the source"},
                              {}});
    t.describe("CmbTempoButton", {"the first selected entry: a Kronos Combi dump",
                                  {},
                                  {},
                                  {},
                                  {"log: \"Combi Tempo: \" and the tempo"},
                                  {"\"Message is not Kronos Combi\""}});

    // Timbre-copy window: the source is the first selected entry when the window is shown.
    const char* const kSource = "the first selected entry (the source Combi)";
    const char* const kEditBuffer = "the window's edit buffer";
    for (const char* control : {"CopyFullBtn", "CopyNonTimbre", "CopyMFX", "CopyTFX", "CopyKarma"})
        t.describe(control, {kSource, {}, {}, {}, {kEditBuffer}, {}});
    t.describe("CopyTimbre", {kSource, {"TimbreCheckboxArray", "TimbreComboArray"}, {}, {}, {kEditBuffer}, {}});
    t.describe("CopyIFXButton", {kSource, {"IFXCheckboxArray", "IFXComboArray"}, {}, {}, {kEditBuffer}, {}});
    t.describe("InitButton1", {"", {}, {"KroInitCombi.bin"}, {}, {kEditBuffer}, {}});
    t.describe("SendBtn",
               {"", {}, {}, {}, {"MIDI: the edit buffer as a current-Combi dump (--out PORT)"}, {kNoOutput}});
    t.describe("SaveEditBuffBtn", {"", {}, {}, {}, {"the list: the edit buffer as a new entry"}, {}});
    t.describe("BtnCloseCopyDlg", {"", {}, {}, {}, {"hides the window"}, {}});
}

}  // namespace tolvex
