// SPDX-License-Identifier: GPL-3.0-or-later
// What every device family must do with the real dumps it names as its
// fixtures (DeviceFamily::fixtures), from the facts file beside each
// (FIXTURE.facts): every message is named as the facts say; where the family
// writes what it reads (DeviceFamily::roundTrip), the message comes back byte
// for byte; every cut of a message gives the family's error and no crash;
// junk is refused; every patch it splits out of a message comes back the same
// from the single-patch message it makes of it. The families come from the
// registry, so a new family is held to the contract as soon as it is listed.
//
// A facts file holds one line per fact, fields separated by tabs:
//   N LENGTH NAME   message N (from 1) is LENGTH bytes and named NAME
//   packs N         message N unpacks and packs back byte for byte
//   cut N FROM TEXT message N cut to FROM bytes or more gives an error starting
//                   with TEXT (up to the FROM of its next cut line); every
//                   message with cut lines has one from 0, and every cut of
//                   it gives an error
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "cli/cli.h"
#include "core/app/session.h"
#include "devices/devices.h"
#include "support/run_tool.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

// Fixtures are named from the project's top folder.
const std::string kTop = std::string(TOLVEX_FIXTURES_DIR) + "/../../";

struct Family {
    std::string name;
    std::shared_ptr<const DeviceFamily> family;
};

std::ostream& operator<<(std::ostream& out, const Family& f)
{
    return out << f.name;
}

struct Facts {
    std::vector<std::string> names;  // "N<TAB>LENGTH<TAB>NAME" as `tolvex-cli names` prints them
    std::vector<std::size_t> packs;
    struct Cut {
        std::size_t message, from;
        std::string text;
    };
    std::vector<Cut> cuts;
};

Facts factsOf(const std::string& fixture)
{
    Facts f;
    std::ifstream in(kTop + fixture.substr(0, fixture.rfind('.')) + ".facts");
    EXPECT_TRUE(in) << fixture << " has no facts file";
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string first, second, rest;
        std::getline(fields, first, '\t');
        std::getline(fields, second, '\t');
        std::getline(fields, rest);
        if (first == "packs")
            f.packs.push_back(std::stoul(second));
        else if (first == "cut")
            f.cuts.push_back({std::stoul(second), std::stoul(rest), rest.substr(rest.find('\t') + 1)});
        else if (!first.empty() && first[0] != '#')
            f.names.push_back(line);
    }
    return f;
}

// What a patch's sound is compared by: its record in the form that two forms
// of the same sound share, as its parameters where the form has them.
Bytes soundOf(const PatchFamily& family, const PatchItem& it)
{
    const auto formOf = [&](const std::string& name) -> const PatchFormat* {
        for (const PatchFormat& f : family.formats)
            if (name == f.format) return &f;
        return nullptr;
    };
    const PatchFormat* form = formOf(it.format);
    Bytes record = it.record;
    if (!form) return record;
    if (form->asSame && form->sameAs)
        if (const std::optional<Bytes> same = form->asSame(record, false); same && formOf(form->sameAs)) {
            record = *same;
            form = formOf(form->sameAs);
        }
    if (form->parameters && record.size() == form->recordSize) return form->parameters(record);
    return record;
}

// Whether the family names any message or keeps any patch (a family that
// only adds commands over others' messages has nothing of its own to check).
bool hasMessagesOfItsOwn(const DeviceFamily& f)
{
    testing::ScriptedShell shell;
    Session s(shell);
    FamilyNamers namers;
    f.addNamers(s, namers);
    return !namers.empty() || f.patches().has_value();
}

class Contract : public ::testing::TestWithParam<Family> {};

TEST_P(Contract, FixturesNamedPackedCutAndJunk)
{
    const DeviceFamily& family = *GetParam().family;
    if (hasMessagesOfItsOwn(family)) {
        EXPECT_FALSE(family.fixtures().empty()) << family.name() << " names no fixture to check it with";
    }
    const std::optional<PatchFamily> patches = family.patches();
    for (const std::string& fixture : family.fixtures()) {
        const Facts facts = factsOf(fixture);
        std::ostringstream out, err;
        const std::vector<Bytes> messages = testing::messagesInFile(kTop + fixture);
        // A fixture cut short (no end byte F7) is named, and names says it is not whole.
        const bool cut = std::any_of(messages.begin(), messages.end(), [](const Bytes& m) { return m.back() != 0xF7; });
        ASSERT_EQ(runCli({"names", kTop + fixture}, out, err, {}, false), cut ? 1 : 0) << err.str();
        std::vector<std::string> named;
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);)  // FILE N LENGTH NAME SUPPLEMENT
            named.push_back(line.substr(line.find('\t') + 1, line.rfind('\t') - line.find('\t') - 1));
        EXPECT_EQ(named, facts.names) << fixture;

        for (std::size_t n : facts.packs) {
            ASSERT_LE(n, messages.size()) << fixture;
            const std::optional<Bytes> again = family.roundTrip(messages[n - 1]);
            ASSERT_TRUE(again) << fixture << " " << n;
            EXPECT_TRUE(*again == messages[n - 1]) << fixture << " message " << n << " packs differently";
        }
        // Each patch split out comes back as the same sound from its single-patch message.
        for (const Bytes& m : patches ? messages : std::vector<Bytes>{}) {
            const std::optional<PatchSplit> split = patches->split(m);
            for (const PatchItem& it : split ? split->items : std::vector<PatchItem>{}) {
                const auto form = std::find_if(patches->formats.begin(), patches->formats.end(),
                                               [&](const PatchFormat& f) { return it.format == f.format; });
                ASSERT_NE(form, patches->formats.end()) << fixture << " " << it.format;
                if (!form->single) continue;
                const std::optional<PatchSplit> again = patches->split(form->single(it.record, 0));
                ASSERT_TRUE(again && again->items.size() == 1) << fixture << " " << it.name;
                EXPECT_TRUE(soundOf(*patches, again->items[0]) == soundOf(*patches, it))
                    << fixture << " " << it.name << " comes back otherwise";
            }
        }
        for (const Facts::Cut& c : facts.cuts) {
            if (c.from != 0) continue;  // each message once, from its first cut line
            const Bytes& whole = messages.at(c.message - 1);
            for (std::size_t length = 0; length < whole.size();
                 length = std::min(length + 1 + length / 16, std::max(length + 1, whole.size() - 2))) {
                std::string want;  // the text of the last cut line of this message reached by `length`
                for (const Facts::Cut& d : facts.cuts)
                    if (d.message == c.message && d.from <= length) want = d.text;
                try {
                    family.roundTrip(ByteView(whole).first(length));
                    ADD_FAILURE() << fixture << " message " << c.message << " cut to " << length << " was read";
                } catch (const TolvexError& e) {
                    EXPECT_EQ(std::string(e.what()).substr(0, want.size()), want) << fixture << " cut to " << length;
                }
            }
        }
    }
    // Junk: nothing, a lone F0, text, and another maker's dump.
    for (const Bytes& junk : {Bytes{}, Bytes{0xF0}, Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0xF7},
                              Bytes{0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7}, Bytes(300, 0xF0)})
        EXPECT_THROW(family.roundTrip(junk), TolvexError) << junk.size();
}

std::vector<Family> registeredFamilies()
{
    std::vector<Family> out;
    for (auto& f : makeDeviceFamilies()) out.push_back({f->name(), std::shared_ptr<const DeviceFamily>(std::move(f))});
    return out;
}

INSTANTIATE_TEST_SUITE_P(Families, Contract, ::testing::ValuesIn(registeredFamilies()),
                         [](const ::testing::TestParamInfo<Family>& p) {
                             std::string name;
                             for (char c : p.param.name)
                                 if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             return name;
                         });

}  // namespace
}  // namespace tolvex
