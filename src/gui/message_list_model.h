// Shows the session's message list in a Qt view and mirrors its selection.
#pragma once

#include <QAbstractListModel>

#include "core/message_list.h"

namespace tolvex {

class MessageListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit MessageListModel(MessageList& list, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

signals:
    // The model's selection changed (the view follows it).
    void selectionChanged();
    void currentChanged(int row);

private:
    MessageList& list_;
};

}  // namespace tolvex
