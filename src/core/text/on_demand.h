// SPDX-License-Identifier: GPL-3.0-or-later
// A shared library opened when the program first needs it instead of at
// start-up. Each *_on_demand.cpp lists the library's functions it uses as
// X(ret, name, params, args) entries and gets from here a table of pointers of
// the library's own declared types, looked up all at once on first use (so a
// real-time thread never waits on a lookup), and forwarders of the library's
// names that call through it.
#pragma once

#include <dlfcn.h>

namespace tolvex {

// Opened for the rest of the process (the library's own threads may outlive
// any closing); null when the library is not installed.
inline void* openOnDemand(const char* soname)
{
    return dlopen(soname, RTLD_NOW | RTLD_LOCAL);
}

template <class F>
bool findOnDemand(void* lib, F& slot, const char* name)
{
    slot = reinterpret_cast<F>(dlsym(lib, name));
    return slot != nullptr;
}

}  // namespace tolvex

#define TOLVEX_ON_DEMAND_FIELD(ret, name, params, args) decltype(&::name) name = nullptr;
#define TOLVEX_ON_DEMAND_FIND(ret, name, params, args) all = ::tolvex::findOnDemand(lib, table.name, #name) && all;

// struct TABLE with a pointer for each function of FUNCTIONS and OWN (those the
// file forwards by hand) and `complete` when all were found, and
// `const TABLE& ACCESSOR()` that loads it on first call.
#define TOLVEX_ON_DEMAND_LIBRARY(TABLE, ACCESSOR, SONAME, FUNCTIONS, OWN) \
    struct TABLE {                                                        \
        FUNCTIONS(TOLVEX_ON_DEMAND_FIELD)                                 \
        OWN(TOLVEX_ON_DEMAND_FIELD)                                       \
        bool complete = false;                                            \
    };                                                                    \
    const TABLE& ACCESSOR()                                               \
    {                                                                     \
        static const TABLE loaded = [] {                                  \
            TABLE table;                                                  \
            void* lib = ::tolvex::openOnDemand(SONAME);                   \
            if (lib == nullptr) return table;                             \
            bool all = true;                                              \
            FUNCTIONS(TOLVEX_ON_DEMAND_FIND)                              \
            OWN(TOLVEX_ON_DEMAND_FIND)                                    \
            table.complete = all;                                         \
            return table;                                                 \
        }();                                                              \
        return loaded;                                                    \
    }

// A function of the library's name and signature that calls through ACCESSOR().
#define TOLVEX_ON_DEMAND_FORWARD(ACCESSOR, ret, name, params, args) \
    ret name params                                                 \
    {                                                               \
        return ACCESSOR().name args;                                \
    }
