// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sysex/syx_file.h"

#include <fstream>

#include "core/text/atomic_file.h"

namespace tolvex {

void SyxSplitter::feed(ByteView chunk)
{
    if (out_.status == SyxParse::Status::TooManyLeadingBytes) return;
    const auto at = [&chunk](std::size_t k) { return chunk.begin() + static_cast<std::ptrdiff_t>(k); };
    std::size_t i = 0;
    const std::size_t n = chunk.size();
    while (i < n) {
        if (!inMessage_) {
            // Between messages: skip to the next F0.
            while (i < n && chunk[i] != 0xF0) {
                ++i;
                if (!started_ && ++leading_ >= 100) {
                    out_.status = SyxParse::Status::TooManyLeadingBytes;
                    out_.messages.clear();
                    return;
                }
            }
            if (i == n) break;
            started_ = true;
            current_.clear();
        }
        // Up to the end byte (a byte with the high bit set) or the end of this piece.
        std::size_t j = inMessage_ ? i : i + 1;
        while (j < n && !(chunk[j] & 0x80)) ++j;
        const bool ends = j < n && chunk[j] != 0xF0;  // an F0 starts the next message instead
        // A message within one piece gets exactly its size; one that spans
        // pieces grows geometrically, so a single long message costs linear time.
        current_.insert(current_.end(), at(i), at(ends ? j + 1 : j));
        if (ends && chunk[j] != 0xF7) ++out_.withoutEndByte;
        if (j < n && !ends) ++out_.withoutEndByte;  // cut short by the next message's F0
        inMessage_ = j == n;
        if (!inMessage_) complete();
        i = ends ? j + 1 : j;
    }
}

void SyxSplitter::complete()
{
    if (sink_) {
        sink_(std::move(current_));
    } else {
        // A list of thousands of dumps keeps no spare capacity; one copy at the end stays linear.
        if (current_.capacity() - current_.size() > current_.size() / 8) current_.shrink_to_fit();
        out_.messages.push_back(std::move(current_));
    }
    current_ = Bytes();
}

SyxParse SyxSplitter::finish()
{
    if (inMessage_) {
        ++out_.withoutEndByte;  // cut off by the end of the file
        complete();
    }
    inMessage_ = false;
    if (out_.status == SyxParse::Status::Ok && !started_) out_.status = SyxParse::Status::NoMessages;
    return std::move(out_);
}

SyxParse parseSyx(ByteView data)
{
    SyxSplitter splitter;
    splitter.feed(data);
    return splitter.finish();
}

SyxParse readSyxFile(const std::string& path, SyxSplitter::Sink sink)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TolvexError("Cannot open file " + path);
    SyxSplitter splitter(std::move(sink));
    std::vector<char> chunk(256 * 1024);
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        splitter.feed(ByteView(reinterpret_cast<const std::uint8_t*>(chunk.data()), static_cast<std::size_t>(got)));
    }
    if (in.bad()) throw TolvexError("Cannot read file " + path);
    return splitter.finish();
}

void writeSyxFile(const std::string& path, const std::vector<ByteView>& messages)
{
    // Both texts name the target, which is what the user chose.
    writeFileReplacing(
        path,
        [&](std::ostream& out) {
            for (ByteView m : messages)
                out.write(reinterpret_cast<const char*>(m.data()), static_cast<std::streamsize>(m.size()));
        },
        "Cannot create file " + path, "Cannot write file " + path);
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace tolvex
