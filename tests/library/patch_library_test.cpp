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
#include <set>

#include "core/app/session.h"
#include "core/sysex/syx_file.h"
#include "devices/devices.h"
#include "devices/yamaha/yamaha_formats.h"
#include "library/patch_library.h"
#include "support/scripted_shell.h"
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
    // A message no family splits is named (and its model found) by the families' naming steps.
    testing::ScriptedShell shell;
    Session naming(shell);
    installDeviceFamilies(naming);
    lib.useNamers(&naming.families.namers);
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
        {"library cut to half its size",
         [&] {
             {
                 PatchLibrary lib(db);
                 AddReport r;
                 lib.addFile(fixture("yamaha/dx7-rom1a.syx"), r);
             }
             fs::resize_file(db, fs::file_size(db) / 2);
         },
         "is a damaged Tolvex library (the file is cut off"},
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

TEST_F(LibraryTest, ALibraryTheUserMayNotWriteIsReadNotChanged)
{
    {
        PatchLibrary lib(db);
        AddReport r;
        lib.addFile(fixture("yamaha/dx7-rom1a.syx"), r);
    }
    // Another user (root cannot be refused a write), in a folder that user may not write.
    fs::permissions(dir.file("sub"), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(fs::path(dir.file("")).parent_path(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::error_code ec;
        if (::geteuid() != 0)
            fs::permissions(dir.file("sub"), fs::perms::owner_write, fs::perm_options::remove, ec);
        else if (::setuid(65534) != 0)
            ::_exit(10);
        int failed = 0;
        try {
            PatchLibrary lib(db);
            failed |= lib.readOnly() ? 0 : 1;
            failed |= lib.find({"brass", "", ""}).size() == 3 ? 0 : 2;
            failed |= lib.message(lib.find({"BRASS   1", "", ""}).at(0)).size() == 163 ? 0 : 4;
            try {
                AddReport r;
                lib.addFile(fixture("yamaha/dx7-single-voice-keybd01.syx"), r);
                failed |= 8;
            } catch (const LibraryError& e) {
                failed |= std::string(e.what()).find("is read-only here") != std::string::npos ? 0 : 16;
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            failed |= 32;
        }
        ::_exit(failed);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    fs::permissions(dir.file("sub"), fs::perms::owner_all, fs::perm_options::add);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fs::exists(db + "-shm"));  // nothing made beside it
}

TEST_F(LibraryTest, TwoProgramsAddingAtOnceBothFinish)
{
    {
        PatchLibrary lib(db);
    }
    // Banks of new voices in two sets of files, one set for each program.
    Bytes bank = readSyxFile(fixture("yamaha/dx7-rom1a.syx")).messages.at(0);
    std::vector<std::string> sets[2];
    for (int n = 0; n < 2 * 300; ++n) {
        for (std::size_t v = 0; v < 32; ++v) {
            bank[6 + 128 * v] = static_cast<std::uint8_t>(n & 0x7F);
            bank[7 + 128 * v] = static_cast<std::uint8_t>(n >> 7);
            bank[8 + 128 * v] = static_cast<std::uint8_t>(v);
        }
        bank[4102] = yamahaChecksum(ByteView(bank).subspan(6, 4096));
        sets[n % 2].push_back(dir.write("set" + std::to_string(n) + ".syx", std::string(bank.begin(), bank.end())));
    }
    const auto add = [&](const std::vector<std::string>& files) {
        PatchLibrary lib(db);
        lib.setBusyWait(2000);  // far less than both adds take
        AddReport r;
        lib.addFiles(files, r);
        return r.added;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            ::_exit(add(sets[1]) == 300 * 32 ? 0 : 1);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            ::_exit(2);
        }
    }
    EXPECT_EQ(add(sets[0]), 300u * 32);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(PatchLibrary(db).count(), 600 * 32);
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
    sql(db,
        "DROP TABLE items_search; DROP INDEX items_by_name; DROP INDEX items_by_maker; DROP INDEX items_by_kind; DROP "
        "INDEX items_by_category; DROP INDEX items_uncategorised; DROP INDEX items_trashed;"
        "ALTER TABLE items DROP COLUMN category; ALTER TABLE items DROP COLUMN favourite;"
        "ALTER TABLE items DROP COLUMN trashed; PRAGMA user_version=1");
    PatchLibrary lib(db);
    EXPECT_EQ(lib.find({"brass", "", ""}).size(), 3u);
    AddReport r;
    lib.addFile(fixture("yamaha/tx802-performance-bank.syx"), r);
    EXPECT_EQ(lib.find({"Hall Orchestra", "", ""}).size(), 1u);  // its performance 1 is the same sound
    // Every patch has its category guessed, those already there in the step too.
    LibraryQuery brass;
    brass.category = "Brass";
    std::set<std::string> names;
    for (const auto& it : lib.items(lib.find(brass))) names.insert(it.name);
    EXPECT_EQ(names.size(), 11u);
    EXPECT_TRUE(names.count("BRASS   1") && names.count("Trumpets") && names.count("Brass Solo"));
}

TEST_F(LibraryTest, OneItemPerSoundWhateverBitsItsPackingCarries)
{
    // A library of the version that kept voices by their packed bytes: the
    // bank's JAZZ-TRUMP (packed byte 111 = 0x3F) and the same voice packed
    // again (0x0F) from another file, as two items.
    {
        PatchLibrary lib(db);
        AddReport r;
        lib.addFile(fixture("yamaha/dx7-brass02-unused-bits.syx"), r);
    }
    sql(db,
        "INSERT INTO items(name, maker, model, kind, bank, number, size, format, record, fp, fp_noname, source, added,"
        " message_id) SELECT name, maker, model, kind, bank, -1, size, format, substr(record, 1, 111) || x'0F' ||"
        " substr(record, 113), fp + 1, fp_noname + 1, '/old/jazz.syx', added + 1, message_id FROM items WHERE"
        " name = 'JAZZ-TRUMP';"
        "INSERT INTO sources SELECT id, source, 0, message_id, added FROM items WHERE source = '/old/jazz.syx';"
        "INSERT INTO items_search(rowid, text) SELECT id, name FROM items WHERE source = '/old/jazz.syx';"
        "DROP INDEX items_by_maker; DROP INDEX items_by_kind; DROP INDEX items_by_category; DROP INDEX "
        "items_uncategorised; DROP INDEX items_trashed; ALTER TABLE items DROP COLUMN category;"
        "ALTER TABLE items DROP COLUMN favourite; ALTER TABLE items DROP COLUMN trashed; PRAGMA user_version=3");
    ASSERT_EQ(sql(db, "SELECT count(*) FROM items"), "33");

    // Opened, it is one item with both sources, found by either file's name.
    PatchLibrary lib(db);
    EXPECT_EQ(lib.count(), 32);
    const auto jazz = lib.find({"JAZZ-TRUMP", "", ""});
    ASSERT_EQ(jazz.size(), 1u);
    EXPECT_EQ(lib.items(jazz).at(0).source, fixture("yamaha/dx7-brass02-unused-bits.syx"));
    EXPECT_EQ(lib.sources(jazz[0]).size(), 2u);
    EXPECT_EQ(lib.find({"jazz.syx", "", ""}), jazz);
    EXPECT_EQ(lib.findFirst({"jazz.syx", "", ""}, 10).ids, jazz);

    // Exported and added back, the voice is no new item; nor is a bank of them.
    AddReport again;
    lib.addMessages({lib.message(jazz[0]), lib.assembleBank("yamaha", jazz)}, "/tmp/export.syx", again);
    EXPECT_EQ(again.added, 1u);  // the bank's init voice only
    EXPECT_EQ(lib.sources(jazz[0]).size(), 3u);
    EXPECT_EQ(lib.find({"export.syx", "", ""}).size(), 2u);
}

TEST_F(LibraryTest, ImportReadsTheFormsRealCollectionsCarryAndSaysSo)
{
    const Bytes rom = readSyxFile(fixture("yamaha/dx7-rom1a.syx")).messages.at(0);
    const std::string cartridge(rom.begin() + 6, rom.begin() + 6 + 4096);
    std::string bit7(rom.begin(), rom.end());
    bit7[4102] = static_cast<char>(bit7[4102] | 0x80);
    struct Case {
        const char* what;
        std::string file;  // its content, or a fixture when it starts with '@'
        std::size_t added;
        const char* note;     // part of the note, "" none
        const char* problem;  // part of the problem, "" none
    };
    const Case cases[] = {
        {"raw cartridge", cartridge, 32, "raw DX7 cartridge", ""},
        {"byte count 10 00", "@yamaha/dx7-bank-byte-count-1000.syx", 32, "byte count says 10 00", ""},
        {"checksum with bit 7", bit7, 32, "checksum byte has bit 7 set (B3), read as 33", ""},
        {"both, a real DX1 bank", "@yamaha/dx1-bank-bad-checksum-bit7.syx", 32, "bit 7 set (90), read as 10", ""},
        {"text header before a bank", std::string(300, 'x') + std::string(rom.begin(), rom.end()), 32,
         "300 bytes before the first message left out", ""},
        // Not voices, and not to be read as such.
        {"4096 bytes of text", std::string(4096, 'A'), 0, "", "not a SysEx file"},
        {"text header before no bank", std::string(300, 'x') + "\xF0\x43\x10\x00\x01\x02\xF7", 0, "",
         "not a SysEx file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(db);
        fs::remove(db + "-wal");
        fs::remove(db + "-shm");
        PatchLibrary lib(db);
        const std::string path = c.file[0] == '@' ? fixture(c.file.substr(1)) : dir.write("case.syx", c.file);
        AddReport r;
        lib.addFile(path, r);
        EXPECT_EQ(r.added, c.added);
        const auto has = [](const std::vector<std::string>& lines, const char* part) {
            return *part == 0 ? lines.empty() : std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
                return l.find(part) != std::string::npos;
            });
        };
        EXPECT_TRUE(has(r.notes, c.note)) << ::testing::PrintToString(r.notes);
        EXPECT_TRUE(has(r.problems, c.problem)) << ::testing::PrintToString(r.problems);
        if (c.added == 32) {
            EXPECT_EQ(lib.find({"", "", "Voice"}).size(), 32u);
        }
    }
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
