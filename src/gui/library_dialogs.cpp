// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/library_dialogs.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

namespace tolvex {

namespace {

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

QString where(const LibraryItem& it)
{
    return q(it.number < 0 ? it.bank : (it.bank.empty() ? "" : it.bank + " ") + std::to_string(it.number));
}

}  // namespace

MakeBankDialog::MakeBankDialog(const std::vector<LibraryItem>& items, const BankShape& shape, QWidget* parent)
    : QDialog(parent), count_(shape.count)
{
    setObjectName("MakeBankDialog");
    setWindowTitle("Make Bank");
    resize(420, 480);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Drag the patches, or use Up and Down, to put them in their places:", this));
    list_ = new QListWidget(this);
    list_->setObjectName("BankOrder");
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const LibraryItem& it : items) {
        auto* row = new QListWidgetItem(list_);
        row->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(it.id));
        row->setData(Qt::UserRole + 1, q(it.name));
        row->setToolTip(q(it.maker + " " + it.model + " " + it.kind) + " " + where(it));
    }
    layout->addWidget(list_, 1);
    auto* moves = new QHBoxLayout;
    auto* up = new QPushButton("Up", this);
    auto* down = new QPushButton("Down", this);
    up->setToolTip("Ctrl+Up");
    down->setToolTip("Ctrl+Down");
    connect(up, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveSelected(1); });
    connect(new QShortcut(QKeySequence("Ctrl+Up"), this), &QShortcut::activated, this, [this] { moveSelected(-1); });
    connect(new QShortcut(QKeySequence("Ctrl+Down"), this), &QShortcut::activated, this, [this] { moveSelected(1); });
    moves->addWidget(up);
    moves->addWidget(down);
    moves->addStretch();
    layout->addLayout(moves);
    places_ = new QLabel(this);
    places_->setObjectName("BankPlaces");
    layout->addWidget(places_);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = box->button(QDialogButtonBox::Ok);
    ok_->setText("Make Bank");
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);
    // A drop reorders the rows: the place numbers follow.
    connect(list_->model(), &QAbstractItemModel::rowsMoved, this, [this] { update(); });
    update();
}

std::vector<std::int64_t> MakeBankDialog::order() const
{
    std::vector<std::int64_t> ids;
    for (int i = 0; i < list_->count(); ++i) ids.push_back(list_->item(i)->data(Qt::UserRole).toLongLong());
    return ids;
}

void MakeBankDialog::moveSelected(int by)
{
    std::vector<int> rows;
    for (const QModelIndex& i : list_->selectionModel()->selectedIndexes()) rows.push_back(i.row());
    if (rows.empty() && list_->currentRow() >= 0) rows.push_back(list_->currentRow());
    std::sort(rows.begin(), rows.end());
    if (rows.empty() || (by < 0 && rows.front() == 0) || (by > 0 && rows.back() == list_->count() - 1)) return;
    // Moved as a block, the first in the direction of the move first, so no row jumps another.
    if (by > 0) std::reverse(rows.begin(), rows.end());
    list_->clearSelection();
    for (int row : rows) {
        QListWidgetItem* it = list_->takeItem(row);
        list_->insertItem(row + by, it);
        it->setSelected(true);
    }
    list_->setCurrentRow(rows.front() + by, QItemSelectionModel::NoUpdate);
    update();
}

void MakeBankDialog::update()
{
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* it = list_->item(i);
        it->setText(QString("%1  %2").arg(i + 1, 2).arg(it->data(Qt::UserRole + 1).toString()));
    }
    const auto n = static_cast<std::size_t>(list_->count());
    if (n > count_) {
        places_->setText(QString("The bank has %1 places: take out %2 patch(es)").arg(count_).arg(n - count_));
        places_->setStyleSheet("color: #b00000");
    } else {
        places_->setText(
            QString("%1 of %2 places filled; %3 left for the init patch").arg(n).arg(count_).arg(count_ - n));
        places_->setStyleSheet({});
    }
    ok_->setEnabled(n > 0 && n <= count_);
}

DuplicatesDialog::DuplicatesDialog(PatchLibrary& library, std::function<void(const std::vector<std::int64_t>&)> trash,
                                   QWidget* parent)
    : QDialog(parent), library_(library), trash_(std::move(trash))
{
    setObjectName("DuplicatesDialog");
    setWindowTitle("Duplicates");
    resize(760, 480);
    auto* layout = new QVBoxLayout(this);
    ignoreNames_ = new QCheckBox("Also the same sound under another name", this);
    ignoreNames_->setChecked(library_.ignoreNames());
    connect(ignoreNames_, &QCheckBox::toggled, this, &DuplicatesDialog::fill);
    layout->addWidget(ignoreNames_);
    tree_ = new QTreeWidget(this);
    tree_->setObjectName("DuplicateGroups");
    tree_->setColumnCount(4);
    tree_->setHeaderLabels({"Name", "Maker/Model", "Bank/Number", "Sources"});
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree_->setColumnWidth(0, 220);
    tree_->setColumnWidth(1, 140);
    layout->addWidget(tree_, 1);
    summary_ = new QLabel(this);
    layout->addWidget(summary_);
    auto* buttons = new QHBoxLayout;
    auto* extras = new QPushButton("Move Extras to Trash", this);
    extras->setToolTip("Keeps the oldest of each group");
    auto* selected = new QPushButton("Move Selected to Trash", this);
    auto* close = new QPushButton("Close", this);
    connect(extras, &QPushButton::clicked, this, &DuplicatesDialog::trashExtras);
    connect(selected, &QPushButton::clicked, this, &DuplicatesDialog::trashSelected);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(extras);
    buttons->addWidget(selected);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    fill();
}

void DuplicatesDialog::fill()
{
    tree_->clear();
    const auto groups = library_.duplicates(ignoreNames_->isChecked());
    std::size_t extras = 0;
    for (const auto& group : groups) {
        const auto items = library_.items(group);
        if (items.empty()) continue;
        auto* top = new QTreeWidgetItem(tree_);
        const std::size_t sources = items.size() == 1 ? library_.sources(items[0].id).size() : items.size();
        top->setText(0, items.size() == 1 ? QString("%1 (from %2 files)").arg(q(items[0].name)).arg(sources)
                                          : QString("%1 (%2 items)").arg(q(items[0].name)).arg(items.size()));
        top->setFirstColumnSpanned(true);
        top->setFlags(Qt::ItemIsEnabled);
        extras += items.size() - 1;
        for (const LibraryItem& it : items) {
            auto* row = new QTreeWidgetItem(top);
            row->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(it.id));
            row->setText(0, q(it.name));
            row->setText(1, q(it.model.empty() ? it.maker : it.maker + " " + it.model));
            row->setText(2, where(it));
            QStringList files;
            for (const std::string& f : library_.sources(it.id))
                files << (f.empty() ? QString("received") : q(f.substr(f.rfind('/') + 1)));
            row->setText(3, files.join(", "));
            row->setToolTip(3, files.join("\n"));
        }
    }
    tree_->expandAll();
    summary_->setText(groups.empty()
                          ? QString("No duplicates")
                          : QString("%1 group(s); %2 item(s) beyond the first of each").arg(groups.size()).arg(extras));
}

void DuplicatesDialog::trashExtras()
{
    std::vector<std::int64_t> ids;
    for (int g = 0; g < tree_->topLevelItemCount(); ++g) {
        QTreeWidgetItem* top = tree_->topLevelItem(g);
        for (int i = 1; i < top->childCount(); ++i) ids.push_back(top->child(i)->data(0, Qt::UserRole).toLongLong());
    }
    if (!ids.empty()) trash_(ids);
    fill();
}

void DuplicatesDialog::trashSelected()
{
    std::set<std::int64_t> ids;
    for (QTreeWidgetItem* it : tree_->selectedItems())
        if (it->parent()) ids.insert(it->data(0, Qt::UserRole).toLongLong());
    if (!ids.empty()) trash_(std::vector<std::int64_t>(ids.begin(), ids.end()));
    fill();
}

QWidget* CategoryDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    std::set<QString> seen;
    box->addItem("");
    for (const std::string& c : patchCategories())
        if (seen.insert(q(c)).second) box->addItem(q(c));
    for (const std::string& c : known_())
        if (seen.insert(q(c)).second) box->addItem(q(c));
    return box;
}

void CategoryDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* box = qobject_cast<QComboBox*>(editor)) box->setCurrentText(index.data(Qt::EditRole).toString());
}

void CategoryDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* box = qobject_cast<QComboBox*>(editor);
    if (!box) return;
    const QString category = box->currentText().trimmed();
    // Edited on one of several selected rows, the category goes to all of them: a dozen pads filed at once.
    std::vector<QModelIndex> rows{index};
    if (const auto* view = qobject_cast<const QAbstractItemView*>(parent()); view && view->selectionModel()) {
        const QModelIndexList selected = view->selectionModel()->selectedRows(index.column());
        const bool among =
            std::any_of(selected.begin(), selected.end(), [&](const QModelIndex& i) { return i.row() == index.row(); });
        if (among) rows.assign(selected.begin(), selected.end());
    }
    for (const QModelIndex& i : rows) model->setData(i, category, Qt::EditRole);
}

}  // namespace tolvex
