// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/peavey/peavey_commands.h"

#include <cstring>
#include <filesystem>
#include <optional>
#include <type_traits>

#include "core/app/controls.h"
#include "core/app/device_commands.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/app/request_response.h"
#include "core/app/session.h"
#include "core/text/atomic_file.h"
#include "core/text/text_utils.h"
#include "devices/peavey/peavey_names.h"
#include "devices/peavey/peavey_report.h"
#include "devices/peavey/peavey_sysex.h"

namespace tolvex {

namespace {

constexpr std::uint8_t kAnyDevice = 0x7F;
constexpr int kRequestPauseMs = 50;
constexpr int kDumpWaitSeconds = 8;
constexpr int kHighestDevice = 7;  // 0-6 SCSI, 7 floppy

// Replies the requests wait for; FF stands for any device number.
const Bytes kDirStatusReply = {0xF0, 0x00, 0x00, 0x1B, 0x02, 0x05, 0xFF, 0x04, 0x01, 0x00, 0x00, 0x01, 0x09};
const Bytes kLoadReply = {0xF0, 0x00, 0x00, 0x1B, 0x02, 0x05, 0xFF, 0x10 /* reply */, 0x00 /* no error */, 0x00};
const Bytes kBankNameReply = {0xF0, 0x00, 0x00, 0x1B, 0x02, 0x05, 0xFF, 0x11, 0x02 /* bank name */, 0x0F, 0x01};
constexpr std::size_t kBankNameAt = 11;
constexpr std::size_t kBankNameLength = 14;

Bytes spMessage(std::uint8_t devid, std::initializer_list<std::uint8_t> body)
{
    // Sized once and filled in place: GCC 12 misreads an insert into the
    // 7-byte header as a copy past its end (-Warray-bounds) in optimised builds.
    Bytes m(7 + body.size());
    const std::uint8_t header[] = {0xF0, 0x00, 0x00, 0x1B /* Peavey */, 0x02, 0x05 /* DPM SP */, devid};
    std::copy(std::begin(header), std::end(header), m.begin());
    std::copy(body.begin(), body.end(), m.begin() + 7);
    return m;
}

std::optional<int> channelNumber(Session& s)
{
    const std::optional<int> value = s.controls.number(ctl::Channel);
    if (!value) refuse(s, kChannelText);
    return value;
}

std::string nameOf(const std::uint8_t* data)
{
    return std::string(reinterpret_cast<const char*>(data), 14);
}

template <class Record>
Record recordOf(const PeaveyRecords& rec, std::size_t at = 0)
{
    static_assert(std::is_trivially_copyable_v<Record>);
    Record r;
    std::memcpy(&r, rec.PV_generic_obj.data() + at, sizeof(Record));
    return r;
}

template <class Obj>
void addPlaceholder(Session& s, std::vector<Obj>& list, const char* line)
{
    list.push_back(Obj{});
    s.log.debuglog(line + std::to_string(list.size() - 1) + " []");
}

// A dump of the expected object: stored when its length is right. False when
// the whole read must end.
bool storeDump(Session& s, TPV_Bank_Object& bank, const PeaveyRecords& rec, int type, bool& failed)
{
    const std::int32_t len = rec.PV_dump_len;
    const std::string name = nameOf(rec.PV_generic_obj.data());
    // The object, stored in `list` when the dump is `expected` bytes long.
    const auto add = [&](auto& list, std::int32_t expected, const char* what, const char* listName) {
        if (len != expected) {
            s.log.debuglog(format("%s dump length mismatch: PV_dump_len is %d; expected %d", what, len, expected));
            failed = true;
            return true;
        }
        using Obj = typename std::remove_reference_t<decltype(list)>::value_type;
        list.push_back({name, true, recordOf<decltype(Obj::Data)>(rec)});
        s.log.debuglog(
            format("Added new %s to PV_Bank_Object.%s objectlist at index %zu [", what, listName, list.size() - 1) +
            name + "]");
        return true;
    };
    switch (type) {
    case 0: return add(bank.Waves, 64, "Wave", "Waves");
    case 1: return add(bank.Tones, 80, "Tone", "Tones");
    case 3: return add(bank.Presets, 256, "Preset", "Presets");
    default: break;
    }
    if (len < 48 || len % 16 != 0) {
        s.log.debuglog(format("Map dump unexpected length : PV_dump_len is %d", len));
        failed = true;
        return true;
    }
    TPV_Map_Obj& map = bank.Maps.emplace_back();
    map.Name = name;
    map.Used = true;
    map.Header = recordOf<TPV_Map_hdr_rec>(rec);
    const std::string index = std::to_string(bank.Maps.size() - 1);
    s.log.debuglog("Added PV_Map_Obj to PV_Bank_Object.Maps objectlist at index " + index + " [" + name + "]");
    const int zones = map.Header.num_zones + 1;
    const int slots = (len - 32) / 16;
    s.log.debuglog(format("Processing %d zones, (zc: %d)", zones, slots));
    if (zones != slots) {
        const std::string text =
            format("Zones length mismatch: header zones count is %d, length (%d) is for %d zones", zones, len, slots);
        s.log.debuglog(text);
        refuse(s, text);
        return false;
    }
    for (int k = 0; k < zones; ++k) {
        const std::size_t from = 32 + 16 * static_cast<std::size_t>(k);
        s.log.debuglog(format("Processing zone %d, copying from source index %d", k, static_cast<int>(from)));
        map.Zones.push_back({recordOf<TPV_Map_zone_rec>(rec, from)});
        s.log.debuglog("Added new Zone to PV_Map_Obj.Zones objectlist at index " +
                       std::to_string(map.Zones.size() - 1));
    }
    s.log.debuglog("Zones in PV_MAP_Obj: " + std::to_string(map.Zones.size()));
    return true;
}

void addPlaceholderOfType(Session& s, TPV_Bank_Object& bank, int type)
{
    switch (type) {
    case 0:
        addPlaceholder(s, bank.Waves, "Added unused PV_Wave_Obj to PV_Bank_Object.Waves objectlist at index ");
        break;
    case 1:
        addPlaceholder(s, bank.Tones, "Added unused PV_Tone_Obj to PV_Bank_Object.Tones objectlist at index ");
        break;
    case 2: addPlaceholder(s, bank.Maps, "Added unused PV_Map_Obj to PV_Bank_Object.Maps objectlist at index "); break;
    default:
        addPlaceholder(s, bank.Presets, "Added PV_Preset_Obj to PV_Bank_Object.Presets objectlist at index ");
        break;
    }
}

// Decodes a reply, showing the decoder's box when it refused it.
std::int32_t decode(Session& s, ByteView sx, PeaveyRecords& rec)
{
    std::string error;
    const std::int32_t r = PV_Extract_SP_obj(sx, rec, error);
    if (!error.empty()) refuse(s, error);
    return r;
}

}  // namespace

Bytes PV_DirStatusRequest(std::uint8_t devid, std::uint8_t type)
{
    return spMessage(devid, {0x12 /* directory request */, 0x01, 0x01 /* status */, type, 0xF7});
}

Bytes PV_DumpRequest(std::uint8_t devid, std::uint8_t type, std::uint32_t object)
{
    Bytes m = spMessage(devid, {0x01 /* dump request */, type, 0x00, 0x00, 0x00, 0x02});
    const Bytes number = PV_to_string(object, 4);
    m.insert(m.end(), number.begin(), number.end());
    m.push_back(0xF7);
    return m;
}

Bytes PV_LoadBankRequest(std::uint8_t devid, std::uint8_t scsiID, std::uint32_t bank)
{
    Bytes m = spMessage(devid, {0x30 /* disk access */, 0x01, 0x00, 0x00, 0x00, 0x03});
    for (const Bytes& field : {PV_to_string(scsiID, 2), PV_to_string(bank, 4)})
        m.insert(m.end(), field.begin(), field.end());
    m.push_back(0xF7);
    return m;
}

Bytes PV_BankNameRequest(std::uint8_t devid)
{
    return spMessage(devid, {0x11 /* control */, 0x02 /* bank name */, 0x01, 0x00, 0xF7});
}

void PV_SPtoFile(Session& s)
{
    const auto selected = s.messages.selectedIndexes();
    if (selected.empty()) {
        s.shell.messageBox("Warning", "Nothing Selected", MsgIcon::Warning);
        return;
    }
    PeaveyRecords& rec = s.families.records<PeaveyRecords>();
    rec.PV_SP_dir_list.clear();
    for (std::size_t i : selected) {
        const TSXstorage& m = *s.messages.at(i).storage;
        const std::int32_t r = decode(s, m.sxdata, rec);
        std::filesystem::path file(m.filename.empty() ? "untitled" : m.filename.str());
        // Only a result with text opens the .txt, so a dump never empties what an
        // earlier entry of the same file wrote there.
        if (r >= 0 && r < 100) {
            writeReportFile(s, file.replace_extension(".txt").string(), PV_DirStatusText(rec, r));
        } else if (r >= 100 && r < 200) {
            writeReportFile(s, file.replace_extension(".txt").string(), PV_DirListText(rec));
        } else if (r >= 200) {
            file.replace_extension();
            const std::string path = file.string() + "[" + PV_SP_obj_name[static_cast<std::size_t>(r - 200)] + "].bin";
            writeReportFile(s, path,
                            std::string(rec.PV_generic_obj.begin(),
                                        rec.PV_generic_obj.begin() + static_cast<std::ptrdiff_t>(rec.PV_dump_len)));
        }
    }
}

bool Read_PV_SP_preset_data(Session& s, std::int32_t /*chan*/, std::uint8_t devid)
{
    PeaveyRecords& rec = s.families.records<PeaveyRecords>();
    if (!rec.PV_Bank_Object) rec.PV_Bank_Object.emplace();
    TPV_Bank_Object& bank = *rec.PV_Bank_Object;
    bool failed = false;
    for (int t = 0; t <= 3; ++t) {
        const auto type = static_cast<std::uint8_t>(t);
        s.log.debuglog("Preparing Sysex request for data object directory status of type: " + std::to_string(t));
        while (s.operation.MidiInBusy) s.shell.ProcessMessages();
        s.shell.pause(kRequestPauseMs);

        const std::int32_t status = ReqResponseSysex(s, PV_DirStatusRequest(devid, type), kDirStatusReply);
        if (status < 0) {
            refuse(s, format("Timeout waiting for requested sysex message tt %d", t));
            return false;
        }
        const Bytes reply = s.messages.at(static_cast<std::size_t>(status)).storage->sxdata;
        s.log.debuglog("Received Sysex: " + SxStringToHexList(reply));
        const std::int32_t got = decode(s, reply, rec);
        const auto row = got >= 0 && got < kPVObjectTypes ? rec.PV_Dir_Status[static_cast<std::size_t>(got)]
                                                          : std::array<std::int32_t, kPVDirStatusValues>{};
        const std::int32_t lowobj = row[4], highobj = row[5];
        s.log.debuglog(format("Object Type: %d numobjs: %d lowobj: %d highobj: %d", got, row[3], lowobj, highobj));
        if (got != t) {
            refuse(s, format("Returned object type was %d; expected %d", got, t));
            return false;
        }

        const Bytes expected = {0xF0, 0x00, 0x00, 0x1B, 0x02, 0x05, 0xFF, 0x02 /* dump */, type};
        for (std::int32_t i = lowobj; i <= highobj; ++i) {
            s.shell.pause(kRequestPauseMs);
            s.log.debuglog(format("Sending Dump Request for object type %d and object index %d", t, i));
            std::int32_t idx = -1;
            if (!Alt_ReqResponseSysex(s, PV_DumpRequest(devid, type, static_cast<std::uint32_t>(i)), expected, idx,
                                      false, kDumpWaitSeconds)) {
                refuse(s, format("Timeout waiting for requested sysex message tt %d", t));
                return false;
            }
            if (idx < 0) {
                // The SP answered, but not with the object: it has none by that number.
                addPlaceholderOfType(s, bank, t);
                continue;
            }
            const Bytes dump = s.messages.at(static_cast<std::size_t>(idx)).storage->sxdata;
            s.log.debuglog("Received Dump Sysex: " + SxStringToHexList(dump));
            const std::int32_t kind = decode(s, dump, rec);
            s.log.debuglog("Returned dump Object Type: " + std::to_string(kind));
            if (kind < 200) {
                refuse(s, format("Returned object type was %d; expected dump", kind));
                return false;
            }
            if (rec.PV_dump_obj_num != i) {
                refuse(s, format("Returned object number was %d; expected %d", rec.PV_dump_obj_num, i));
                return false;
            }
            if (!storeDump(s, bank, rec, t, failed)) return false;
        }
        s.log.debuglog("Completed object type " + std::to_string(t));
    }
    s.log.debuglog("Completed Read_PV_SP_preset_data\r\n");
    return !failed;
}

std::string PV_Get_Bank_Name(Session& s, std::uint8_t devID)
{
    const std::int32_t idx = ReqResponseSysex(s, PV_BankNameRequest(devID), kBankNameReply);
    if (idx < 0) {
        refuse(s, "Timeout waiting for requested bank name sysex message");
        return "";
    }
    const Bytes& reply = s.messages.at(static_cast<std::size_t>(idx)).storage->sxdata;
    std::string name;
    for (std::size_t i = kBankNameAt; i < kBankNameAt + kBankNameLength && i < reply.size() && reply[i] != 0xF7; ++i)
        name += static_cast<char>(reply[i]);
    return name;
}

bool Rd_PV_SP_bank_proc(Session& s, const std::string& name_suf, std::int32_t banknum)
{
    const auto channel = channelNumber(s);
    if (!channel || !requirePorts(s)) return false;
    PeaveyRecords& rec = s.families.records<PeaveyRecords>();
    rec.PV_Bank_Object.emplace();
    if (!Read_PV_SP_preset_data(s, *channel, kAnyDevice)) {
        s.log.LogString("Error processing data: " + name_suf);
        return false;
    }
    const std::string bankName = PV_Get_Bank_Name(s, kAnyDevice);
    const std::string report = PV_BankReport(*rec.PV_Bank_Object, banknum, bankName);
    rec.PV_Bank_Object.reset();
    writeReportFile(s, "PV_SP_Preset_Data" + name_suf + ".txt", report);
    return true;
}

PVLoadResult PV_Load_Bank(Session& s, std::uint8_t devID, std::uint8_t scsiID, std::uint32_t bank)
{
    std::int32_t idx = -1;
    if (!Alt_ReqResponseSysex(s, PV_LoadBankRequest(devID, scsiID, bank), kLoadReply, idx, true,
                              s.operation.LongTimeOutVal))
        return PVLoadResult::TimedOut;
    if (idx < 0) {
        s.log.LogString("Error Loading Bank");
        return PVLoadResult::Refused;
    }
    s.log.LogString("Bank Loaded OK");
    return PVLoadResult::Loaded;
}

namespace {

// The bank (0 to highestBank) and device number boxes; each refusal is told.
std::optional<std::pair<int, int>> bankAndDevice(Session& s, int highestBank)
{
    const auto bank = checkedNumber(s, ctl::SP_Bank_Num_edit, 0, highestBank,
                                    format("You must specify a valid number for the bank (0-%d).", highestBank));
    if (!bank) return std::nullopt;
    const auto device = checkedNumber(s, ctl::SP_DevID_edit, 0, kHighestDevice,
                                      "You must specify a valid number for the device number (0-7).");
    if (!device) return std::nullopt;
    return std::pair{*bank, *device};
}

}  // namespace

void PV_SP_Load_Bank(Session& s)
{
    const auto chosen = bankAndDevice(s, 127);
    if (!chosen || !requirePorts(s)) return;
    const auto [bank, device] = *chosen;
    s.log.LogString(format("Sending request to load bank %d on device %d", bank, device));
    if (PV_Load_Bank(s, kAnyDevice, static_cast<std::uint8_t>(device), static_cast<std::uint32_t>(bank)) ==
        PVLoadResult::TimedOut)
        refuse(s, "Timeout waiting for requested sysex message");
}

void PV_SP_Load_All_Banks(Session& s)
{
    const auto chosen = bankAndDevice(s, 255);
    // Each bank's read takes the Channel box: a bad one is told once, here.
    if (!chosen || !channelNumber(s) || !requirePorts(s)) return;
    const auto [first, device] = *chosen;
    const CancelOffer offer(s);
    for (int bank = first; bank <= 255 && !CancelButton(s); ++bank) {
        s.log.LogString(format("Sending request to load bank %d on device %d", bank, device));
        const PVLoadResult loaded =
            PV_Load_Bank(s, kAnyDevice, static_cast<std::uint8_t>(device), static_cast<std::uint32_t>(bank));
        if (CancelButton(s)) break;
        if (loaded == PVLoadResult::Loaded) {
            s.log.debuglog(format("\r\n------------ loaded disk bank %d ---------", bank));
            s.log.LogString(format("Loaded bank %d from device %d", bank, device));
            Rd_PV_SP_bank_proc(s, std::to_string(bank), bank);
            s.log.debuglog(format("\r\n------------ completed reading bank %d ---------", bank));
        } else {
            s.log.debuglog(format("\r\n------------- Unable to read bank %d -----------", bank));
        }
    }
}

}  // namespace tolvex
