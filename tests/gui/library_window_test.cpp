// SPDX-License-Identifier: GPL-3.0-or-later
// The Library window offscreen: the table, its filter and order, and the
// commands between the library and the Objects Window.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

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

// Waits for the loader's thread to answer the latest search or order.
bool settled(LibraryModel* m)
{
    return QTest::qWaitFor([m] { return m->complete(); }, 10000);
}

void addFixtures(LibraryRig& r)
{
    AddReport report;
    r.access.get()->addFiles({fixture("yamaha/dx7-rom1a.syx"), fixture("korg/triton-factory-combi-bank-a.syx"),
                              fixture("korg/wavestation-factory.syx")},
                             report);
}

QString cell(LibraryModel* m, int row, int column = LibraryModel::Name)
{
    return m->data(m->index(row, column), Qt::DisplayRole).toString();
}

TEST(LibraryWindow, TableFiltersAsYouTypeSortsAndReadsOnlyRowsInSight)
{
    LibraryRig r;
    addFixtures(r);
    r.window.reload();
    r.window.show();
    LibraryModel* m = r.window.model();
    // Opening shows the first screenful and the count at once; the rest of
    // the order follows below it from the loader's thread.
    ASSERT_EQ(static_cast<std::size_t>(m->rowCount()), kLibraryFirstRows);
    EXPECT_EQ(r.window.countLabel()->text(), "335 items");
    std::vector<std::int64_t> shown;
    for (int row = 0; row < m->rowCount(); ++row) shown.push_back(m->idAt(row));
    ASSERT_TRUE(settled(m));
    EXPECT_EQ(m->rowCount(), 32 + 128 + 175);
    for (std::size_t row = 0; row < shown.size(); ++row) EXPECT_EQ(m->idAt(static_cast<int>(row)), shown[row]);
    QApplication::processEvents();
    EXPECT_LE(m->rowsRead(), 2 * LibraryModel::kPage);  // only the pages drawn

    // A search that matches much of the library shows its first screenful
    // first, then the rest of the matches below the rows shown.
    std::vector<int> counts;
    QObject::connect(m, &LibraryModel::countChanged, [m, &counts] { counts.push_back(m->rowCount()); });
    m->setSearch("e");
    ASSERT_TRUE(settled(m));
    EXPECT_EQ(m->rowCount(), 296);
    EXPECT_EQ(counts.back(), 296);
    EXPECT_NE(std::find(counts.begin(), counts.end(), static_cast<int>(kLibraryFirstRows)), counts.end());

    // Typing on before an answer came in: only the last search is shown.
    m->setSearch("e");
    QTest::keyClicks(r.window.filter(), "piano");
    ASSERT_TRUE(settled(m));
    EXPECT_EQ(m->rowCount(), 4 + 3 + 2);  // PIANO 1-3, E.PIANO 1, three Combinations, two Wavestation items
    r.window.filter()->clear();
    QTest::keyClicks(r.window.filter(), "yamaha");
    ASSERT_TRUE(settled(m));
    ASSERT_EQ(m->rowCount(), 32);
    EXPECT_EQ(cell(m, 0), "BASS    1");
    EXPECT_EQ(cell(m, 0, LibraryModel::MakerModel), "Yamaha DX7");
    r.window.table()->sortByColumn(LibraryModel::Name, Qt::DescendingOrder);
    ASSERT_TRUE(settled(m));
    EXPECT_EQ(cell(m, 0), "VOICE   1");

    // A voice kept from two files shows both.
    const std::string copy = (r.dir.path() + "/ROM1A copy.syx").toStdString();
    std::filesystem::copy_file(fixture("yamaha/dx7-rom1a.syx"), copy);
    AddReport report;
    r.access.get()->addFile(copy, report);
    r.window.reload();
    ASSERT_TRUE(settled(m));
    EXPECT_EQ(cell(m, 0, LibraryModel::Source), "dx7-rom1a.syx (+1)");
    const QStringList files = m->data(m->index(0, LibraryModel::Source), Qt::ToolTipRole).toString().split('\n');
    EXPECT_EQ(files.size(), 2);
    EXPECT_TRUE(files.contains(QString::fromStdString(copy)));
}

// A sort keeps the rows until the new order is read, then moves the selection
// with its items and leaves the view where it was; an answer to a search
// typed over is never shown; a delete counts at once.
TEST(LibraryWindow, OrdersArriveFromTheLoaderWithoutLosingSelectionOrPlace)
{
    LibraryRig r;
    addFixtures(r);
    r.window.reload();
    r.window.show();
    LibraryModel* m = r.window.model();
    ASSERT_TRUE(settled(m));
    QTableView* t = r.window.table();
    t->scrollTo(m->index(150, 0), QAbstractItemView::PositionAtTop);
    const int scrolled = t->verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    t->selectRow(150);
    const std::int64_t picked = m->idAt(150);

    t->sortByColumn(LibraryModel::Kind, Qt::AscendingOrder);
    EXPECT_FALSE(m->complete());
    EXPECT_EQ(r.window.countLabel()->text(), "Sorting...");
    EXPECT_EQ(m->idAt(150), picked);  // nothing moves before the order is in
    ASSERT_TRUE(settled(m));
    const auto selected = t->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(m->idAt(selected[0].row()), picked);
    EXPECT_NE(selected[0].row(), 150);
    EXPECT_EQ(t->verticalScrollBar()->value(), scrolled);
    for (int row = 1; row < m->rowCount(); ++row)
        ASSERT_LE(cell(m, row - 1, LibraryModel::Kind), cell(m, row, LibraryModel::Kind)) << row;

    // Answers of the searches typed over are dropped, late or not.
    for (const char* text : {"e", "a", "pi", "pian"}) m->setSearch(text);
    m->setSearch("brass");
    ASSERT_TRUE(settled(m));
    QTest::qWait(200);
    ASSERT_GT(m->rowCount(), 0);
    for (int row = 0; row < m->rowCount(); ++row)
        EXPECT_TRUE(cell(m, row).contains("BRASS", Qt::CaseInsensitive)) << cell(m, row).toStdString();

    m->setSearch("");
    ASSERT_TRUE(settled(m));
    r.shell.boxAnswers.push_back(MsgResult::Yes);
    t->clearSelection();
    for (int row : {3, 4, 200})
        t->selectionModel()->select(m->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    r.window.deleteSelected();
    EXPECT_EQ(m->rowCount(), 332);
    EXPECT_EQ(r.window.countLabel()->text(), "332 items");
    ASSERT_TRUE(settled(m));
    EXPECT_EQ(m->rowCount(), 332);
}

// Add Folder takes every .syx file below the folder chosen, with a progress
// box that stops the add, and remembers the folder for the next dialog.
TEST(LibraryWindow, AddFolderAddsEverySyxFileBelowItWithProgress)
{
    LibraryRig r;
    const std::filesystem::path top = (r.dir.path() + "/collection").toStdString();
    std::filesystem::create_directories(top / "korg" / "triton");
    std::filesystem::copy_file(fixture("yamaha/dx7-rom1a.syx"), top / "DX7.SYX");
    std::filesystem::copy_file(fixture("korg/triton-factory-combi-bank-a.syx"), top / "korg" / "triton" / "a.syx");
    std::filesystem::copy_file(fixture("korg/wavestation-factory.syx"), top / "korg" / "ws.syx");
    std::ofstream(top / "korg" / "readme.txt") << "not sysex";
    r.window.reload();
    r.window.show();
    ASSERT_TRUE(settled(r.window.model()));

    r.shell.folderAnswers.push_back(top.string());
    r.window.addFolder();
    ASSERT_TRUE(r.window.adding());
    ASSERT_NE(r.window.progress(), nullptr);
    EXPECT_TRUE(r.window.progress()->labelText().startsWith("Adding: "));
    EXPECT_EQ(r.window.progress()->maximum(), 3);
    ASSERT_TRUE(QTest::qWaitFor([&r] { return !r.window.adding(); }, 20000));
    EXPECT_EQ(r.window.progress(), nullptr);
    EXPECT_TRUE(r.window.statusLabel()->text().startsWith(
        QString("Found 3 .syx files in %1. Added 335 new item(s)").arg(QString::fromStdString(top.string()))))
        << r.window.statusLabel()->text().toStdString();
    ASSERT_TRUE(settled(r.window.model()));
    EXPECT_EQ(r.window.model()->rowCount(), 335);
    EXPECT_EQ(r.session.paths.lastpath, top.string());
    ASSERT_EQ(r.shell.folderRequests.size(), 1u);

    // Stopped early (a long add: the box is looked at before the Stop button
    // is pressed): nothing of the transaction under way is kept, and the report says so.
    const std::filesystem::path many = top / "many";
    std::filesystem::create_directories(many);
    for (int i = 0; i < 600; ++i)
        std::filesystem::copy_file(fixture("yamaha/dx7-rom1a.syx"), many / ("dx7-" + std::to_string(i) + ".syx"));
    r.shell.folderAnswers.push_back(many.string());
    r.window.addFolder();
    ASSERT_TRUE(r.window.adding());
    EXPECT_EQ(r.shell.folderRequests.back().folder, top.string());
    // A look at the window with its progress box in front.
    r.window.progress()->show();
    QImage shot = r.window.grab().toImage();
    {
        QPainter p(&shot);
        const QPixmap box = r.window.progress()->grab();
        p.drawPixmap((shot.width() - box.width()) / 2, (shot.height() - box.height()) / 2, box);
    }
    QDir().mkpath("screenshots");
    EXPECT_TRUE(shot.save("screenshots/library-adding.png"));

    QPushButton* stop = r.window.progress()->findChild<QPushButton*>();
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->text(), "Stop");
    stop->click();
    ASSERT_TRUE(QTest::qWaitFor([&r] { return !r.window.adding(); }, 20000));
    // How many files went in before the Stop depends on how busy the machine is
    // (a transaction commits every 200 ms); the report says how many, and far
    // fewer than all.
    const QRegularExpressionMatch stopped =
        QRegularExpression("Stopped after (\\d+) of 600 files").match(r.window.statusLabel()->text());
    ASSERT_TRUE(stopped.hasMatch()) << r.window.statusLabel()->text().toStdString();
    EXPECT_LT(stopped.captured(1).toInt(), 600);
    EXPECT_EQ(r.access.get()->count(), 335);
}

TEST(LibraryWindow, CommandsMoveItemsBetweenLibraryAndObjectsWindow)
{
    LibraryRig r;
    for (const Bytes& m : readSyxFile(fixture("yamaha/dx7-rom1a.syx")).messages)
        r.session.messages.append("bank", m, fixture("yamaha/dx7-rom1a.syx"));
    r.session.messages.selectAll(true);
    r.window.reload();
    r.window.addSelectedEntries();
    ASSERT_TRUE(QTest::qWaitFor([&r] { return !r.window.adding(); }, 10000));
    ASSERT_TRUE(settled(r.window.model()));
    EXPECT_EQ(r.window.model()->rowCount(), 32);

    // Three brass voices make a bank in the Objects Window (the dialog taken as it comes); one goes there as a
    // single voice.
    QTest::keyClicks(r.window.filter(), "brass");
    ASSERT_TRUE(settled(r.window.model()));
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
    ASSERT_TRUE(settled(r.window.model()));
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

        // Held past the end of the session: they go to a file beside the
        // library, never over one an earlier session left in the same second.
        for (std::time_t t = std::time(nullptr), end = t + 3; t < end; ++t) {
            char stamp[32];
            std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&t));
            std::ofstream(dir.file("received-not-added-" + std::string(stamp) + ".syx"), std::ios::binary)
                << "\xF0\x43\xF7";
        }
        hold();
        EXPECT_TRUE(StoreReceivedMessage(r.session, other(3)));
        access.setLastWait(200);
    }
    release();
    std::vector<std::string> kept;
    int earlier = 0;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path())) {
        if (e.path().filename().string().rfind("received-not-added-", 0) != 0) continue;
        if (readSyxFile(e.path().string()).messages == std::vector<Bytes>{{0xF0, 0x43, 0xF7}})
            ++earlier;
        else
            kept.push_back(e.path().string());
    }
    EXPECT_EQ(earlier, 3);
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
