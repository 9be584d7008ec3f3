// SPDX-License-Identifier: GPL-3.0-or-later
// The library database on a temporary folder: adding, duplicates, search,
// bank assembly, and the files it must refuse or survive.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/sysex/syx_file.h"
#include "devices/yamaha/yamaha_formats.h"
#include "library/patch_library.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

namespace fs = std::filesystem;

using testing::fixture;

class LibraryTest : public ::testing::Test {
protected:
    // Runs the statements on the file and gives the first column of the last row they returned.
    static std::string sql(const std::string& path, const char* statements)
    {
        sqlite3* h = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &h), SQLITE_OK);
        std::string value;
        const auto row = [](void* to, int, char** values, char**) {
            *static_cast<std::string*>(to) = values[0] ? values[0] : "";
            return 0;
        };
        EXPECT_EQ(sqlite3_exec(h, statements, row, &value, nullptr), SQLITE_OK) << sqlite3_errmsg(h);
        sqlite3_close(h);
        return value;
    }

    // Performance 1 of the TX802 bank fixture as the edit-buffer message the
    // library sends, its data changed by `edit`.
    Bytes firstTX802Performance(const std::function<void(TX802Pced&)>& edit = {})
    {
        PatchLibrary scratch(dir.file("scratch.sqlite"));
        AddReport r;
        scratch.addFile(fixture("yamaha/tx802-performance-bank.syx"), r);
        TX802Pced p{};
        ExtractTX802PCED(scratch.message(scratch.find({"Hall Orchestra", "", ""}).at(0)), p);
        if (edit) edit(p);
        return TX802PCEDtoSysex(0, p);
    }

    testing::TempDir dir;
    const std::string db = dir.file("sub/library.sqlite");  // in a folder the library makes
};

TEST_F(LibraryTest, EachPatchIsKeptOnceWithEverySourceItCameFrom)
{
    PatchLibrary lib(db);
    AddReport first;
    lib.addFile(fixture("yamaha/dx7-rom1a.syx"), first);
    EXPECT_EQ(first.added, 32u);

    // The same voice as a single dump on another device number is the same sound.
    const Bytes bank = readSyxFile(fixture("yamaha/dx7-rom1a.syx")).messages.at(0);
    const auto piano = lib.find({"PIANO   1", "", ""});
    ASSERT_EQ(piano.size(), 1u);
    AddReport single;
    lib.addMessages({lib.message(piano[0], 9)}, "", single);
    EXPECT_EQ(single.added, 0u);
    EXPECT_EQ(single.duplicates, 1u);

    // A message kept whole is the same item whatever channel or device number it names.
    const struct {
        Bytes first, other;
    } channels[] = {
        {{0xF0, 0x42, 0x30, 0x19, 0x4C, 0x00, 0xF7}, {0xF0, 0x42, 0x3F, 0x19, 0x4C, 0x00, 0xF7}},
        {{0xF0, 0x7E, 0x00, 0x09, 0x01, 0xF7}, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
    };
    for (const auto& c : channels) {
        AddReport a, b;
        lib.addMessages({c.first}, "", a);
        lib.addMessages({c.other}, "", b);
        EXPECT_EQ(a.added, 1u) << int(c.first[1]);
        EXPECT_EQ(b.added, 0u) << int(c.first[1]);
        EXPECT_EQ(b.duplicates, 1u) << int(c.first[1]);
    }

    // A renamed copy is a new item; with names ignored the two are one sound.
    Bytes renamed = bank;
    std::copy_n("MY PIANO  ", 10, renamed.begin() + 6 + 128 * 7 + kVoiceName);
    AddReport r;
    lib.addMessages({renamed}, "renamed.syx", r);
    EXPECT_EQ(r.added, 1u);
    EXPECT_EQ(r.duplicates, 31u);
    bool grouped = false;
    for (const auto& g : lib.duplicates(true)) grouped = grouped || g.size() == 2;
    EXPECT_TRUE(grouped);
    lib.setIgnoreNames(true);
    std::copy_n("MY PIANO 2", 10, renamed.begin() + 6 + 128 * 7 + kVoiceName);
    lib.addMessages({renamed}, "renamed2.syx", r);
    EXPECT_EQ(r.added, 1u);  // nothing new this time
}

// A message without its end byte is no patch (whole voices read out of a
// cut bank are); a stop asked during an add rolls back the transaction under
// way, so only whole transactions are kept.
TEST_F(LibraryTest, AddKeepsWholeMessagesAndWholeTransactionsOnly)
{
    const std::string rom = fixture("yamaha/dx7-rom1a.syx");
    const std::string cut = fixture("yamaha/dx7-bank-truncated-no-f7.syx");
    const std::string unknown = dir.file("unknown-cut.syx");
    writeSyxFile(unknown, {Bytes{0xF0, 0x7D, 0x01, 0x02}});
    const struct {
        const char* name;
        std::vector<std::string> files;
        int stopAfter;  // stop when asked this many times (-1: never)
        std::size_t added, files_;
        bool stopped;
        std::size_t problems;
    } cases[] = {
        {"unterminated message of no known kind", {unknown}, -1, 0, 1, false, 1},
        {"stopped in the first transaction", {rom, cut}, 3, 0, 0, true, 0},
        {"never stopped", {unknown, rom}, 1000, 32, 2, false, 1},
    };
    for (const auto& c : cases) {
        PatchLibrary lib(dir.file(std::string(c.name) + ".sqlite"));
        AddReport r;
        int asked = 0;
        lib.addFiles(c.files, r, {}, [&] { return c.stopAfter >= 0 && ++asked > c.stopAfter; });
        EXPECT_EQ(r.added, c.added) << c.name;
        EXPECT_EQ(lib.count(), static_cast<std::int64_t>(c.added)) << c.name;
        EXPECT_EQ(r.files, c.files_) << c.name;
        EXPECT_EQ(r.stopped, c.stopped) << c.name;
        ASSERT_EQ(r.problems.size(), c.problems) << c.name;
        if (c.problems > 0) {
            EXPECT_EQ(r.problems[0], unknown + ": 1 message(s) without end byte F7") << c.name;
        }
    }
}

TEST_F(LibraryTest, SearchFindsPartsOfEveryTextColumnAndFilters)
{
    PatchLibrary lib(db);
    AddReport r;
    for (const char* f : {"yamaha/dx7-rom1a.syx", "korg/triton-factory-combi-bank-a.syx", "korg/03rw-program-bank.syx"})
        lib.addFile(fixture(f), r);
    struct Case {
        LibraryQuery q;
        std::size_t count;
    };
    const Case cases[] = {
        {{"Bras", "korg", ""}, 5},  // Combinations too, of the one maker
        {{"", "yamaha", ""}, 32},  {{"", "korg", "combi"}, 128}, {{"rom1a", "", ""}, 32},  // the source file
        {{"o3r", "", ""}, 1},   // the model of a message no family splits
        {{"100%", "", ""}, 0},  // wildcards are letters here
        {{"a\"b", "", ""}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.q.search + "|" + c.q.maker + "|" + c.q.kind);
        EXPECT_EQ(lib.find(c.q).size(), c.count);
    }
    // Once the whole library has been read in an order, a search is ordered by
    // it: the same ids in the same order as a search on its own.
    const LibraryColumn columns[] = {LibraryColumn::Name,       LibraryColumn::MakerModel, LibraryColumn::Kind,
                                     LibraryColumn::BankNumber, LibraryColumn::Source,     LibraryColumn::Added};
    for (const LibraryColumn column : columns)
        for (bool descending : {false, true})
            for (const char* search : {"piano", "o", "%", "A", "1 ", "ROM1", "\xC3\xA9", "zq"}) {
                SCOPED_TRACE(std::string(search) + " " + std::to_string(int(column)) + (descending ? " down" : ""));
                const auto alone = lib.find({search, "", ""}, column, descending);
                lib.find({}, column, descending);
                EXPECT_EQ(lib.find({search, "", ""}, column, descending), alone);
            }
    // (The first screenful of a search and the rest after it: in the Library window's tests.)
    // A new item, added here or through another connection, is found at once.
    const auto pianos = lib.find({"piano", "", ""});
    const auto renamed = [&](const char* name) {
        Bytes v = lib.message(pianos.at(0));
        std::copy_n(name, 10, v.begin() + 6 + 145);
        v[v.size() - 2] = yamahaChecksum(ByteView(v).subspan(6, 155));
        return v;
    };
    lib.find({});
    lib.addMessages({renamed("PIANO NEW1")}, "", r);
    EXPECT_EQ(lib.find({"piano", "", ""}).size(), pianos.size() + 1);
    PatchLibrary other(db);
    lib.find({});
    other.addMessages({renamed("PIANO NEW2")}, "", r);
    EXPECT_EQ(lib.find({"piano", "", ""}).size(), pianos.size() + 2);
}

TEST_F(LibraryTest, ByNameTheNamelessComeAfterTheNamedAndTheFirstRowsLeadTheWholeOrder)
{
    PatchLibrary lib(db);
    AddReport r;
    lib.addFile(fixture("yamaha/dx7-rom1a.syx"), r);
    // Voices named with blanks only, each a sound of its own.
    const Bytes voice = lib.message(lib.find({}).at(0));
    std::vector<Bytes> blank;
    for (std::uint8_t i = 0; i < 3; ++i) {
        Bytes v = voice;
        std::fill_n(v.begin() + 6 + 145, 10, ' ');
        v[6] = i;  // operator 6, rate 1
        v[v.size() - 2] = yamahaChecksum(ByteView(v).subspan(6, 155));
        blank.push_back(v);
    }
    lib.addMessages(blank, "", r);
    ASSERT_EQ(r.added, 32u + 3u);
    const auto isNameless = [](const LibraryItem& it) { return it.name.find_first_not_of(' ') == std::string::npos; };
    const auto lowered = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    };
    struct Case {
        const char* search;
        bool keptOrder;  // after the whole library was read in this order
    };
    for (const Case c : {Case{"", false}, Case{"yamaha", false}, Case{"ya", false}, Case{"yamaha", true}})
        for (const bool descending : {false, true}) {
            SCOPED_TRACE(std::string(c.search) + (descending ? " down" : " up") + (c.keptOrder ? " kept" : ""));
            if (c.keptOrder) lib.find({}, LibraryColumn::Name, descending);
            const auto ids = lib.find({c.search, "", ""}, LibraryColumn::Name, descending);
            const auto items = lib.items(ids);
            ASSERT_EQ(items.size(), 35u);
            // Ascending: 32 named, then the 3 nameless; descending the other way round.
            for (std::size_t i = 0; i < items.size(); ++i)
                EXPECT_EQ(isNameless(items[i]), descending ? i < 3 : i >= 32) << i << " " << items[i].name;
            for (std::size_t i = 1; i < items.size(); ++i) {
                if (isNameless(items[i]) || isNameless(items[i - 1])) continue;
                const auto a = lowered(items[i - 1].name), b = lowered(items[i].name);
                EXPECT_TRUE(descending ? a >= b : a <= b) << a << " / " << b;
            }
        }
    // The first rows the window shows at once are the head of the whole order.
    for (const bool descending : {false, true})
        for (const std::size_t limit : {1u, 5u, 33u, 100u}) {
            PatchLibrary fresh(db);  // no order kept
            const auto all = fresh.find({}, LibraryColumn::Name, descending);
            const auto first = PatchLibrary(db).firstInOrder(limit, LibraryColumn::Name, descending);
            EXPECT_EQ(first, std::vector<std::int64_t>(all.begin(), all.begin() + std::min(limit, all.size())))
                << limit << (descending ? " down" : " up");
        }
}

TEST_F(LibraryTest, BanksAreAssembledFromSinglePatchesAndInitPatches)
{
    PatchLibrary lib(db);
    AddReport r;
    for (const char* f : {"yamaha/dx7-rom1a.syx", "yamaha/tx802-performance-bank.syx", "korg/triton-one-program.syx"})
        lib.addFile(fixture(f), r);
    // A voice bank: in the command-line tests. A performance bank of an
    // edit-buffer performance and performances of a bank:
    lib.addMessages({firstTX802Performance([](TX802Pced& p) { p[16] ^= 1; })}, "single.syx", r);
    std::vector<std::int64_t> perfs = lib.find({"", "", "performance"});
    std::rotate(perfs.begin(), std::max_element(perfs.begin(), perfs.end()), perfs.end());  // the one added last
    const Bytes pmem = lib.assembleBank("yamaha", std::span(perfs).first(5));
    EXPECT_EQ(pmem.size(), kTX802PmemLength);
    std::string detail;
    EXPECT_TRUE(DX7VerifyCheckSum(pmem, detail)) << detail;
    std::vector<std::string> problems;
    EXPECT_EQ(splitMessage(lib.families(), pmem, problems).at(0).name, "Hall Orchestra");

    const auto program = lib.find({"Noisy", "", ""});
    const Bytes triton = lib.assembleBank("triton", program);
    const auto programs = splitMessage(lib.families(), triton, problems);
    ASSERT_EQ(programs.size(), 128u);
    EXPECT_EQ(programs[0].name, "Noisy Stabber");
    EXPECT_EQ(programs[1].name, "Init Program");
    EXPECT_TRUE(problems.empty());

    // What does not make a bank is refused with its reason.
    const auto brass = lib.find({"brass", "", "voice"});
    std::vector<std::int64_t> mixed{brass[0], perfs[0]};
    EXPECT_THROW(lib.assembleBank("yamaha", mixed), LibraryError);
    EXPECT_THROW(lib.assembleBank("triton", brass), LibraryError);
    const auto all = lib.find({"", "yamaha", "voice"});
    std::vector<std::int64_t> tooMany(all.begin(), all.end());
    tooMany.push_back(all[0]);
    EXPECT_THROW(lib.assembleBank("yamaha", tooMany), LibraryError);
}

TEST_F(LibraryTest, ForeignNewerAndUnreachableFilesAreRefusedAndLeftAsTheyAre)
{
    fs::create_directories(dir.file("sub"));
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* message;
    };
    const Case cases[] = {
        {"text file", [&] { std::ofstream(db) << "my notes, not a database\n"; }, "is not a Tolvex library"},
        {"other SQLite file", [&] { sql(db, "CREATE TABLE songs(title TEXT)"); }, "is not a Tolvex library"},
        {"newer library",
         [&] {
             PatchLibrary{db};
             sql(db, "PRAGMA user_version=99");
         },
         "newer Tolvex"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(db);
        fs::remove(db + "-wal");
        fs::remove(db + "-shm");
        c.make();
        const std::string before = dir.read("sub/library.sqlite");
        try {
            PatchLibrary lib(db);
            ADD_FAILURE() << "opened";
        } catch (const LibraryError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(dir.read("sub/library.sqlite"), before);
    }
    // (A folder that cannot be made: in the Library window's tests.)
}

TEST_F(LibraryTest, AnOlderLibraryIsBroughtUpToDate)
{
    {
        PatchLibrary lib(db);
        AddReport r;
        lib.addFile(fixture("yamaha/dx7-rom1a.syx"), r);
    }
    // The edit-buffer performance with its parameter 10, which a bank does not carry.
    const Bytes single = firstTX802Performance([](TX802Pced& p) { std::fill_n(p.begin() + 80, 8, 1); });
    {
        PatchLibrary lib(db);
        AddReport r;
        lib.addMessages({single}, "single.syx", r);
    }
    // What the first version of the library had: no search index, and an
    // edit-buffer performance fingerprinted in its own form.
    std::vector<std::string> problems;
    const Bytes record = splitMessage(libraryFamilies(), single, problems).at(0).record;
    Bytes noName = record;
    std::fill_n(noName.begin() + kPcedName, kNameLength, 0);
    const auto seed = fingerprintOf(ByteView(reinterpret_cast<const std::uint8_t*>("tx802-pced"), 10));
    const std::string old = "UPDATE items SET fp=" + std::to_string(std::int64_t(fingerprintOf(record, seed))) +
                            ", fp_noname=" + std::to_string(std::int64_t(fingerprintOf(noName, seed))) +
                            " WHERE format='tx802-pced'";
    sql(db, old.c_str());
    sql(db, "DROP TABLE items_search; DROP INDEX items_by_name; PRAGMA user_version=1");
    PatchLibrary lib(db);
    EXPECT_EQ(lib.find({"brass", "", ""}).size(), 3u);
    AddReport r;
    lib.addFile(fixture("yamaha/tx802-performance-bank.syx"), r);
    EXPECT_EQ(lib.find({"Hall Orchestra", "", ""}).size(), 1u);  // its performance 1 is the same sound
}

TEST_F(LibraryTest, AWriterKilledMidwayLeavesWholeAddsOnly)
{
    {
        PatchLibrary lib(db);
    }
    const Bytes bank = readSyxFile(fixture("yamaha/dx7-rom1a.syx")).messages.at(0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PatchLibrary lib(db);
        Bytes b = bank;
        for (int n = 0;; ++n) {
            for (std::size_t v = 0; v < 32; ++v) {  // 32 new sounds each time
                b[6 + 128 * v] = static_cast<std::uint8_t>(n & 0x7F);
                b[7 + 128 * v] = static_cast<std::uint8_t>((n >> 7) & 0x7F);
            }
            AddReport r;
            lib.addMessages({b}, "writer.syx", r);
        }
    }
    // Kill it once it has written a few adds, in the middle of the next.
    for (int i = 0; i < 400; ++i) {
        ::usleep(50 * 1000);
        PatchLibrary reader(db);
        if (reader.count() >= 3 * 32) break;
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    PatchLibrary lib(db);
    // Each add is one transaction of 32 new voices.
    const auto n = lib.count();
    EXPECT_GT(n, 0);
    EXPECT_EQ(n % 32, 0);
    EXPECT_EQ(sql(db, "PRAGMA integrity_check"), "ok");
    // Every item has its source: no add was kept in part.
    EXPECT_EQ(sql(db, "SELECT count(*) FROM items WHERE id NOT IN (SELECT item_id FROM sources)"), "0");
}

}  // namespace
}  // namespace tolvex
