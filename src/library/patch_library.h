// SPDX-License-Identifier: GPL-3.0-or-later
// The patch library: every message added and every patch inside it, kept
// once in an SQLite database, searchable, with the files each came from.
//
// The database is one file (WAL mode; every change is one transaction, so a
// crash or a full disk leaves it as it was before the change). It carries its
// own application id and a schema version; a file that is not a Tolvex
// library, or one of a newer schema, is refused and never written to.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/sysex/sx_naming.h"
#include "core/text/bytes.h"
#include "devices/common/patches.h"

struct sqlite3;

namespace tolvex {

// A library that cannot be opened or changed; what() is the text the user sees.
class LibraryError : public TolvexError {
public:
    using TolvexError::TolvexError;
    LibraryError(const std::string& text, std::string why, bool waitedTooLong = false)
        : TolvexError(text), detail(std::move(why)), busy(waitedTooLong)
    {
    }
    std::string detail;  // SQLite's own words, when it gave them
    bool busy = false;   // another program held the library longer than the wait: trying later may succeed
};

inline constexpr int kLibrarySchemaVersion = 6;
inline constexpr char kLibraryFileName[] = "library.sqlite";

// Where the library lives: beside the program for a build copy (a writable
// program folder), else $XDG_DATA_HOME/tolvex/ (default ~/.local/share/tolvex/).
std::string defaultLibraryPath(const std::string& progpath);

// Whether the library at `path` is of an older version, so that opening it
// brings it up to date first (once; on a library of a million items that
// takes half a minute). Read from the file's header, without opening it.
bool libraryNeedsUpdate(const std::string& path);

struct LibraryItem {
    std::int64_t id = 0;
    std::string name, maker, model, kind, bank;
    int number = -1;
    std::int64_t size = 0;
    std::string format;      // a PatchFormat::format, or "message" for a whole message
    std::string source;      // the file it was first added from
    int sources = 1;         // how many files it came from (a received one counts as one)
    std::int64_t added = 0;  // seconds since 1970, UTC
    std::string category;    // one of patchCategories() or the user's own, "" none
    bool favourite = false;
    std::int64_t trashed = 0;  // when it went to the trash (seconds since 1970), 0 when it is not there
};

// What one add did.
struct AddReport {
    std::size_t messages = 0;           // messages read
    std::size_t added = 0;              // new items
    std::size_t duplicates = 0;         // items already there (a source was added, or was there)
    std::vector<std::string> problems;  // what could not be read, "FILE: text"
    std::vector<std::string> notes;     // what was read although unusual, "FILE: text"
    std::size_t files = 0;              // files whose messages are stored
    bool stopped = false;               // asked to stop: the files after `files` were not added
};

struct LibraryQuery {
    std::string search;  // part of the name, maker, model, kind or source file (case ignored)
    std::string maker;   // whole maker name (case ignored), "" any
    std::string kind;    // whole kind (case ignored), "" any
    std::string category =
        {};                   // whole category (case ignored), "" any (initialised: {search, maker, kind} stays whole)
    bool favourites = false;  // favourites only
    bool trash = false;       // the items in the trash instead of the others
    bool any() const { return !maker.empty() || !kind.empty() || !category.empty() || favourites || trash; }
};

enum class LibraryColumn { Name, MakerModel, Kind, BankNumber, Source, Added, Category, Favourite };

// What merging another library did.
struct MergeReport {
    std::size_t items = 0;    // items read from the other library (its trash left out)
    std::size_t added = 0;    // new here
    std::size_t already = 0;  // the same sound was here already
    std::size_t sources = 0;  // source files (and dates) new to the items that were here already
};

// The bank an item can go into: its family, record form and number of places.
struct BankShape {
    std::string family, format;
    std::size_t count = 0;
};

// The rows a search answers first in the Library window: more than it shows at once.
inline constexpr std::size_t kLibraryFirstRows = 256;

// The first matches of a search, in order: all of them when `complete`.
struct LibraryPage {
    std::vector<std::int64_t> ids;
    bool complete = false;
};

class PatchLibrary {
public:
    // Opens the library at `path`, creating it (and its folder) when absent,
    // and brings an older schema up to date. Throws LibraryError when the file
    // is not a Tolvex library, is of a newer schema, or cannot be created.
    explicit PatchLibrary(const std::string& path);
    ~PatchLibrary();
    PatchLibrary(const PatchLibrary&) = delete;
    PatchLibrary& operator=(const PatchLibrary&) = delete;

    const std::string& path() const { return path_; }
    // Opened to read only: its file or folder may not be written here. Every
    // change then throws LibraryError saying so.
    bool readOnly() const { return readOnly_; }

    // While another program changes the library, a change waits up to `ms`
    // (30 s unless set) for it; `onWait` (when given) hears once per wait
    // that it began. A wait longer than `ms` fails with a LibraryError.
    void setBusyWait(int ms, std::function<void()> onWait = {});
    // SQLite's busy handler: whether to try again after `tries` failed tries.
    bool waitedBusy(int tries) const;

    // Whether duplicates are found with the names left out (kept in the library).
    bool ignoreNames() const;
    void setIgnoreNames(bool ignore);
    // The library's own settings by name ("" keys are not allowed); `fallback` when unset.
    std::string setting(const std::string& key, const std::string& fallback = "") const;
    void setSetting(const std::string& key, const std::string& value);

    // Adds the messages in one transaction: each message once, each patch
    // once (a duplicate gets `source` as a further source). `source` is the
    // file the messages came from, "" for received ones.
    void addMessages(const std::vector<Bytes>& messages, const std::string& source, AddReport& report);
    // Reads a .syx file and adds what it holds; a file that cannot be read is a problem of the report.
    void addFile(const std::string& path, AddReport& report);
    // The same for many files, a few hundred to a transaction; `progress`
    // (when given) hears the number of files done after each. When `stop`
    // (asked between messages) says so, the transaction under way is rolled
    // back whole and the report says how many files were stored before it.
    void addFiles(const std::vector<std::string>& paths, AddReport& report,
                  const std::function<void(std::size_t done)>& progress = {}, const std::function<bool()>& stop = {});

    // The items out of the trash.
    std::int64_t count() const;
    // The ids of the items that match, in the order of `column`. By name,
    // items without a name come after the named ones (before them descending).
    std::vector<std::int64_t> find(const LibraryQuery& query, LibraryColumn column = LibraryColumn::Name,
                                   bool descending = false) const;
    // The first ids of find(), at least `limit` of them (a screenful), or all
    // when there are fewer: a search that matches much of the library reads
    // items in the kept order only until `limit` match. When the page is not
    // complete, find() gives the rest (and the count). The order of `column`
    // is read and kept first when it is not kept already.
    LibraryPage findFirst(const LibraryQuery& query, std::size_t limit, LibraryColumn column = LibraryColumn::Name,
                          bool descending = false) const;
    // The first `limit` ids of the whole library in the order of `column`, as
    // find({}) would give them; by name read off the name index, so at once
    // on any size of library.
    std::vector<std::int64_t> firstInOrder(std::size_t limit, LibraryColumn column = LibraryColumn::Name,
                                           bool descending = false) const;
    // Makes the query running on this library's connection (on another
    // thread) fail at once with a LibraryError, and the queries started while
    // it runs; those started after it are not affected. Thread-safe.
    void interrupt() const;
    // The items of `ids`, in that order (ids not found are left out).
    std::vector<LibraryItem> items(std::span<const std::int64_t> ids) const;
    std::vector<std::string> sources(std::int64_t id) const;

    // The message that loads the item into the instrument: the edit-buffer
    // message of a patch (on `channel`), the message itself for a whole message.
    Bytes message(std::int64_t id, int channel = 0) const;
    // A bank message of `family` from the patches `ids` (in that order, one
    // record form, at most the bank's count); the rest from the init patch.
    // Throws LibraryError naming what does not fit.
    Bytes assembleBank(const std::string& family, std::span<const std::int64_t> ids, int channel = 0) const;

    // Groups of items that are the same sound: one item with several sources,
    // and, with `ignoreNames`, items that differ only in their names.
    // Each group lists the item ids, oldest first.
    std::vector<std::vector<std::int64_t>> duplicates(bool ignoreNames) const;

    void remove(std::span<const std::int64_t> ids);

    // The trash: trashed items are left out of find() unless the query asks
    // for the trash, and come back whole with restore(). emptyTrash() removes
    // them for good and says how many.
    void trash(std::span<const std::int64_t> ids);
    void restore(std::span<const std::int64_t> ids);
    std::size_t emptyTrash();

    void setFavourite(std::span<const std::int64_t> ids, bool on);
    void setCategory(std::span<const std::int64_t> ids, const std::string& category);
    // Renames the item and, where its family knows where the name lies, the
    // name inside its record, so what is sent or exported carries it. Throws
    // LibraryError (the text for the user) for a name the instrument cannot show.
    void rename(std::int64_t id, const std::string& name);
    // The makers, kinds or categories of the items outside the trash, sorted.
    std::vector<std::string> makers() const { return valuesOf("maker"); }
    std::vector<std::string> kinds() const { return valuesOf("kind"); }
    std::vector<std::string> categories() const { return valuesOf("category"); }

    // Adds the items of another library (not its trash) with their names,
    // categories, favourites, sources and dates; items whose sound is here
    // already get its sources. The other file is only read. Throws
    // LibraryError when it is not a Tolvex library, is newer, or is this one.
    MergeReport merge(const std::string& otherPath);

    // The bank `id` goes into; nothing for a whole message or a form without banks.
    std::optional<BankShape> bankShapeOf(std::int64_t id) const;

    // The families the library splits messages with.
    const std::vector<PatchFamily>& families() const { return families_; }
    // The naming steps for a message no family splits (a session's `namers`;
    // not owned, must outlive the library); null: the core's naming alone.
    void useNamers(const FamilyNamers* namers) { namers_ = namers; }

private:
    class Statement;
    struct AddBatch;
    void exec(const char* sql) const;
    // `ours`: the file's header says it is a Tolvex library.
    void migrate(bool ours);
    void mayChange() const;
    // The ids of the items in the trash, in order.
    std::vector<std::int64_t> trashedIds() const;
    const PatchFormat* formatOf(const std::string& format, const PatchFamily** family = nullptr) const;
    // The bytes a patch's sound is compared by (its parameters, unless
    // `asParameters` is false: then the record in `form`) and `form`, the
    // record form they are of; the name cleared when `withoutName`.
    Bytes soundOf(const std::string& format, ByteView record, std::size_t nameOffset, std::size_t nameLength,
                  bool withoutName, std::string& form, bool asParameters = true) const;
    struct SoundPrint {
        std::string form;
        Bytes data, noName;
        std::int64_t fp = 0, fpNoName = 0;
    };
    SoundPrint soundPrint(const std::string& format, ByteView record, std::size_t nameOffset,
                          std::size_t nameLength) const;
    // Gives the items compared in another form than their own the fingerprints of that form.
    void refingerprint();
    // Gives the items of the forms compared by their parameters the
    // fingerprints of those, merges the items that so prove one sound (the
    // oldest keeps all sources) and puts every source file in the search text.
    void reidentify();
    // Writes the search text of item `id` again: its fields and every file it came from.
    void updateSearchText(std::int64_t id);
    // Gives the items not categorised yet their family's category or the one their name suggests.
    void guessCategories();
    std::vector<std::string> valuesOf(const char* column) const;
    void addMessage(AddBatch& batch, ByteView sx, const std::string& source, AddReport& report);
    // The id of the message `sx`, stored when it is not there yet.
    std::int64_t storedMessage(AddBatch& batch, ByteView sx);
    // The item of the same sound as `it` (by the batch's rule for names), 0 when none.
    std::int64_t itemOfSound(AddBatch& batch, const PatchItem& it, const SoundPrint& print);
    // Stores `it` as a new item with its search text; its id. No category: one is guessed later.
    std::int64_t storeItem(AddBatch& batch, const PatchItem& it, const SoundPrint& print, const std::string& source,
                           std::int64_t added, std::int64_t messageId,
                           const std::optional<std::string>& category = std::nullopt, bool favourite = false);
    // Reads one file into the batch's transaction.
    void addFileTo(AddBatch& batch, const std::string& path, AddReport& report, const std::function<bool()>& stop);

    // What the library was when it was last read: other connections' commits
    // and this connection's own changes.
    struct Stamp {
        std::int64_t dataVersion = -1, changes = -1;
        bool operator==(const Stamp&) const = default;
    };
    Stamp stamp() const;
    static constexpr std::uint32_t kNoRank = 0xFFFFFFFF;
    // findFirst(): up to this many index matches are put in order at once;
    // more go through the kept order, reading at most kWalkRows items (or 64
    // per row asked for) before the whole search runs instead.
    static constexpr std::size_t kFewMatches = 20000;
    static constexpr std::size_t kWalkRows = 12000;
    bool orderKept(LibraryColumn column, bool descending) const;
    std::vector<std::int64_t> ordered(const LibraryQuery& query, LibraryColumn column, bool descending,
                                      std::size_t limit) const;
    // The whole library in the order of one column, kept from the last find()
    // without a query while the library is unchanged: a search orders its
    // matches by it instead of sorting them. rank[id] is the place of id.
    struct Order {
        LibraryColumn column = LibraryColumn::Name;
        bool descending = false;
        Stamp stamp;
        std::vector<std::int64_t> ids;
        std::vector<std::uint32_t> rank;
    };
    mutable Order order_;

    std::string path_;
    sqlite3* db_ = nullptr;
    bool readOnly_ = false;
    int busyWaitMs_ = 30000;
    std::function<void()> onBusy_;
    mutable std::chrono::steady_clock::time_point busySince_;
    std::vector<PatchFamily> families_;
    const FamilyNamers* namers_ = nullptr;
};

// 64-bit FNV-1a of the bytes, for the fingerprints.
std::uint64_t fingerprintOf(ByteView bytes, std::uint64_t seed = 0xcbf29ce484222325ULL);

// The items one message gives: the families' patches, or the message as one
// item (named with the naming steps `namers`, when given); problems of the
// split are appended to `problems`, its notes to `notes` (when given).
std::vector<PatchItem> splitMessage(const std::vector<PatchFamily>& families, ByteView sx,
                                    std::vector<std::string>& problems, const FamilyNamers* namers = nullptr,
                                    std::vector<std::string>* notes = nullptr);

// The families known to the library, in the order they are asked.
std::vector<PatchFamily> libraryFamilies();

}  // namespace tolvex
