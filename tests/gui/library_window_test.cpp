// SPDX-License-Identifier: GPL-3.0-or-later
// The Library window offscreen: the table, its filter and order, and the
// commands between the library and the Objects Window.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>

#include "core/app/incoming.h"
#include "core/sysex/syx_file.h"
#include "gui/library_window.h"
#include "qt_app.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::QtApp;

using testing::fixture;

// The window on a library in a fresh folder, `name` there.
struct LibraryRig {
    explicit LibraryRig(const QString& name = "library.sqlite")
        : access{session, (dir.path() + "/" + name).toStdString()}
    {
    }
    QtApp qt;
    QTemporaryDir dir;
    testing::ScriptedShell shell;
    Session session{shell};
    LibraryAccess access;
    LibraryWindow window{session, access};
};

TEST(LibraryWindow, TableFiltersAsYouTypeSortsAndReadsOnlyRowsInSight)
{
    LibraryRig r;
    AddReport report;
    r.access.get()->addFiles({fixture("yamaha/dx7-rom1a.syx"), fixture("korg/triton-factory-combi-bank-a.syx"),
                              fixture("korg/wavestation-factory.syx")},
                             report);
    r.window.reload();
    r.window.show();
    LibraryModel* m = r.window.model();
    EXPECT_EQ(m->rowCount(), 32 + 128 + 175);
    EXPECT_LE(m->rowsRead(), 2 * LibraryModel::kPage);  // only the pages drawn

    // A search that matches much of the library shows its first screenful at
    // once and the rest of the matches after a pause, below the rows shown.
    m->setSearch("e");
    ASSERT_FALSE(m->complete());
    ASSERT_EQ(static_cast<std::size_t>(m->rowCount()), kLibraryFirstRows);
    std::vector<std::int64_t> shown;
    for (int row = 0; row < m->rowCount(); ++row) shown.push_back(m->idAt(row));
    ASSERT_TRUE(QTest::qWaitFor([m] { return m->complete(); }, 5000));
    ASSERT_EQ(m->rowCount(), 296);
    for (std::size_t row = 0; row < shown.size(); ++row) EXPECT_EQ(m->idAt(static_cast<int>(row)), shown[row]);

    // Typing on before the rest came in: only the last search completes.
    m->setSearch("e");
    QTest::keyClicks(r.window.filter(), "piano");
    EXPECT_TRUE(m->complete());
    EXPECT_EQ(m->rowCount(), 4 + 3 + 2);  // PIANO 1-3, E.PIANO 1, three Combinations, two Wavestation items
    r.window.filter()->clear();
    QTest::keyClicks(r.window.filter(), "yamaha");
    ASSERT_EQ(m->rowCount(), 32);
    EXPECT_EQ(m->data(m->index(0, LibraryModel::Name), Qt::DisplayRole).toString(), "BASS    1");
    EXPECT_EQ(m->data(m->index(0, LibraryModel::MakerModel), Qt::DisplayRole).toString(), "Yamaha DX7");
    r.window.table()->sortByColumn(LibraryModel::Name, Qt::DescendingOrder);
    EXPECT_EQ(m->data(m->index(0, LibraryModel::Name), Qt::DisplayRole).toString(), "VOICE   1");

    // A voice kept from two files shows both.
    const std::string copy = (r.dir.path() + "/ROM1A copy.syx").toStdString();
    std::filesystem::copy_file(fixture("yamaha/dx7-rom1a.syx"), copy);
    r.access.get()->addFile(copy, report);
    r.window.reload();
    EXPECT_EQ(m->data(m->index(0, LibraryModel::Source), Qt::DisplayRole).toString(), "dx7-rom1a.syx (+1)");
    const QStringList files = m->data(m->index(0, LibraryModel::Source), Qt::ToolTipRole).toString().split('\n');
    EXPECT_EQ(files.size(), 2);
    EXPECT_TRUE(files.contains(QString::fromStdString(copy)));
}

TEST(LibraryWindow, CommandsMoveItemsBetweenLibraryAndObjectsWindow)
{
    LibraryRig r;
    for (const Bytes& m : readSyxFile(fixture("yamaha/dx7-rom1a.syx")).messages)
        r.session.messages.append("bank", m, fixture("yamaha/dx7-rom1a.syx"));
    r.session.messages.selectAll(true);
    r.window.reload();
    r.window.addSelectedEntries();
    EXPECT_EQ(r.window.model()->rowCount(), 32);

    // Three brass voices make a bank in the Objects Window (the dialog taken as it comes); one goes there as a
    // single voice.
    QTest::keyClicks(r.window.filter(), "brass");
    r.window.table()->selectAll();
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->accept();
    });
    r.window.makeBank();
    ASSERT_EQ(r.session.messages.count(), 2u);
    EXPECT_EQ(r.session.messages.at(1).storage->sxdata.size(), 4104u);
    r.window.table()->selectRow(0);
    r.window.copyToObjects();
    ASSERT_EQ(r.session.messages.count(), 3u);
    EXPECT_EQ(r.session.messages.at(2).storage->sxdata.size(), 163u);

    // Deleting moves to the trash, gone from the search and the table.
    r.window.table()->selectAll();
    r.window.deleteSelected();
    EXPECT_EQ(r.window.model()->rowCount(), 0);
    r.window.filter()->clear();
    EXPECT_EQ(r.window.model()->rowCount(), 29);
}

TEST(LibraryWindow, ReceivedDumpsGoToTheLibraryUnlessTheBoxIsCleared)
{
    LibraryRig r;
    r.session.receivedStored = [&r](const Bytes& sx) { r.access.received(sx); };
    const Bytes voice = readSyxFile(fixture("yamaha/dx7-single-voice-keybd01.syx")).messages.at(0);
    const std::string path = (r.dir.path() + "/library.sqlite").toStdString();
    // A burst is added in one go, a moment after its last message.
    Bytes second = voice;
    second[7] ^= 1;
    EXPECT_TRUE(StoreReceivedMessage(r.session, voice));
    EXPECT_TRUE(StoreReceivedMessage(r.session, second));
    EXPECT_EQ(PatchLibrary(path).count(), 0);
    r.shell.advance(250);
    EXPECT_EQ(PatchLibrary(path).count(), 2);
    EXPECT_FALSE(r.shell.timerActive("LibraryReceived"));
    r.access.setAddReceived(false);
    Bytes other = voice;
    other[6] ^= 1;
    EXPECT_TRUE(StoreReceivedMessage(r.session, other));
    EXPECT_EQ(r.access.get()->count(), 2);
    // The choice is kept with the library.
    PatchLibrary again(r.access.get()->path());
    EXPECT_EQ(again.setting("add_received"), "0");
}

TEST(LibraryWindow, ReceivedDumpsWaitWhileAnotherProgramAddsAndAreNeverLost)
{
    testing::TempDir dir;
    const std::string path = dir.file("library.sqlite");
    const Bytes voice = readSyxFile(fixture("yamaha/dx7-single-voice-keybd01.syx")).messages.at(0);
    const auto other = [&voice](int n) {
        Bytes b = voice;
        b[6] = static_cast<std::uint8_t>(n);
        return b;
    };
    // Another program in the middle of an add: it holds the library.
    sqlite3* holder = nullptr;
    const auto hold = [&] {
        ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    };
    const auto release = [&] {
        sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
    };
    const auto logged = [](Session& s, const char* part) {
        return std::any_of(s.log.lines().begin(), s.log.lines().end(),
                           [part](const std::string& l) { return l.find(part) != std::string::npos; });
    };
    {
        LibraryRig r;
        LibraryAccess access(r.session, path);
        r.session.receivedStored = [&access](const Bytes& sx) { access.received(sx); };
        ASSERT_NE(access.get(), nullptr);
        hold();
        EXPECT_TRUE(StoreReceivedMessage(r.session, other(1)));
        r.shell.advance(250);
        EXPECT_EQ(access.waitingDumps(), 1u);  // kept, the window goes on
        EXPECT_TRUE(logged(r.session, "1 received dump(s) wait until it is done"));
        EXPECT_TRUE(StoreReceivedMessage(r.session, other(2)));
        r.shell.advance(1000);
        EXPECT_EQ(access.waitingDumps(), 2u);
        release();
        r.shell.advance(1000);
        EXPECT_EQ(access.waitingDumps(), 0u);
        EXPECT_EQ(PatchLibrary(path).count(), 2);
        EXPECT_TRUE(logged(r.session, "the 2 received dump(s) that waited are added"));

        // Held past the end of the session: they go to a file beside the library.
        hold();
        EXPECT_TRUE(StoreReceivedMessage(r.session, other(3)));
        access.setLastWait(200);
    }
    release();
    std::vector<std::string> kept;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
        if (e.path().filename().string().rfind("received-not-added-", 0) == 0) kept.push_back(e.path().string());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(readSyxFile(kept[0]).messages, std::vector<Bytes>{other(3)});
}

TEST(LibraryWindow, ALibraryThatCannotBeOpenedIsReportedOnce)
{
    LibraryRig r("file/library.sqlite");
    QFile blocker(r.dir.path() + "/file");  // a file where the library's folder would be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    r.window.reload();
    r.access.received(Bytes{0xF0, 0x43, 0x00, 0x00, 0xF7});
    EXPECT_EQ(r.access.get(), nullptr);
    EXPECT_EQ(r.shell.boxes.size(), 1u);
    EXPECT_FALSE(r.window.isEnabled());
}

}  // namespace
}  // namespace tolvex
