// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/patch_library.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string_view>
#include <thread>
#include <utility>

#include "core/app/table_files.h"
#include "core/sysex/naming_tables.h"
#include "core/sysex/sx_naming.h"
#include "core/sysex/syx_file.h"
#include "core/text/text_utils.h"
#include "devices/devices.h"
#include "library/library_files.h"

namespace tolvex {

namespace {

// "Tolv": marks the file as a Tolvex library, so no other SQLite file is taken for one.
constexpr std::int32_t kApplicationId = 0x546F6C76;
constexpr char kWholeMessage[] = "message";

// Each step brings the schema from version i to i + 1.
constexpr const char* kMigrations[] = {
    // 1: messages, items and their sources.
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;"
    "CREATE TABLE messages(id INTEGER PRIMARY KEY, hash INTEGER NOT NULL, data BLOB NOT NULL);"
    "CREATE INDEX messages_hash ON messages(hash);"
    "CREATE TABLE items(id INTEGER PRIMARY KEY, name TEXT NOT NULL, maker TEXT NOT NULL, model TEXT NOT NULL,"
    " kind TEXT NOT NULL, bank TEXT NOT NULL, number INTEGER NOT NULL, size INTEGER NOT NULL, format TEXT NOT NULL,"
    " record BLOB NOT NULL, fp INTEGER NOT NULL, fp_noname INTEGER NOT NULL, source TEXT NOT NULL,"
    " added INTEGER NOT NULL, message_id INTEGER NOT NULL);"
    "CREATE INDEX items_fp ON items(fp);"
    "CREATE INDEX items_fp_noname ON items(fp_noname);"
    "CREATE TABLE sources(item_id INTEGER NOT NULL, file TEXT NOT NULL, position INTEGER NOT NULL,"
    " message_id INTEGER NOT NULL, added INTEGER NOT NULL, PRIMARY KEY(item_id, file, position)) WITHOUT ROWID;",
    // 2: the search index (substrings of name, maker, model, kind and source file) and the name order.
    "CREATE VIRTUAL TABLE items_search USING fts5(text, tokenize='trigram');"
    "INSERT INTO items_search(rowid, text) SELECT id, name || char(31) || maker || char(31) || model || char(31) ||"
    " kind || char(31) || source FROM items;"
    "CREATE INDEX items_by_name ON items(name COLLATE NOCASE, id);",
    // 3: patches of one form compared in another's (a TX802 edit-buffer performance in the bank form)
    // get fingerprints of that form: refingerprint() after this step.
    "",
    // 4: patches compared by the parameters they hold (a DX7 voice by its
    // unpacked voice, whatever unused bits its packing carries), and every
    // source file in the search text: reidentify() after this step.
    "",
    // 5: a category (NULL until guessed: guessCategories() after this step and each add), favourites, the trash.
    "ALTER TABLE items ADD COLUMN category TEXT;"
    "ALTER TABLE items ADD COLUMN favourite INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE items ADD COLUMN trashed INTEGER;"
    "CREATE INDEX items_uncategorised ON items(id) WHERE category IS NULL;"
    "CREATE INDEX items_trashed ON items(trashed) WHERE trashed IS NOT NULL;",
    // 6: the makers, kinds and categories the window's filters offer, read by index.
    "CREATE INDEX items_by_maker ON items(maker);"
    "CREATE INDEX items_by_kind ON items(kind);"
    "CREATE INDEX items_by_category ON items(category);",
};
static_assert(std::size(kMigrations) == kLibrarySchemaVersion);

std::string fileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr char kSearchSeparator = '\x1f';

std::string searchText(const PatchItem& it, const std::string& source)
{
    const char sep = kSearchSeparator;
    return it.name + sep + it.maker + sep + it.model + sep + it.kind + sep + fileNameOf(source);
}

// The maker and model a whole message's header names (the model as the
// families' naming step for it names it).
void makerAndModel(ByteView sx, std::string& maker, std::string& model, const FamilyNamers* namers)
{
    using namespace naming;
    if (sx.size() < 2) return;
    const char* m = nullptr;
    if (sx[1] == 0x00 && sx.size() >= 4)
        m = sx[2] == 0x00 ? AmericanMakerName(sx[3]) : sx[2] == 0x20 ? EuropeanMakerName(sx[3]) : nullptr;
    else if (sx[1] < 0x7E)
        m = OneByteMakerName(sx[1]);
    else if (sx[1] < 0x80)
        m = "Universal";
    if (m) maker = m;
    while (!maker.empty() && maker.back() == ' ') maker.pop_back();
    if (const MessageNamer* n = namers ? namers->find(sx) : nullptr; n && n->modelName) model = n->modelName;
}

// A whole message's bytes without what says where it goes: the device
// number or channel of the makers whose byte 2 carries it.
Bytes messageFingerprintData(ByteView sx)
{
    Bytes b(sx.begin(), sx.end());
    if (b.size() > 2) {
        if (b[1] == 0x42 /* Korg */ || b[1] == 0x43 /* Yamaha */) b[2] &= 0xF0;
        if (b[1] == 0x7E || b[1] == 0x7F) b[2] = 0;  // universal: the device id
    }
    return b;
}

// The error SQLite reported last on `db`, in the words a user can act on.
LibraryError sqlError(sqlite3* db)
{
    const std::string why = sqlite3_errmsg(db);
    switch (sqlite3_errcode(db) & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return {"Library error: the library file is damaged (" + why + ")", why};
    case SQLITE_BUSY:
        return {"Library error: another program kept the library busy for too long (" + why + "); try again", why,
                true};
    default: return {"Library error: " + why, why};
    }
}

std::int64_t signedOf(std::uint64_t v)
{
    return static_cast<std::int64_t>(v);
}

}  // namespace

// A prepared statement, finalised with its scope.
class PatchLibrary::Statement {
public:
    Statement(sqlite3* db, const std::string& sql) : db_(db)
    {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) throw sqlError(db);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, std::int64_t v)
    {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& bind(int i, const std::string& v)
    {
        sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, ByteView v)
    {
        sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while a row is there.
    bool step()
    {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw sqlError(db_);
    }
    void reset()
    {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::int64_t integer(int col) { return sqlite3_column_int64(stmt_, col); }
    // Valid until the next step or reset.
    std::string_view textView(int col)
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))) : std::string_view();
    }
    std::string text(int col)
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))) : std::string();
    }
    Bytes blob(int col)
    {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, col));
        return p ? Bytes(p, p + sqlite3_column_bytes(stmt_, col)) : Bytes();
    }
    bool blobEquals(int col, ByteView v)
    {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, col));
        const auto n = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col));
        return n == v.size() && (n == 0 || std::equal(v.begin(), v.end(), p));
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

std::uint64_t fingerprintOf(ByteView bytes, std::uint64_t seed)
{
    std::uint64_t h = seed;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ULL;
    }
    return h;
}

std::vector<PatchFamily> libraryFamilies()
{
    return patchFamilies();
}

std::vector<PatchItem> splitMessage(const std::vector<PatchFamily>& families, ByteView sx,
                                    std::vector<std::string>& problems, const FamilyNamers* namers,
                                    std::vector<std::string>* notes)
{
    for (const PatchFamily& f : families) {
        auto split = f.split(sx);
        if (!split) continue;
        problems.insert(problems.end(), split->problems.begin(), split->problems.end());
        if (notes) notes->insert(notes->end(), split->notes.begin(), split->notes.end());
        if (!split->items.empty()) return std::move(split->items);
        break;  // nothing readable inside: kept as the message it is
    }
    // As Open has it, a message without its end byte is no patch: whole
    // patches read out of it above are kept, the message itself is not.
    if (sx.empty() || sx.back() != 0xF7) return {};
    PatchItem it;
    std::string sup;
    bool ignore = false;
    NamingOptions naming;
    naming.families = namers;
    it.name = SxParseName(sx, sup, ignore, naming);
    makerAndModel(sx, it.maker, it.model, namers);
    it.kind = "Message";
    it.format = kWholeMessage;
    it.record.assign(sx.begin(), sx.end());
    return {std::move(it)};
}

std::string defaultLibraryPath(const std::string& progpath)
{
    std::string prog = progpath.empty() ? std::string("./") : progpath;
    if (prog.back() != '/') prog += '/';
    // A build copy keeps its settings beside the program, and its library too.
    if (settingsFolder(prog) == prog) return prog + kLibraryFileName;
    std::string data;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/')
        data = x;
    else if (const char* home = std::getenv("HOME"); home && *home)
        data = std::string(home) + "/.local/share";
    else
        data = ".";
    return data + "/tolvex/" + kLibraryFileName;
}

namespace {

// What a file's first 100 bytes say of it, read before SQLite touches it.
struct FileFacts {
    bool exists = false;
    bool sqlite = false;            // an SQLite database header
    std::uint32_t appId = 0;        // the application id it carries
    std::uint32_t userVersion = 0;  // the library version it carries
    std::uintmax_t size = 0;        // bytes on disk
    std::uintmax_t headerSize = 0;  // bytes its header says it has (0: not known)
};

std::uint32_t bigEndian(const unsigned char* p, int n)
{
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}

FileFacts factsOf(const std::string& path)
{
    FileFacts f;
    std::error_code ec;
    f.size = std::filesystem::file_size(path, ec);
    if (ec) return f;
    f.exists = true;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return f;
    unsigned char h[100];
    const std::size_t got = std::fread(h, 1, sizeof h, in);
    std::fclose(in);
    if (got < sizeof h || std::memcmp(h, "SQLite format 3", 16) != 0) return f;
    f.sqlite = true;
    f.appId = bigEndian(h + 68, 4);
    f.userVersion = bigEndian(h + 60, 4);
    // The page count is valid while the change counter (24) and the version
    // it was written at (92) agree.
    const std::uint32_t pageSize = bigEndian(h + 16, 2) == 1 ? 65536 : bigEndian(h + 16, 2);
    if (bigEndian(h + 24, 4) == bigEndian(h + 92, 4))
        f.headerSize = static_cast<std::uintmax_t>(pageSize) * bigEndian(h + 28, 4);
    return f;
}

}  // namespace

bool libraryNeedsUpdate(const std::string& path)
{
    const FileFacts f = factsOf(path);
    return f.sqlite && f.appId == static_cast<std::uint32_t>(kApplicationId) && f.userVersion > 0 &&
           f.userVersion < static_cast<std::uint32_t>(kLibrarySchemaVersion);
}

namespace {

bool writable(const std::string& path)
{
    return ::access(path.c_str(), W_OK) == 0;
}

// Called by SQLite while another connection holds the lock: polls often, so
// the short pause a writer leaves between its transactions is enough.
int busyWait(void* lib, int tries)
{
    return static_cast<const PatchLibrary*>(lib)->waitedBusy(tries) ? 1 : 0;
}

}  // namespace

PatchLibrary::PatchLibrary(const std::string& path) : path_(path), families_(libraryFamilies())
{
    namespace fs = std::filesystem;
    const fs::path p(path);
    const FileFacts facts = factsOf(path);
    const bool ours = facts.sqlite && facts.appId == static_cast<std::uint32_t>(kApplicationId);
    if (ours && facts.headerSize > facts.size)
        throw LibraryError(
            format("%s is a damaged Tolvex library (the file is cut off: %llu of %llu bytes); it was "
                   "left as it is",
                   path.c_str(), static_cast<unsigned long long>(facts.size),
                   static_cast<unsigned long long>(facts.headerSize)));
    std::error_code ec;
    const std::string folder = p.has_parent_path() ? p.parent_path().string() : std::string(".");
    if (p.has_parent_path() && !facts.exists) {
        fs::create_directories(p.parent_path(), ec);
        if (ec)
            throw LibraryError("Cannot create the library folder " + p.parent_path().string() + ": " + ec.message());
    }
    // A library the user may read but not change (its file or folder is not
    // theirs to write, the side files of its journal cannot be made) is opened to read.
    readOnly_ = facts.exists &&
                (!writable(path) || !writable(folder) || (fs::exists(path + "-wal", ec) && !writable(path + "-wal")) ||
                 (fs::exists(path + "-shm", ec) && !writable(path + "-shm")));
    const auto open = [&](const std::string& name, int flags) {
        sqlite3_close(db_);
        db_ = nullptr;
        if (sqlite3_open_v2(name.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
            const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            db_ = nullptr;
            throw LibraryError("Cannot open the library " + path + ": " + why);
        }
        sqlite3_busy_handler(db_, busyWait, this);
    };
    open(path, readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (readOnly_ && ours && !fs::exists(path + "-shm", ec)) {
        // Reading a WAL database needs its shared-memory file; in a folder
        // nobody may write it cannot be made, and nobody can change the file
        // there either: it is read as it stands.
        std::string uri = "file:";
        for (char c : fs::absolute(p, ec).string()) {
            if (c == '?' || c == '#' || c == '%')
                uri += format("%%%02X", static_cast<unsigned char>(c));
            else
                uri += c;
        }
        open(uri + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    }
    // Two programs opening a new library at once: while one makes it (its
    // journal mode, its tables), SQLite may answer the other "busy" without
    // waiting. The steps are transactions that read the version afresh, so
    // they are simply tried again.
    const auto began = std::chrono::steady_clock::now();
    for (;;) {
        try {
            migrate(ours);
            break;
        } catch (const LibraryError& e) {
            if (e.busy && std::chrono::steady_clock::now() - began < std::chrono::milliseconds(busyWaitMs_)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            sqlite3_close(db_);
            db_ = nullptr;
            throw;
        } catch (...) {
            sqlite3_close(db_);
            db_ = nullptr;
            throw;
        }
    }
}

bool PatchLibrary::waitedBusy(int tries) const
{
    using namespace std::chrono;
    if (tries == 0) busySince_ = steady_clock::now();
    const auto waited = duration_cast<milliseconds>(steady_clock::now() - busySince_).count();
    if (waited >= busyWaitMs_) return false;
    if (onBusy_ && tries == 0) onBusy_();
    std::this_thread::sleep_for(milliseconds(2));
    return true;
}

void PatchLibrary::setBusyWait(int ms, std::function<void()> onWait)
{
    busyWaitMs_ = ms;
    onBusy_ = std::move(onWait);
}

std::vector<std::int64_t> PatchLibrary::trashedIds() const
{
    // Named, the trash's own index: asked for the ids in order, SQLite would
    // rather read every item in the order of their ids.
    Statement q(db_, "SELECT id FROM items INDEXED BY items_trashed WHERE trashed IS NOT NULL");
    std::vector<std::int64_t> ids;
    while (q.step()) ids.push_back(q.integer(0));
    std::sort(ids.begin(), ids.end());
    return ids;
}

void PatchLibrary::mayChange() const
{
    if (readOnly_)
        throw LibraryError("The library " + path_ +
                           " is read-only here (its file or folder may not be written): nothing can be added or "
                           "changed");
}

PatchLibrary::~PatchLibrary()
{
    sqlite3_close(db_);
}

void PatchLibrary::exec(const char* sql) const
{
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        sqlite3_free(msg);
        throw sqlError(db_);
    }
}

void PatchLibrary::migrate(bool ours)
{
    // Read before anything is written: a foreign or newer file stays untouched.
    std::int64_t appId = 0, version = 0, tables = 0;
    try {
        Statement a(db_, "PRAGMA application_id");
        if (a.step()) appId = a.integer(0);
        Statement v(db_, "PRAGMA user_version");
        if (v.step()) version = v.integer(0);
        Statement t(db_, "SELECT count(*) FROM sqlite_master");
        if (t.step()) tables = t.integer(0);
    } catch (const LibraryError& e) {
        if (e.busy) throw;  // another program is making it: tried again
        if (ours) throw LibraryError(path_ + " is a damaged Tolvex library (" + e.detail + "); it was left as it is");
        throw LibraryError(path_ + " is not a Tolvex library; it was left as it is");
    }
    if (appId != kApplicationId && (appId != 0 || tables != 0 || version != 0))
        throw LibraryError(path_ + " is not a Tolvex library; it was left as it is");
    if (version > kLibrarySchemaVersion)
        throw LibraryError(
            format("%s was made by a newer Tolvex (library version %d; this Tolvex reads up to %d); it "
                   "was left as it is",
                   path_.c_str(), static_cast<int>(version), kLibrarySchemaVersion));
    if (readOnly_) {
        // Read as it stands, which only a library of this version can be.
        if (version < kLibrarySchemaVersion)
            throw LibraryError(path_ +
                               " is a library of an older Tolvex and is read-only here, so it cannot be brought up "
                               "to date; open it once where it may be written");
        exec("PRAGMA cache_size=-65536");
        exec("PRAGMA mmap_size=268435456");
        return;
    }
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
    exec("PRAGMA cache_size=-65536");  // 64 MiB: a large library's indexes stay in memory
    exec("PRAGMA mmap_size=268435456");
    exec("PRAGMA foreign_keys=ON");
    while (version < kLibrarySchemaVersion) {
        exec("BEGIN IMMEDIATE");
        try {
            // Another program may have brought it up to date while this one waited.
            {
                Statement v(db_, "PRAGMA user_version");
                version = v.step() ? v.integer(0) : 0;
            }
            if (version < kLibrarySchemaVersion) {
                exec(kMigrations[version]);
                if (version + 1 == 3) refingerprint();
                if (version + 1 == 4) reidentify();
                if (version + 1 == 5) guessCategories();
                exec(format("PRAGMA application_id=%d; PRAGMA user_version=%d", kApplicationId,
                            static_cast<int>(version + 1))
                         .c_str());
                ++version;
            }
            exec("COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
}

std::string PatchLibrary::setting(const std::string& key, const std::string& fallback) const
{
    Statement q(db_, "SELECT value FROM meta WHERE key=?");
    q.bind(1, key);
    return q.step() ? q.text(0) : fallback;
}

void PatchLibrary::setSetting(const std::string& key, const std::string& value)
{
    mayChange();
    Statement q(db_, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
    q.bind(1, key).bind(2, value).step();
}

bool PatchLibrary::ignoreNames() const
{
    return setting("ignore_names") == "1";
}

void PatchLibrary::setIgnoreNames(bool ignore)
{
    setSetting("ignore_names", ignore ? "1" : "0");
}

const PatchFormat* PatchLibrary::formatOf(const std::string& format, const PatchFamily** family) const
{
    for (const PatchFamily& f : families_)
        for (const PatchFormat& pf : f.formats)
            if (format == pf.format) {
                if (family) *family = &f;
                return &pf;
            }
    return nullptr;
}

Bytes PatchLibrary::soundOf(const std::string& format, ByteView record, std::size_t nameOffset, std::size_t nameLength,
                            bool withoutName, std::string& form, bool asParameters) const
{
    form = format;
    if (format == kWholeMessage) return messageFingerprintData(record);
    Bytes b;
    const PatchFormat* pf = formatOf(format);
    std::optional<Bytes> same;
    if (pf && pf->asSame) same = pf->asSame(record, withoutName);
    if (same) {
        form = pf->sameAs;
        b = std::move(*same);
        pf = formatOf(form);
    } else {
        b.assign(record.begin(), record.end());
        if (withoutName && nameLength > 0 && nameOffset + nameLength <= b.size())
            std::fill_n(b.begin() + static_cast<long>(nameOffset), nameLength, 0);
    }
    if (asParameters && pf && pf->parameters && b.size() == pf->recordSize) return pf->parameters(b);
    return b;
}

PatchLibrary::SoundPrint PatchLibrary::soundPrint(const std::string& format, ByteView record, std::size_t nameOffset,
                                                  std::size_t nameLength) const
{
    SoundPrint p;
    std::string form;
    p.data = soundOf(format, record, nameOffset, nameLength, false, p.form);
    p.noName = soundOf(format, record, nameOffset, nameLength, true, form);
    const std::uint64_t seed =
        fingerprintOf(ByteView(reinterpret_cast<const std::uint8_t*>(p.form.data()), p.form.size()));
    p.fp = signedOf(fingerprintOf(p.data, seed));
    p.fpNoName = signedOf(fingerprintOf(p.noName, seed));
    return p;
}

void PatchLibrary::refingerprint()
{
    Statement update(db_, "UPDATE items SET fp=?, fp_noname=? WHERE id=?");
    for (const PatchFamily& f : families_)
        for (const PatchFormat& pf : f.formats) {
            if (!pf.asSame || std::string_view(pf.sameAs) == pf.format) continue;
            Statement q(db_, "SELECT id, record FROM items WHERE format=?");
            q.bind(1, std::string(pf.format));
            while (q.step()) {
                const SoundPrint print = soundPrint(pf.format, q.blob(1), pf.nameOffset, pf.nameLength);
                if (print.form == pf.format) continue;  // not comparable: its fingerprints stay
                update.reset();
                update.bind(1, print.fp).bind(2, print.fpNoName).bind(3, q.integer(0)).step();
            }
        }
}

void PatchLibrary::reidentify()
{
    // Fingerprints of the forms compared by their parameters. The indexes of
    // the fingerprints are made again afterwards: kept up to date row by row,
    // they made most of the time a large library took.
    exec("DROP INDEX items_fp; DROP INDEX items_fp_noname");
    {
        Statement update(db_, "UPDATE items SET fp=?, fp_noname=? WHERE id=?");
        for (const PatchFamily& f : families_)
            for (const PatchFormat& pf : f.formats) {
                if (!pf.parameters) continue;
                Statement q(db_, "SELECT id, record FROM items WHERE format=?");
                q.bind(1, std::string(pf.format));
                while (q.step()) {
                    const SoundPrint print = soundPrint(pf.format, q.blob(1), pf.nameOffset, pf.nameLength);
                    update.reset();
                    update.bind(1, print.fp).bind(2, print.fpNoName).bind(3, q.integer(0)).step();
                }
            }
    }
    exec("CREATE INDEX items_fp ON items(fp); CREATE INDEX items_fp_noname ON items(fp_noname)");
    // Items that now prove one sound become the oldest of them, with all their sources.
    struct Candidate {
        std::int64_t id;
        std::string form;
        Bytes data;
    };
    std::vector<std::pair<std::int64_t, std::int64_t>> merges;  // (from, into)
    {
        Statement q(db_,
                    "SELECT id, fp, format, record FROM items WHERE fp IN (SELECT fp FROM items GROUP BY fp HAVING "
                    "count(*) > 1) ORDER BY fp, id");
        std::vector<Candidate> group;
        std::int64_t groupFp = 0;
        while (q.step()) {
            if (!group.empty() && q.integer(1) != groupFp) group.clear();
            groupFp = q.integer(1);
            const std::string format = q.text(2);
            const PatchFormat* pf = formatOf(format);
            Candidate c{q.integer(0), "", {}};
            c.data = soundOf(format, q.blob(3), pf ? pf->nameOffset : 0, pf ? pf->nameLength : 0, false, c.form);
            const auto same = std::find_if(group.begin(), group.end(),
                                           [&](const Candidate& o) { return o.form == c.form && o.data == c.data; });
            if (same != group.end())
                merges.emplace_back(c.id, same->id);
            else
                group.push_back(std::move(c));
        }
    }
    Statement move(db_,
                   "INSERT OR IGNORE INTO sources(item_id, file, position, message_id, added) SELECT ?, file, "
                   "position, message_id, added FROM sources WHERE item_id=?");
    Statement dropSources(db_, "DELETE FROM sources WHERE item_id=?");
    Statement dropItem(db_, "DELETE FROM items WHERE id=?");
    Statement dropSearch(db_, "DELETE FROM items_search WHERE rowid=?");
    for (const auto& [from, into] : merges) {
        move.reset();
        move.bind(1, into).bind(2, from).step();
        for (Statement* s : {&dropSources, &dropItem, &dropSearch}) {
            s->reset();
            s->bind(1, from).step();
        }
    }
    // Every file an item came from is found by a search.
    Statement several(db_, "SELECT item_id FROM sources GROUP BY item_id HAVING count(DISTINCT file) > 1");
    while (several.step()) updateSearchText(several.integer(0));
}

void PatchLibrary::updateSearchText(std::int64_t id)
{
    Statement item(db_, "SELECT name, maker, model, kind, source FROM items WHERE id=?");
    item.bind(1, id);
    if (!item.step()) return;
    PatchItem it;
    it.name = item.text(0);
    it.maker = item.text(1);
    it.model = item.text(2);
    it.kind = item.text(3);
    const std::string first = item.text(4);
    std::string text = searchText(it, first);
    Statement files(db_, "SELECT DISTINCT file FROM sources WHERE item_id=? ORDER BY added, file");
    files.bind(1, id);
    std::vector<std::string> seen{fileNameOf(first)};
    while (files.step()) {
        std::string name = fileNameOf(files.text(0));
        if (name.empty() || std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
        text += kSearchSeparator + name;
        seen.push_back(std::move(name));
    }
    Statement update(db_, "UPDATE items_search SET text=? WHERE rowid=?");
    update.bind(1, text).bind(2, id).step();
}

// The statements of one add, prepared once for all its messages.
struct PatchLibrary::AddBatch {
    explicit AddBatch(PatchLibrary& lib)
        : withoutNames(lib.ignoreNames()),
          now(std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                  .count()),
          findMessage(lib.db_, "SELECT id, data FROM messages WHERE hash=?"),
          insertMessage(lib.db_, "INSERT INTO messages(hash, data) VALUES(?, ?)"),
          findItem(lib.db_, withoutNames ? "SELECT id, record, format FROM items WHERE fp_noname=?"
                                         : "SELECT id, record, format FROM items WHERE fp=?"),
          insertItem(lib.db_,
                     "INSERT INTO items(name, maker, model, kind, bank, number, size, format, record, fp, "
                     "fp_noname, source, added, message_id, category, favourite) "
                     "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
          insertSearch(lib.db_, "INSERT INTO items_search(rowid, text) VALUES(?, ?)"),
          insertSource(lib.db_,
                       "INSERT OR IGNORE INTO sources(item_id, file, position, message_id, added) "
                       "VALUES(?,?,?,?,?)"),
          findSource(lib.db_, "SELECT 1 FROM sources WHERE item_id=? AND file=? LIMIT 1")
    {
    }
    const bool withoutNames;
    const std::int64_t now;
    Statement findMessage, insertMessage, findItem, insertItem, insertSearch, insertSource, findSource;
};

namespace {

// Runs `body` in one transaction: all of it is kept, or nothing.
template <class Body>
void inTransaction(sqlite3* db, Body&& body)
{
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) throw sqlError(db);
    try {
        body();
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) throw sqlError(db);
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace

void PatchLibrary::addMessages(const std::vector<Bytes>& messages, const std::string& source, AddReport& report)
{
    mayChange();
    inTransaction(db_, [&] {
        AddBatch batch(*this);
        for (const Bytes& m : messages) addMessage(batch, m, source, report);
        guessCategories();
    });
}

void PatchLibrary::addMessage(AddBatch& b, ByteView sx, const std::string& source, AddReport& report)
{
    ++report.messages;
    std::vector<std::string> problems, notes;
    const std::vector<PatchItem> items = splitMessage(families_, sx, problems, namers_, &notes);
    const std::string where = source.empty() ? std::string("received message") : source;
    for (const std::string& p : problems) report.problems.push_back(where + ": " + p);
    for (const std::string& n : notes) report.notes.push_back(where + ": " + n);
    if (items.empty()) return;
    const std::int64_t messageId = storedMessage(b, sx);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const PatchItem& it = items[i];
        const SoundPrint print = soundPrint(it.format, it.record, it.nameOffset, it.nameLength);
        std::int64_t itemId = itemOfSound(b, it, print);
        bool newFile = false;
        if (itemId != 0) {
            ++report.duplicates;
            b.findSource.reset();
            b.findSource.bind(1, itemId).bind(2, source);
            newFile = !source.empty() && !b.findSource.step();
        } else {
            itemId = storeItem(b, it, print, source, b.now, messageId);
            ++report.added;
        }
        b.insertSource.reset();
        b.insertSource.bind(1, itemId)
            .bind(2, source)
            .bind(3, static_cast<std::int64_t>(i))
            .bind(4, messageId)
            .bind(5, b.now)
            .step();
        if (newFile) updateSearchText(itemId);
    }
}

std::int64_t PatchLibrary::storedMessage(AddBatch& b, ByteView sx)
{
    const std::int64_t hash = signedOf(fingerprintOf(sx));
    b.findMessage.reset();
    b.findMessage.bind(1, hash);
    while (b.findMessage.step())
        if (b.findMessage.blobEquals(1, sx)) return b.findMessage.integer(0);
    b.insertMessage.reset();
    b.insertMessage.bind(1, hash).bind(2, sx).step();
    return sqlite3_last_insert_rowid(db_);
}

std::int64_t PatchLibrary::itemOfSound(AddBatch& b, const PatchItem& it, const SoundPrint& print)
{
    const Bytes& wanted = b.withoutNames ? print.noName : print.data;
    // The fingerprint finds the candidates; the data decide.
    b.findItem.reset();
    b.findItem.bind(1, b.withoutNames ? print.fpNoName : print.fp);
    while (b.findItem.step()) {
        std::string form;
        const Bytes other =
            soundOf(b.findItem.text(2), b.findItem.blob(1), it.nameOffset, it.nameLength, b.withoutNames, form);
        if (form == print.form && other == wanted) return b.findItem.integer(0);
    }
    return 0;
}

std::int64_t PatchLibrary::storeItem(AddBatch& b, const PatchItem& it, const SoundPrint& print,
                                     const std::string& source, std::int64_t added, std::int64_t messageId,
                                     const std::optional<std::string>& category, bool favourite)
{
    b.insertItem.reset();
    b.insertItem.bind(1, it.name)
        .bind(2, it.maker)
        .bind(3, it.model)
        .bind(4, it.kind)
        .bind(5, it.bank)
        .bind(6, static_cast<std::int64_t>(it.number))
        .bind(7, static_cast<std::int64_t>(it.record.size()))
        .bind(8, it.format)
        .bind(9, ByteView(it.record))
        .bind(10, print.fp)
        .bind(11, print.fpNoName)
        .bind(12, source)
        .bind(13, added)
        .bind(14, messageId)
        .bind(16, static_cast<std::int64_t>(favourite ? 1 : 0));
    // No category: one is guessed after the add.
    if (category) b.insertItem.bind(15, *category);
    b.insertItem.step();
    const std::int64_t id = sqlite3_last_insert_rowid(db_);
    b.insertSearch.reset();
    b.insertSearch.bind(1, id).bind(2, searchText(it, source)).step();
    return id;
}

namespace {
// Thrown out of a transaction when the user asked to stop: it is rolled back.
struct AddStopped {};

// The file as a source: its absolute path, which names it wherever the library is used from.
std::string sourceOf(const std::string& path)
{
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}
}  // namespace

void PatchLibrary::addFileTo(AddBatch& batch, const std::string& path, AddReport& report,
                             const std::function<bool()>& stop)
{
    SyxParse parsed;
    std::vector<Bytes> messages;
    try {
        LibraryFileRead read = readLibraryFile(path, families_, [&](Bytes&& m) {
            if (stop && stop()) throw AddStopped{};
            messages.push_back(std::move(m));
        });
        parsed = std::move(read.parse);
        parsed.messages = std::move(messages);
        for (const std::string& n : read.notes) report.notes.push_back(sourceOf(path) + ": " + n);
    } catch (const TolvexError& e) {
        report.problems.push_back(path + ": " + e.what());
        return;
    }
    if (parsed.status == SyxParse::Status::TooManyLeadingBytes) {
        report.problems.push_back(path + ": not a SysEx file (more than 99 bytes before the first F0)");
        return;
    }
    if (parsed.messages.empty()) {
        report.problems.push_back(path + ": no SysEx message in the file");
        return;
    }
    if (parsed.withoutEndByte > 0)
        report.problems.push_back(path + format(": %d message(s) without end byte F7", parsed.withoutEndByte));
    const std::string source = sourceOf(path);
    for (const Bytes& m : parsed.messages) {
        if (stop && stop()) throw AddStopped{};
        addMessage(batch, m, source, report);
    }
}

void PatchLibrary::addFile(const std::string& path, AddReport& report)
{
    addFiles({path}, report);
}

void PatchLibrary::addFiles(const std::vector<std::string>& paths, AddReport& report,
                            const std::function<void(std::size_t done)>& progress, const std::function<bool()>& stop)
{
    mayChange();
    // A transaction holds the library from other programs: it ends after a
    // few hundred files or a fraction of a second, and the next begins after
    // a pause in which a program waiting for the library gets its turn.
    constexpr std::size_t kFilesPerTransaction = 250;
    constexpr auto kTransactionTime = std::chrono::milliseconds(200);
    constexpr auto kTurnForOthers = std::chrono::milliseconds(10);
    std::size_t from = 0;
    while (from < paths.size()) {
        if (from > 0) std::this_thread::sleep_for(kTurnForOthers);
        std::size_t to = from;
        // A failed or stopped transaction leaves the report as it was before it.
        AddReport part = report;
        try {
            inTransaction(db_, [&] {
                AddBatch batch(*this);
                const auto began = std::chrono::steady_clock::now();
                while (to < paths.size() && to - from < kFilesPerTransaction &&
                       (to == from || std::chrono::steady_clock::now() - began < kTransactionTime))
                    addFileTo(batch, paths[to++], part, stop);
                guessCategories();
            });
        } catch (const AddStopped&) {
            report.stopped = true;
            return;
        }
        report = std::move(part);
        report.files = to;
        from = to;
        if (progress) progress(to);
    }
}

std::int64_t PatchLibrary::count() const
{
    // The trash through its own index: a condition on every row would read every item.
    Statement q(db_, "SELECT (SELECT count(*) FROM items) - (SELECT count(*) FROM items WHERE trashed IS NOT NULL)");
    return q.step() ? q.integer(0) : 0;
}

namespace {

// The condition and argument that find the search text in items_search.
std::pair<std::string, std::string> searchCondition(const std::string& search)
{
    // The trigram index answers a phrase of three or more characters as a
    // substring, case ignored. LIKE with an ESCAPE clause would bypass the
    // index and read every row, so wildcards are never escaped: shorter
    // searches read every row anyway, and one holding % or _ is matched by instr.
    const auto chars = std::count_if(search.begin(), search.end(),
                                     [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    if (chars >= 3) {
        std::string phrase = "\"";
        for (char c : search) phrase += c == '"' ? std::string("\"\"") : std::string(1, c);
        return {"items_search MATCH ?", phrase + '"'};
    }
    if (search.find_first_of("%_") == std::string::npos) return {"items_search.text LIKE ?", "%" + search + "%"};
    return {"instr(lower(items_search.text), lower(?)) > 0", search};
}

}  // namespace

PatchLibrary::Stamp PatchLibrary::stamp() const
{
    Statement q(db_, "PRAGMA data_version");
    return {q.step() ? q.integer(0) : 0, sqlite3_total_changes64(db_)};
}

bool PatchLibrary::orderKept(LibraryColumn column, bool descending) const
{
    return order_.column == column && order_.descending == descending && !order_.ids.empty() && order_.stamp == stamp();
}

namespace {

bool asciiOnly(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `lowered` (an ASCII text in lower case) is in `text`, ASCII case
// ignored: for an ASCII search the same answer as the search index, LIKE and
// instr(lower()) give.
bool containsIgnoringCase(std::string_view text, std::string_view lowered)
{
    if (lowered.empty()) return true;
    const auto at = std::search(text.begin(), text.end(), lowered.begin(), lowered.end(),
                                [](char a, char b) { return asciiLower(a) == b; });
    return at != text.end();
}

}  // namespace

LibraryPage PatchLibrary::findFirst(const LibraryQuery& query, std::size_t limit, LibraryColumn column,
                                    bool descending) const
{
    const bool searchOnly = !query.search.empty() && !query.any();
    if (!searchOnly || !asciiOnly(query.search)) return {find(query, column, descending), true};
    // The whole library in this order, kept for the searches that follow
    // (what the window reads when it opens or changes its order anyway).
    if (!orderKept(column, descending)) (void)find({}, column, descending);
    if (!orderKept(column, descending)) return {find(query, column, descending), true};

    // A few matches: the search index finds them all, and they are put in order.
    const auto chars = query.search.size();
    if (chars >= 3) {
        const auto [condition, arg] = searchCondition(query.search);
        Statement q(db_, "SELECT rowid FROM items_search WHERE " + condition);
        q.bind(1, arg);
        std::vector<std::uint32_t> ranks;
        bool more = false;
        while (q.step()) {
            if (ranks.size() >= kFewMatches) {
                more = true;
                break;
            }
            const std::int64_t id = q.integer(0);
            if (id >= 0 && static_cast<std::uint64_t>(id) < order_.rank.size() && order_.rank[id] != kNoRank)
                ranks.push_back(order_.rank[id]);
        }
        if (!more) {
            std::sort(ranks.begin(), ranks.end());
            LibraryPage page{{}, true};
            page.ids.reserve(ranks.size());
            for (std::uint32_t r : ranks) page.ids.push_back(order_.ids[r]);
            return page;
        }
    }
    // Many matches, or a search too short for the index: the items are read
    // in order until a screenful matches. Matches are then common, so few are
    // read; when they turn out rare the whole search runs after all.
    std::string lowered = query.search;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), asciiLower);
    // The search index keeps its texts in an ordinary table: read there, a row
    // costs less than through the index.
    Statement text(db_, "SELECT c0 FROM items_search_content WHERE id=?");
    LibraryPage page{{}, false};
    const std::size_t budget = std::max<std::size_t>(kWalkRows, limit * 64);
    for (std::size_t i = 0; i < order_.ids.size(); ++i) {
        if (i == budget) return {find(query, column, descending), true};
        text.reset();
        text.bind(1, order_.ids[i]);
        if (text.step() && containsIgnoringCase(text.textView(0), lowered)) {
            page.ids.push_back(order_.ids[i]);
            if (page.ids.size() == limit) return page;
        }
    }
    page.complete = true;
    return page;
}

namespace {
// A name of blanks only is no name: such items sort after the named ones.
constexpr char kNamed[] = "trim(items.name) <> ''";
}  // namespace

std::vector<std::int64_t> PatchLibrary::ordered(const LibraryQuery& query, LibraryColumn column, bool descending,
                                                std::size_t limit) const
{
    const bool whole = query.search.empty() && !query.any();
    const char* dir = descending ? " DESC" : "";
    // The trash is read through its own index and left out afterwards: a
    // condition on every row would turn the name order's index-only read of
    // the whole library into a read of every item. A first screenful reads
    // as many rows more as the trash holds.
    const std::vector<std::int64_t> trashed = query.trash ? std::vector<std::int64_t>{} : trashedIds();
    const std::size_t reading = limit > 0 ? limit + trashed.size() : 0;
    const std::string limitText = reading > 0 ? " LIMIT " + std::to_string(reading) : std::string();
    std::vector<std::int64_t> ids;
    const auto done = [&] {
        if (!trashed.empty())
            std::erase_if(ids, [&](std::int64_t id) { return std::binary_search(trashed.begin(), trashed.end(), id); });
        if (limit > 0 && ids.size() > limit) ids.resize(limit);
        return ids;
    };
    const auto read = [&](const std::string& sql, const std::vector<std::string>& args) {
        Statement q(db_, sql);
        for (std::size_t i = 0; i < args.size(); ++i) q.bind(static_cast<int>(i) + 1, args[i]);
        while (q.step()) ids.push_back(q.integer(0));
    };
    if (whole && column == LibraryColumn::Name) {
        // Two walks along the name index (it holds all they read): the named
        // items, and the nameless apart. One sort of the whole table with the
        // blank names last would cost more than both.
        const std::string named =
            std::string("SELECT id FROM items WHERE ") + kNamed + " ORDER BY name COLLATE NOCASE" + dir + ", id" + dir;
        const std::string nameless = std::string("SELECT id FROM items WHERE NOT ") + kNamed +
                                     " ORDER BY name COLLATE NOCASE" + dir + ", id" + dir;
        // One read transaction: both walks see the same library.
        exec("BEGIN");
        try {
            read((descending ? nameless : named) + limitText, {});
            if (reading == 0 || ids.size() < reading) {
                const std::size_t rest = reading == 0 ? 0 : reading - ids.size();
                read((descending ? named : nameless) + (rest > 0 ? " LIMIT " + std::to_string(rest) : std::string()),
                     {});
            }
            exec("COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        return done();
    }
    // With a search the matches come from the search index first and only they
    // are ordered; reading the whole table in order and testing each row is slower.
    std::string sql = query.search.empty() ? "SELECT id FROM items"
                                           : "SELECT items.id FROM items_search CROSS JOIN items ON items.id = "
                                             "items_search.rowid";
    std::vector<std::string> where;
    if (query.trash) where.push_back("trashed IS NOT NULL");
    std::vector<std::string> args;
    if (!query.search.empty()) {
        auto [condition, arg] = searchCondition(query.search);
        where.push_back(std::move(condition));
        args.push_back(std::move(arg));
    }
    if (!query.maker.empty()) {
        where.push_back("maker = ? COLLATE NOCASE");
        args.push_back(query.maker);
    }
    if (!query.kind.empty()) {
        where.push_back("kind = ? COLLATE NOCASE");
        args.push_back(query.kind);
    }
    if (!query.category.empty()) {
        where.push_back("category = ? COLLATE NOCASE");
        args.push_back(query.category);
    }
    if (query.favourites) where.push_back("favourite = 1");
    for (std::size_t i = 0; i < where.size(); ++i) sql += (i == 0 ? " WHERE " : " AND ") + where[i];
    switch (column) {
    case LibraryColumn::Name:
        sql += std::string(" ORDER BY ") + kNamed + (descending ? "" : " DESC") + ", items.name COLLATE NOCASE" + dir +
               ", items.id" + dir;
        break;
    case LibraryColumn::MakerModel:
        sql += std::string(" ORDER BY maker") + dir + ", model" + dir + ", name COLLATE NOCASE, id";
        break;
    case LibraryColumn::Kind: sql += std::string(" ORDER BY kind") + dir + ", name COLLATE NOCASE, id"; break;
    case LibraryColumn::BankNumber: sql += std::string(" ORDER BY bank") + dir + ", number" + dir + ", id"; break;
    case LibraryColumn::Source: sql += std::string(" ORDER BY source") + dir + ", id"; break;
    case LibraryColumn::Added: sql += std::string(" ORDER BY added") + dir + ", id" + dir; break;
    case LibraryColumn::Category:
        sql += std::string(" ORDER BY ifnull(category, '') = ''") + dir + ", category COLLATE NOCASE" + dir +
               ", name COLLATE NOCASE, id";
        break;
    case LibraryColumn::Favourite:
        sql += std::string(" ORDER BY favourite") + (descending ? "" : " DESC") + ", name COLLATE NOCASE, id";
        break;
    }
    read(sql + limitText, args);
    return done();
}

std::vector<std::int64_t> PatchLibrary::firstInOrder(std::size_t limit, LibraryColumn column, bool descending) const
{
    if (limit == 0) return {};
    if (orderKept(column, descending))
        return {order_.ids.begin(), order_.ids.begin() + static_cast<long>(std::min(limit, order_.ids.size()))};
    return ordered({}, column, descending, limit);
}

void PatchLibrary::interrupt() const
{
    sqlite3_interrupt(db_);
}

std::vector<std::int64_t> PatchLibrary::find(const LibraryQuery& query, LibraryColumn column, bool descending) const
{
    const bool whole = query.search.empty() && !query.any();
    const bool searchOnly = !query.search.empty() && !query.any();
    if (searchOnly && orderKept(column, descending)) {
        // The matches in the order already read: no sort of a large match set.
        const auto [condition, arg] = searchCondition(query.search);
        Statement q(db_, "SELECT rowid FROM items_search WHERE " + condition);
        q.bind(1, arg);
        std::vector<std::uint8_t> hit(order_.ids.size());
        while (q.step()) {
            const std::int64_t id = q.integer(0);
            if (id >= 0 && static_cast<std::uint64_t>(id) < order_.rank.size() && order_.rank[id] != kNoRank)
                hit[order_.rank[id]] = 1;
        }
        std::vector<std::int64_t> ids;
        for (std::size_t i = 0; i < hit.size(); ++i)
            if (hit[i]) ids.push_back(order_.ids[i]);
        return ids;
    }
    if (whole && orderKept(column, descending)) return order_.ids;
    const Stamp before = whole ? stamp() : Stamp{};
    std::vector<std::int64_t> ids = ordered(query, column, descending, 0);
    if (whole) {
        order_ = {};
        const std::int64_t top = ids.empty() ? 0 : *std::max_element(ids.begin(), ids.end());
        // Ids far beyond the count (a library mostly deleted) are not worth a table.
        if (ids.size() < kNoRank && top >= 0 && static_cast<std::uint64_t>(top) < 4 * ids.size() + 1024) {
            order_.rank.assign(static_cast<std::size_t>(top) + 1, kNoRank);
            for (std::size_t i = 0; i < ids.size(); ++i) order_.rank[ids[i]] = static_cast<std::uint32_t>(i);
            order_.ids = ids;
            order_.column = column;
            order_.descending = descending;
            order_.stamp = before;
        }
    }
    return ids;
}

std::vector<LibraryItem> PatchLibrary::items(std::span<const std::int64_t> ids) const
{
    Statement q(db_,
                "SELECT id, name, maker, model, kind, bank, number, size, format, source, added, "
                "ifnull(category, ''), favourite, ifnull(trashed, 0), (SELECT count(DISTINCT file) FROM sources "
                "WHERE item_id=items.id) FROM items WHERE id=?");
    std::vector<LibraryItem> out;
    out.reserve(ids.size());
    for (std::int64_t id : ids) {
        q.reset();
        q.bind(1, id);
        if (!q.step()) continue;
        LibraryItem it;
        it.id = q.integer(0);
        it.name = q.text(1);
        it.maker = q.text(2);
        it.model = q.text(3);
        it.kind = q.text(4);
        it.bank = q.text(5);
        it.number = static_cast<int>(q.integer(6));
        it.size = q.integer(7);
        it.format = q.text(8);
        it.source = q.text(9);
        it.added = q.integer(10);
        it.category = q.text(11);
        it.favourite = q.integer(12) != 0;
        it.trashed = q.integer(13);
        it.sources = std::max(1, static_cast<int>(q.integer(14)));
        out.push_back(std::move(it));
    }
    return out;
}

std::vector<std::string> PatchLibrary::sources(std::int64_t id) const
{
    Statement q(db_, "SELECT DISTINCT file FROM sources WHERE item_id=? ORDER BY added, file");
    q.bind(1, id);
    std::vector<std::string> out;
    while (q.step()) out.push_back(q.text(0));
    return out;
}

Bytes PatchLibrary::message(std::int64_t id, int channel) const
{
    Statement q(db_, "SELECT format, record FROM items WHERE id=?");
    q.bind(1, id);
    if (!q.step()) throw LibraryError(format("No item %lld in the library", static_cast<long long>(id)));
    const std::string fmt = q.text(0);
    const Bytes record = q.blob(1);
    if (fmt == kWholeMessage) return record;
    const PatchFormat* f = formatOf(fmt);
    // A record size of 0: the form's records differ in size.
    if (!f || !f->single || (f->recordSize != 0 && record.size() != f->recordSize))
        throw LibraryError("The library item " + std::to_string(id) + " has a record this Tolvex cannot send");
    return f->single(record, channel);
}

Bytes PatchLibrary::assembleBank(const std::string& family, std::span<const std::int64_t> ids, int channel) const
{
    if (ids.empty()) throw LibraryError("No patches were chosen for the bank");
    Statement q(db_, "SELECT format, record, name FROM items WHERE id=?");
    std::vector<Bytes> records;
    std::string fmt;
    for (std::int64_t id : ids) {
        q.reset();
        q.bind(1, id);
        if (!q.step()) throw LibraryError(format("No item %lld in the library", static_cast<long long>(id)));
        // An edit-buffer patch goes into the bank in the bank's form when it has one.
        std::string f;
        Bytes record = soundOf(q.text(0), q.blob(1), 0, 0, false, f, false);
        if (fmt.empty()) fmt = f;
        if (f != fmt)
            throw LibraryError("\"" + q.text(2) + "\" is a " + f + ", not a " + fmt +
                               ": a bank holds one kind of patch");
        records.push_back(std::move(record));
    }
    const PatchFamily* fam = nullptr;
    const PatchFormat* pf = formatOf(fmt, &fam);
    if (!pf || fam == nullptr || !equalsIgnoringCase(fam->name, family) || !pf->bank)
        throw LibraryError("The " + family + " family makes no bank of " + fmt + " items");
    if (records.size() > pf->bankCount)
        throw LibraryError(format("A bank holds %zu patches, %zu were chosen", pf->bankCount, records.size()));
    for (const Bytes& r : records)
        if (r.size() != pf->recordSize)
            throw LibraryError("A library item of " + fmt + " has a record of the wrong size");
    return pf->bank(records, channel);
}

std::vector<std::vector<std::int64_t>> PatchLibrary::duplicates(bool ignoreNames) const
{
    std::vector<std::vector<std::int64_t>> groups;
    // Items with more than one source.
    std::vector<std::int64_t> sourced;
    {
        Statement q(db_, "SELECT item_id FROM sources GROUP BY item_id HAVING count(*) > 1 ORDER BY item_id");
        while (q.step()) {
            groups.push_back({q.integer(0)});
            sourced.push_back(q.integer(0));
        }
    }
    if (ignoreNames) {
        Statement q(db_,
                    "SELECT id, fp_noname FROM items WHERE fp_noname IN (SELECT fp_noname FROM items GROUP BY "
                    "fp_noname HAVING count(*) > 1) ORDER BY fp_noname, id");
        std::vector<std::vector<std::int64_t>> sameSound;
        std::int64_t last = 0;
        bool first = true;
        while (q.step()) {
            if (first || q.integer(1) != last) sameSound.emplace_back();
            first = false;
            last = q.integer(1);
            sameSound.back().push_back(q.integer(0));
        }
        // An item in a group of its own sound is not listed twice.
        for (auto& g : sameSound) {
            for (std::int64_t id : g)
                std::erase_if(groups, [id](const auto& one) { return one.size() == 1 && one[0] == id; });
            groups.push_back(std::move(g));
        }
        std::sort(groups.begin(), groups.end());
    }
    // The trash is out of sight: its items are no duplicates to deal with.
    const std::vector<std::int64_t> trashed = trashedIds();
    if (!trashed.empty()) {
        for (auto& g : groups)
            std::erase_if(g, [&](std::int64_t id) { return std::binary_search(trashed.begin(), trashed.end(), id); });
        std::erase_if(groups, [&](const auto& g) {
            return g.empty() || (g.size() == 1 && !std::binary_search(sourced.begin(), sourced.end(), g[0]));
        });
    }
    return groups;
}

void PatchLibrary::remove(std::span<const std::int64_t> ids)
{
    mayChange();
    exec("BEGIN IMMEDIATE");
    try {
        Statement items(db_, "DELETE FROM items WHERE id=?");
        Statement search(db_, "DELETE FROM items_search WHERE rowid=?");
        Statement sources(db_, "DELETE FROM sources WHERE item_id=?");
        for (std::int64_t id : ids) {
            for (Statement* s : {&items, &search, &sources}) {
                s->reset();
                s->bind(1, id).step();
            }
        }
        // Messages no item comes from any more.
        exec("DELETE FROM messages WHERE id NOT IN (SELECT message_id FROM sources)");
        exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

namespace {

std::int64_t nowSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void PatchLibrary::guessCategories()
{
    std::vector<std::pair<std::int64_t, std::string>> found;
    {
        Statement q(db_, "SELECT id, name, format, record FROM items WHERE category IS NULL");
        while (q.step()) {
            const std::string fmt = q.text(2);
            std::string category;
            if (const PatchFormat* pf = formatOf(fmt); pf && pf->category) category = pf->category(q.blob(3));
            // A whole message's name tells what the message is ("32 voices"), not how it sounds.
            if (category.empty() && fmt != kWholeMessage) category = guessCategory(q.text(1));
            found.emplace_back(q.integer(0), std::move(category));
        }
    }
    Statement update(db_, "UPDATE items SET category=? WHERE id=?");
    for (const auto& [id, category] : found) {
        update.reset();
        update.bind(1, category).bind(2, id).step();
    }
}

std::vector<std::string> PatchLibrary::valuesOf(const char* column) const
{
    // From one value to the next along the column's index: a few steps for
    // each value, not a read of every item. (A value only the trash holds is offered too.)
    const std::string c = column;
    Statement q(db_, "WITH RECURSIVE v(x) AS (SELECT min(" + c + ") FROM items WHERE " + c +
                         " > '' UNION ALL SELECT (SELECT min(" + c + ") FROM items WHERE " + c +
                         " > v.x) FROM v WHERE v.x IS NOT NULL) SELECT x FROM v WHERE x IS NOT NULL");
    std::vector<std::string> out;
    while (q.step()) out.push_back(q.text(0));
    std::stable_sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) { return asciiLower(x) < asciiLower(y); });
    });
    return out;
}

void PatchLibrary::trash(std::span<const std::int64_t> ids)
{
    mayChange();
    inTransaction(db_, [&] {
        Statement q(db_, "UPDATE items SET trashed=? WHERE id=? AND trashed IS NULL");
        const std::int64_t now = nowSeconds();
        for (std::int64_t id : ids) {
            q.reset();
            q.bind(1, now).bind(2, id).step();
        }
    });
}

void PatchLibrary::restore(std::span<const std::int64_t> ids)
{
    mayChange();
    inTransaction(db_, [&] {
        Statement q(db_, "UPDATE items SET trashed=NULL WHERE id=?");
        for (std::int64_t id : ids) {
            q.reset();
            q.bind(1, id).step();
        }
    });
}

std::size_t PatchLibrary::emptyTrash()
{
    std::vector<std::int64_t> ids;
    Statement q(db_, "SELECT id FROM items WHERE trashed IS NOT NULL");
    while (q.step()) ids.push_back(q.integer(0));
    if (!ids.empty()) remove(ids);
    return ids.size();
}

void PatchLibrary::setFavourite(std::span<const std::int64_t> ids, bool on)
{
    mayChange();
    inTransaction(db_, [&] {
        Statement q(db_, "UPDATE items SET favourite=? WHERE id=?");
        for (std::int64_t id : ids) {
            q.reset();
            q.bind(1, std::int64_t{on ? 1 : 0}).bind(2, id).step();
        }
    });
}

void PatchLibrary::setCategory(std::span<const std::int64_t> ids, const std::string& category)
{
    mayChange();
    inTransaction(db_, [&] {
        Statement q(db_, "UPDATE items SET category=? WHERE id=?");
        for (std::int64_t id : ids) {
            q.reset();
            q.bind(1, category).bind(2, id).step();
        }
    });
}

void PatchLibrary::rename(std::int64_t id, const std::string& name)
{
    mayChange();
    Statement q(db_, "SELECT format, record, maker, model, kind FROM items WHERE id=?");
    q.bind(1, id);
    if (!q.step()) throw LibraryError(format("No item %lld in the library", static_cast<long long>(id)));
    PatchItem it;
    it.format = q.text(0);
    it.record = q.blob(1);
    it.maker = q.text(2);
    it.model = q.text(3);
    it.kind = q.text(4);
    std::string trimmed = name;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    if (trimmed.empty()) throw LibraryError("A patch needs a name");
    // Yamaha shows a backslash as a yen sign and Korg has no characters past
    // the tilde: plain ASCII is what every instrument here shows as typed.
    for (char c : trimmed)
        if (c < 0x20 || c > 0x7D || c == '\\')
            throw LibraryError("\"" + std::string(1, c) +
                               "\" does not fit in a patch name; use letters, digits, blanks and the usual signs");
    const PatchFormat* pf = it.format == kWholeMessage ? nullptr : formatOf(it.format);
    if (pf && pf->nameLength > 0) {
        if (trimmed.size() > pf->nameLength)
            throw LibraryError(format("A %s name holds at most %zu characters", it.model.c_str(), pf->nameLength));
        if (pf->nameOffset + pf->nameLength > it.record.size())
            throw LibraryError("The library item " + std::to_string(id) + " has a record too short for its name");
        // The rest is filled as the old name was: blanks, or NULs after a shorter name.
        const auto field = it.record.begin() + static_cast<long>(pf->nameOffset);
        const std::string old = patchNameText(ByteView(it.record).subspan(pf->nameOffset, pf->nameLength));
        const std::uint8_t fill = old.size() < pf->nameLength && field[static_cast<long>(old.size())] == 0 ? 0 : ' ';
        std::fill_n(field, pf->nameLength, fill);
        std::copy(trimmed.begin(), trimmed.end(), field);
        it.nameOffset = pf->nameOffset;
        it.nameLength = pf->nameLength;
    }
    it.name = trimmed;
    const SoundPrint print = soundPrint(it.format, it.record, it.nameOffset, it.nameLength);
    inTransaction(db_, [&] {
        Statement u(db_, "UPDATE items SET name=?, record=?, fp=?, fp_noname=? WHERE id=?");
        u.bind(1, it.name).bind(2, ByteView(it.record)).bind(3, print.fp).bind(4, print.fpNoName).bind(5, id).step();
        updateSearchText(id);
    });
}

std::optional<BankShape> PatchLibrary::bankShapeOf(std::int64_t id) const
{
    Statement q(db_, "SELECT format, record FROM items WHERE id=?");
    q.bind(1, id);
    if (!q.step()) return std::nullopt;
    std::string form;
    (void)soundOf(q.text(0), q.blob(1), 0, 0, false, form);
    const PatchFamily* family = nullptr;
    const PatchFormat* pf = formatOf(form, &family);
    if (!pf || !pf->bank || pf->bankCount == 0) return std::nullopt;
    return BankShape{family->name, form, pf->bankCount};
}

MergeReport PatchLibrary::merge(const std::string& otherPath)
{
    mayChange();
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::equivalent(otherPath, path_, ec)) throw LibraryError(otherPath + " is this library");
    sqlite3* other = nullptr;
    if (sqlite3_open_v2(otherPath.c_str(), &other, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const std::string why = other ? sqlite3_errmsg(other) : "out of memory";
        sqlite3_close(other);
        throw LibraryError("Cannot open " + otherPath + ": " + why);
    }
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(other, sqlite3_close);
    sqlite3_busy_handler(other, busyWait, this);
    std::int64_t appId = 0, version = 0;
    try {
        Statement a(other, "PRAGMA application_id");
        if (a.step()) appId = a.integer(0);
        Statement v(other, "PRAGMA user_version");
        if (v.step()) version = v.integer(0);
    } catch (const LibraryError&) {
        throw LibraryError(otherPath + " is not a Tolvex library");
    }
    if (appId != kApplicationId || version < 1) throw LibraryError(otherPath + " is not a Tolvex library");
    if (version > kLibrarySchemaVersion)
        throw LibraryError(otherPath + " was made by a newer Tolvex; this one cannot read it");

    // Libraries before categories and the trash have neither.
    const bool marked = version >= 5;
    Statement read(other, std::string("SELECT i.id, i.name, i.maker, i.model, i.kind, i.bank, i.number, i.format, "
                                      "i.record, i.source, i.added, ") +
                              (marked ? "i.category, i.favourite" : "NULL, 0") +
                              ", m.data FROM items i LEFT JOIN messages m ON m.id = i.message_id" +
                              (marked ? " WHERE i.trashed IS NULL" : "") + " ORDER BY i.id");
    Statement readSources(other,
                          "SELECT s.file, s.position, s.added, m.data FROM sources s JOIN messages m ON m.id = "
                          "s.message_id WHERE s.item_id=? ORDER BY s.added, s.file, s.position");
    MergeReport report;
    inTransaction(db_, [&] {
        AddBatch batch(*this);
        while (read.step()) {
            ++report.items;
            PatchItem it;
            it.name = read.text(1);
            it.maker = read.text(2);
            it.model = read.text(3);
            it.kind = read.text(4);
            it.bank = read.text(5);
            it.number = static_cast<int>(read.integer(6));
            it.format = read.text(7);
            it.record = read.blob(8);
            if (const PatchFormat* pf = it.format == kWholeMessage ? nullptr : formatOf(it.format)) {
                it.nameOffset = pf->nameOffset;
                it.nameLength = pf->nameLength;
            }
            const SoundPrint print = soundPrint(it.format, it.record, it.nameOffset, it.nameLength);
            std::int64_t itemId = itemOfSound(batch, it, print);
            const bool here = itemId != 0;
            if (here) {
                ++report.already;
            } else {
                // A library before categories leaves the category to be guessed.
                itemId =
                    storeItem(batch, it, print, read.text(9), read.integer(10), storedMessage(batch, read.blob(13)),
                              marked ? std::optional<std::string>(read.text(11)) : std::nullopt, read.integer(12) != 0);
                ++report.added;
            }
            readSources.reset();
            readSources.bind(1, read.integer(0));
            bool furtherFile = false;  // a file the item's search text does not hold yet
            while (readSources.step()) {
                furtherFile = furtherFile || here || readSources.text(0) != read.text(9);
                const auto before = sqlite3_total_changes64(db_);
                batch.insertSource.reset();
                batch.insertSource.bind(1, itemId)
                    .bind(2, readSources.text(0))
                    .bind(3, readSources.integer(1))
                    .bind(4, storedMessage(batch, readSources.blob(3)))
                    .bind(5, readSources.integer(2))
                    .step();
                if (here) report.sources += static_cast<std::size_t>(sqlite3_total_changes64(db_) - before);
            }
            if (furtherFile) updateSearchText(itemId);
        }
        guessCategories();
    });
    return report;
}

}  // namespace tolvex
