// SPDX-License-Identifier: GPL-3.0-or-later
// What the user changes in the library: the trash, favourites, categories,
// names, merging another library; and the patches of the Peavey SP.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <set>

#include "core/sysex/syx_file.h"
#include "devices/devices.h"
#include "library/patch_library.h"
#include "support/simulated_sp.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::fixture;

void sql(const std::string& path, const char* statements)
{
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &h), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(h, statements, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(h);
    sqlite3_close(h);
}

std::int64_t idOf(const PatchLibrary& lib, const std::string& name)
{
    const auto ids = lib.find({name, "", ""});
    for (const LibraryItem& it : lib.items(ids))
        if (it.name == name) return it.id;
    ADD_FAILURE() << "no " << name;
    return 0;
}

std::set<std::string> namesOf(const PatchLibrary& lib, const LibraryQuery& query)
{
    std::set<std::string> names;
    for (const LibraryItem& it : lib.items(lib.find(query))) names.insert(it.name);
    return names;
}

TEST(LibraryEdits, TrashFavouritesAndCategoriesFilterTheItems)
{
    testing::TempDir dir;
    PatchLibrary lib(dir.file("library.sqlite"));
    AddReport r;
    lib.addFiles({fixture("yamaha/dx7-rom1a.syx"), fixture("korg/triton-factory-combi-bank-a.syx")}, r);
    const std::int64_t brass1 = idOf(lib, "BRASS   1"), brass2 = idOf(lib, "BRASS   2"), piano = idOf(lib, "PIANO   1");
    const std::int64_t trashed[] = {brass1, piano};
    lib.trash(trashed);
    const std::int64_t stars[] = {brass2, piano};
    lib.setFavourite(stars, true);
    const std::int64_t mine[] = {brass2};
    lib.setCategory(mine, "Horns");

    struct Case {
        LibraryQuery query;
        std::size_t count;
        std::set<std::string> some;  // names among them
    };
    const auto query = [](std::string search, std::string maker, std::string category, bool favourites, bool trash) {
        LibraryQuery q{std::move(search), std::move(maker), ""};
        q.category = std::move(category);
        q.favourites = favourites;
        q.trash = trash;
        return q;
    };
    const Case cases[] = {
        {query("", "", "", false, false), 32 + 128 - 2, {"BRASS   3"}},
        {query("brass", "Yamaha", "", false, false), 2, {"BRASS   3"}},  // the search leaves the trash out too
        {query("", "", "", false, true), 2, {"BRASS   1", "PIANO   1"}},
        {query("", "", "", true, false), 1, {"BRASS   2"}},  // a favourite in the trash is in the trash
        {query("", "", "Horns", false, false), 1, {"BRASS   2"}},
        {query("", "yamaha", "Piano", false, false), 2, {"PIANO   2", "PIANO   3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query.search + "/" + c.query.maker + "/" + c.query.category);
        const auto names = namesOf(lib, c.query);
        EXPECT_EQ(lib.find(c.query).size(), c.count);
        for (const std::string& n : c.some) EXPECT_TRUE(names.count(n)) << n;
    }
    // The combi's own category first (a choir filed with the pads), the name where it says little (a split).
    const std::pair<const char*, const char*> combis[] = {{"Universal Choir", "Pad"},
                                                          {"Big Jazz Band", "Brass"},
                                                          {"Bass & PianoPad", "Piano"},
                                                          {"*Woodwinds*", "Woodwind"}};
    for (const auto& [name, category] : combis) {
        const std::int64_t id = idOf(lib, name);
        EXPECT_EQ(lib.items(std::span(&id, 1)).at(0).category, category) << name;
    }

    // Restored, an item is back; emptying the trash removes the rest for good.
    lib.restore(std::span(trashed).first(1));
    EXPECT_EQ(lib.find(query("", "", "", false, true)).size(), 1u);
    EXPECT_EQ(lib.emptyTrash(), 1u);
    EXPECT_THROW(lib.message(piano), LibraryError);
    EXPECT_EQ(lib.find({}).size(), 32u + 128u - 1u);
}

TEST(LibraryEdits, RenameReachesTheRecordWithinTheInstrumentsLimits)
{
    testing::TempDir dir;
    PatchLibrary lib(dir.file("library.sqlite"));
    AddReport r;
    lib.addFiles({fixture("yamaha/dx7-rom1a.syx"), fixture("korg/triton-factory-combi-bank-a.syx"),
                  fixture("korg/wavestation-factory.syx"), fixture("yamaha/tx802-performance-bank.syx")},
                 r);
    struct Case {
        const char* name;
        const char* renamed;
        const char* refused;  // part of the error, nullptr: accepted
    };
    const Case cases[] = {
        {"BRASS   2", "BIG BRASS", nullptr},
        {"BIG BRASS", "BIG BRASS 2", "at most 10 characters"},
        {"BIG BRASS", "BRASS\\YEN", "does not fit"},
        {"BIG BRASS", "   ", "needs a name"},
        {"Romance Layers", "Velvet Layers", nullptr},
        {"Velvet Layers", "A Name Of Seventeen", "at most 16"},
        {"Ski Jam", "Ski Jump", nullptr},
        {"Brass Solo", "Brass And Strings", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.renamed);
        const std::int64_t id = idOf(lib, c.name);
        if (c.refused) {
            try {
                lib.rename(id, c.renamed);
                ADD_FAILURE() << "renamed";
            } catch (const LibraryError& e) {
                EXPECT_NE(std::string(e.what()).find(c.refused), std::string::npos) << e.what();
            }
            EXPECT_EQ(lib.items(std::span(&id, 1)).at(0).name, c.name);
            continue;
        }
        lib.rename(id, c.renamed);
        EXPECT_EQ(lib.items(std::span(&id, 1)).at(0).name, c.renamed);
        EXPECT_EQ(idOf(lib, c.renamed), id);  // the search finds the new name
        // What goes to the instrument carries it.
        std::vector<std::string> problems;
        const auto sent = splitMessage(lib.families(), lib.message(id), problems);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].name, c.renamed);
    }
}

TEST(LibraryEdits, MergeKeepsSourcesDatesNamesAndMarks)
{
    testing::TempDir dir;
    const std::string mine = dir.file("mine.sqlite"), theirs = dir.file("theirs.sqlite");
    const std::string copy = dir.write("copy.syx", readSyxFile(fixture("yamaha/dx7-rom1a.syx")).messages.at(0));
    {
        PatchLibrary other(theirs);
        AddReport r;
        other.addFile(fixture("yamaha/dx7-rom1a.syx"), r);
        const std::int64_t brass = idOf(other, "BRASS   1");
        other.rename(brass, "HORNS");
        other.setFavourite(std::span(&brass, 1), true);
        const std::int64_t gone = idOf(other, "TAKE OFF");
        other.trash(std::span(&gone, 1));
    }
    sql(theirs, "UPDATE items SET added=1000; UPDATE sources SET added=1000");
    const std::string before = dir.read("theirs.sqlite");
    PatchLibrary lib(mine);
    AddReport r;
    lib.addFile(copy, r);
    const MergeReport m = lib.merge(theirs);
    EXPECT_EQ(m.items, 31u);    // its trash stays there
    EXPECT_EQ(m.added, 1u);     // HORNS: the rest is here already
    EXPECT_EQ(m.already, 30u);  // BRASS 1 and TAKE OFF are not among them
    EXPECT_EQ(m.sources, 30u);  // the file there, for each of those
    EXPECT_EQ(dir.read("theirs.sqlite"), before);
    const std::int64_t horns = idOf(lib, "HORNS");
    const LibraryItem it = lib.items(std::span(&horns, 1)).at(0);
    EXPECT_TRUE(it.favourite);
    EXPECT_EQ(it.added, 1000);
    EXPECT_EQ(it.category, "Brass");
    EXPECT_EQ(lib.sources(idOf(lib, "PIANO   1")).size(), 2u);
    // Merged twice: nothing new.
    const MergeReport again = lib.merge(theirs);
    EXPECT_EQ(again.added + again.sources, 0u);

    const std::pair<std::string, const char*> refused[] = {
        {mine, "is this library"},
        {copy, "not a Tolvex library"},
        {dir.file("absent.sqlite"), "Cannot open"},
    };
    for (const auto& [path, text] : refused) {
        try {
            lib.merge(path);
            ADD_FAILURE() << path;
        } catch (const LibraryError& e) {
            EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
        }
    }
}

TEST(PatchCategories, TheFamilysOwnOrGuessedFromTheName)
{
    const std::pair<const char*, const char*> names[] = {
        {"BRASS   1", "Brass"},  {"E.PIANO 1", "Keys"},       {"PIANO   2", "Piano"}, {"SYN-BASS 3", "Bass"},
        {"Bassoon", "Woodwind"}, {"Warm Strings", "Strings"}, {"Custom", ""},         {"Angel Choir", "Voice"},
        {"Noisy Stabber", ""},   {"Fat Lead", "Lead"},        {"TUB BELLS", "Bell"},  {"DrumKit 2", "Drum"},
    };
    for (const auto& [name, category] : names) EXPECT_EQ(guessCategory(name), category) << name;
    // A Triton combi's category byte is read, whatever its name says.
    std::vector<std::string> problems;
    auto items = splitMessage(libraryFamilies(),
                              readSyxFile(fixture("korg/triton-factory-combi-bank-a.syx")).messages.at(0), problems);
    ASSERT_FALSE(items.empty());
    const PatchFormat& combi = patchFamily("triton")->formats[1];
    ASSERT_TRUE(combi.category);
    Bytes record = items[0].record;
    const std::pair<int, const char*> numbers[] = {{0, "Keys"}, {8, "Pad"}, {12, ""}, {15, "Drum"}};
    for (const auto& [number, category] : numbers) {
        record[214] = static_cast<std::uint8_t>((record[214] & 0xF0) | number);  // the MOSS bits stay
        EXPECT_EQ(combi.category(record), category) << number;
    }
}

TEST(PeaveyPatches, ObjectDumpsAreItemsAndCutOnesAreProblems)
{
    using namespace tolvex::testing;
    const Bytes preset = spPreset("Big Piano", 2, 60, 12, 0, {{1, 2, 0, 0}, {128, 0, 0}}, {{3, 0, 0, 0}, {128, 0, 0}});
    const Bytes dump = spDumpMessage(3, 5, preset);
    const auto family = *patchFamily("peavey");
    const auto split = family.split(dump);
    ASSERT_TRUE(split && split->items.size() == 1 && split->proven);
    const PatchItem& it = split->items[0];
    EXPECT_EQ(it.name, "Big Piano");
    EXPECT_EQ(it.kind, "Preset");
    EXPECT_EQ(it.number, 5);
    EXPECT_EQ(it.record, preset);
    // Sent back as object 0 of its kind.
    EXPECT_EQ(family.formats[3].single(it.record, 0), spDumpMessage(3, 0, preset));

    struct Bad {
        const char* what;
        Bytes sx;
        const char* problem;  // nullptr: not a Peavey dump at all
    };
    Bytes cut(dump.begin(), dump.end() - 9);
    cut.push_back(0xF7);
    Bytes huge = dump;
    huge[9] = 0x0F;  // a length of 61,000 bytes
    Bytes otherType = dump;
    otherType[8] = 9;
    const Bad bad[] = {
        {"cut", cut, "cut off"},
        {"without F7", Bytes(dump.begin(), dump.end() - 1), "cut off"},
        {"too long", huge, "never sends"},
        {"unknown type", otherType, nullptr},
        {"header only", Bytes(dump.begin(), dump.begin() + 12), nullptr},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.what);
        const auto s = family.split(b.sx);
        if (!b.problem) {
            EXPECT_FALSE(s);
            continue;
        }
        ASSERT_TRUE(s);
        EXPECT_TRUE(s->items.empty());
        ASSERT_EQ(s->problems.size(), 1u);
        EXPECT_NE(s->problems[0].find(b.problem), std::string::npos) << s->problems[0];
    }

    // In the library the preset is found, guessed a piano, and sent as it came.
    TempDir dir;
    PatchLibrary lib(dir.file("library.sqlite"));
    AddReport r;
    lib.addMessages({dump}, "sp.syx", r);
    const std::int64_t id = idOf(lib, "Big Piano");
    EXPECT_EQ(lib.items(std::span(&id, 1)).at(0).category, "Piano");
    EXPECT_EQ(lib.message(id), spDumpMessage(3, 0, preset));
}

}  // namespace
}  // namespace tolvex
