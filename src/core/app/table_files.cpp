// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/table_files.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include "core/app/session.h"

namespace tolvex {

namespace {

std::string withSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

std::string userSettingsFolder()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return withSlash(xdg) + "tolvex/";
    if (const char* home = std::getenv("HOME"); home && *home) return withSlash(home) + ".config/tolvex/";
    return {};
}

bool installedLayout(const std::string& progpath)
{
    std::error_code ec;
    const std::string prog = withSlash(progpath.empty() ? std::string("./") : progpath);
    return std::filesystem::is_directory(prog + "../share/tolvex", ec);
}

bool portableCopy(const std::string& progpath)
{
    const std::string prog = withSlash(progpath.empty() ? std::string("./") : progpath);
    return !installedLayout(prog) && ::access(prog.c_str(), W_OK) == 0;
}

std::string settingsFolder(const std::string& progpath)
{
    const std::string prog = withSlash(progpath.empty() ? std::string("./") : progpath);
    if (portableCopy(prog)) return prog;
    const std::string user = userSettingsFolder();
    if (user.empty()) return prog;
    std::error_code ec;
    std::filesystem::create_directories(user, ec);
    return user;
}

std::string settingsProblem(const std::string& folder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!ec && !std::filesystem::is_directory(folder, ec)) ec = std::make_error_code(std::errc::not_a_directory);
    if (!ec && ::access(folder.c_str(), W_OK) != 0) ec = std::error_code(errno, std::generic_category());
    if (!ec) return {};
    return "Settings cannot be saved: " + folder + ": " + ec.message();
}

std::string diagnosticsFolder(const std::string& progpath)
{
    if (portableCopy(progpath)) return {};
    std::string folder;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg)
        folder = withSlash(xdg) + "tolvex/";
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = withSlash(home) + ".local/state/tolvex/";
    else
        return {};
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return ec || ::access(folder.c_str(), W_OK) != 0 ? std::string() : folder;
}

std::vector<std::string> tableFolders(const std::string& progpath)
{
    std::vector<std::string> folders;
    if (std::string user = userSettingsFolder(); !user.empty()) folders.push_back(std::move(user));
    const std::string prog = withSlash(progpath.empty() ? std::string("./") : progpath);
    folders.push_back(prog);
    folders.push_back(withSlash(std::filesystem::path(prog + "../share/tolvex/").lexically_normal().string()));
    return folders;
}

std::optional<std::string> findTableFile(const std::string& name, const std::vector<std::string>& folders)
{
    for (const std::string& folder : folders) {
        std::error_code ec;
        const std::string path = withSlash(folder) + name;
        if (std::filesystem::is_regular_file(path, ec)) return path;
    }
    return std::nullopt;
}

std::string inCurrentFolder(const std::string& name)
{
    std::error_code ec;
    const auto here = std::filesystem::current_path(ec);
    return ec ? name : (here / name).string();
}

std::ifstream openTableFile(Session& s, const char* name, const std::string& progpath, std::string& path,
                            std::vector<std::string>& log)
{
    const auto found = findTableFile(name, tableFolders(progpath));
    std::ifstream in;
    if (found) in.open(*found, std::ios::binary);
    if (!in.is_open()) {
        // The program folder is where a table belongs; name it, also when other folders were searched too.
        path = found ? *found : withSlash(progpath.empty() ? std::string(".") : progpath) + name;
        const std::string text = "Cannot open table file \"" + path + "\" - table left empty";
        s.shell.messageBox("Error", text, MsgIcon::Error);
        log.push_back(text);
        in.setstate(std::ios::failbit);  // tests false, as a stream that failed to open does
        return in;
    }
    path = *found;
    return in;
}

std::string tableReadLine(const char* name, const std::string& path, const TableLoad& load)
{
    const std::string folder = std::filesystem::path(path).parent_path().string() + "/";
    std::string line = format("Read %s from %s: %zu rows", name, folder.c_str(), load.rows);
    if (load.duplicatesDropped > 0) line += format(", %zu duplicate lines dropped", load.duplicatesDropped);
    if (!load.refused.empty()) line += format(", %zu rows skipped", load.refused.size());
    return line;
}

}  // namespace tolvex
