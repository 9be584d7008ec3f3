#include "gui/message_list_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace tolvex {

MessageListView::MessageListView(MessageList& list, QWidget* parent) : QAbstractScrollArea(parent), list_(list)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    rowHeight_ = fontMetrics().height() + 2;
    verticalScrollBar()->setSingleStep(1);  // the scroll bar counts rows, not pixels
    list_.setListener(
        [this](MessageList::Change c, std::size_t first, std::size_t count) { onListChanged(c, first, count); });
    updateScrollRange();
}

int MessageListView::topRow() const
{
    return verticalScrollBar()->value();
}

int MessageListView::visibleRows() const
{
    return std::max(1, viewport()->height() / rowHeight_);
}

int MessageListView::rowAt(const QPoint& p) const
{
    if (p.y() < 0) return -1;
    const long row = topRow() + p.y() / rowHeight_;
    return row < static_cast<long>(list_.count()) ? static_cast<int>(row) : -1;
}

void MessageListView::scrollToTop(int row)
{
    verticalScrollBar()->setValue(std::clamp(row, 0, verticalScrollBar()->maximum()));
}

void MessageListView::updateScrollRange()
{
    const int count = static_cast<int>(std::min<std::size_t>(list_.count(), 0x7FFFFFFF));
    const int rows = visibleRows();
    verticalScrollBar()->setPageStep(rows);
    verticalScrollBar()->setRange(0, std::max(0, count - rows));
}

void MessageListView::ensureVisible(int row)
{
    if (row < topRow())
        scrollToTop(row);
    else if (row >= topRow() + visibleRows())
        scrollToTop(row - visibleRows() + 1);
}

void MessageListView::listChanged(MessageList::Change change, std::size_t first, std::size_t count)
{
    onListChanged(change, first, count);
}

void MessageListView::onListChanged(MessageList::Change change, std::size_t first, std::size_t)
{
    switch (change) {
    case MessageList::Change::Appended: updateScrollRange(); break;
    case MessageList::Change::Removed:
    case MessageList::Change::Reset:
        anchor_ = -1;
        updateScrollRange();
        break;
    case MessageList::Change::Selection: break;
    case MessageList::Change::Current:
        // A received message: the newest entry becomes the top line.
        anchor_ = static_cast<int>(first);
        scrollToTop(static_cast<int>(first));
        break;
    }
    viewport()->update();
}

void MessageListView::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    const int width = viewport()->width();
    const int top = topRow();
    const int last = std::min<long>(static_cast<long>(list_.count()), static_cast<long>(top) + visibleRows() + 1);
    const QPalette& pal = palette();
    for (int row = top; row < last; ++row) {
        const QRect r(0, (row - top) * rowHeight_, width, rowHeight_);
        const bool selected = list_.selectedAt(static_cast<std::size_t>(row));
        if (selected) p.fillRect(r, pal.brush(QPalette::Highlight));
        p.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QString text = QString::fromStdString(list_.textAt(static_cast<std::size_t>(row)));
        p.drawText(r.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   fontMetrics().elidedText(text, Qt::ElideRight, width - 6));
        if (hasFocus() && row == list_.current()) {
            p.setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
            p.drawRect(r.adjusted(0, 0, -1, -1));
        }
    }
}

void MessageListView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void MessageListView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void MessageListView::selectRow(int row, Qt::KeyboardModifiers mods)
{
    if (row < 0 || static_cast<std::size_t>(row) >= list_.count()) return;
    const auto index = static_cast<std::size_t>(row);
    if ((mods & Qt::ShiftModifier) && anchor_ >= 0 && static_cast<std::size_t>(anchor_) < list_.count()) {
        std::vector<bool> range(list_.count());
        if (mods & Qt::ControlModifier)
            for (std::size_t i : list_.selectedIndexes()) range[i] = true;
        const auto [lo, hi] = std::minmax(anchor_, row);
        for (int i = lo; i <= hi; ++i) range[static_cast<std::size_t>(i)] = true;
        list_.setSelection(range);
    } else if (mods & Qt::ControlModifier) {
        list_.setSelected(index, !list_.selectedAt(index));
        anchor_ = row;
    } else {
        list_.selectOnly(index);
        anchor_ = row;
    }
    list_.setCurrentIndex(index);
    ensureVisible(row);
    viewport()->update();
}

void MessageListView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton) return;
    const int row = rowAt(event->position().toPoint());
    if (row < 0) return;
    selectRow(row, event->modifiers());
    emit clicked(row);
}

void MessageListView::mouseMoveEvent(QMouseEvent* event)
{
    // Dragging with the button held extends the selection from where it started.
    if (!(event->buttons() & Qt::LeftButton)) return;
    const int row = rowAt(event->position().toPoint());
    if (row >= 0 && row != list_.current()) selectRow(row, Qt::ShiftModifier);
}

void MessageListView::keyPressEvent(QKeyEvent* event)
{
    const int count = static_cast<int>(std::min<std::size_t>(list_.count(), 0x7FFFFFFF));
    if (count == 0) return QAbstractScrollArea::keyPressEvent(event);
    const int current = list_.current() < 0 ? -1 : static_cast<int>(list_.current());
    int row;
    switch (event->key()) {
    case Qt::Key_Up: row = current - 1; break;
    case Qt::Key_Down: row = current + 1; break;
    case Qt::Key_PageUp: row = current - visibleRows(); break;
    case Qt::Key_PageDown: row = current + visibleRows(); break;
    case Qt::Key_Home: row = 0; break;
    case Qt::Key_End: row = count - 1; break;
    default: return QAbstractScrollArea::keyPressEvent(event);
    }
    selectRow(std::clamp(row, 0, count - 1), event->modifiers() & Qt::ShiftModifier);
    emit clicked(static_cast<int>(list_.current()));
}

}  // namespace tolvex
