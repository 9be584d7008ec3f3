// SPDX-License-Identifier: GPL-3.0-or-later
// The Library window: the patch library as a table that is sorted by any
// column and filtered as the user types, with the commands that move patches
// between the library, the Objects Window and the instrument.
//
// The table holds only the ids of the rows in order; the rows themselves are
// read from the database a page at a time as they come into sight, so the
// window opens and scrolls the same on a million items as on ten.
#pragma once

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>

#include <optional>
#include <vector>

#include "core/app/session.h"
#include "gui/library_loader.h"
#include "library/patch_library.h"

class QProgressDialog;

namespace tolvex {

// The session's library, opened on first use. A library that cannot be
// opened is reported in one box and the program goes on without it.
class LibraryAccess {
public:
    // An empty path: the default library of the session's program folder.
    LibraryAccess(Session& session, std::string path = "") : session_(session), path_(std::move(path)) {}
    ~LibraryAccess();
    LibraryAccess(const LibraryAccess&) = delete;
    LibraryAccess& operator=(const LibraryAccess&) = delete;
    // Null when there is no library. What was received and not added yet is added first.
    PatchLibrary* get();

    // Whether received dumps go to the library as they arrive (kept in the library; on by default).
    bool addReceived();
    void setAddReceived(bool on);
    // A message stored from the MIDI input: added when addReceived(), with
    // the others that arrive within a moment, in one transaction.
    void received(const Bytes& sx);
    // Adds what was received and not added yet. While another program holds
    // the library they are kept and tried again a moment later; at the end of
    // the session what still cannot be added goes to a .syx file beside the
    // library, and the log says where.
    void flush();
    // Received messages not added yet.
    std::size_t waitingDumps() const { return pending_.size(); }
    // How long the end of the session waits for a library another program holds (10 s).
    void setLastWait(int ms) { lastWaitMs_ = ms; }

private:
    Session& session_;
    std::string path_;
    std::unique_ptr<PatchLibrary> library_;
    bool failed_ = false;
    std::optional<bool> addReceived_;  // the library's setting, read once
    // Adds pending_; false when the library stayed busy (they are kept).
    bool store();
    void keepInFile();

    std::vector<Bytes> pending_;  // received, not added yet
    std::size_t pendingBytes_ = 0;
    bool waiting_ = false;  // the library was busy at the last try
    int lastWaitMs_ = 10000;
};

class LibraryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, MakerModel, Kind, BankNumber, Source, Added, Category, Favourite, ColumnCount };
    explicit LibraryModel(QObject* parent = nullptr);

    void setLibrary(PatchLibrary* library);
    // Reads the ids again (after a change, a new filter or order). The rows
    // shown stay until the new ones are read on the loader's thread; on
    // opening, the first screenful of the whole library shows at once.
    void refresh();
    void setSearch(const QString& text);
    // The filters of the window (maker, kind, category, favourites, trash); the search stays.
    void setFilters(const LibraryQuery& filters);
    // Reads the rows in sight again (after an edit), keeping the order and the selection.
    void reread();
    // Takes rows out after the items were deleted, at once.
    void removeIds(const std::vector<std::int64_t>& ids);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    // The name and the category are edited in place.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    std::int64_t idAt(int row) const { return ids_.at(static_cast<std::size_t>(row)); }
    // False while the rows shown are not all of the current search and order
    // yet: the rest follow from the loader's thread (searchComplete() is
    // emitted then), or at once through completeSearch().
    bool complete() const { return complete_; }
    void completeSearch();
    // What the status line says of the rows: their count, or what is under way.
    QString countText() const;
    // Rows read from the database so far (the pages in sight).
    std::size_t rowsRead() const { return pages_.size() * kPage; }

    static constexpr std::size_t kPage = 128;

signals:
    void searchComplete();
    // An edit the library refused, with the text for the user.
    void editRefused(const QString& text);
    // A name or category changed in the library.
    void edited();
    // The rows, their count or what is under way changed.
    void countChanged();
    // A search or order could not be read; `text` says why.
    void failed(const QString& text);

private:
    const LibraryItem* itemAt(int row) const;
    void answered(LibraryAnswer&& answer);
    // Shows `ids` as the answer to the current search and order, keeping the
    // rows in sight, the selection and the scroll position where it can.
    void show(std::vector<std::int64_t>&& ids, bool complete);

    PatchLibrary* library_ = nullptr;
    std::unique_ptr<LibraryLoader> loader_;
    std::vector<std::int64_t> ids_;
    LibraryQuery query_;
    LibraryColumn order_ = LibraryColumn::Name;
    bool descending_ = false;
    // What ids_ answer (the request before the one under way, while it runs).
    LibraryQuery shownQuery_;
    LibraryColumn shownOrder_ = LibraryColumn::Name;
    bool shownDescending_ = false;
    bool shownComplete_ = false;                                     // ids_ were all of what they answer
    std::int64_t total_ = 0;                                         // items in the library, read at the last refresh
    mutable std::map<std::size_t, std::vector<LibraryItem>> pages_;  // page number to its rows, a few kept
    bool complete_ = true;
};

class LibraryWindow : public QWidget {
    Q_OBJECT
public:
    LibraryWindow(Session& session, LibraryAccess& access, QWidget* parent = nullptr);

    LibraryModel* model() const { return model_; }
    QTableView* table() const { return table_; }
    QLineEdit* filter() const { return filter_; }

    // Opens the library if needed and shows its items.
    void reload();

    // The commands on the selected rows.
    void addSelectedEntries();  // the Objects Window's selected entries into the library
    void sendSelected();        // patches to the instrument's edit buffer
    void copyToObjects();       // as entries of the Objects Window
    void deleteSelected();      // to the trash; undo() brings back the last ones moved
    void exportSelected();      // to a .syx file
    void makeBank();            // a bank message of one family, into the Objects Window
    void undo();
    void restoreSelected();  // from the trash view
    void emptyTrash();       // removes the trash for good, after asking
    void toggleFavourite();
    // Sends the current patch to the instrument's edit buffer (double-click, Enter).
    void audition();
    void showDuplicates();
    // Adds another library's items, asked for with a file dialog.
    void mergeLibrary();

    QComboBox* makerFilter() const { return maker_; }
    QComboBox* kindFilter() const { return kind_; }
    QComboBox* categoryFilter() const { return category_; }
    QCheckBox* favouritesOnly() const { return favourites_; }
    QCheckBox* trashView() const { return trashView_; }
    QString statusText() const;
    void addFolder();  // every .syx file of a folder and its subfolders, the folder asked for
    void addFolder(const std::string& folder);
    void addFiles();  // .syx files chosen

    // Whether an add runs (on its own thread), and its progress box.
    bool adding() const { return adder_ != nullptr; }
    QProgressDialog* progress() const { return progress_; }
    QLabel* statusLabel() const { return status_; }
    QLabel* countLabel() const { return count_; }

private:
    std::vector<std::int64_t> selectedIds() const;
    void status(const QString& text);
    void applyFilters();
    // Fills the filter boxes from the library, keeping what is chosen.
    void refillFilters();
    void trashIds(const std::vector<std::int64_t>& ids);
    // Runs `work` on an adder's thread with a progress box counting `total` `unit`.
    void runAdd(const QString& unit, std::size_t total, LibraryAdder::Work work);
    void addPaths(const std::vector<std::string>& paths, const QString& found);

    Session& session_;
    LibraryAccess& access_;
    LibraryModel* model_;
    QTableView* table_;
    QLineEdit* filter_;
    QCheckBox* autoAdd_;
    QLabel* status_;
    QComboBox* maker_;
    QComboBox* kind_;
    QComboBox* category_;
    QCheckBox* favourites_;
    QCheckBox* trashView_;
    std::vector<QWidget*> libraryOnly_, trashOnly_;  // the buttons of each view
    // What each delete moved to the trash, the last last: Undo takes it back.
    std::vector<std::vector<std::int64_t>> undo_;
    QLabel* count_;
    LibraryAdder* adder_ = nullptr;
    QProgressDialog* progress_ = nullptr;
};

}  // namespace tolvex
