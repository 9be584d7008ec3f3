// SPDX-License-Identifier: GPL-3.0-or-later
// A fresh folder under the system temp folder, removed with the object.
#pragma once

#include <unistd.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex::testing {

// A file of tests/fixtures by its name there ("yamaha/dx7-rom1a.syx").
inline std::string fixture(const std::string& name)
{
    return std::string(TOLVEX_FIXTURES_DIR) + "/" + name;
}

class TempDir {
public:
    TempDir()
    {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("tolvex-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, ending in '/'.
    std::string str() const { return path_.string() + "/"; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    std::string write(const std::string& name, const std::string& content) const
    {
        std::ofstream(file(name), std::ios::binary) << content;
        return file(name);
    }
    std::string write(const std::string& name, const Bytes& content) const
    {
        return write(name, std::string(content.begin(), content.end()));
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(file(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path path_;
};

// Changes the current folder for its lifetime (commands write reports there);
// an empty name leaves it.
struct InFolder {
    explicit InFolder(const std::string& folder) : previous(std::filesystem::current_path())
    {
        if (!folder.empty()) std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(previous); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;
    std::filesystem::path previous;
};

// The lines of a report, each of which must end in CR LF (a line without
// one comes back as "no CR LF: " and the rest).
inline std::vector<std::string> crlfLines(const std::string& text)
{
    std::vector<std::string> out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) return {"no CR LF: " + text.substr(at)};
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

}  // namespace tolvex::testing
