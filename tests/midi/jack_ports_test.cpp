// SPDX-License-Identifier: GPL-3.0-or-later
// The port lists a window offers, on a real JACK server.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "core/text/text_utils.h"
#include "midi/midi_system.h"
#include "midi/port_devices.h"
#include "midi_test_util.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::haveJack;

// The listed ports of JACK clients whose names start with `client`, called `port`.
std::vector<std::string> portsOf(const std::vector<std::string>& list, const std::string& client, const char* port)
{
    std::vector<std::string> out;
    for (const std::string& n : list)
        if (n.rfind(client, 0) == 0 && n.size() > client.size() && n.substr(n.find(':') + 1) == port) out.push_back(n);
    return out;
}

// JACK lists a program's ports like any other program's: the window's own
// input among the outputs, its output among the inputs. The window offers
// neither (its output would feed its own input); other programs, and a second
// window, see them.
TEST(JackPorts, AWindowNeverOffersItsOwnPortsWhileOthersSeeThem)
{
    if (!haveJack()) GTEST_SKIP() << "no JACK server running";
    testing::ScriptedShell shell, otherShell, twinShell;
    const std::string name = format("tolvex-own-%d", static_cast<int>(getpid()));
    auto window = makeSystemMidiDevices(shell, "jack", name);
    auto other = makeSystemMidiDevices(otherShell, "jack", name + "-other");
    window->openInput(kVirtualInName, true);
    window->openOutput(kVirtualOutName);
    // A second window of the same name: JACK gives its clients other names.
    auto twin = makeSystemMidiDevices(twinShell, "jack", name);
    twin->openInput(kVirtualInName, true);
    twin->openOutput(kVirtualOutName);

    const struct {
        const char* who;
        PortDevices* devices;
        std::size_t inputs, outputs;  // ports of both windows it lists
    } cases[] = {
        {"the window", window.get(), 1, 1}, {"its twin", twin.get(), 1, 1}, {"another program", other.get(), 2, 2}};
    for (const auto& c : cases) {
        const auto outs = portsOf(c.devices->outputNames(), name + " In", kVirtualInName);
        const auto ins = portsOf(c.devices->inputNames(), name + " Out", kVirtualOutName);
        EXPECT_EQ(outs.size(), c.outputs) << c.who << ": " << ::testing::PrintToString(outs);
        EXPECT_EQ(ins.size(), c.inputs) << c.who << ": " << ::testing::PrintToString(ins);
    }
    // What the window leaves out is the other window's port, which it may choose.
    const auto fromWindow = portsOf(window->outputNames(), name + " In", kVirtualInName);
    const auto fromTwin = portsOf(twin->outputNames(), name + " In", kVirtualInName);
    ASSERT_EQ(fromWindow.size(), 1u);
    ASSERT_EQ(fromTwin.size(), 1u);
    EXPECT_NE(fromWindow, fromTwin);
    EXPECT_EQ(fromTwin.front(), name + " In:" + kVirtualInName);
}

}  // namespace
}  // namespace tolvex
