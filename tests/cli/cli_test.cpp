#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::TempDir;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun cli(const std::vector<std::string>& args, const DeviceFactory& devices = {})
{
    std::ostringstream out, err;
    const int status = runCli(args, out, err, devices);
    return {status, out.str(), err.str()};
}

const std::string kFixtures = TOLVEX_FIXTURES_DIR;

TEST(Cli, NamesPrintsFiveColumnsAndReportsRefusedFiles)
{
    TempDir dir;
    const std::string junk = dir.write("junk.syx", std::string(120, 'x'));
    const std::string two = dir.write("two.syx", std::string("\xF0\x7E\x00\x06\x01\xF7\xF0\x43\x10\xF7", 10));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{"names", kFixtures + "/yamaha/dx7-rom1a.syx"},
         0,
         kFixtures + "/yamaha/dx7-rom1a.syx\t0\t4104\tYamaha Bulk Dump: Packed 32 Voice\tByte Count 1000H, 4096 (d)\n",
         ""},
        {{"names", junk, kFixtures + "/korg/triton-one-program.syx"},
         1,
         kFixtures + "/korg/triton-one-program.syx\t0\t627\tKorg Triton: One Program Dump\t\n",
         "Error: File Contains > 100 bytes of non-sysex - not loaded\n"},
        {{"names", two}, 0, "", ""},
        {{"names"}, 2, "", "Usage: tolvex-cli names FILE...\n"},
        {{"names", "--bogus", two}, 2, "", "tolvex-cli names: unknown option --bogus\n"},
        {{"frobnicate"}, 2, "", "tolvex-cli: unknown command frobnicate\n"},
    };
    for (const auto& c : cases) {
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0];
        if (!c.out.empty()) {
            EXPECT_EQ(r.out, c.out);
        }
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    }
    const CliRun r = cli({"names", two});
    std::istringstream lines(r.out);
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 4) << line;
        ++n;
    }
    EXPECT_EQ(n, 2);
    for (const char* cmd : {"names", "ports", "send", "receive"}) {
        const CliRun help = cli({cmd, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("Usage: tolvex-cli ") + cmd, 0), 0u);
    }
}

TEST(Cli, SendAndReceiveOverTheLoopback)
{
    TempDir dir;
    MidiLoopback bus({"Synth A", "Synth B"});
    // Everything the sender puts on "Synth A" is heard by the bus and kept, then
    // played back into the receiver's port.
    std::vector<Bytes> heard;
    bus.attach("Synth A", [&](ByteView m) { heard.emplace_back(m.begin(), m.end()); });
    const DeviceFactory loopback = [&](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
        return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
    };

    const std::string file = kFixtures + "/yamaha/dx7-rom1a.syx";
    const CliRun sent = cli({"send", "--out", "synth a", "--delay", "5", file, file}, loopback);
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(sent.out, "Sending: Yamaha Bulk Dump: Packed 32 Voice\nSending: Yamaha Bulk Dump: Packed 32 Voice\n");
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].size(), 4104u);

    const CliRun wrongPort = cli({"send", "--out", "Synth", file}, loopback);
    EXPECT_EQ(wrongPort.status, 1);
    EXPECT_EQ(wrongPort.err, "tolvex-cli send: no MIDI output port named Synth\n");

    // The receiver gets both dumps and stops at the count.
    std::thread player([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (const Bytes& m : heard) bus.inject("Synth B", m);
    });
    const std::string saved = dir.file("received.syx");
    const CliRun got = cli({"receive", "--in", "SYNTH B", "--count", "2", "--timeout", "5", "--save", saved}, loopback);
    player.join();
    EXPECT_EQ(got.status, 0) << got.err;
    EXPECT_EQ(got.out,
              "Yamaha Bulk Dump: Packed 32 Voice Byte Count 1000H, 4096 (d)\n"
              "Yamaha Bulk Dump: Packed 32 Voice Byte Count 1000H, 4096 (d)\n");
    EXPECT_EQ(dir.read("received.syx").size(), 2u * 4104u);

    const CliRun silent = cli({"receive", "--in", "Synth B", "--timeout", "0"}, loopback);
    EXPECT_EQ(silent.status, 0);
    EXPECT_EQ(silent.out, "");
}

}  // namespace
}  // namespace tolvex
