#include "gui/message_list_model.h"

namespace tolvex {

MessageListModel::MessageListModel(MessageList& list, QObject* parent) : QAbstractListModel(parent), list_(list)
{
    // The list is already changed when the listener runs; Qt's begin/end pairs
    // are therefore issued back to back, which views accept for appends and resets.
    list_.setListener([this](MessageList::Change change, std::size_t first, std::size_t count) {
        const int f = static_cast<int>(first);
        const int c = static_cast<int>(count);
        switch (change) {
        case MessageList::Change::Appended:
            beginInsertRows(QModelIndex(), f, f + c - 1);
            endInsertRows();
            break;
        case MessageList::Change::Removed:
        case MessageList::Change::Reset:
            beginResetModel();
            endResetModel();
            emit selectionChanged();
            break;
        case MessageList::Change::Selection: emit selectionChanged(); break;
        case MessageList::Change::Current:
            emit selectionChanged();
            emit currentChanged(f);
            break;
        }
    });
}

int MessageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(list_.count());
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= list_.count()) return {};
    if (role == Qt::DisplayRole) return QString::fromStdString(list_.textAt(static_cast<std::size_t>(index.row())));
    return {};
}

}  // namespace tolvex
