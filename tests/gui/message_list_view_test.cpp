// SPDX-License-Identifier: GPL-3.0-or-later
// The Objects Window's filter offscreen: which entries it shows, and that a
// click, a key or a change of the list reaches the entry the row shows.
#include <gtest/gtest.h>
#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include "core/app/session.h"
#include "gui/message_list_view.h"
#include "qt_app.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::QtApp;

struct ObjectsRig {
    ObjectsRig()
    {
        for (const auto& [text, file] : entries) session.messages.append(text, Bytes{0xF0, 0xF7}, file);
        view.resize(400, 300);
        view.show();
    }
    QtApp qt;
    testing::ScriptedShell shell;
    Session session{shell};
    MessageListView view{session.messages};
    const std::vector<std::pair<std::string, std::string>> entries{
        {"Yamaha Bulk Dump: DX7 32 voices", "/syx/yamaha/rom1a.syx"},
        {"Korg Triton Program Dump", "/syx/korg/combis.syx"},
        {"Yamaha Bulk Dump: TX802 Performance Bulk", "/syx/yamaha/tx802.syx"},
        {"Universal Identity Reply", ""},
    };

    std::vector<std::size_t> shown() const
    {
        std::vector<std::size_t> out;
        for (int row = 0; row < view.rowCount(); ++row) out.push_back(view.indexOf(row));
        return out;
    }
    void click(int row, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(view.viewport(), Qt::LeftButton, mods, QPoint(5, row * view.rowHeight() + 2));
    }
};

TEST(ObjectsWindowFilter, ShowsEntriesWhoseNameOrFileNameHoldTheText)
{
    ObjectsRig r;
    struct Case {
        const char* filter;
        std::vector<std::size_t> shown;
    };
    const Case cases[] = {
        {"", {0, 1, 2, 3}}, {"yamaha bulk", {0, 2}},  // case ignored
        {"COMBIS", {1}},                              // the source file's name
        {"korg/", {}},                                // not its folder
        {"syx", {0, 1, 2}},                           // an entry without a file has no file name to match
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        r.view.setFilter(c.filter);
        EXPECT_EQ(r.shown(), c.shown);
    }
}

TEST(ObjectsWindowFilter, RowsReachTheEntriesTheyShowWhileTheListChanges)
{
    ObjectsRig r;
    r.view.setFilter("yamaha");
    ASSERT_EQ(r.shown(), (std::vector<std::size_t>{0, 2}));

    // A click and a key select the entry a row shows, not the entry at that place in the list.
    r.click(1);
    EXPECT_EQ(r.session.messages.selectedIndexes(), std::vector<std::size_t>{2});
    r.click(0, Qt::ShiftModifier);
    EXPECT_EQ(r.session.messages.selectedIndexes(), (std::vector<std::size_t>{0, 2}));
    r.click(0);
    QTest::keyClick(&r.view, Qt::Key_Down);
    EXPECT_EQ(r.session.messages.selectedIndexes(), std::vector<std::size_t>{2});
    EXPECT_EQ(r.session.messages.current(), 2);

    // New entries show when they match; a received one that does not leaves the view where it is.
    r.session.messages.append("Korg Kronos Combination Dump", Bytes{0xF0, 0xF7}, "");
    r.session.messages.makeCurrent(4);
    r.session.messages.append("Yamaha Bulk Dump: DX7 1 voice", Bytes{0xF0, 0xF7}, "");
    EXPECT_EQ(r.shown(), (std::vector<std::size_t>{0, 2, 5}));
    EXPECT_EQ(r.view.topRow(), 0);

    // Removing entries renumbers what the rows show.
    r.session.messages.removeAt(1);
    EXPECT_EQ(r.shown(), (std::vector<std::size_t>{0, 1, 4}));
    r.click(2);
    EXPECT_EQ(r.session.messages.selectedIndexes(), std::vector<std::size_t>{4});
    r.session.messages.clear();
    EXPECT_EQ(r.view.rowCount(), 0);
    QTest::keyClick(&r.view, Qt::Key_Down);  // nothing to move to
    r.view.setFilter("");
    EXPECT_EQ(r.view.rowCount(), 0);
}

// A message that may have been damaged on the way in says why in its tooltip;
// the others have none.
TEST(ObjectsWindowFilter, AMarkedMessageSaysWhyInItsTooltip)
{
    ObjectsRig r;
    r.session.messages.storageAt(1).doubt = kDoubtLatePeriod;
    const auto tip = [&](int row) {
        QToolTip::hideText();
        QHelpEvent event(QEvent::ToolTip, QPoint(5, row * r.view.rowHeight() + 2),
                         r.view.viewport()->mapToGlobal(QPoint(5, row * r.view.rowHeight() + 2)));
        QApplication::sendEvent(r.view.viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
    };
    EXPECT_EQ(tip(0), "");
    EXPECT_EQ(tip(1), "Arrived while the audio server skipped a period; it may be damaged");
}

}  // namespace
}  // namespace tolvex
