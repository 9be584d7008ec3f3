// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/library_window.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <ctime>
#include <filesystem>
#include <unordered_map>

#include "core/app/controls.h"
#include "core/app/device_commands.h"
#include "core/app/incoming.h"
#include "core/app/sysex_out.h"
#include "core/sysex/sx_naming.h"
#include "core/sysex/syx_file.h"
#include "gui/library_dialogs.h"
#include "library/syx_folder.h"

namespace tolvex {

namespace {

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

// The main window's MIDI channel box, 0 when it holds no channel.
int channelOf(Session& s)
{
    return s.controls.number(ctl::Channel, 0, 15).value_or(0);
}

}  // namespace

namespace {
// Received messages wait this long, or until this many bytes, for the ones
// that follow: a burst of dumps costs one transaction, not one each.
constexpr int kReceivedBatchMs = 250;
constexpr std::size_t kReceivedBatchBytes = 16u << 20;
constexpr const char* kReceivedTimer = "LibraryReceived";
// While another program holds the library, the window waits this long at a
// time (input goes on meanwhile) and tries again after kRetryMs.
constexpr int kWindowBusyWaitMs = 100;
constexpr int kRetryMs = 1000;
}  // namespace

LibraryAccess::~LibraryAccess()
{
    if (pending_.empty() || !library_) return;
    library_->setBusyWait(lastWaitMs_);
    if (!store()) keepInFile();
}

PatchLibrary* LibraryAccess::get()
{
    if (!pending_.empty() && !waiting_) flush();
    if (library_ || failed_) return library_.get();
    if (path_.empty()) path_ = defaultLibraryPath(session_.paths.progpath);
    try {
        if (libraryNeedsUpdate(path_))
            session_.log.LogString("Library: bringing " + path_ + " up to date (once; a large library takes a while)");
        library_ = std::make_unique<PatchLibrary>(path_);
        library_->useNamers(&session_.families.namers);
        library_->setBusyWait(kWindowBusyWaitMs);
        if (library_->readOnly())
            session_.log.LogString("Library: " + path_ +
                                   " is read-only here: it can be searched, sent and exported, not changed");
    } catch (const TolvexError& e) {
        failed_ = true;
        session_.shell.messageBox(
            "Library", std::string(e.what()) + "\nTolvex goes on without a library until it is started again.",
            MsgIcon::Warning, MsgButtons::Ok);
    }
    return library_.get();
}

bool LibraryAccess::addReceived()
{
    if (!addReceived_) {
        PatchLibrary* lib = get();
        if (lib == nullptr || lib->readOnly()) return false;
        addReceived_ = lib->setting("add_received", "1") == "1";
    }
    return *addReceived_;
}

void LibraryAccess::setAddReceived(bool on)
{
    if (PatchLibrary* lib = get()) {
        try {
            lib->setSetting("add_received", on ? "1" : "0");
        } catch (const TolvexError& e) {
            session_.log.LogString(std::string("Library: ") + e.what());
        }
        addReceived_ = on;
    }
}

void LibraryAccess::received(const Bytes& sx)
{
    if (!addReceived()) return;
    if (pending_.empty()) session_.shell.startTimer(kReceivedTimer, kReceivedBatchMs, [this] { flush(); });
    pending_.push_back(sx);
    pendingBytes_ += sx.size();
    if (pendingBytes_ >= kReceivedBatchBytes && !waiting_) flush();
}

void LibraryAccess::flush()
{
    if (pending_.empty()) return;
    session_.shell.stopTimer(kReceivedTimer);
    if (!library_) return;
    if (store()) return;
    // Kept until the library is free again: tried again shortly.
    session_.shell.startTimer(kReceivedTimer, kRetryMs, [this] { flush(); });
}

bool LibraryAccess::store()
{
    AddReport r;
    try {
        library_->addMessages(pending_, "", r);
    } catch (const LibraryError& e) {
        if (e.busy) {
            if (!waiting_)
                session_.log.LogString(
                    format("Library: another program is changing the library; %zu received "
                           "dump(s) wait until it is done",
                           pending_.size()));
            waiting_ = true;
            return false;
        }
        session_.log.LogString(format("Library: %zu received dump(s) not added (they stay in the Objects Window): %s",
                                      pending_.size(), e.what()));
        pending_.clear();
        pendingBytes_ = 0;
        return true;
    }
    if (waiting_)
        session_.log.LogString(format("Library: the %zu received dump(s) that waited are added", pending_.size()));
    waiting_ = false;
    pending_.clear();
    pendingBytes_ = 0;
    for (const std::string& p : r.problems) session_.log.LogString("Library: not read: " + p);
    for (const std::string& n : r.notes) session_.log.LogString("Library: read: " + n);
    return true;
}

void LibraryAccess::keepInFile()
{
    namespace fs = std::filesystem;
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
    // Never over an earlier file of the same second: that one holds dumps too.
    const fs::path base = fs::path(path_).parent_path() / ("received-not-added-" + std::string(stamp));
    std::string file = base.string() + ".syx";
    std::error_code ec;
    for (int n = 2; fs::exists(file, ec); ++n) file = base.string() + "-" + std::to_string(n) + ".syx";
    std::vector<ByteView> messages(pending_.begin(), pending_.end());
    try {
        writeSyxFile(file, messages);
        session_.log.LogString(
            format("Library: the library stayed busy; %zu received dump(s) were written to %s "
                   "(add that file to the library later)",
                   pending_.size(), file.c_str()));
    } catch (const TolvexError& e) {
        session_.log.LogString(
            format("Library: %zu received dump(s) could not be kept: %s", pending_.size(), e.what()));
    }
    pending_.clear();
}

LibraryModel::LibraryModel(QObject* parent) : QAbstractTableModel(parent) {}

void LibraryModel::setLibrary(PatchLibrary* library)
{
    if (library != library_ || !library) {
        loader_.reset();
        if (library)
            loader_ =
                std::make_unique<LibraryLoader>(library->path(), [this](LibraryAnswer&& a) { answered(std::move(a)); });
        beginResetModel();
        ids_.clear();
        pages_.clear();
        endResetModel();
    }
    library_ = library;
    refresh();
}

namespace {
bool sameQuery(const LibraryQuery& a, const LibraryQuery& b)
{
    return a.search == b.search && a.maker == b.maker && a.kind == b.kind && a.category == b.category &&
           a.favourites == b.favourites && a.trash == b.trash;
}
bool wholeLibrary(const LibraryQuery& q)
{
    return q.search.empty() && !q.any();
}
}  // namespace

void LibraryModel::refresh()
{
    if (!library_) {
        beginResetModel();
        ids_.clear();
        pages_.clear();
        endResetModel();
        complete_ = true;
        emit countChanged();
        return;
    }
    // What is shown may have changed (an edit, an add from another file): the
    // rows in sight are read again, in the order shown until the new one is in.
    pages_.clear();
    if (!ids_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    const bool whole = wholeLibrary(query_);
    try {
        if (whole) total_ = library_->count();
        // Opening, or back from a search: the first screenful off the name
        // index at once, the rest as it is read.
        if (whole && order_ == LibraryColumn::Name && (ids_.empty() || !sameQuery(shownQuery_, query_))) {
            std::vector<std::int64_t> first = library_->firstInOrder(kLibraryFirstRows, order_, descending_);
            beginResetModel();
            ids_ = std::move(first);
            pages_.clear();
            endResetModel();
            shownQuery_ = query_;
            shownOrder_ = order_;
            shownDescending_ = descending_;
            shownComplete_ = false;
        }
    } catch (const TolvexError& e) {
        emit failed(q(e.what()));
    }
    complete_ = false;
    loader_->request({query_, order_, descending_});
    emit countChanged();
}

void LibraryModel::answered(LibraryAnswer&& a)
{
    if (!a.error.empty()) {
        complete_ = true;
        emit countChanged();
        emit failed(q(a.error));
        return;
    }
    show(std::move(a.ids), a.complete);
}

void LibraryModel::show(std::vector<std::int64_t>&& ids, bool complete)
{
    const bool sameRows = sameQuery(shownQuery_, query_);
    const bool sameOrder = sameRows && shownOrder_ == order_ && shownDescending_ == descending_;
    shownQuery_ = query_;
    shownOrder_ = order_;
    shownDescending_ = descending_;
    shownComplete_ = complete;
    complete_ = complete;
    if (sameOrder && ids.size() >= ids_.size() && std::equal(ids_.begin(), ids_.end(), ids.begin())) {
        // The rows shown stay; the rest follow them.
        if (ids.size() > ids_.size()) {
            beginInsertRows({}, static_cast<int>(ids_.size()), static_cast<int>(ids.size()) - 1);
            ids_ = std::move(ids);
            endInsertRows();
        }
    } else if (sameRows && ids.size() == ids_.size()) {
        // The same rows in another order: the selection moves with its items,
        // the view stays where it was scrolled to.
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList from = persistentIndexList();
        std::unordered_map<std::int64_t, int> rowOf;
        for (const QModelIndex& i : from) rowOf.emplace(ids_[static_cast<std::size_t>(i.row())], -1);
        for (std::size_t row = 0; row < ids.size() && !rowOf.empty(); ++row)
            if (auto it = rowOf.find(ids[row]); it != rowOf.end()) it->second = static_cast<int>(row);
        QModelIndexList to;
        to.reserve(from.size());
        for (const QModelIndex& i : from) {
            const int row = rowOf[ids_[static_cast<std::size_t>(i.row())]];
            to.push_back(row < 0 ? QModelIndex() : index(row, i.column()));
        }
        ids_ = std::move(ids);
        pages_.clear();
        changePersistentIndexList(from, to);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    } else {
        beginResetModel();
        pages_.clear();
        ids_ = std::move(ids);
        endResetModel();
    }
    emit countChanged();
    if (complete_) emit searchComplete();
}

void LibraryModel::completeSearch()
{
    if (complete_ || !library_) return;
    if (loader_) loader_->cancel();
    std::vector<std::int64_t> all;
    try {
        all = library_->find(query_, order_, descending_);
    } catch (const TolvexError& e) {
        complete_ = true;
        emit failed(q(e.what()));
        return;
    }
    show(std::move(all), true);
}

void LibraryModel::removeIds(const std::vector<std::int64_t>& ids)
{
    if (ids.empty() || ids_.empty()) return;
    std::vector<std::int64_t> gone(ids);
    std::sort(gone.begin(), gone.end());
    const auto isGone = [&gone](std::int64_t id) { return std::binary_search(gone.begin(), gone.end(), id); };
    // Runs of removed rows, last first, so the rows before each stay where they are.
    std::vector<std::pair<int, int>> runs;
    for (int row = 0; row < static_cast<int>(ids_.size()); ++row) {
        if (!isGone(ids_[static_cast<std::size_t>(row)])) continue;
        if (!runs.empty() && runs.back().second == row - 1)
            runs.back().second = row;
        else
            runs.emplace_back(row, row);
    }
    if (runs.empty()) return;
    std::size_t removed = 0;
    for (const auto& [first, last] : runs) removed += static_cast<std::size_t>(last - first + 1);
    if (runs.size() <= 64) {
        for (auto r = runs.rbegin(); r != runs.rend(); ++r) {
            beginRemoveRows({}, r->first, r->second);
            ids_.erase(ids_.begin() + r->first, ids_.begin() + r->second + 1);
            pages_.clear();
            endRemoveRows();
        }
    } else {
        // Scattered over the table: one pass, and the view reads its rows afresh.
        beginResetModel();
        std::erase_if(ids_, isGone);
        pages_.clear();
        endResetModel();
    }
    if (wholeLibrary(query_)) total_ -= static_cast<std::int64_t>(removed);
    emit countChanged();
}

QString LibraryModel::countText() const
{
    if (!library_) return {};
    const bool sameRows = sameQuery(shownQuery_, query_);
    const bool sameOrder = shownOrder_ == order_ && shownDescending_ == descending_;
    // Rows read again after a change are counted as they are until the answer comes.
    if (complete_ || (sameRows && sameOrder && shownComplete_)) return QString("%1 items").arg(ids_.size());
    if (!sameRows) return QString("Searching...");
    if (!sameOrder) return QString("Sorting...");
    return wholeLibrary(query_) ? QString("%1 items").arg(total_) : QString("Searching...");
}

void LibraryModel::setSearch(const QString& text)
{
    query_.search = text.trimmed().toStdString();
    refresh();
}

void LibraryModel::setFilters(const LibraryQuery& filters)
{
    LibraryQuery q = filters;
    q.search = query_.search;
    query_ = std::move(q);
    refresh();
}

void LibraryModel::reread()
{
    pages_.clear();
    if (!ids_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

Qt::ItemFlags LibraryModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == Name || index.column() == Category) f |= Qt::ItemIsEditable;
    return f;
}

bool LibraryModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const LibraryItem* it = role == Qt::EditRole ? itemAt(index.row()) : nullptr;
    if (!it) return false;
    const std::string text = value.toString().toStdString();
    try {
        if (index.column() == Name && text != it->name)
            library_->rename(it->id, text);
        else if (index.column() == Category && text != it->category)
            library_->setCategory(std::span(&it->id, 1), text);
        else
            return false;
    } catch (const TolvexError& e) {
        emit editRefused(q(e.what()));
        return false;
    }
    pages_.clear();
    emit dataChanged(index.siblingAtColumn(0), index.siblingAtColumn(ColumnCount - 1));
    emit edited();
    return true;
}

int LibraryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(ids_.size());
}

int LibraryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const LibraryItem* LibraryModel::itemAt(int row) const
{
    if (!library_ || row < 0 || static_cast<std::size_t>(row) >= ids_.size()) return nullptr;
    const std::size_t page = static_cast<std::size_t>(row) / kPage;
    auto it = pages_.find(page);
    if (it == pages_.end()) {
        // A few pages around the view are enough; the oldest read go first.
        if (pages_.size() >= 16) pages_.erase(pages_.begin()->first == page ? std::prev(pages_.end()) : pages_.begin());
        const std::size_t from = page * kPage;
        const std::size_t n = std::min(kPage, ids_.size() - from);
        it = pages_.emplace(page, library_->items(std::span(ids_).subspan(from, n))).first;
    }
    const std::size_t at = static_cast<std::size_t>(row) % kPage;
    // A row removed meanwhile by another program is shown empty.
    return at < it->second.size() && it->second[at].id == ids_[static_cast<std::size_t>(row)] ? &it->second[at]
                                                                                              : nullptr;
}

QVariant LibraryModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::EditRole) return {};
    const LibraryItem* it = itemAt(index.row());
    if (!it) return {};
    switch (index.column()) {
    case Category: return q(it->category);
    case Favourite:
        if (role == Qt::ToolTipRole) return it->favourite ? QString("Favourite (Ctrl+D)") : QString();
        return it->favourite ? QString::fromUtf8("\u2605") : QString();
    case Name: return q(it->name);
    case MakerModel: return q(it->model.empty() ? it->maker : it->maker + " " + it->model);
    case Kind: return q(it->kind);
    case BankNumber:
        return q(it->number < 0 ? it->bank : (it->bank.empty() ? "" : it->bank + " ") + std::to_string(it->number));
    case Source: {
        if (role == Qt::ToolTipRole) {
            // Every file it came from, oldest first.
            QStringList files;
            for (const std::string& f : library_->sources(it->id)) files << (f.empty() ? "(received)" : q(f));
            return files.join('\n');
        }
        QString shown = q(it->source.substr(it->source.rfind('/') + 1));
        if (it->sources > 1) shown += QString(" (+%1)").arg(it->sources - 1);
        return shown;
    }
    case Added: return QDateTime::fromSecsSinceEpoch(it->added).toString("yyyy-MM-dd hh:mm");
    default: return {};
    }
}

QVariant LibraryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const names[] = {"Name",   "Maker/Model", "Kind",     "Bank/Number",
                                        "Source", "Added",       "Category", "\u2605"};
    return section >= 0 && section < ColumnCount ? QVariant(QString::fromUtf8(names[section])) : QVariant();
}

void LibraryModel::sort(int column, Qt::SortOrder order)
{
    static const LibraryColumn columns[] = {LibraryColumn::Name,       LibraryColumn::MakerModel, LibraryColumn::Kind,
                                            LibraryColumn::BankNumber, LibraryColumn::Source,     LibraryColumn::Added,
                                            LibraryColumn::Category,   LibraryColumn::Favourite};
    if (column < 0 || column >= ColumnCount) return;
    order_ = columns[column];
    descending_ = order == Qt::DescendingOrder;
    refresh();
}

LibraryWindow::LibraryWindow(Session& session, LibraryAccess& access, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), access_(access)
{
    setObjectName("LibraryWindow");
    setWindowTitle("Library");
    resize(1000, 560);
    auto* layout = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    filter_ = new QLineEdit(this);
    filter_->setObjectName("LibraryFilter");
    filter_->setPlaceholderText("Search name, maker, model, kind or source file (Ctrl+F)");
    filter_->setClearButtonEnabled(true);
    filters->addWidget(filter_, 1);
    const auto combo = [this, filters](const char* name, const char* any) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        box->addItem(any, QString());
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        connect(box, &QComboBox::activated, this, &LibraryWindow::applyFilters);
        filters->addWidget(box);
        return box;
    };
    maker_ = combo("LibraryMaker", "All makers");
    kind_ = combo("LibraryKind", "All kinds");
    category_ = combo("LibraryCategory", "All categories");
    favourites_ = new QCheckBox("Favourites only", this);
    favourites_->setObjectName("LibraryFavourites");
    connect(favourites_, &QCheckBox::toggled, this, &LibraryWindow::applyFilters);
    filters->addWidget(favourites_);
    trashView_ = new QCheckBox("Trash", this);
    trashView_->setObjectName("LibraryTrash");
    trashView_->setToolTip("Shows what was deleted, to restore it or empty the trash");
    connect(trashView_, &QCheckBox::toggled, this, &LibraryWindow::applyFilters);
    filters->addWidget(trashView_);
    layout->addLayout(filters);

    model_ = new LibraryModel(this);
    table_ = new QTableView(this);
    table_->setObjectName("LibraryTable");
    table_->setModel(model_);
    table_->setSortingEnabled(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // F2 or a double-click on the name or category edits it; a double-click elsewhere, or Enter, auditions.
    table_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::DoubleClicked);
    table_->setItemDelegateForColumn(LibraryModel::Category, new CategoryDelegate(
                                                                 [this] {
                                                                     PatchLibrary* lib = access_.get();
                                                                     return lib ? lib->categories()
                                                                                : std::vector<std::string>{};
                                                                 },
                                                                 table_));
    table_->verticalHeader()->setVisible(false);
    // Fixed row heights: the view never asks for every row to measure it.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    // The star first and the category beside the kind, where the eye looks for them.
    QHeaderView* header = table_->horizontalHeader();
    header->moveSection(header->visualIndex(LibraryModel::Favourite), 0);
    header->moveSection(header->visualIndex(LibraryModel::Category), header->visualIndex(LibraryModel::Kind) + 1);
    table_->setColumnWidth(LibraryModel::Favourite, fontMetrics().horizontalAdvance("MM"));
    table_->setColumnWidth(LibraryModel::Name, 200);
    table_->setColumnWidth(LibraryModel::MakerModel, 140);
    table_->setColumnWidth(LibraryModel::Category, 90);
    table_->setColumnWidth(LibraryModel::Source, 220);
    table_->sortByColumn(LibraryModel::Name, Qt::AscendingOrder);
    connect(table_, &QAbstractItemView::activated, this, &LibraryWindow::audition);
    // A click on the star column stars or unstars that row alone.
    connect(table_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        PatchLibrary* lib = access_.get();
        if (!lib || index.column() != LibraryModel::Favourite) return;
        const std::int64_t id = model_->idAt(index.row());
        const auto item = lib->items(std::span(&id, 1));
        if (item.empty()) return;
        try {
            lib->setFavourite(std::span(&id, 1), !item[0].favourite);
        } catch (const TolvexError& e) {
            session_.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
            return;
        }
        if (favourites_->isChecked())
            model_->refresh();
        else
            model_->reread();
    });
    connect(model_, &LibraryModel::edited, this, &LibraryWindow::refillFilters);
    connect(model_, &LibraryModel::editRefused, this, [this](const QString& text) {
        session_.shell.messageBox("Library", text.toStdString(), MsgIcon::Warning, MsgButtons::Ok);
    });
    layout->addWidget(table_, 1);

    struct Command {
        const char* caption;
        void (LibraryWindow::*slot)();
        const char* keys;
        const char* tip;
        int view;  // 0 both, 1 library only, 2 trash only
    };
    const Command rows[2][7] = {
        {{"Add Selected Entries", &LibraryWindow::addSelectedEntries, "", "", 1},
         {"Send", &LibraryWindow::sendSelected, "", "Double-click or Enter sends one patch", 0},
         {"Copy to Objects Window", &LibraryWindow::copyToObjects, "", "", 0},
         {"Make Bank", &LibraryWindow::makeBank, "", "", 0},
         {"Export .syx", &LibraryWindow::exportSelected, "", "", 0},
         {"Delete", &LibraryWindow::deleteSelected, "Del", "Moves to the trash; Ctrl+Z brings back", 1},
         {"Restore", &LibraryWindow::restoreSelected, "", "Back into the library", 2}},
        {{"Add Files...", &LibraryWindow::addFiles, "", ".syx files chosen", 1},
         {"Add Folder...", &LibraryWindow::addFolder, "", "Every .syx file of a folder and its subfolders", 1},
         {"Favourite", &LibraryWindow::toggleFavourite, "Ctrl+D", "", 1},
         {"Undo", &LibraryWindow::undo, "Ctrl+Z", "Brings back what was deleted last", 0},
         {"Duplicates...", &LibraryWindow::showDuplicates, "", "", 1},
         {"Merge Library...", &LibraryWindow::mergeLibrary, "", "Adds the patches of another library file", 1},
         {"Empty Trash", &LibraryWindow::emptyTrash, "", "Removes what is in the trash for good", 2}},
    };
    for (const auto& row : rows) {
        auto* buttons = new QHBoxLayout;
        for (const Command& c : row) {
            if (!c.caption) continue;
            auto* b = new QPushButton(c.caption, this);
            b->setObjectName(QString("Library ") + c.caption);
            const QString keys = c.keys;
            b->setToolTip(QString(c.tip) + (keys.isEmpty() ? "" : (*c.tip ? " (" : "(") + keys + ")"));
            connect(b, &QPushButton::clicked, this, c.slot);
            if (!keys.isEmpty()) {
                // Delete belongs to the table: in the search box it deletes letters.
                const bool table = keys == "Del";
                auto* shortcut = new QShortcut(QKeySequence(keys), table ? static_cast<QWidget*>(table_) : this);
                shortcut->setContext(table ? Qt::WidgetShortcut : Qt::WidgetWithChildrenShortcut);
                connect(shortcut, &QShortcut::activated, this, c.slot);
            }
            if (c.view == 1) libraryOnly_.push_back(b);
            if (c.view == 2) trashOnly_.push_back(b);
            buttons->addWidget(b);
        }
        buttons->addStretch();
        if (&row == &rows[0]) {
            autoAdd_ = new QCheckBox("Add received dumps", this);
            autoAdd_->setObjectName("LibraryAddReceived");
            autoAdd_->setToolTip("Every SysEx message received goes to the library as it arrives");
            connect(autoAdd_, &QCheckBox::toggled, this, [this](bool on) { access_.setAddReceived(on); });
            buttons->addWidget(autoAdd_);
        }
        layout->addLayout(buttons);
    }
    for (QWidget* w : trashOnly_) w->hide();
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        filter_->setFocus();
        filter_->selectAll();
    });
    auto* statusRow = new QHBoxLayout;
    status_ = new QLabel(this);
    status_->setObjectName("LibraryStatus");
    count_ = new QLabel(this);
    count_->setObjectName("LibraryCount");
    count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room for its longest text, so a long status line never clips it.
    count_->setMinimumWidth(count_->fontMetrics().horizontalAdvance("Searching... 10000000 items"));
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(count_);
    layout->addLayout(statusRow);
    connect(model_, &LibraryModel::countChanged, this, [this] { count_->setText(model_->countText()); });
    connect(model_, &LibraryModel::failed, this, [this](const QString& text) { status(text); });

    // Every key starts a search on the loader's thread and stops the one
    // before it: typing is never held up, however long a search takes.
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) { model_->setSearch(text); });
}

void LibraryWindow::reload()
{
    PatchLibrary* lib = access_.get();
    setEnabled(lib != nullptr);
    const QSignalBlocker block(autoAdd_);
    autoAdd_->setChecked(access_.addReceived());
    model_->setLibrary(lib);
    refillFilters();
    status(lib ? q(lib->path()) +
                     (lib->readOnly() ? " (read-only here: it can be searched, sent and exported, not changed)" : "")
               : QString("No library"));
}

void LibraryWindow::status(const QString& text)
{
    status_->setText(text);
}

QString LibraryWindow::statusText() const
{
    return status_->text();
}

void LibraryWindow::refillFilters()
{
    PatchLibrary* lib = access_.get();
    const std::pair<QComboBox*, std::vector<std::string>> boxes[] = {
        {maker_, lib ? lib->makers() : std::vector<std::string>{}},
        {kind_, lib ? lib->kinds() : std::vector<std::string>{}},
        {category_, lib ? lib->categories() : std::vector<std::string>{}},
    };
    for (const auto& [box, values] : boxes) {
        const QString chosen = box->currentData().toString();
        const QSignalBlocker block(box);
        while (box->count() > 1) box->removeItem(1);
        for (const std::string& v : values) box->addItem(q(v), q(v));
        // A choice no item has any more is kept, so the view does not change under the user.
        if (!chosen.isEmpty() && box->findData(chosen) < 0) box->addItem(chosen, chosen);
        box->setCurrentIndex(std::max(0, box->findData(chosen)));
    }
}

void LibraryWindow::applyFilters()
{
    LibraryQuery f;
    f.maker = maker_->currentData().toString().toStdString();
    f.kind = kind_->currentData().toString().toStdString();
    f.category = category_->currentData().toString().toStdString();
    f.favourites = favourites_->isChecked();
    f.trash = trashView_->isChecked();
    for (QWidget* w : libraryOnly_) w->setVisible(!f.trash);
    for (QWidget* w : trashOnly_) w->setVisible(f.trash);
    model_->setFilters(f);
    // The count is the count label's: the rows come in from the loader's thread.
    status(f.trash ? QString("The trash: Restore brings items back, Empty Trash removes them for good") : QString());
}

std::vector<std::int64_t> LibraryWindow::selectedIds() const
{
    std::vector<int> rows;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    std::vector<std::int64_t> ids;
    for (int r : rows) ids.push_back(model_->idAt(r));
    return ids;
}

void LibraryWindow::addSelectedEntries()
{
    std::vector<std::pair<Bytes, std::string>> messages;
    for (std::size_t i : session_.messages.selectedIndexes()) {
        const TSXstorage& m = *session_.messages.at(i).storage;
        // A received message's file name is only its name made safe; it names no file.
        messages.emplace_back(m.sxdata, m.filename.view().rfind('/', 0) == 0 ? m.filename.str() : std::string());
    }
    if (messages.empty()) return;
    const std::size_t total = messages.size();
    runAdd("messages", total,
           [messages = std::move(messages)](PatchLibrary& lib, AddReport& r, const LibraryAdder::Progress& progress,
                                            const LibraryAdder::Stop& stop) {
               addMessagesInSteps(lib, messages, r, progress, stop);
           });
}

void LibraryWindow::addFiles()
{
    FileDialogRequest r{"Add to the library", "Sysex files|*.syx|All files|*", session_.paths.lastpath, "syx", true};
    const auto paths = session_.shell.openFileDialog(r);
    if (paths.empty()) return;
    session_.paths.lastpath = folderOf(paths.front());
    addPaths(paths, {});
}

void LibraryWindow::addFolder()
{
    const auto folder =
        session_.shell.folderDialog({"Add a folder to the library", "", session_.paths.lastpath, "", false});
    if (!folder) return;
    // The next dialog opens where this one was left.
    session_.paths.lastpath = *folder;
    addFolder(*folder);
}

void LibraryWindow::addFolder(const std::string& folder)
{
    std::vector<std::string> problems;
    const std::vector<std::string> files = syxFilesIn(folder, problems);
    for (const std::string& p : problems) session_.log.LogString("Library: not read: " + p);
    if (files.empty()) {
        session_.shell.messageBox("Library", "No .syx files in " + folder, MsgIcon::Warning, MsgButtons::Ok);
        return;
    }
    addPaths(files, QString("Found %1 .syx files in %2. ").arg(files.size()).arg(q(folder)));
}

void LibraryWindow::addPaths(const std::vector<std::string>& paths, const QString& found)
{
    status(found + "Adding...");
    runAdd("files", paths.size(),
           [paths](PatchLibrary& lib, AddReport& r, const LibraryAdder::Progress& progress,
                   const LibraryAdder::Stop& stop) { lib.addFiles(paths, r, progress, stop); });
    if (progress_) progress_->setProperty("found", found);
}

void LibraryWindow::runAdd(const QString& unit, std::size_t total, LibraryAdder::Work work)
{
    PatchLibrary* lib = access_.get();
    if (!lib || adder_) return;
    // What arrived from the MIDI input goes in first, before the add holds the library.
    access_.flush();
    // The families' tables the naming reads are loaded on first use: here, on
    // this thread, so that the add's thread only reads them.
    loadDeferredFamilyTables(session_);
    const int max = static_cast<int>(std::min<std::size_t>(total, INT_MAX));
    progress_ = new QProgressDialog(QString("Adding: 0 of %1 %2").arg(total).arg(unit), "Stop", 0, max, this);
    progress_->setObjectName("LibraryProgress");
    progress_->setWindowTitle("Library");
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(400);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setValue(0);
    adder_ = new LibraryAdder(lib->path(), &session_.families.namers, std::move(work), this);
    QProgressDialog* box = progress_;
    connect(adder_, &LibraryAdder::progress, box, [box, total, unit](qulonglong done) {
        box->setValue(static_cast<int>(std::min<qulonglong>(done, INT_MAX)));
        box->setLabelText(QString("Adding: %1 of %2 %3").arg(done).arg(total).arg(unit));
    });
    connect(box, &QProgressDialog::canceled, adder_, &LibraryAdder::stop);
    connect(adder_, &LibraryAdder::finished, this, [this, total, unit] {
        const AddReport r = adder_->report();
        const std::string error = adder_->error();
        const QString found = progress_->property("found").toString();
        adder_->deleteLater();
        adder_ = nullptr;
        progress_->deleteLater();
        progress_ = nullptr;
        model_->refresh();
        refillFilters();
        for (const std::string& n : r.notes) session_.log.LogString("Library: read: " + n);
        QString text = found + QString("Added %1 new item(s) from %2 message(s); %3 already in the library")
                                   .arg(r.added)
                                   .arg(r.messages)
                                   .arg(r.duplicates);
        if (r.stopped) text += QString(". Stopped after %1 of %2 %3").arg(r.files).arg(total).arg(unit);
        status(text);
        if (!error.empty()) session_.shell.messageBox("Error", error, MsgIcon::Error, MsgButtons::Ok);
        if (!r.problems.empty()) {
            // All of them in the log, the first few in the box.
            constexpr std::size_t kShown = 12;
            std::string list = "Not read:";
            for (std::size_t i = 0; i < r.problems.size(); ++i) {
                session_.log.LogString("Library: not read: " + r.problems[i]);
                if (i < kShown) list += "\n" + r.problems[i];
            }
            if (r.problems.size() > kShown)
                list += format("\n... and %zu more (see the log)", r.problems.size() - kShown);
            session_.shell.messageBox("Warning", list, MsgIcon::Warning, MsgButtons::Ok);
        }
    });
}

void LibraryWindow::sendSelected()
{
    PatchLibrary* lib = access_.get();
    if (!lib) return;
    if (!requireOutput(session_)) return;
    try {
        const int channel = channelOf(session_);
        for (const LibraryItem& it : lib->items(selectedIds())) {
            session_.log.LogString("Sending: " + it.name);
            MidiSysex_bulk_out(session_, lib->message(it.id, channel));
        }
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
    }
}

void LibraryWindow::copyToObjects()
{
    PatchLibrary* lib = access_.get();
    if (!lib) return;
    try {
        const int channel = channelOf(session_);
        for (const LibraryItem& it : lib->items(selectedIds())) {
            Bytes m = lib->message(it.id, channel);
            std::string sup;
            bool ignore = false;
            const std::string name = SxParseName(m, sup, ignore, namingOf(session_));
            session_.messages.append(name + " " + it.name, std::move(m), it.source);
        }
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
    }
}

void LibraryWindow::deleteSelected()
{
    if (trashView_->isChecked()) {
        // The trash is emptied as a whole, after asking.
        status("In the trash: Restore brings items back, Empty Trash removes them for good");
        return;
    }
    trashIds(selectedIds());
}

void LibraryWindow::trashIds(const std::vector<std::int64_t>& ids)
{
    PatchLibrary* lib = access_.get();
    if (!lib || ids.empty()) return;
    try {
        lib->trash(ids);
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    undo_.push_back(ids);
    model_->removeIds(ids);
    model_->refresh();
    refillFilters();
    status(QString("%1 item(s) moved to the trash; Ctrl+Z brings them back").arg(ids.size()));
}

void LibraryWindow::undo()
{
    PatchLibrary* lib = access_.get();
    if (!lib) return;
    if (undo_.empty()) {
        status("Nothing to undo");
        return;
    }
    const std::vector<std::int64_t> ids = undo_.back();
    try {
        lib->restore(ids);
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    undo_.pop_back();
    model_->refresh();
    refillFilters();
    status(QString("%1 item(s) back from the trash").arg(ids.size()));
}

void LibraryWindow::restoreSelected()
{
    PatchLibrary* lib = access_.get();
    const auto ids = selectedIds();
    if (!lib || ids.empty()) return;
    try {
        lib->restore(ids);
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
    }
    // Another program's changes come in with the next order read.
    model_->refresh();
    refillFilters();
    status(QString("%1 item(s) restored").arg(ids.size()));
}

void LibraryWindow::emptyTrash()
{
    PatchLibrary* lib = access_.get();
    if (!lib) return;
    LibraryQuery trash;
    trash.trash = true;
    const auto n = lib->find(trash).size();
    if (n == 0) {
        status("The trash is empty");
        return;
    }
    if (session_.shell.messageBox("Library",
                                  format("Remove the %zu item(s) in the trash for good? This cannot be undone.", n),
                                  MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
        return;
    try {
        lib->emptyTrash();
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
    }
    // What Undo would bring back is gone.
    undo_.clear();
    model_->refresh();
    status(QString("%1 item(s) removed for good").arg(n));
}

void LibraryWindow::toggleFavourite()
{
    PatchLibrary* lib = access_.get();
    const auto ids = selectedIds();
    if (!lib || ids.empty()) return;
    // One star for all: when any is not a favourite yet, all become favourites.
    const auto items = lib->items(ids);
    const bool on = std::any_of(items.begin(), items.end(), [](const LibraryItem& it) { return !it.favourite; });
    try {
        lib->setFavourite(ids, on);
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    if (favourites_->isChecked() && !on)
        model_->refresh();
    else
        model_->reread();
}

void LibraryWindow::audition()
{
    PatchLibrary* lib = access_.get();
    const QModelIndex current = table_->currentIndex();
    if (!lib || !current.isValid()) return;
    if (!requireOutput(session_)) return;
    const std::int64_t id = model_->idAt(current.row());
    try {
        const auto item = lib->items(std::span(&id, 1));
        const int channel = channelOf(session_);
        MidiSysex_bulk_out(session_, lib->message(id, channel));
        const std::string name = item.empty() ? std::string() : item[0].name;
        session_.log.LogString("Sending: " + name);
        status(QString("Sent \"%1\" (Chan %2)").arg(q(name)).arg(channel));
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
    }
}

void LibraryWindow::showDuplicates()
{
    PatchLibrary* lib = access_.get();
    if (!lib) return;
    DuplicatesDialog dialog(
        *lib, [this](const std::vector<std::int64_t>& ids) { trashIds(ids); }, this);
    dialog.exec();
}

void LibraryWindow::mergeLibrary()
{
    PatchLibrary* lib = access_.get();
    if (!lib) return;
    FileDialogRequest r;
    r.title = "Merge a library";
    r.filter = "Tolvex libraries|*.sqlite|All files|*";
    r.folder = session_.paths.lastpath;
    const auto paths = session_.shell.openFileDialog(r);
    if (paths.empty()) return;
    MergeReport m;
    try {
        m = lib->merge(paths.front());
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Library", e.what(), MsgIcon::Warning, MsgButtons::Ok);
        return;
    }
    model_->refresh();
    refillFilters();
    const std::string text =
        format("Merged %zu item(s): %zu new, %zu already in the library (%zu further source file(s) for those)",
               m.items, m.added, m.already, m.sources);
    session_.log.LogString(text + " from " + paths.front());
    status(q(text));
}

void LibraryWindow::exportSelected()
{
    PatchLibrary* lib = access_.get();
    const auto ids = selectedIds();
    if (!lib) return;
    if (ids.empty()) {
        session_.shell.messageBox("Warning", "No Messages Were Selected - nothing to do", MsgIcon::Warning,
                                  MsgButtons::Ok);
        return;
    }
    FileDialogRequest r;
    r.title = "Export library items";
    r.filter = "Sysex files|*.syx";
    r.folder = session_.paths.lastpath;
    r.defaultExt = "syx";
    const auto path = session_.shell.saveFileDialog(r);
    if (!path) return;
    try {
        std::vector<Bytes> messages;
        for (std::int64_t id : ids) messages.push_back(lib->message(id, channelOf(session_)));
        writeSyxFile(*path, std::vector<ByteView>(messages.begin(), messages.end()));
        session_.log.LogString("Exported " + std::to_string(messages.size()) + " item(s) to " + *path);
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
    }
}

void LibraryWindow::makeBank()
{
    PatchLibrary* lib = access_.get();
    const auto ids = selectedIds();
    if (!lib || ids.empty()) return;
    try {
        const auto items = lib->items(ids);
        const auto shape = items.empty() ? std::nullopt : lib->bankShapeOf(items[0].id);
        if (!shape)
            throw LibraryError("\"" + items.at(0).name +
                               "\" makes no bank: it is a whole message or a kind without banks");
        // Told before the order is chosen, not after.
        for (const LibraryItem& it : items) {
            const auto other = lib->bankShapeOf(it.id);
            if (!other || other->format != shape->format)
                throw LibraryError("\"" + it.name + "\" is another kind of patch than \"" + items[0].name +
                                   "\": a bank holds one kind");
        }
        MakeBankDialog dialog(items, *shape, this);
        if (dialog.exec() != QDialog::Accepted) return;
        const auto order = dialog.order();
        Bytes bank = lib->assembleBank(shape->family, order, channelOf(session_));
        std::string sup;
        bool ignore = false;
        const std::string name = SxParseName(bank, sup, ignore, namingOf(session_));
        session_.messages.append(name, std::move(bank), "");
        session_.log.LogString(format("Bank of %zu patches made: ", order.size()) + name);
        status(q(format("Bank of %zu patches made in the Objects Window", order.size())));
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Warning", e.what(), MsgIcon::Warning, MsgButtons::Ok);
    }
}

}  // namespace tolvex
