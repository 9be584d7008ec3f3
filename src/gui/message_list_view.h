// SPDX-License-Identifier: GPL-3.0-or-later
// The Objects Window: draws the session's message list in columns (number,
// name, size, source file) and edits its selection; a filter shows only the
// entries whose name or source file holds a text.
// The list is the only record of the selection; the view keeps nothing per
// entry and draws only the rows in sight, so appending a message, making it the
// current one and repainting cost the same however many entries are listed.
#pragma once

#include <QAbstractScrollArea>
#include <array>
#include <vector>

#include "core/sysex/message_list.h"

namespace tolvex {

// Put before the name of a message that may have been damaged on the way in.
inline constexpr char kDoubtMark[] = "\u26A0 ";

class MessageListView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Becomes the list's listener; the list must outlive the view.
    explicit MessageListView(MessageList& list, QWidget* parent = nullptr);

    int rowHeight() const { return rowHeight_; }
    // Shows only the entries whose name or source file holds `text` (case
    // ignored); an empty text shows every entry.
    void setFilter(const QString& text);
    // Rows shown, and the list index of a row.
    int rowCount() const;
    std::size_t indexOf(int row) const;
    int topRow() const;
    int visibleRows() const;
    // The row at a point of the viewport, or -1 below the last entry.
    int rowAt(const QPoint& viewportPos) const;
    // Scrolls so that `row` is the top line, as far as the list allows.
    void scrollToTop(int row);
    // Follows a change of the list (the view is the list's listener unless
    // its owner takes that role and forwards the changes here).
    void listChanged(MessageList::Change change, std::size_t first, std::size_t count);

signals:
    // A row was clicked (after the selection changed).
    void clicked(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void onListChanged(MessageList::Change change, std::size_t first, std::size_t count);
    void updateScrollRange();
    void ensureVisible(int row);
    // Click and key selection: only `row`, `row` toggled, or anchor..row.
    void selectRow(int row, Qt::KeyboardModifiers mods);

    // The row that shows list index `index`, or -1 when the filter hides it.
    int rowOf(std::size_t index) const;
    void applyFilter();
    bool matches(std::size_t index) const;
    // The column edges of a row of `width` pixels: number, name, size, source.
    std::array<int, 5> columnEdges(int width) const;

    MessageList& list_;
    QWidget* header_ = nullptr;
    QString filter_;
    std::vector<std::size_t> shown_;  // the list indexes shown while a filter is set
    int rowHeight_ = 16;
    int anchor_ = -1;  // where a Shift range starts
};

}  // namespace tolvex
