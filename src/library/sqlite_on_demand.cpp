// SPDX-License-Identifier: GPL-3.0-or-later
// SQLite is opened when the patch library is first opened, not when the
// program starts: commands that never touch the library never load it. The
// declarations come from SQLite's own header, so a definition here that does
// not match its declaration does not compile.
#include <sqlite3.h>

#include "core/text/on_demand.h"

// clang-format off
#define TOLVEX_SQLITE_FUNCTIONS(X) \
    X(int, sqlite3_bind_blob, (sqlite3_stmt* s, int i, const void* v, int n, void (*d)(void*)), (s, i, v, n, d)) \
    X(int, sqlite3_bind_int64, (sqlite3_stmt* s, int i, sqlite3_int64 v), (s, i, v)) \
    X(int, sqlite3_bind_text, (sqlite3_stmt* s, int i, const char* v, int n, void (*d)(void*)), (s, i, v, n, d)) \
    X(int, sqlite3_busy_handler, (sqlite3* db, int (*f)(void*, int), void* a), (db, f, a)) \
    X(int, sqlite3_clear_bindings, (sqlite3_stmt* s), (s)) \
    X(const void*, sqlite3_column_blob, (sqlite3_stmt* s, int i), (s, i)) \
    X(int, sqlite3_column_bytes, (sqlite3_stmt* s, int i), (s, i)) \
    X(sqlite3_int64, sqlite3_column_int64, (sqlite3_stmt* s, int i), (s, i)) \
    X(const unsigned char*, sqlite3_column_text, (sqlite3_stmt* s, int i), (s, i)) \
    X(int, sqlite3_errcode, (sqlite3* db), (db)) \
    X(int, sqlite3_exec, (sqlite3* db, const char* q, int (*f)(void*, int, char**, char**), void* a, char** e), (db, q, f, a, e)) \
    X(int, sqlite3_finalize, (sqlite3_stmt* s), (s)) \
    X(void, sqlite3_interrupt, (sqlite3* db), (db)) \
    X(sqlite3_int64, sqlite3_last_insert_rowid, (sqlite3* db), (db)) \
    X(int, sqlite3_prepare_v2, (sqlite3* db, const char* q, int n, sqlite3_stmt** s, const char** t), (db, q, n, s, t)) \
    X(int, sqlite3_reset, (sqlite3_stmt* s), (s)) \
    X(int, sqlite3_step, (sqlite3_stmt* s), (s)) \
    X(sqlite3_int64, sqlite3_total_changes64, (sqlite3* db), (db))
// clang-format on

// clang-format off
#define TOLVEX_SQLITE_OWN(X) X(, sqlite3_open_v2, , ) X(, sqlite3_close, , ) X(, sqlite3_errmsg, , ) X(, sqlite3_free, , )
// clang-format on

namespace {

// Opened once, on the first call that needs it, and never closed.
TOLVEX_ON_DEMAND_LIBRARY(Sqlite, sqlite, "libsqlite3.so.0", TOLVEX_SQLITE_FUNCTIONS, TOLVEX_SQLITE_OWN)

}  // namespace

extern "C" {

// Without the library no database opens, and the library's error text says why;
// closing or freeing what was never opened is harmless, as with SQLite itself.
int sqlite3_open_v2(const char* filename, sqlite3** db, int flags, const char* vfs)
{
    if (!sqlite().complete) {
        if (db) *db = nullptr;
        return SQLITE_CANTOPEN;
    }
    return sqlite().sqlite3_open_v2(filename, db, flags, vfs);
}

const char* sqlite3_errmsg(sqlite3* db)
{
    return sqlite().complete ? sqlite().sqlite3_errmsg(db) : "libsqlite3.so.0 cannot be loaded";
}

int sqlite3_close(sqlite3* db)
{
    return sqlite().complete ? sqlite().sqlite3_close(db) : SQLITE_OK;
}

void sqlite3_free(void* p)
{
    if (sqlite().complete) sqlite().sqlite3_free(p);
}

#define TOLVEX_FORWARD(ret, name, params, args) TOLVEX_ON_DEMAND_FORWARD(sqlite, ret, name, params, args)
TOLVEX_SQLITE_FUNCTIONS(TOLVEX_FORWARD)
#undef TOLVEX_FORWARD

}  // extern "C"
