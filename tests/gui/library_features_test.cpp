// SPDX-License-Identifier: GPL-3.0-or-later
// The Library window's tools as the user reaches them, offscreen: the trash
// and Undo, favourites and the filters, renaming and categories in the table,
// auditioning, the Duplicates and Make Bank dialogs, merging a library. Each
// leaves a screenshot in screenshots/ beside the test for a look.
#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "core/app/controls.h"
#include "core/sysex/syx_file.h"
#include "gui/library_dialogs.h"
#include "gui/library_window.h"
#include "qt_app.h"
#include "support/fake_output.h"
#include "support/scripted_shell.h"
#include "support/simulated_sp.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::fixture;

struct Rig {
    Rig() : access{session, (dir.path() + "/library.sqlite").toStdString()}
    {
        session.midi.midiOutput = &out;
        session.midi.MIDI_Out_Present = true;
    }
    testing::QtApp qt;
    QTemporaryDir dir;
    testing::ScriptedShell shell;
    Session session{shell};
    testing::FakeOutput out;
    LibraryAccess access;
    LibraryWindow window{session, access};
    PatchLibrary& lib() { return *access.get(); }
    void add(const std::vector<std::string>& files)
    {
        AddReport r;
        lib().addFiles(files, r);
        window.reload();
    }
    void show()
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        window.table()->setFocus();
    }
    // The model once its rows are all in: orders and searches are read on a thread of their own.
    LibraryModel& model()
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return window.model()->complete(); }, 10000));
        return *window.model();
    }
    QString cell(int row, int column) { return model().data(model().index(row, column), Qt::DisplayRole).toString(); }
    // The first row named `name`, -1 when none.
    int rowOf(const QString& name)
    {
        for (int row = 0; row < model().rowCount(); ++row)
            if (cell(row, LibraryModel::Name) == name) return row;
        return -1;
    }
    void select(const QString& name)
    {
        const int row = rowOf(name);
        ASSERT_GE(row, 0) << name.toStdString();
        // As a click would: the row alone, whatever modifier the last key had.
        window.table()->selectionModel()->setCurrentIndex(
            model().index(row, LibraryModel::Kind), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    void key(int key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(window.table(), Qt::Key(key), mods); }
    void shot(QWidget* w, const char* name)
    {
        QDir().mkpath("screenshots");
        EXPECT_TRUE(w->grab().save(QString("screenshots/library-%1.png").arg(name)));
    }
};

// Runs `act` on the modal dialog of type T the next command opens.
template <class T>
void onDialog(std::function<void(T*)> act)
{
    QTimer::singleShot(0, [act] {
        auto* d = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!d) {
            ADD_FAILURE() << "no dialog";
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) other->reject();
            return;
        }
        act(d);
    });
}

TEST(LibraryFeatures, DeleteGoesToTheTrashWhereUndoRestoreOrEmptyTrashDecide)
{
    Rig r;
    r.add({fixture("yamaha/dx7-rom1a.syx")});
    r.show();
    r.select("BRASS   1");
    r.key(Qt::Key_Delete);
    r.select("PIANO   1");
    r.key(Qt::Key_Delete);
    EXPECT_EQ(r.model().rowCount(), 30);
    LibraryQuery trash;
    trash.trash = true;
    EXPECT_EQ(r.lib().find(trash).size(), 2u);  // nothing lost yet
    r.key(Qt::Key_Z, Qt::ControlModifier);      // the last delete comes back
    EXPECT_EQ(r.model().rowCount(), 31);
    EXPECT_GE(r.rowOf("PIANO   1"), 0);
    // Delete in the search box deletes letters, not patches.
    QTest::keyClicks(r.window.filter(), "xy");
    QTest::keyClick(r.window.filter(), Qt::Key_Home);
    QTest::keyClick(r.window.filter(), Qt::Key_Delete);
    EXPECT_EQ(r.window.filter()->text(), "y");
    r.window.filter()->clear();
    EXPECT_EQ(r.lib().find({"", "", ""}).size(), 31u);

    r.window.trashView()->setChecked(true);
    ASSERT_EQ(r.model().rowCount(), 1);
    EXPECT_EQ(r.cell(0, LibraryModel::Name), "BRASS   1");
    EXPECT_TRUE(r.window.findChild<QPushButton*>("Library Empty Trash")->isVisible());
    EXPECT_FALSE(r.window.findChild<QPushButton*>("Library Delete")->isVisible());
    r.shot(&r.window, "trash");
    r.window.table()->selectRow(0);
    r.window.restoreSelected();
    EXPECT_EQ(r.model().rowCount(), 0);
    r.window.trashView()->setChecked(false);
    EXPECT_EQ(r.model().rowCount(), 32);

    // Emptying asks, and then really removes.
    r.select("VOICE   1");
    r.window.deleteSelected();
    r.shell.boxAnswers.push_back(MsgResult::No);
    r.window.emptyTrash();
    EXPECT_EQ(r.lib().find(trash).size(), 1u);
    r.shell.boxAnswers.push_back(MsgResult::Yes);
    r.window.emptyTrash();
    EXPECT_EQ(r.lib().find(trash).size(), 0u);
    EXPECT_EQ(r.lib().count(), 31);
    EXPECT_NE(r.shell.boxes.back().text.find("cannot be undone"), std::string::npos);
}

TEST(LibraryFeatures, FiltersNarrowByMakerKindCategoryAndFavourites)
{
    Rig r;
    // A Peavey SP preset comes in through the Objects Window like any dump.
    const Bytes sp =
        testing::spDumpMessage(3, 2, testing::spPreset("Dark Pad", 0, 60, 0, 0, {{1, 0, 0, 0}, {128, 0, 0}}, {}));
    r.session.messages.append("SP preset", sp, "");
    r.session.messages.selectAll(true);
    r.add({fixture("yamaha/dx7-rom1a.syx"), fixture("korg/triton-factory-combi-bank-a.syx")});
    r.window.addSelectedEntries();  // on a thread of its own
    ASSERT_TRUE(QTest::qWaitFor([&r] { return !r.window.adding(); }, 10000));
    r.show();
    ASSERT_EQ(r.model().rowCount(), 32 + 128 + 1);
    r.select("BRASS   2");
    r.key(Qt::Key_D, Qt::ControlModifier);
    // A click on the star column stars that row.
    QTableView* t = r.window.table();
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {},
                      t->visualRect(r.model().index(r.rowOf("PIANO   1"), LibraryModel::Favourite)).center());
    EXPECT_EQ(r.cell(r.rowOf("PIANO   1"), LibraryModel::Favourite), QString::fromUtf8("\u2605"));
    EXPECT_EQ(r.cell(r.rowOf("Dark Pad"), LibraryModel::Category), "Pad");

    const auto choose = [](QComboBox* box, const QString& value) {
        const int i = value.isEmpty() ? 0 : box->findData(value);
        ASSERT_GE(i, 0) << value.toStdString();
        box->setCurrentIndex(i);
        emit box->activated(i);
    };
    struct Case {
        const char* maker;
        const char* kind;
        const char* category;
        bool favourites;
        int rows;
    };
    const Case cases[] = {
        {"Peavey", "", "", false, 1},     {"Yamaha", "", "", false, 32},     {"", "Combi", "", false, 128},
        {"", "Preset", "Pad", false, 1},  {"Yamaha", "", "Piano", false, 3}, {"", "", "", true, 2},
        {"Yamaha", "", "Piano", true, 1}, {"Korg", "", "", true, 0},         {"", "", "", false, 161},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.maker) + "/" + c.kind + "/" + c.category);
        choose(r.window.makerFilter(), c.maker);
        choose(r.window.kindFilter(), c.kind);
        choose(r.window.categoryFilter(), c.category);
        r.window.favouritesOnly()->setChecked(c.favourites);
        EXPECT_EQ(r.model().rowCount(), c.rows);
        if (c.favourites && c.rows == 2) r.shot(&r.window, "favourites");
        if (std::string(c.maker) == "Peavey") r.shot(&r.window, "peavey");
    }
    choose(r.window.makerFilter(), "Korg");
    r.shot(&r.window, "filter-maker");
    // A star taken off in the favourites view leaves it.
    choose(r.window.makerFilter(), "");
    r.window.favouritesOnly()->setChecked(true);
    r.select("BRASS   2");
    r.key(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(r.model().rowCount(), 1);
}

TEST(LibraryFeatures, NameAndCategoryAreEditedInTheTable)
{
    Rig r;
    r.add({fixture("yamaha/dx7-rom1a.syx")});
    r.show();
    const auto edit = [&r](const QString& name, int column, const QString& text) {
        const int row = r.rowOf(name);
        ASSERT_GE(row, 0);
        r.window.table()->setCurrentIndex(r.model().index(row, column));
        r.key(Qt::Key_F2);
        QWidget* editor = QApplication::focusWidget();
        ASSERT_TRUE(editor && editor != r.window.table());
        // The category's editor is a combo box (focus may be on its line).
        auto* box = qobject_cast<QComboBox*>(editor);
        if (!box) box = qobject_cast<QComboBox*>(editor->parentWidget());
        if (box) {
            box->setCurrentText(text);
            editor = box;
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(text);
        }
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::qWait(0);  // the delegate commits on the next turn of the event loop
    };
    edit("BRASS   1", LibraryModel::Name, "BIG HORNS");
    const int row = r.rowOf("BIG HORNS");
    ASSERT_GE(row, 0);
    // The instrument gets the new name.
    std::vector<std::string> problems;
    EXPECT_EQ(splitMessage(r.lib().families(), r.lib().message(r.model().idAt(row)), problems).at(0).name, "BIG HORNS");
    // A name the DX7 cannot hold is refused with a word why, and nothing changes.
    edit("BIG HORNS", LibraryModel::Name, "BIGGER HORNS");
    ASSERT_FALSE(r.shell.boxes.empty());
    EXPECT_NE(r.shell.boxes.back().text.find("at most 10"), std::string::npos);
    EXPECT_GE(r.rowOf("BIG HORNS"), 0);

    edit("TAKE OFF", LibraryModel::Category, "Jet");
    EXPECT_EQ(r.cell(r.rowOf("TAKE OFF"), LibraryModel::Category), "Jet");
    EXPECT_GE(r.window.categoryFilter()->findData("Jet"), 0);
    // Edited on one of several selected rows, the category goes to all of them.
    QItemSelectionModel* selection = r.window.table()->selectionModel();
    selection->clearSelection();
    for (const char* name : {"PIANO   1", "PIANO   2", "PIANO   3"})
        selection->select(r.model().index(r.rowOf(name), 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(r.model().index(r.rowOf("PIANO   2"), LibraryModel::Category),
                               QItemSelectionModel::NoUpdate);
    r.key(Qt::Key_F2);
    QWidget* focus = QApplication::focusWidget();
    auto* grand = qobject_cast<QComboBox*>(focus);
    if (!grand) grand = qobject_cast<QComboBox*>(focus->parentWidget());
    ASSERT_TRUE(grand);
    grand->setCurrentText("Grand");
    QTest::keyClick(grand, Qt::Key_Return);
    QTest::qWait(0);
    for (const char* name : {"PIANO   1", "PIANO   2", "PIANO   3"})
        EXPECT_EQ(r.cell(r.rowOf(name), LibraryModel::Category), "Grand") << name;
    EXPECT_EQ(r.cell(r.rowOf("E.PIANO 1"), LibraryModel::Category), "Keys");
    // While the editor is open, the screenshot shows the categories to pick from.
    r.window.table()->setCurrentIndex(r.model().index(r.rowOf("TAKE OFF"), LibraryModel::Category));
    r.key(Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    auto* box = qobject_cast<QComboBox*>(editor);
    if (!box) box = qobject_cast<QComboBox*>(editor->parentWidget());
    ASSERT_TRUE(box);
    EXPECT_GE(box->findText("Jet"), 0);
    EXPECT_GE(box->findText("Strings"), 0);
    box->showPopup();
    r.shot(&r.window, "edit-category");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
}

TEST(LibraryFeatures, DoubleClickOrEnterAuditionsOnTheMainWindowsChannel)
{
    Rig r;
    r.add({fixture("yamaha/dx7-rom1a.syx")});
    r.show();
    r.session.controls.text.set(ctl::Channel, "5");
    QTableView* t = r.window.table();
    const int row = r.rowOf("E.PIANO 1");
    const auto doubleClick = [t](const QModelIndex& index) {
        // A double-click is a click, then a second press the system reports as a double-click.
        const QPoint at = t->visualRect(index).center();
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(r.model().index(row, LibraryModel::Kind));
    ASSERT_EQ(r.out.sent.size(), 1u);
    const Bytes& voice = r.out.sent[0];
    EXPECT_EQ(voice.size(), 163u);  // a single voice for the edit buffer
    EXPECT_EQ(voice[2], 0x05);      // on channel 5
    EXPECT_EQ(std::string(voice.begin() + 151, voice.begin() + 161), "E.PIANO 1 ");
    EXPECT_NE(r.window.statusText().indexOf("E.PIANO 1"), -1);
    r.select("BASS    1");
    r.key(Qt::Key_Return);
    ASSERT_EQ(r.out.sent.size(), 2u);
    // A double-click on the name edits it instead.
    doubleClick(r.model().index(row, LibraryModel::Name));
    EXPECT_EQ(r.out.sent.size(), 2u);
    EXPECT_TRUE(t->isPersistentEditorOpen(r.model().index(row, LibraryModel::Name)) ||
                qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    // Without an output port the user hears why.
    r.session.midi.MIDI_Out_Present = false;
    r.session.midi.midiOutput = nullptr;
    r.select("BASS    1");
    r.key(Qt::Key_Return);
    EXPECT_EQ(r.out.sent.size(), 2u);
    ASSERT_FALSE(r.shell.boxes.empty());
    r.shot(&r.window, "audition");
}

TEST(LibraryFeatures, DuplicatesDialogShowsTheGroupsAndTrashesTheExtras)
{
    Rig r;
    const std::string copy = (r.dir.path() + "/copy.syx").toStdString();
    QFile::copy(QString::fromStdString(fixture("yamaha/dx7-rom1a.syx")), QString::fromStdString(copy));
    r.add({fixture("yamaha/dx7-rom1a.syx")});
    // Renamed here and added again: the same sound under two names.
    r.lib().rename(r.lib().find({"BRASS   1", "", ""}).at(0), "HORNS");
    r.add({copy});
    ASSERT_EQ(r.model().rowCount(), 33);
    int groups = -1, afterTrash = -1;
    onDialog<DuplicatesDialog>([&](DuplicatesDialog* d) {
        EXPECT_EQ(d->tree()->topLevelItemCount(), 31);  // one item from two files each
        d->ignoreNames()->setChecked(true);
        groups = d->tree()->topLevelItemCount();
        d->resize(800, 500);
        const auto shot = d->grab();
        QDir().mkpath("screenshots");
        EXPECT_TRUE(shot.save("screenshots/library-duplicates.png"));
        d->trashExtras();
        afterTrash = d->tree()->topLevelItemCount();
        d->accept();
    });
    r.window.showDuplicates();
    EXPECT_EQ(groups, 32);
    EXPECT_EQ(afterTrash, 31);
    EXPECT_EQ(r.model().rowCount(), 32);
    EXPECT_GE(r.rowOf("HORNS"), 0);  // the oldest of the group stays
    r.window.undo();
    EXPECT_EQ(r.model().rowCount(), 33);
}

TEST(LibraryFeatures, MergeReportsWhatIsNewAndWhatWasThere)
{
    Rig r;
    const std::string other = (r.dir.path() + "/other.sqlite").toStdString();
    {
        PatchLibrary lib(other);
        AddReport report;
        lib.addFiles({fixture("yamaha/dx7-rom1a.syx"), fixture("korg/wavestation-factory.syx")}, report);
    }
    r.add({fixture("yamaha/dx7-rom1a.syx")});
    r.show();
    r.shell.openAnswers.push_back({other});
    r.window.mergeLibrary();
    EXPECT_NE(r.window.statusText().indexOf("175 new, 32 already"), -1) << r.window.statusText().toStdString();
    EXPECT_EQ(r.model().rowCount(), 32 + 175);
    EXPECT_GE(r.window.makerFilter()->findData("Korg"), 0);
    r.shot(&r.window, "merge");
    // Not a library: said so, nothing added.
    r.shell.openAnswers.push_back({fixture("yamaha/dx7-rom1a.syx")});
    r.window.mergeLibrary();
    ASSERT_FALSE(r.shell.boxes.empty());
    EXPECT_NE(r.shell.boxes.back().text.find("not a Tolvex library"), std::string::npos);
    EXPECT_EQ(r.model().rowCount(), 32 + 175);
}

TEST(LibraryFeatures, MakeBankShowsThePlacesLeftAndTakesTheUsersOrder)
{
    Rig r;
    r.add({fixture("yamaha/dx7-rom1a.syx")});
    r.show();
    QTest::keyClicks(r.window.filter(), "brass");
    ASSERT_EQ(r.model().rowCount(), 3);
    r.window.table()->selectAll();
    QString places;
    onDialog<MakeBankDialog>([&](MakeBankDialog* d) {
        places = d->findChild<QLabel*>("BankPlaces")->text();
        d->list()->setCurrentRow(0);
        // BRASS 1 to the second place.
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if (b->text() == "Down") QTest::mouseClick(b, Qt::LeftButton);
        d->resize(420, 300);
        QDir().mkpath("screenshots");
        EXPECT_TRUE(d->grab().save("screenshots/library-make-bank.png"));
        d->accept();
    });
    r.window.makeBank();
    EXPECT_EQ(places, "3 of 32 places filled; 29 left for the init patch");
    ASSERT_EQ(r.session.messages.count(), 1u);
    std::vector<std::string> problems;
    const auto voices = splitMessage(r.lib().families(), r.session.messages.at(0).storage->sxdata, problems);
    ASSERT_EQ(voices.size(), 32u);
    EXPECT_EQ(voices[0].name, "BRASS   2");
    EXPECT_EQ(voices[1].name, "BRASS   1");
    EXPECT_EQ(voices[2].name, "BRASS   3");
    EXPECT_EQ(voices[3].name, "INIT VOICE");

    // More patches than places: the dialog says how many to take out and will not make the bank.
    std::vector<LibraryItem> many(33);
    for (std::size_t i = 0; i < many.size(); ++i) many[i].id = static_cast<std::int64_t>(i + 1);
    MakeBankDialog tooMany(many, BankShape{"yamaha", "dx7-voice", 32});
    EXPECT_EQ(tooMany.findChild<QLabel*>("BankPlaces")->text(), "The bank has 32 places: take out 1 patch(es)");
    EXPECT_FALSE(tooMany.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
}

}  // namespace
}  // namespace tolvex
