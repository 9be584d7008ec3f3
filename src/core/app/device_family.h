// SPDX-License-Identifier: GPL-3.0-or-later
// A device family as the rest of the program sees it: its pages and commands,
// the boxes it keeps between runs, its steps of naming a message, the tables
// it reads at start, and its start-up and shut-down. Each family folder
// implements one; the session holds them in its registry, so nothing of a
// family is shared between two sessions.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "core/app/dump_confirmation.h"
#include "core/app/patch_family.h"
#include "core/sysex/sx_naming.h"

namespace tolvex {

class CommandTable;
class IniFile;
class Session;

// An edit box or check box whose value the settings file keeps in its
// [Settings] section under `key`, with the text an edit box has on a first start.
struct RememberedControl {
    const char* control;
    const char* key;
    const char* firstText = "";
    bool check = false;
};

class DeviceFamily {
public:
    DeviceFamily() = default;
    DeviceFamily(const DeviceFamily&) = delete;
    DeviceFamily& operator=(const DeviceFamily&) = delete;
    virtual ~DeviceFamily() = default;

    virtual const char* name() const = 0;
    // Its pages (captions, hints, grid positions), menu entries, boxes and what
    // each command uses, each command bound to its function.
    virtual void addCommands(CommandTable&) const {}
    // The boxes it keeps in the settings file.
    virtual std::vector<RememberedControl> remembered() const { return {}; }
    // Its steps of naming a message, for this session.
    virtual void addNamers(Session&, FamilyNamers&) const {}
    // Before any window: the tables it reads from the program's table folders
    // (in their search order; a table that cannot be opened shows its error box
    // and stays empty), or the note to read them when first needed. With
    // `diagnostics` false it makes none of its diagnostic files (a command that
    // only names messages).
    virtual void startTables(Session&, const std::string& /*progpath*/, bool /*diagnostics*/) const {}
    // Its own sections of the settings file.
    virtual void readSettings(Session&, const IniFile&) const {}
    // Lines the start-up logs after the version lines (where its tables came from).
    virtual std::vector<std::string> summaries(Session&) const { return {}; }
    // What the main window loads once its log is shown (list files, legends).
    virtual void loadLists(Session&, const std::string& /*progpath*/) const {}
    // Reads the tables startTables left for later, now; false when none were pending.
    virtual bool loadDeferredTables(Session&) const { return false; }
    // The window closes.
    virtual void shutDown(Session&) const {}
    // The real dumps that show what it reads, names and writes: paths from the
    // project's top folder (tests/fixtures/..., or the family's own folder),
    // each beside its facts file. The family contract's tests read them.
    virtual std::vector<std::string> fixtures() const { return {}; }
    // Reads a dump as its commands do and writes it again as they would send
    // or save it: byte for byte the message, when nothing was lost. Nothing for
    // a message it reads but never writes; throws TolvexError with the reason
    // for one it cannot read (by default: every message).
    virtual std::optional<Bytes> roundTrip(ByteView sx) const;
    // How it splits its messages into the single sounds the patch library
    // keeps; nothing when it keeps none.
    virtual std::optional<PatchFamily> patches() const { return std::nullopt; }
    // Whether a complete message of this family proves it arrived whole: a
    // checksum of its own that holds, or exactly the length its kind has.
    // False when the family cannot tell (or the message is not its own). By
    // default: its patch split reads the message whole and proven.
    virtual bool provesWhole(ByteView sx) const;
    // How its instrument confirms this message when it is a dump the
    // instrument answers once loaded; nothing for any other message.
    virtual std::optional<DumpConfirmation> confirmation(ByteView /*sx*/) const { return std::nullopt; }
};

// The families of one session, in the order of their pages, with the naming
// steps they gave it and their working records.
class FamilyRegistry {
public:
    FamilyRegistry() = default;
    FamilyRegistry(const FamilyRegistry&) = delete;
    FamilyRegistry& operator=(const FamilyRegistry&) = delete;

    void add(std::unique_ptr<const DeviceFamily> family) { families_.push_back(std::move(family)); }
    const std::vector<std::unique_ptr<const DeviceFamily>>& all() const { return families_; }
    bool empty() const { return families_.empty(); }

    // How a front end runs a deferred table load (e.g. so that a missing
    // table's box is no failure of the command that needed the table); unset,
    // the load simply runs.
    void wrapDeferredLoads(std::function<void(const std::function<void()>& load)> wrapper)
    {
        wrapper_ = std::move(wrapper);
    }
    void runDeferredLoad(const std::function<void()>& load) const
    {
        if (wrapper_)
            wrapper_(load);
        else
            load();
    }

    // The families' steps of naming a message, for this session.
    FamilyNamers namers;

    // A device family's working records (the tables its commands fill and later
    // commands read), made on first use and kept while the session lives.
    template <class Records>
    Records& records()
    {
        std::shared_ptr<void>& slot = records_[std::type_index(typeid(Records))];
        if (!slot) slot = std::make_shared<Records>();
        return *static_cast<Records*>(slot.get());
    }

private:
    std::vector<std::unique_ptr<const DeviceFamily>> families_;
    std::function<void(const std::function<void()>& load)> wrapper_;
    std::map<std::type_index, std::shared_ptr<void>> records_;
};

// The steps every family takes at the same moment, over the session's registry.
void startFamilyTables(Session& s, const std::string& progpath, bool diagnostics = true);
// Reads what startFamilyTables left for later; false when nothing was pending.
bool loadDeferredFamilyTables(Session& s);
// Whether a message proves it arrived whole: a Roland-style checksum that
// holds, or a family's own proof (DeviceFamily::provesWhole).
bool messageProvesWhole(const FamilyRegistry& families, ByteView sx);
// How an instrument confirms a message it was sent (the first family's
// DeviceFamily::confirmation); nothing when no instrument answers it.
std::optional<DumpConfirmation> dumpConfirmation(const FamilyRegistry& families, ByteView sx);

}  // namespace tolvex
