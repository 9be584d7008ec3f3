// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/command_table.h"

#include <gtest/gtest.h>

#include "core/text/bytes.h"

namespace tolvex {
namespace {

void nothing(Session&) {}

std::vector<std::string> controls(const std::vector<const Command*>& found)
{
    std::vector<std::string> out;
    for (const Command* c : found) out.push_back(c->control);
    return out;
}

// A small table as families declare theirs: a menu entry, two pages reusing a
// caption, a placeholder, a box and a hint of a control that is no command.
TEST(CommandTable, PlacesDeclarationsFindsThemAndRefusesRepeats)
{
    CommandTable t;
    t.add({.control = "Open1",
           .caption = "&Open",
           .place = "File",
           .hint = "Open a file",
           .use = {.writes = {"the list"}},
           .run = nothing});
    t.addPage({.title = "Synth A", .legacy = true},
              {{.control = "ReqA", .caption = "Req 1 Prog", .row = 0, .column = 0, .run = nothing},
               {.control = "Later", .caption = "Later", .row = 0, .column = 1}},
              {{.control = "Num", .caption = "Prog", .hint = "Program number", .row = 1, .column = 0}});
    t.addPage({.title = "Synth B"}, {{.control = "ReqB", .caption = "Req 1 Prog", .row = 0, .column = 0}});
    t.addHint("List", "The list");

    // A name finds its control, else every command of that caption ('&' and case ignored).
    const struct {
        const char* name;
        std::vector<std::string> found;
    } finds[] = {
        {"open1", {"Open1"}}, {"&OPEN", {"Open1"}}, {"open", {"Open1"}}, {"Req 1 Prog", {"ReqA", "ReqB"}},
        {"reqb", {"ReqB"}},   {"Opn", {}},          {"Prog", {}},        {"Synth A", {}},
    };
    for (const auto& f : finds) EXPECT_EQ(controls(t.findAll(f.name)), f.found) << f.name;

    // A page's declaration places its commands and boxes on it, in order.
    EXPECT_EQ(controls(t.on(kMainWindow, "Synth A")), (std::vector<std::string>{"ReqA", "Later"}));
    EXPECT_EQ(controls(t.on(kMainWindow, "File")), std::vector<std::string>{"Open1"});
    ASSERT_EQ(t.findFields("prog").size(), 1u);
    EXPECT_EQ(t.findFields("prog").front()->place, "Synth A");
    ASSERT_EQ(t.pages().size(), 2u);
    EXPECT_TRUE(t.pages()[0].legacy);
    EXPECT_EQ(t.pages()[1].title, "Synth B");

    // Hints of commands, boxes and other controls; descriptions only where declared.
    for (const auto& [control, hint] : std::vector<std::pair<const char*, const char*>>{
             {"Open1", "Open a file"}, {"Num", "Program number"}, {"List", "The list"}, {"ReqA", ""}})
        EXPECT_EQ(t.hintOf(control), hint) << control;
    EXPECT_NE(t.useOf("Open1"), nullptr);
    EXPECT_EQ(t.useOf("ReqA"), nullptr);
    EXPECT_EQ(t.useOf("open1"), nullptr);

    // A placeholder takes its function once; every other repeat or unknown name is refused.
    t.bind("Later", nothing);
    EXPECT_TRUE(t.find("Later")->run);
    const std::function<void()> refused[] = {
        [&] { t.add({.control = "ReqA", .caption = "Again"}); },
        [&] { t.addPage({.title = "Synth C"}, {{.control = "Open1"}}); },
        [&] { t.bind("Later", nothing); },
        [&] { t.bind("Nope", nothing); },
        [&] { t.placeField("Nope", "Synth B", 0, 0); },
    };
    for (std::size_t i = 0; i < std::size(refused); ++i) EXPECT_THROW(refused[i](), TolvexError) << i;
    EXPECT_EQ(t.all().size(), 4u);
}

}  // namespace
}  // namespace tolvex
