// The Objects Window: draws the session's message list and edits its selection.
// The list is the only record of the selection; the view keeps nothing per
// entry and draws only the rows in sight, so appending a message, making it the
// current one and repainting cost the same however many entries are listed.
#pragma once

#include <QAbstractScrollArea>

#include "core/sysex/message_list.h"

namespace tolvex {

class MessageListView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Becomes the list's listener; the list must outlive the view.
    explicit MessageListView(MessageList& list, QWidget* parent = nullptr);

    int rowHeight() const { return rowHeight_; }
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

    MessageList& list_;
    int rowHeight_ = 16;
    int anchor_ = -1;  // where a Shift range starts
};

}  // namespace tolvex
