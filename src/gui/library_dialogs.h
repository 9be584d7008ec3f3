// SPDX-License-Identifier: GPL-3.0-or-later
// The Library window's dialogs: Make Bank (the chosen patches in bank order,
// to be reordered), Duplicates (the groups of one sound, to clear out), and
// the category editor of the table.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <functional>
#include <vector>

#include "library/patch_library.h"

namespace tolvex {

// The patches of a bank in their places; the user moves them with the
// buttons, Ctrl+Up/Down or by dragging. The places after them hold the
// family's init patch.
class MakeBankDialog : public QDialog {
    Q_OBJECT
public:
    MakeBankDialog(const std::vector<LibraryItem>& items, const BankShape& shape, QWidget* parent = nullptr);

    // The item ids in bank order.
    std::vector<std::int64_t> order() const;
    QListWidget* list() const { return list_; }
    void moveSelected(int by);  // -1 up, +1 down

private:
    void update();

    QListWidget* list_;
    QLabel* places_;
    QPushButton* ok_;
    std::size_t count_;
};

// The groups of duplicates(): the oldest item of each group first. Moving to
// the trash goes through `trash` (the window's, so Undo brings them back).
class DuplicatesDialog : public QDialog {
    Q_OBJECT
public:
    DuplicatesDialog(PatchLibrary& library, std::function<void(const std::vector<std::int64_t>&)> trash,
                     QWidget* parent = nullptr);

    QTreeWidget* tree() const { return tree_; }
    QCheckBox* ignoreNames() const { return ignoreNames_; }
    // Reads the groups again.
    void fill();
    // All but the first of each group, to the trash.
    void trashExtras();
    void trashSelected();

private:
    PatchLibrary& library_;
    std::function<void(const std::vector<std::int64_t>&)> trash_;
    QTreeWidget* tree_;
    QCheckBox* ignoreNames_;
    QLabel* summary_;
};

// Edits a category cell with the usual categories and the library's own to
// pick from, or a new one typed in. Its parent is the view: what is chosen
// goes to every selected row when the edited one is among them.
class CategoryDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    CategoryDelegate(std::function<std::vector<std::string>()> known, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), known_(std::move(known))
    {
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    std::function<std::vector<std::string>()> known_;
};

}  // namespace tolvex
