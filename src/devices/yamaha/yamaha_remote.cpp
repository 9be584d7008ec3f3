// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/yamaha/yamaha_remote.h"

#include <fstream>
#include <optional>

#include "core/app/device_commands.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/app/request_response.h"
#include "core/sysex/sx_naming.h"
#include "core/text/ini_file.h"
#include "core/text/text_utils.h"
#include "devices/yamaha/yamaha_commands.h"
#include "devices/yamaha/yamaha_formats.h"

namespace tolvex {

namespace {

constexpr std::size_t kVcedName = 145;  // 10 characters
constexpr std::size_t kVcedNameLength = 10;

// A name file that comes into being with its first line; the log says it was
// written once the read ends, also when a time-out cuts it short.
class NameFile {
public:
    NameFile(Session& s, std::string path) : s_(s), path_(std::move(path)) {}
    NameFile(const NameFile&) = delete;
    NameFile& operator=(const NameFile&) = delete;
    ~NameFile()
    {
        if (out_.is_open()) s_.log.LogString("Wrote " + path_);
    }

    void write(const std::string& text)
    {
        if (!out_.is_open()) {
            out_.open(path_, std::ios::binary | std::ios::trunc);
            if (!out_) throw TolvexError("Cannot create file " + path_);
        }
        out_ << text;
        out_.flush();
        if (!out_) throw TolvexError("Cannot write file " + path_);
    }
    void line(const std::string& text) { write(text + "\r\n"); }

private:
    Session& s_;
    std::string path_;
    std::ofstream out_;
};

// A dump still arriving is let in before the next request goes out.
void waitWhileBusy(Session& s)
{
    while (s.operation.MidiInBusy) s.shell.ProcessMessages();
}

// Program change p, then the request; the answer's bytes, or nothing after
// the time-out box.
std::optional<Bytes> answerTo(Session& s, int p, int chan, ByteView request, ByteView expected, int pauseMs = 0,
                              int settleMs = 0)
{
    waitWhileBusy(s);
    if (pauseMs > 0) s.shell.pause(pauseMs);
    ProgChange(s, p, chan);
    if (settleMs > 0) s.shell.pause(settleMs);
    waitWhileBusy(s);
    const std::int32_t idx = ReqResponseSysex(s, request, expected);
    if (idx < 0) return std::nullopt;
    return s.messages.at(static_cast<std::size_t>(idx)).storage->sxdata;
}

void timedOut(Session& s, int p)
{
    s.shell.messageBox("Error", format("Timeout waiting for requested sysex message %d", p), MsgIcon::Error);
}

// An unpacking stop shows its box; the read goes on with what the table holds.
template <class Unpack>
void unpackOrWarn(Session& s, Unpack&& unpack)
{
    try {
        unpack();
    } catch (const YamahaError& e) {
        s.shell.messageBox(e.title, e.what(), MsgIcon::Warning);
    }
}

std::string nameOf(const std::uint8_t* bytes, std::size_t length)
{
    return std::string(reinterpret_cast<const char*>(bytes), length);
}

// The instrument answers on the device number it was asked on.
Bytes vcedAnswer(int chan)
{
    return {0xF0, 0x43 /* Yamaha */, static_cast<std::uint8_t>(chan & 0x0F), 0x00 /* voice edit buffer */};
}

}  // namespace

void ReadDX7Cart(Session& s, int chan)
{
    if (!requirePorts(s)) return;
    YamahaTables& t = s.families.records<YamahaTables>();
    NameFile file(s, kCartProgsFile);

    const Bytes perfRequest = MakeDumpReq(DumpFormat::PEB, chan);
    Bytes perfAnswer{
        0xF0, 0x43 /* Yamaha */, static_cast<std::uint8_t>(chan & 0x0F), 0x7E /* universal bulk dump */, 0x00,
        0x3D /* 61 bytes */};
    perfAnswer.insert(perfAnswer.end(), DX7ii_PerfBufID, DX7ii_PerfBufID + 10);
    for (int p = 32; p <= 63; ++p) {
        const auto answer = answerTo(s, p, chan, perfRequest, perfAnswer);
        if (!answer) return timedOut(s, p);
        unpackOrWarn(s, [&] { ExtractDX7iiPerfEditBuf(*answer, t.DX7iiPerfEditBuf); });
        file.line(std::to_string(p) + "=" + nameOf(t.DX7iiPerfEditBuf.data() + dx7ii::kName, kNameLength) + " ");
        t.DX7iiPackedPerf[static_cast<std::size_t>(p - 32)] = t.DX7iiPerfEditBuf;
    }

    s.log.debuglog("\r\nConverting to SXdata");
    Bytes bank = DX7iiPerftoSysex(0, t.DX7iiPackedPerf);
    std::string sup;
    bool ignore = false;
    const std::string name = SxParseName(bank, sup, ignore, namingOptions(s));
    s.messages.append(name + " " + sup, std::move(bank), CleanFilenameStrip(name));
    s.log.LogString("Now Reading Individual Voices...");
    file.line("\r\n\r\n");

    const Bytes voiceRequest = MakeDumpReq(DumpFormat::VEB, chan);
    const Bytes voiceAnswer = vcedAnswer(chan);
    for (int p = 64; p <= 127; ++p) {
        const auto answer = answerTo(s, p, chan, voiceRequest, voiceAnswer);
        if (!answer) return timedOut(s, p);
        unpackOrWarn(s, [&] { ExtractDX7iiVoiceEditBuf(*answer, t.DXTX_VCED); });
        file.line(std::to_string(p) + "=" + nameOf(t.DXTX_VCED.data() + kVcedName, kVcedNameLength));
    }
}

void ReadTX802ROM(Session& s, int chan)
{
    if (!requirePorts(s)) return;
    YamahaTables& t = s.families.records<YamahaTables>();
    NameFile file(s, kTX802RomProgsFile);
    const Bytes voiceRequest = MakeDumpReq(DumpFormat::VEB, chan);
    const Bytes voiceAnswer = vcedAnswer(chan);
    for (int p = 192; p <= 255; ++p) {
        // The TX802 takes a moment to settle on a new program before it dumps it.
        const auto answer = answerTo(s, p & 63, chan, voiceRequest, voiceAnswer, 10, 75);
        if (!answer) return timedOut(s, p);
        unpackOrWarn(s, [&] { ExtractDX7iiVoiceEditBuf(*answer, t.DXTX_VCED); });
        file.line(std::to_string(p) + "=" + nameOf(t.DXTX_VCED.data() + kVcedName, kVcedNameLength));
    }
}

void RdDX7CRTClick(Session& s)
{
    if (!requirePorts(s)) return;
    if (const auto chan = dxChannel(s, 255)) ReadDX7Cart(s, *chan);
}

void RdTX802ROMClick(Session& s)
{
    if (!requirePorts(s)) return;
    if (const auto chan = dxChannel(s, 255)) ReadTX802ROM(s, *chan);
}

void YamReadSettings(Session& s, const IniFile& ini)
{
    auto& map = s.families.records<YamahaTables>().YamPerfMapping;
    const auto read = [&](const char* section, int first, int last) {
        for (int k = first; k <= last; ++k) {
            const std::string name = ini.ReadString(section, std::to_string(k), "").substr(0, kVcedNameLength);
            TPerfReferenced& entry = map[static_cast<std::size_t>(k)];
            entry.VoiceName = name;
            if (!name.empty()) entry.VoiceNum = k;
        }
    };
    read("DXCart", 32, 63);
    read("TX802rom", 128, 255);
}

}  // namespace tolvex
