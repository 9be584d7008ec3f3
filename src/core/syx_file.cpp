#include "core/syx_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace tolvex {

SyxParse parseSyx(ByteView data)
{
    SyxParse out;
    const std::size_t n = data.size();
    std::size_t pos = 0;
    while (pos < n && data[pos] != 0xF0) ++pos;
    if (pos >= 100) {
        out.status = SyxParse::Status::TooManyLeadingBytes;
        return out;
    }
    if (pos == n) {
        out.status = SyxParse::Status::NoMessages;
        return out;
    }
    while (pos < n) {
        // data[pos] is an F0.
        std::size_t end = pos + 1;
        bool ended = false;
        while (end < n) {
            const std::uint8_t b = data[end];
            if (b == 0xF0) break;  // the next message starts; this one lacks its end byte
            ++end;
            if (b & 0x80) {
                ended = true;
                break;
            }
        }
        out.messages.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(pos),
                                  data.begin() + static_cast<std::ptrdiff_t>(end));
        if (!ended || data[end - 1] != 0xF7) ++out.withoutEndByte;
        pos = end;
        while (pos < n && data[pos] != 0xF0) ++pos;
    }
    return out;
}

Bytes readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TolvexError("Cannot open file " + path);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) throw TolvexError("Cannot read file " + path);
    in.seekg(0, std::ios::beg);
    Bytes data(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(data.data()), size))
        throw TolvexError("Cannot read file " + path);
    return data;
}

void writeSyxFile(const std::string& path, const std::vector<ByteView>& messages)
{
    const std::string temp = path + ".tolvex-tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw TolvexError("Cannot create file " + path);
        for (ByteView m : messages) out.write(reinterpret_cast<const char*>(m.data()), static_cast<std::streamsize>(m.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            throw TolvexError("Cannot write file " + path);
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::remove(temp.c_str());
        throw TolvexError("Cannot write file " + path);
    }
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace tolvex
