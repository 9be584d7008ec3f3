// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/command_table.h"

#include <algorithm>

#include "core/text/bytes.h"
#include "core/text/text_utils.h"

namespace tolvex {

namespace {

std::size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string plainCaption(const std::string& caption)
{
    std::string out;
    for (char c : caption)
        if (c != '&') out += c;
    return out;
}

void CommandTable::add(Command command)
{
    if (std::any_of(commands_.begin(), commands_.end(), [&](const Command& c) { return c.control == command.control; }))
        throw TolvexError("Command " + command.control + " is registered twice");
    commands_.push_back(std::move(command));
}

void CommandTable::addPage(Page page, std::vector<Command> commands, std::vector<Field> fields)
{
    for (Command& c : commands) {
        c.place = page.title;
        add(std::move(c));
    }
    for (Field& f : fields) {
        f.place = page.title;
        addField(std::move(f));
    }
    pages_.push_back(std::move(page));
}

void CommandTable::placeField(const std::string& control, const std::string& page, int row, int column)
{
    for (Field& f : fields_) {
        if (f.control != control) continue;
        f.place = page;
        f.row = row;
        f.column = column;
        return;
    }
    throw TolvexError("no field " + control + " to place on " + page);
}

void CommandTable::bind(const std::string& control, std::function<void(Session&)> run)
{
    for (Command& c : commands_)
        if (c.control == control) {
            if (c.run) throw TolvexError("Command " + control + " is registered twice");
            c.run = std::move(run);
            return;
        }
    throw TolvexError("No control named " + control + " to give a command");
}

namespace {

// The entry whose control is `name`; without one, every entry whose caption matches.
template <class Entry, class CaptionMatches>
std::vector<const Entry*> byControlOrCaption(const std::vector<Entry>& entries, const std::string& name,
                                             CaptionMatches captionMatches)
{
    for (const Entry& e : entries)
        if (equalsIgnoringCase(e.control, name)) return {&e};
    std::vector<const Entry*> out;
    for (const Entry& e : entries)
        if (captionMatches(e)) out.push_back(&e);
    return out;
}

}  // namespace

const Command* CommandTable::find(const std::string& name) const
{
    const auto all = findAll(name);
    return all.empty() ? nullptr : all.front();
}

std::vector<const Command*> CommandTable::findAll(const std::string& name) const
{
    return byControlOrCaption(commands_, name, [&](const Command& c) {
        return equalsIgnoringCase(plainCaption(c.caption), plainCaption(name));
    });
}

std::vector<const Field*> CommandTable::findFields(const std::string& name) const
{
    return byControlOrCaption(
        fields_, name, [&](const Field& f) { return !f.caption.empty() && equalsIgnoringCase(f.caption, name); });
}

const CommandUse* CommandTable::useOf(const std::string& control) const
{
    for (const Command& c : commands_)
        if (c.control == control) return c.use.empty() ? nullptr : &c.use;
    return nullptr;
}

std::string CommandTable::hintOf(const std::string& control) const
{
    for (const auto& [name, hint] : hints())
        if (name == control) return hint;
    return {};
}

std::vector<std::pair<std::string, std::string>> CommandTable::hints() const
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const Command& c : commands_)
        if (!c.hint.empty()) out.emplace_back(c.control, c.hint);
    for (const Field& f : fields_)
        if (!f.hint.empty()) out.emplace_back(f.control, f.hint);
    out.insert(out.end(), hints_.begin(), hints_.end());
    return out;
}

std::vector<const Command*> CommandTable::on(const std::string& window, const std::string& place) const
{
    std::vector<const Command*> out;
    for (const Command& c : commands_)
        if (c.window == window && c.place == place) out.push_back(&c);
    return out;
}

std::vector<std::string> CommandTable::closeNames(const std::string& name, std::size_t most) const
{
    std::vector<std::pair<std::size_t, std::string>> scored;
    const std::string wanted = lowerCase(plainCaption(name));
    std::vector<std::string> names;
    for (const Command& c : commands_) {
        names.push_back(c.control);
        names.push_back(plainCaption(c.caption));
    }
    for (const Field& f : fields_) {
        names.push_back(f.control);
        if (!f.caption.empty()) names.push_back(f.caption);
    }
    for (const std::string& known : names) {
        const std::string k = lowerCase(known);
        // A name that contains what was typed is as close as a one-letter slip.
        const std::size_t d = k.find(wanted) != std::string::npos ? 1 : editDistance(wanted, k);
        if (std::none_of(scored.begin(), scored.end(), [&](const auto& s) { return s.second == known; }))
            scored.emplace_back(d, known);
    }
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (const auto& [d, known] : scored) {
        if (out.size() == most || d > std::max<std::size_t>(3, wanted.size() / 2)) break;
        out.push_back(known);
    }
    return out;
}

}  // namespace tolvex
