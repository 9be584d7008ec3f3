// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/window_session.h"

#include <optional>

#include <gtest/gtest.h>

#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::ScriptedShell;
using testing::TempDir;

Bytes numbered(int i)
{
    return Bytes{0xF0, 0x7D, static_cast<std::uint8_t>(i), 0xF7};
}

// The numbers of the list's messages, in order.
std::vector<int> numbers(const Session& s)
{
    std::vector<int> out;
    for (std::size_t i = 0; i < s.messages.count(); ++i) out.push_back(s.messages.at(i).storage->sxdata.at(2));
    return out;
}

// One undo puts back what the last Clear removed, where it was, behind
// nothing and before what came since; a second undo does nothing.
TEST(WindowSession, UndoPutsBackTheLastClearOnce)
{
    const struct {
        const char* name;
        std::vector<std::size_t> select;  // empty: Clear All Buffers
        std::vector<int> afterClear;
        int appendedAfter;  // a message received after the Clear (-1: none)
        std::vector<int> afterUndo;
    } cases[] = {
        {"clear selected", {1, 3}, {0, 2, 4}, -1, {0, 1, 2, 3, 4}},
        {"clear all, then a reception", {}, {}, 9, {0, 1, 2, 3, 4, 9}},
    };
    for (const auto& c : cases) {
        ScriptedShell shell;
        Session s(shell);
        for (int i = 0; i < 5; ++i) s.messages.append("m", numbered(i), "f.syx");
        for (std::size_t i : c.select) s.messages.setSelected(i, true);
        if (c.select.empty())
            ClearAllWithUndo(s);
        else
            ClearSelectedWithUndo(s);
        EXPECT_EQ(numbers(s), c.afterClear) << c.name;
        EXPECT_TRUE(CanUndoClear(s)) << c.name;
        if (c.appendedAfter >= 0) StoreReceivedMessage(s, numbered(c.appendedAfter));
        UndoClear(s);
        EXPECT_EQ(numbers(s), c.afterUndo) << c.name;
        if (!c.select.empty() && c.appendedAfter < 0) {
            EXPECT_EQ(s.messages.selectedIndexes(), c.select) << c.name;
        }
        EXPECT_FALSE(CanUndoClear(s)) << c.name;
        UndoClear(s);
        EXPECT_EQ(numbers(s), c.afterUndo) << c.name << ": a second undo";
    }
}

// Closing asks about received messages never saved: Save saves them and
// closes only when it did (the window's tests answer Discard and Cancel).
TEST(WindowSession, CloseAsksAboutReceivedMessagesNeverSaved)
{
    TempDir dir;
    const struct {
        const char* name;
        int received;
        std::optional<MsgResult> answer;    // none: no box expected
        std::optional<std::string> saveAs;  // the save dialog's answer
        bool closes;
        std::size_t savedBytes;
    } cases[] = {
        {"nothing received", 0, std::nullopt, std::nullopt, true, 0},
        {"save", 3, MsgResult::Yes, dir.file("kept.syx"), true, 12},
        {"save, dialog cancelled", 2, MsgResult::Yes, std::nullopt, false, 0},
    };
    for (const auto& c : cases) {
        ScriptedShell shell;
        Session s(shell);
        s.messages.append("loaded", numbered(100), "loaded.syx");
        for (int i = 0; i < c.received; ++i) StoreReceivedMessage(s, numbered(i));
        EXPECT_EQ(UnsavedReceivedCount(s), static_cast<std::size_t>(c.received)) << c.name;
        if (c.answer) shell.boxAnswers.push_back(*c.answer);
        shell.saveAnswers.push_back(c.saveAs);
        EXPECT_EQ(ConfirmClose(s), c.closes) << c.name;
        ASSERT_EQ(shell.boxes.size(), c.answer ? 1u : 0u) << c.name;
        if (c.answer) {
            EXPECT_EQ(shell.boxes[0].text, "Save the " + std::to_string(c.received) + " received messages?");
            EXPECT_EQ(shell.boxes[0].captions, (std::vector<std::string>{"Save", "Discard", "Cancel"}));
        }
        if (c.savedBytes > 0) {
            EXPECT_EQ(dir.read("kept.syx").size(), c.savedBytes) << c.name;
            EXPECT_EQ(UnsavedReceivedCount(s), 0u) << c.name;
            EXPECT_EQ(WindowTitle(s), "kept.syx - Tolvex") << c.name;
        }
    }
}

}  // namespace
}  // namespace tolvex
