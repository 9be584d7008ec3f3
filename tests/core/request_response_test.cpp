// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/request_response.h"

#include <gtest/gtest.h>

#include "core/app/controls.h"
#include "core/app/librarian.h"
#include "core_test_util.h"
#include "support/rig.h"

namespace tolvex {
namespace {

using testing::bytesOf;
using testing::Rig;

const Bytes kRequest = bytesOf("F0 43 20 09 F7");
const Bytes kPattern = bytesOf("F0 43 FF 09");
const Bytes kAnswer = bytesOf("F0 43 00 09 20 00 11 F7");
const Bytes kOther = bytesOf("F0 43 00 06 F7");

TEST(RequestResponse, MatchesWildcardPatterns)
{
    Rig rig;
    for (const Bytes& m : {kOther, kAnswer, bytesOf("F0 43 05 09"), bytesOf("F0 43")})
        rig.s.messages.append("m", m, "");
    const struct {
        std::size_t base;
        Bytes pattern;
        bool found;
        int index;
    } cases[] = {{0, kPattern, true, 1}, {3, kPattern, false, 0}, {0, {}, true, 0}, {4, {}, false, 0}};
    for (const auto& c : cases) {
        std::int32_t idx = -7;
        EXPECT_EQ(CheckForSysexReceived(rig.s, c.pattern, c.base, idx), c.found);
        EXPECT_EQ(idx, c.index);
    }
}

TEST(RequestResponse, ReqResponseSysexFindsTheAnswerOrTimesOut)
{
    const struct {
        const char* name;
        std::vector<Bytes> replies;
        bool preexisting;
        int result;  // index, or -1
        std::int64_t elapsedAtLeast;
    } cases[] = {
        {"non-matching first, matching second", {kOther, kAnswer}, false, 1, 100},
        {"only a non-matching answer", {kOther}, false, -1, 5000},
        {"an old answer is not found", {}, true, -1, 5000},
    };
    for (const auto& c : cases) {
        Rig rig;
        if (c.preexisting) rig.s.messages.append("old", kAnswer, "");
        const std::size_t before = rig.s.messages.count();
        rig.synth();
        if (!c.replies.empty()) rig.synth().on(kRequest, c.replies);
        const std::int32_t r = ReqResponseSysex(rig.s, kRequest, kPattern);
        EXPECT_EQ(r, c.result < 0 ? -1 : static_cast<int>(before) + c.result) << c.name;
        EXPECT_GE(rig.shell.nowMs(), c.elapsedAtLeast) << c.name;
        EXPECT_LT(rig.shell.nowMs(), 5100) << c.name;
        EXPECT_EQ(rig.synth().heard(), std::vector<Bytes>{kRequest}) << c.name;
        EXPECT_FALSE(rig.shell.timerActive("Timeout")) << c.name;
    }
}

TEST(RequestResponse, AltWaitsForAnyMessageAndCountsDown)
{
    const struct {
        const char* name;
        std::vector<Bytes> replies;
        int xtimeout;
        bool result;
        int idx;
        std::vector<std::string> labels;  // distinct TimeoutLabel texts shown, in order
    } cases[] = {
        {"answer", {kAnswer}, 3, true, 0, {"3", "2"}},
        {"wrong answer", {kOther}, 3, true, -1, {"3", "2"}},
        {"silence", {}, 3, false, -1, {"3", "2", "1"}},
        {"xtimeout 0", {}, 0, false, -1, {"0"}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.synth();
        if (!c.replies.empty()) rig.synth().on(kRequest, c.replies, 1500);
        std::vector<std::string> labels;
        rig.s.addListener([&](const std::string& n) {
            if (n != ctl::TimeoutLabel) return;
            const std::string t = rig.s.controls.text.get(ctl::TimeoutLabel);
            if (!t.empty() && (labels.empty() || labels.back() != t)) labels.push_back(t);
        });
        std::int32_t idx = 99;
        EXPECT_EQ(Alt_ReqResponseSysex(rig.s, kRequest, kPattern, idx, true, c.xtimeout), c.result) << c.name;
        EXPECT_EQ(idx, c.idx) << c.name;
        EXPECT_EQ(labels, c.labels) << c.name;
        EXPECT_EQ(rig.s.controls.text.get(ctl::TimeoutLabel), "") << c.name;
        if (!c.result) {
            EXPECT_GE(rig.shell.nowMs(), std::max(1, c.xtimeout) * 1000) << c.name;
            EXPECT_LT(rig.shell.nowMs(), std::max(1, c.xtimeout) * 1000 + 100) << c.name;
        }
    }
}

TEST(RequestResponse, NoDeviceReturnsAtOnceWithoutSending)
{
    Rig rig;
    rig.synth();
    rig.s.midi.MIDI_In_Present = false;
    std::int32_t idx = 5;
    EXPECT_EQ(ReqResponseSysex(rig.s, kRequest, kPattern), -1);
    EXPECT_FALSE(Alt_ReqResponseSysex(rig.s, kRequest, kPattern, idx, true, 3));
    EXPECT_EQ(idx, -1);
    EXPECT_TRUE(rig.synth().heard().empty());
    EXPECT_EQ(rig.shell.nowMs(), 0);
}

TEST(RequestResponse, ExtractsNibblePairsWithinTheMessage)
{
    testing::ScriptedShell shell;
    Session s(shell);
    const Bytes msg = bytesOf("F0 00 00 00 00 00 03 0C 1A 75 F7");
    const struct {
        NibbleOrder order;
        int offset, n;
        std::size_t length;
        Bytes out;
        int offsetAfter;
        const char* box;
    } cases[] = {
        {NibbleOrder::HighFirst, 7, 2, 11, bytesOf("3C A5"), 11, ""},
        {NibbleOrder::LowFirst, 7, 2, 11, bytesOf("C3 5A"), 11, ""},
        {NibbleOrder::HighFirst,
         7,
         2,
         10,
         {},
         7,
         "Bulk Extract Overflow: offset: 7, nbytes: 2. SX length is 10, needed 11"},
        {NibbleOrder::HighFirst,
         0,
         1,
         11,
         {},
         0,
         "Bulk Extract Overflow: offset: 0, nbytes: 1. SX length is 11, needed 2"},
        {NibbleOrder::HighFirst, 7, 0, 11, {}, 7, "Request to extract 0 bytes"},
    };
    for (const auto& c : cases) {
        shell.boxes.clear();
        std::int32_t offset = c.offset;
        Bytes out;
        const bool ok = SX_extract_bulk(s, c.order, offset, c.n, ByteView(msg).first(c.length), out);
        EXPECT_EQ(ok, c.out.size() > 0);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(offset, c.offsetAfter);
        EXPECT_EQ(shell.boxes.empty() ? "" : shell.boxes[0].text, c.box);
    }
}

}  // namespace
}  // namespace tolvex
