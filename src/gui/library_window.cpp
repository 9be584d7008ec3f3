// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/library_window.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <unordered_map>

#include "core/app/controls.h"
#include "core/app/device_commands.h"
#include "core/app/incoming.h"
#include "core/app/sysex_out.h"
#include "core/sysex/sx_naming.h"
#include "core/sysex/syx_file.h"
#include "devices/kronos/kronos_defs.h"
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
}  // namespace

LibraryAccess::~LibraryAccess()
{
    flush();
}

PatchLibrary* LibraryAccess::get()
{
    if (!pending_.empty()) flush();
    if (library_ || failed_) return library_.get();
    if (path_.empty()) path_ = defaultLibraryPath(session_.paths.progpath);
    try {
        library_ = std::make_unique<PatchLibrary>(path_);
        library_->useNamers(&session_.families.namers);
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
        if (lib == nullptr) return false;
        addReceived_ = lib->setting("add_received", "1") == "1";
    }
    return *addReceived_;
}

void LibraryAccess::setAddReceived(bool on)
{
    if (PatchLibrary* lib = get()) {
        lib->setSetting("add_received", on ? "1" : "0");
        addReceived_ = on;
    }
}

void LibraryAccess::received(const Bytes& sx)
{
    if (!addReceived()) return;
    if (pending_.empty()) session_.shell.startTimer(kReceivedTimer, kReceivedBatchMs, [this] { flush(); });
    pending_.push_back(sx);
    pendingBytes_ += sx.size();
    if (pendingBytes_ >= kReceivedBatchBytes) flush();
}

void LibraryAccess::flush()
{
    if (pending_.empty()) return;
    session_.shell.stopTimer(kReceivedTimer);
    std::vector<Bytes> batch;
    batch.swap(pending_);
    pendingBytes_ = 0;
    if (!library_) return;
    AddReport r;
    try {
        library_->addMessages(batch, "", r);
    } catch (const TolvexError& e) {
        session_.log.LogString(std::string("Library: ") + e.what());
        return;
    }
    for (const std::string& p : r.problems) session_.log.LogString("Library: not read: " + p);
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
    return a.search == b.search && a.maker == b.maker && a.kind == b.kind;
}
bool wholeLibrary(const LibraryQuery& q)
{
    return q.search.empty() && q.maker.empty() && q.kind.empty();
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
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const LibraryItem* it = itemAt(index.row());
    if (!it) return {};
    switch (index.column()) {
    case Name: return q(it->name);
    case MakerModel: return q(it->model.empty() ? it->maker : it->maker + " " + it->model);
    case Kind: return q(it->kind);
    case BankNumber:
        return q(it->number < 0 ? it->bank : (it->bank.empty() ? "" : it->bank + " ") + std::to_string(it->number));
    case Source: return role == Qt::ToolTipRole ? q(it->source) : q(it->source.substr(it->source.rfind('/') + 1));
    case Added: return QDateTime::fromSecsSinceEpoch(it->added).toString("yyyy-MM-dd hh:mm");
    default: return {};
    }
}

QVariant LibraryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const names[] = {"Name", "Maker/Model", "Kind", "Bank/Number", "Source", "Added"};
    return section >= 0 && section < ColumnCount ? QVariant(names[section]) : QVariant();
}

void LibraryModel::sort(int column, Qt::SortOrder order)
{
    static const LibraryColumn columns[] = {LibraryColumn::Name,       LibraryColumn::MakerModel, LibraryColumn::Kind,
                                            LibraryColumn::BankNumber, LibraryColumn::Source,     LibraryColumn::Added};
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
    resize(900, 520);
    auto* layout = new QVBoxLayout(this);
    filter_ = new QLineEdit(this);
    filter_->setObjectName("LibraryFilter");
    filter_->setPlaceholderText("Search name, maker, model, kind or source file");
    filter_->setClearButtonEnabled(true);
    layout->addWidget(filter_);

    model_ = new LibraryModel(this);
    table_ = new QTableView(this);
    table_->setObjectName("LibraryTable");
    table_->setModel(model_);
    table_->setSortingEnabled(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->verticalHeader()->setVisible(false);
    // Fixed row heights: the view never asks for every row to measure it.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(LibraryModel::Name, 200);
    table_->setColumnWidth(LibraryModel::MakerModel, 140);
    table_->setColumnWidth(LibraryModel::Source, 220);
    table_->sortByColumn(LibraryModel::Name, Qt::AscendingOrder);
    layout->addWidget(table_, 1);

    auto* buttons = new QHBoxLayout;
    const std::pair<const char*, void (LibraryWindow::*)()> commands[] = {
        {"Add Selected Entries", &LibraryWindow::addSelectedEntries},
        {"Add Files...", &LibraryWindow::addFiles},
        {"Add Folder...", &LibraryWindow::addFolder},
        {"Send", &LibraryWindow::sendSelected},
        {"Copy to Objects Window", &LibraryWindow::copyToObjects},
        {"Make Bank", &LibraryWindow::makeBank},
        {"Export .syx", &LibraryWindow::exportSelected},
        {"Delete", &LibraryWindow::deleteSelected},
    };
    for (const auto& [caption, slot] : commands) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString("Library ") + caption);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    autoAdd_ = new QCheckBox("Add received dumps", this);
    autoAdd_->setObjectName("LibraryAddReceived");
    autoAdd_->setToolTip("Every SysEx message received goes to the library as it arrives");
    connect(autoAdd_, &QCheckBox::toggled, this, [this](bool on) { access_.setAddReceived(on); });
    buttons->addWidget(autoAdd_);
    layout->addLayout(buttons);
    auto* statusRow = new QHBoxLayout;
    status_ = new QLabel(this);
    status_->setObjectName("LibraryStatus");
    count_ = new QLabel(this);
    count_->setObjectName("LibraryCount");
    count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
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
    status(lib ? q(lib->path()) : QString("No library"));
}

void LibraryWindow::status(const QString& text)
{
    status_->setText(text);
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
    // The Kronos tables the naming reads are loaded on first use: here, on
    // this thread, so that the add's thread only reads them.
    if (session_.families.namers.kronos) (void)kronosDefs(session_);
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
    PatchLibrary* lib = access_.get();
    const auto ids = selectedIds();
    if (!lib || ids.empty()) return;
    if (session_.shell.messageBox("Library", "Delete " + std::to_string(ids.size()) + " item(s) from the library?",
                                  MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
        return;
    try {
        lib->remove(ids);
        model_->removeIds(ids);
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
    }
    // Another program's changes come in with the next order read.
    model_->refresh();
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
        const auto first = lib->items(std::span(ids).first(1));
        std::string family;
        for (const PatchFamily& f : lib->families())
            for (const PatchFormat& pf : f.formats)
                if (!first.empty() && first[0].format == pf.format) family = f.name;
        if (family.empty())
            throw LibraryError("\"" + first.at(0).name + "\" is a whole message, not a patch of a bank");
        Bytes bank = lib->assembleBank(family, ids, channelOf(session_));
        std::string sup;
        bool ignore = false;
        const std::string name = SxParseName(bank, sup, ignore, namingOf(session_));
        session_.messages.append(name, std::move(bank), "");
        session_.log.LogString(format("Bank of %zu patches made: ", ids.size()) + name);
    } catch (const TolvexError& e) {
        session_.shell.messageBox("Warning", e.what(), MsgIcon::Warning, MsgButtons::Ok);
    }
}

}  // namespace tolvex
