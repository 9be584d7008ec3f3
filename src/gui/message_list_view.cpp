// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/message_list_view.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <cctype>
#include <functional>

#include "core/app/incoming.h"

namespace tolvex {

namespace {

// The captions above the columns.
class ListHeader : public QWidget {
public:
    ListHeader(QWidget* parent, std::function<std::array<int, 5>(int)> edges)
        : QWidget(parent), edges_(std::move(edges))
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().brush(QPalette::Button));
        p.setPen(palette().color(QPalette::ButtonText));
        const auto e = edges_(width());
        static const char* const captions[] = {"No.", "Name", "Size", "Source file"};
        for (int c = 0; c < 4; ++c)
            p.drawText(QRect(e[c] + 3, 0, e[c + 1] - e[c] - 6, height()),
                       Qt::AlignVCenter | (c == 0 || c == 2 ? Qt::AlignRight : Qt::AlignLeft), captions[c]);
    }

private:
    std::function<std::array<int, 5>(int)> edges_;
};

QString fileNameOf(const std::string& path)
{
    return QString::fromStdString(path.substr(path.rfind('/') + 1));
}

}  // namespace

MessageListView::MessageListView(MessageList& list, QWidget* parent) : QAbstractScrollArea(parent), list_(list)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    rowHeight_ = fontMetrics().height() + 2;
    header_ = new ListHeader(this, [this](int w) { return columnEdges(w); });
    setViewportMargins(0, rowHeight_ + 2, 0, 0);
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
    return row < rowCount() ? static_cast<int>(row) : -1;
}

int MessageListView::rowCount() const
{
    const std::size_t n = filter_.isEmpty() ? list_.count() : shown_.size();
    return static_cast<int>(std::min<std::size_t>(n, 0x7FFFFFFF));
}

std::size_t MessageListView::indexOf(int row) const
{
    return filter_.isEmpty() ? static_cast<std::size_t>(row) : shown_.at(static_cast<std::size_t>(row));
}

int MessageListView::rowOf(std::size_t index) const
{
    if (filter_.isEmpty()) return static_cast<int>(index);
    const auto it = std::lower_bound(shown_.begin(), shown_.end(), index);
    return it != shown_.end() && *it == index ? static_cast<int>(it - shown_.begin()) : -1;
}

bool MessageListView::matches(std::size_t index) const
{
    const MessageEntry& e = list_.at(index);
    return QString::fromStdString(e.text).contains(filter_, Qt::CaseInsensitive) ||
           fileNameOf(e.storage->filename).contains(filter_, Qt::CaseInsensitive);
}

void MessageListView::applyFilter()
{
    shown_.clear();
    if (!filter_.isEmpty())
        for (std::size_t i = 0; i < list_.count(); ++i)
            if (matches(i)) shown_.push_back(i);
    anchor_ = -1;
    updateScrollRange();
    viewport()->update();
}

void MessageListView::setFilter(const QString& text)
{
    filter_ = text;
    applyFilter();
    scrollToTop(0);
}

std::array<int, 5> MessageListView::columnEdges(int width) const
{
    // The numbers are shown whole: the entry numbers as the list has them, the
    // sizes up to 999,999,999 bytes (more than any port holds of one message).
    const QString most = QString(QString::number(list_.count()).size(), '0');
    const int digits = fontMetrics().horizontalAdvance(most.size() > 5 ? most : QString("00000")) + 6;
    const int size = fontMetrics().horizontalAdvance("000000000") + 6;
    const int source = std::max(60, width / 4);
    const int name = std::max(40, width - digits - size - source);
    return {0, digits, digits + name, digits + name + size, width};
}

void MessageListView::scrollToTop(int row)
{
    verticalScrollBar()->setValue(std::clamp(row, 0, verticalScrollBar()->maximum()));
}

void MessageListView::updateScrollRange()
{
    const int count = rowCount();
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
    case MessageList::Change::Appended:
        if (!filter_.isEmpty())
            for (std::size_t i = first; i < list_.count(); ++i)
                if (matches(i)) shown_.push_back(i);
        updateScrollRange();
        break;
    case MessageList::Change::Removed:
    case MessageList::Change::Reset:
        anchor_ = -1;
        if (!filter_.isEmpty()) applyFilter();
        updateScrollRange();
        break;
    case MessageList::Change::Selection: break;
    case MessageList::Change::Current:
        // A received message: the newest entry becomes the top line (when the filter shows it).
        if (const int row = rowOf(first); row >= 0) {
            anchor_ = row;
            scrollToTop(row);
        }
        break;
    }
    viewport()->update();
}

void MessageListView::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    const int width = viewport()->width();
    const int top = topRow();
    const int last = std::min<long>(static_cast<long>(rowCount()), static_cast<long>(top) + visibleRows() + 1);
    const QPalette& pal = palette();
    const auto edges = columnEdges(width);
    // A name or file cut short ends in "..."; a number is never cut.
    const auto cell = [&](const QRect& r, int c, const QString& text, Qt::Alignment align) {
        const int w = edges[c + 1] - edges[c] - 6;
        const bool number = align == Qt::AlignRight;
        p.drawText(QRect(edges[c] + 3, r.top(), w, r.height()), Qt::AlignVCenter | align,
                   number ? text : fontMetrics().elidedText(text, Qt::ElideRight, w));
    };
    for (int row = top; row < last; ++row) {
        const std::size_t index = indexOf(row);
        const MessageEntry& e = list_.at(index);
        const QRect r(0, (row - top) * rowHeight_, width, rowHeight_);
        const bool selected = e.selected;
        if (selected) p.fillRect(r, pal.brush(QPalette::Highlight));
        p.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
        cell(r, 0, QString::number(index + 1), Qt::AlignRight);
        // A message that may be damaged on the way in carries a mark; its tooltip says why.
        const QString text = QString::fromStdString(e.text);
        cell(r, 1, e.storage->doubt != 0 ? QString::fromUtf8(kDoubtMark) + text : text, Qt::AlignLeft);
        cell(r, 2, QString::number(e.storage->sxdata.size()), Qt::AlignRight);
        cell(r, 3, fileNameOf(e.storage->filename), Qt::AlignLeft);
        if (hasFocus() && static_cast<long>(index) == list_.current()) {
            p.setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
            p.drawRect(r.adjusted(0, 0, -1, -1));
        }
    }
}

bool MessageListView::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip) return QAbstractScrollArea::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int row = rowAt(help->pos());
    const std::uint8_t doubt = row >= 0 ? list_.at(indexOf(row)).storage->doubt : 0;
    if (doubt == 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const std::string why = doubtText(doubt);
    QToolTip::showText(
        help->globalPos(),
        QString::fromStdString(static_cast<char>(std::toupper(why[0])) + why.substr(1) + "; it may be damaged"),
        viewport());
    return true;
}

void MessageListView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    const QRect vp = viewport()->geometry();
    header_->setGeometry(vp.left(), vp.top() - rowHeight_ - 2, vp.width(), rowHeight_ + 2);
    updateScrollRange();
}

void MessageListView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void MessageListView::selectRow(int row, Qt::KeyboardModifiers mods)
{
    if (row < 0 || row >= rowCount()) return;
    const std::size_t index = indexOf(row);
    if ((mods & Qt::ShiftModifier) && anchor_ >= 0 && anchor_ < rowCount()) {
        std::vector<bool> range(list_.count());
        if (mods & Qt::ControlModifier)
            for (std::size_t i : list_.selectedIndexes()) range[i] = true;
        const auto [lo, hi] = std::minmax(anchor_, row);
        for (int i = lo; i <= hi; ++i) range[indexOf(i)] = true;
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
    if (row >= 0 && static_cast<long>(indexOf(row)) != list_.current()) selectRow(row, Qt::ShiftModifier);
}

void MessageListView::keyPressEvent(QKeyEvent* event)
{
    const int count = rowCount();
    if (count == 0) return QAbstractScrollArea::keyPressEvent(event);
    const int current = list_.current() < 0 ? -1 : rowOf(static_cast<std::size_t>(list_.current()));
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
    const int chosen = std::clamp(row, 0, count - 1);
    selectRow(chosen, event->modifiers() & Qt::ShiftModifier);
    emit clicked(chosen);
}

}  // namespace tolvex
