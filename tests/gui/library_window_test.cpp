// SPDX-License-Identifier: GPL-3.0-or-later
// The Library window offscreen: the table, its filter and order, and the
// commands between the library and the Objects Window.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
