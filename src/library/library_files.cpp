// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/library_files.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/text/text_utils.h"

namespace tolvex {

namespace {

// Patch files of real collections are a few kilobytes to a few hundred;
// larger files are read piece by piece as Open reads them.
constexpr std::uintmax_t kWholeFileBytes = 1u << 20;

Bytes readWhole(const std::string& path, std::uintmax_t size)
{
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    const std::unique_ptr<std::FILE, Closer> in(std::fopen(path.c_str(), "rb"));
    if (!in) throw TolvexError("Cannot open file " + path);
    Bytes data(static_cast<std::size_t>(size) + 1);
    const std::size_t got = std::fread(data.data(), 1, data.size(), in.get());
    if (std::ferror(in.get())) throw TolvexError("Cannot read file " + path);
    data.resize(got);
    return data;
}

SyxParse split(ByteView data)
{
    SyxSplitter splitter;
    splitter.feed(data);
    return splitter.finish();
}

// Whether a family reads the message whole and proven.
bool provenPatches(const std::vector<PatchFamily>& families, ByteView sx)
{
    for (const PatchFamily& f : families)
        if (splitProvesWhole(f, sx)) return true;
    return false;
}

}  // namespace

LibraryFileRead readLibraryFile(const std::string& path, const std::vector<PatchFamily>& families,
                                const SyxSplitter::Sink& sink)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kWholeFileBytes) return {readSyxFile(path, sink), {}};
    const Bytes data = readWhole(path, size);

    LibraryFileRead out;
    std::optional<std::vector<Bytes>> read;
    for (const PatchFamily& f : families)
        if (f.readFile && (read = f.readFile(data, out.notes))) break;
    if (read) {
        out.parse.messages = std::move(*read);
        for (const Bytes& m : out.parse.messages)
            if (m.empty() || m.back() != 0xF7) ++out.parse.withoutEndByte;
    } else {
        out.parse = split(data);
        // A header (an editor's file name, a date) longer than Open allows,
        // before a dump that proves itself whole.
        if (out.parse.status == SyxParse::Status::TooManyLeadingBytes) {
            for (std::size_t at = 0; at < data.size(); ++at) {
                if (data[at] != 0xF0) continue;
                SyxParse rest = split(ByteView(data).subspan(at));
                if (!rest.messages.empty() && provenPatches(families, rest.messages.front())) {
                    out.parse = std::move(rest);
                    out.notes.push_back(format("%zu bytes before the first message left out (not SysEx)", at));
                }
                break;
            }
        }
    }
    if (out.parse.status == SyxParse::Status::Ok && sink)
        for (Bytes& m : out.parse.messages) sink(std::move(m));
    if (sink) out.parse.messages.clear();
    return out;
}

}  // namespace tolvex
