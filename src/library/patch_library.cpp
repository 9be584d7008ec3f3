// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/patch_library.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string_view>
#include <utility>

#include "core/app/table_files.h"
#include "core/sysex/naming_tables.h"
#include "core/sysex/sx_naming.h"
#include "core/sysex/syx_file.h"
#include "core/text/text_utils.h"

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
};
static_assert(std::size(kMigrations) == kLibrarySchemaVersion);

std::string fileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string searchText(const PatchItem& it, const std::string& source)
{
    const char sep = '\x1f';
    return it.name + sep + it.maker + sep + it.model + sep + it.kind + sep + fileNameOf(source);
}

// The maker and model a whole message's header names.
void makerAndModel(ByteView sx, std::string& maker, std::string& model)
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
    if (sx[1] == 0x42 /* Korg */ && sx.size() >= 4 && (sx[2] & 0xF0) == 0x30)
        if (const KorgModel* k = KorgModelFor(sx[3])) model = k->name;
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
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
            throw LibraryError(std::string("Library error: ") + sqlite3_errmsg(db));
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
        throw LibraryError(std::string("Library error: ") + sqlite3_errmsg(db_));
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
    return {yamahaPatchFamily(), tritonPatchFamily(), kronosPatchFamily(), wavestationPatchFamily()};
}

std::vector<PatchItem> splitMessage(const std::vector<PatchFamily>& families, ByteView sx,
                                    std::vector<std::string>& problems, const FamilyNamers* namers)
{
    for (const PatchFamily& f : families) {
        auto split = f.split(sx);
        if (!split) continue;
        problems.insert(problems.end(), split->problems.begin(), split->problems.end());
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
    makerAndModel(sx, it.maker, it.model);
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

PatchLibrary::PatchLibrary(const std::string& path) : path_(path), families_(libraryFamilies())
{
    namespace fs = std::filesystem;
    const fs::path p(path);
    std::error_code ec;
    if (p.has_parent_path()) {
        fs::create_directories(p.parent_path(), ec);
        if (ec)
            throw LibraryError("Cannot create the library folder " + p.parent_path().string() + ": " + ec.message());
    }
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw LibraryError("Cannot open the library " + path + ": " + why);
    }
    sqlite3_busy_timeout(db_, 5000);
    try {
        migrate();
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

PatchLibrary::~PatchLibrary()
{
    sqlite3_close(db_);
}

void PatchLibrary::exec(const char* sql) const
{
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        const std::string why = msg ? msg : sqlite3_errmsg(db_);
        sqlite3_free(msg);
        throw LibraryError("Library error: " + why);
    }
}

void PatchLibrary::migrate()
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
    } catch (const LibraryError&) {
        throw LibraryError(path_ + " is not a Tolvex library; it was left as it is");
    }
    if (appId != kApplicationId && (appId != 0 || tables != 0 || version != 0))
        throw LibraryError(path_ + " is not a Tolvex library; it was left as it is");
    if (version > kLibrarySchemaVersion)
        throw LibraryError(
            format("%s was made by a newer Tolvex (library version %d; this Tolvex reads up to %d); it "
                   "was left as it is",
                   path_.c_str(), static_cast<int>(version), kLibrarySchemaVersion));
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
    exec("PRAGMA cache_size=-65536");  // 64 MiB: a large library's indexes stay in memory
    exec("PRAGMA mmap_size=268435456");
    exec("PRAGMA foreign_keys=ON");
    for (auto v = version; v < kLibrarySchemaVersion; ++v) {
        exec("BEGIN IMMEDIATE");
        try {
            exec(kMigrations[v]);
            if (v + 1 == 3) refingerprint();
            exec(format("PRAGMA application_id=%d; PRAGMA user_version=%d", kApplicationId, static_cast<int>(v + 1))
                     .c_str());
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
                            bool withoutName, std::string& form) const
{
    form = format;
    if (format == kWholeMessage) return messageFingerprintData(record);
    if (const PatchFormat* pf = formatOf(format); pf && pf->asSame)
        if (auto same = pf->asSame(record, withoutName)) {
            form = pf->sameAs;
            return std::move(*same);
        }
    Bytes b(record.begin(), record.end());
    if (withoutName && nameLength > 0 && nameOffset + nameLength <= b.size())
        std::fill_n(b.begin() + static_cast<long>(nameOffset), nameLength, 0);
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
                const SoundPrint print = soundPrint(pf.format, q.blob(1), 0, 0);
                if (print.form == pf.format) continue;  // not comparable: its fingerprints stay
                update.reset();
                update.bind(1, print.fp).bind(2, print.fpNoName).bind(3, q.integer(0)).step();
            }
        }
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
                     "fp_noname, source, added, message_id) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
          insertSearch(lib.db_, "INSERT INTO items_search(rowid, text) VALUES(?, ?)"),
          insertSource(lib.db_,
                       "INSERT OR IGNORE INTO sources(item_id, file, position, message_id, added) "
                       "VALUES(?,?,?,?,?)")
    {
    }
    const bool withoutNames;
    const std::int64_t now;
    Statement findMessage, insertMessage, findItem, insertItem, insertSearch, insertSource;
};

namespace {

// Runs `body` in one transaction: all of it is kept, or nothing.
template <class Body>
void inTransaction(sqlite3* db, Body&& body)
{
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw LibraryError(std::string("Library error: ") + sqlite3_errmsg(db));
    try {
        body();
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            throw LibraryError(std::string("Library error: ") + sqlite3_errmsg(db));
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace

void PatchLibrary::addMessages(const std::vector<Bytes>& messages, const std::string& source, AddReport& report)
{
    inTransaction(db_, [&] {
        AddBatch batch(*this);
        for (const Bytes& m : messages) addMessage(batch, m, source, report);
    });
}

void PatchLibrary::addMessage(AddBatch& b, ByteView sx, const std::string& source, AddReport& report)
{
    ++report.messages;
    std::vector<std::string> problems;
    const std::vector<PatchItem> items = splitMessage(families_, sx, problems, namers_);
    const std::string where = source.empty() ? std::string("received message") : source;
    for (const std::string& p : problems) report.problems.push_back(where + ": " + p);
    if (items.empty()) return;
    const std::int64_t hash = signedOf(fingerprintOf(sx));
    std::int64_t messageId = 0;
    b.findMessage.reset();
    b.findMessage.bind(1, hash);
    while (b.findMessage.step())
        if (b.findMessage.blobEquals(1, sx)) {
            messageId = b.findMessage.integer(0);
            break;
        }
    if (messageId == 0) {
        b.insertMessage.reset();
        b.insertMessage.bind(1, hash).bind(2, sx).step();
        messageId = sqlite3_last_insert_rowid(db_);
    }

    for (std::size_t i = 0; i < items.size(); ++i) {
        const PatchItem& it = items[i];
        const SoundPrint print = soundPrint(it.format, it.record, it.nameOffset, it.nameLength);
        const Bytes& wanted = b.withoutNames ? print.noName : print.data;
        // The fingerprint finds the candidates; the data decide.
        std::int64_t itemId = 0;
        b.findItem.reset();
        b.findItem.bind(1, b.withoutNames ? print.fpNoName : print.fp);
        while (b.findItem.step()) {
            std::string form;
            const Bytes other =
                soundOf(b.findItem.text(2), b.findItem.blob(1), it.nameOffset, it.nameLength, b.withoutNames, form);
            if (form == print.form && other == wanted) {
                itemId = b.findItem.integer(0);
                break;
            }
        }
        if (itemId != 0) {
            ++report.duplicates;
        } else {
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
                .bind(13, b.now)
                .bind(14, messageId)
                .step();
            itemId = sqlite3_last_insert_rowid(db_);
            b.insertSearch.reset();
            b.insertSearch.bind(1, itemId).bind(2, searchText(it, source)).step();
            ++report.added;
        }
        b.insertSource.reset();
        b.insertSource.bind(1, itemId)
            .bind(2, source)
            .bind(3, static_cast<std::int64_t>(i))
            .bind(4, messageId)
            .bind(5, b.now)
            .step();
    }
}

namespace {
// Thrown out of a transaction when the user asked to stop: it is rolled back.
struct AddStopped {};
}  // namespace

void PatchLibrary::addFileTo(AddBatch& batch, const std::string& path, AddReport& report,
                             const std::function<bool()>& stop)
{
    SyxParse parsed;
    std::vector<Bytes> messages;
    try {
        parsed = readSyxFile(path, [&](Bytes&& m) {
            if (stop && stop()) throw AddStopped{};
            messages.push_back(std::move(m));
        });
        parsed.messages = std::move(messages);
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
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    const std::string source = ec ? path : absolute.lexically_normal().string();
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
    constexpr std::size_t kFilesPerTransaction = 250;
    for (std::size_t from = 0; from < paths.size(); from += kFilesPerTransaction) {
        const std::size_t to = std::min(paths.size(), from + kFilesPerTransaction);
        // A failed or stopped transaction leaves the report as it was before it.
        AddReport part = report;
        try {
            inTransaction(db_, [&] {
                AddBatch batch(*this);
                for (std::size_t i = from; i < to; ++i) addFileTo(batch, paths[i], part, stop);
            });
        } catch (const AddStopped&) {
            report.stopped = true;
            return;
        }
        report = std::move(part);
        report.files = to;
        if (progress) progress(to);
    }
}

std::int64_t PatchLibrary::count() const
{
    Statement q(db_, "SELECT count(*) FROM items");
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
    const bool searchOnly = !query.search.empty() && query.maker.empty() && query.kind.empty();
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
    const bool whole = query.search.empty() && query.maker.empty() && query.kind.empty();
    const char* dir = descending ? " DESC" : "";
    const std::string limitText = limit > 0 ? " LIMIT " + std::to_string(limit) : std::string();
    std::vector<std::int64_t> ids;
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
            if (limit == 0 || ids.size() < limit) {
                const std::size_t rest = limit == 0 ? 0 : limit - ids.size();
                read((descending ? named : nameless) + (rest > 0 ? " LIMIT " + std::to_string(rest) : std::string()),
                     {});
            }
            exec("COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        if (limit > 0 && ids.size() > limit) ids.resize(limit);
        return ids;
    }
    // With a search the matches come from the search index first and only they
    // are ordered; reading the whole table in order and testing each row is slower.
    std::string sql = query.search.empty() ? "SELECT id FROM items"
                                           : "SELECT items.id FROM items_search CROSS JOIN items ON items.id = "
                                             "items_search.rowid";
    std::vector<std::string> where;
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
    }
    read(sql + limitText, args);
    return ids;
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
    const bool whole = query.search.empty() && query.maker.empty() && query.kind.empty();
    const bool searchOnly = !query.search.empty() && query.maker.empty() && query.kind.empty();
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
                "SELECT id, name, maker, model, kind, bank, number, size, format, source, added FROM items "
                "WHERE id=?");
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
    if (!f || !f->single || record.size() != f->recordSize)
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
        Bytes record = soundOf(q.text(0), q.blob(1), 0, 0, false, f);
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
    {
        Statement q(db_, "SELECT item_id FROM sources GROUP BY item_id HAVING count(*) > 1 ORDER BY item_id");
        while (q.step()) groups.push_back({q.integer(0)});
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
    return groups;
}

void PatchLibrary::remove(std::span<const std::int64_t> ids)
{
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

}  // namespace tolvex
