#include "core/text/atomic_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/text/bytes.h"

namespace tolvex {

void writeFileReplacing(const std::string& path, const std::function<void(std::ostream&)>& write,
                        const std::string& createError, const std::string& writeError)
{
    const std::string temp = path + ".tolvex-tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw TolvexError(createError);
        write(out);
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            throw TolvexError(writeError);
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::remove(temp.c_str());
        throw TolvexError(writeError);
    }
}

}  // namespace tolvex
