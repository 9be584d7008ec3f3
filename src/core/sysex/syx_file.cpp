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
            out_.messages.emplace_back();
        }
        // Up to the end byte (a byte with the high bit set) or the end of this piece.
        std::size_t j = inMessage_ ? i : i + 1;
        while (j < n && !(chunk[j] & 0x80)) ++j;
        Bytes& m = out_.messages.back();
        const bool ends = j < n && chunk[j] != 0xF0;  // an F0 starts the next message instead
        // Exact size, so a list of thousands of dumps holds no spare capacity.
        m.reserve(m.size() + (j - i) + (ends ? 1 : 0));
        m.insert(m.end(), at(i), at(ends ? j + 1 : j));
        if (ends && chunk[j] != 0xF7) ++out_.withoutEndByte;
        if (j < n && !ends) ++out_.withoutEndByte;  // cut short by the next message's F0
        inMessage_ = j == n;
        i = ends ? j + 1 : j;
    }
}

SyxParse SyxSplitter::finish()
{
    if (inMessage_) ++out_.withoutEndByte;  // cut off by the end of the file
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

SyxParse readSyxFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TolvexError("Cannot open file " + path);
    SyxSplitter splitter;
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
