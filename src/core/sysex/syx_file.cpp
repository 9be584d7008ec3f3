// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sysex/syx_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>

#include "core/text/atomic_file.h"

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tolvex {

namespace {

// Asks for huge pages for a large buffer not yet written to (a hint only):
// a message of many megabytes is then faulted in a few hundred pieces, not
// in thousands.
void adviseHugePages([[maybe_unused]] std::uint8_t* data, [[maybe_unused]] std::size_t size)
{
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(page - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#endif
}

}  // namespace

void SyxSplitter::feed(ByteView chunk)
{
    if (out_.status == SyxParse::Status::TooManyLeadingBytes) return;
    fed_ += chunk.size();
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
        // Eight data bytes at a time while none has the high bit set.
        for (std::uint64_t word = 0; j + 8 <= n; j += 8) {
            std::memcpy(&word, chunk.data() + j, 8);
            if (word & 0x8080808080808080u) break;
        }
        while (j < n && !(chunk[j] & 0x80)) ++j;
        if (j < n && chunk[j] >= 0xF8) {
            // A real-time byte inside the message: keep what came before it, skip it.
            current_.insert(current_.end(), at(i), at(j));
            ++out_.realTimeBytes;
            inMessage_ = true;
            i = j + 1;
            continue;
        }
        const bool ends = j < n && chunk[j] != 0xF0;  // an F0 starts the next message instead
        // A message within one piece gets exactly its size. One that fills
        // most of a piece and goes on into the next gets room for the rest of
        // the input when its size is known (up to kMostRoom, so a huge file
        // never asks for all its size at once); beyond that, and for a short
        // one that merely straddles two pieces, it grows geometrically, so a
        // single long message costs linear time.
        if (j == n && !inMessage_ && expected_ > fed_ && (j - i) >= n / 2) {
            constexpr std::uintmax_t kMostRoom = 256u << 20;
            current_.reserve(static_cast<std::size_t>(std::min((j - i) + (expected_ - fed_), kMostRoom)));
            adviseHugePages(current_.data(), current_.capacity());
        }
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
    // A list of thousands of dumps keeps no spare capacity (nor the room a
    // message was given for the rest of the input); one copy at the end stays linear.
    if (current_.capacity() - current_.size() > current_.size() / 8) current_.shrink_to_fit();
    if (sink_)
        sink_(std::move(current_));
    else
        out_.messages.push_back(std::move(current_));
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

namespace {

// A file of many megabytes becomes as many megabytes of messages on the heap.
// Faulting that in 4 KiB at a time costs more than reading the file, so the
// heap grows in large steps and each new stretch is marked for huge pages
// (a hint only: where the system declines, nothing changes).
class HeapGrowthAdvice {
public:
    explicit HeapGrowthAdvice(std::uintmax_t fileSize)
    {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
        if (fileSize < kLarge) return;
        static const bool padded = mallopt(M_TOP_PAD, static_cast<int>(kLarge)) == 1;
        active_ = padded;
        advised_ = currentBreak();
        // The messages take the file's size; with their list entries, dumps
        // of a few hundred bytes take about a third more.
        if (active_) growAhead(fileSize + fileSize / 2);
#else
        (void)fileSize;
#endif
    }

    // Back to the usual limits: large blocks from their own mappings again,
    // and room still unused at the top given back at the next free.
    ~HeapGrowthAdvice()
    {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
        if (!grown_) return;
        mallopt(M_MMAP_THRESHOLD, kUsualThreshold);
        mallopt(M_TRIM_THRESHOLD, kUsualThreshold);
#endif
    }
    HeapGrowthAdvice(const HeapGrowthAdvice&) = delete;
    HeapGrowthAdvice& operator=(const HeapGrowthAdvice&) = delete;

    // Call after each piece: marks what the heap grew by since.
    void update()
    {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
        if (!active_) return;
        const std::uintptr_t end = currentBreak();
        if (end <= advised_) return;
        const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        const std::uintptr_t start = advised_ & ~(page - 1);
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
        advised_ = end;
#endif
    }

private:
    static constexpr std::uintmax_t kLarge = 16u << 20;
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    // Grows the heap by about `bytes` in one step and marks the new stretch
    // before anything is written to it (a stretch written to first is faulted
    // in 4 KiB pages, each far dearer than a huge page's share): one
    // allocation larger than all the free room, with the top padding raised
    // for it, freed again at once. Room left unused is never touched, so it
    // costs address space only.
    void growAhead(std::uintmax_t bytes)
    {
        const std::size_t freeRoom = mallinfo2().fordblks;  // a larger block fits nowhere but at a new top
        if (freeRoom >= bytes || freeRoom + kLarge > static_cast<std::size_t>(kMostInOneAllocation)) return;
        if (mallopt(M_MMAP_THRESHOLD, kMostInOneAllocation) != 1) return;
        const int room = static_cast<int>(std::min<std::uintmax_t>(bytes, 1u << 30));
        mallopt(M_TRIM_THRESHOLD, room);
        mallopt(M_TOP_PAD, room);
        // Through a volatile pointer: an allocation freed unused may be left out.
        void* volatile block = std::malloc(freeRoom + 4096);
        update();
        std::free(block);
        mallopt(M_TOP_PAD, static_cast<int>(kLarge));
        grown_ = true;
    }
    static constexpr int kMostInOneAllocation = 32 << 20;
    static constexpr int kUsualThreshold = 128 << 10;  // the C library's own default for both
#endif
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    static std::uintptr_t currentBreak()
    {
        return reinterpret_cast<std::uintptr_t>(sbrk(0));
    }
    bool active_ = false;
    bool grown_ = false;
    std::uintptr_t advised_ = 0;
#endif
};

}  // namespace

SyxParse readSyxFile(const std::string& path, SyxSplitter::Sink sink)
{
    // Unbuffered reads straight into a buffer no larger than the file (and not
    // zero-filled): naming one small file costs no more than its own bytes.
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    const std::unique_ptr<std::FILE, Closer> in(std::fopen(path.c_str(), "rb"));
    if (!in) throw TolvexError("Cannot open file " + path);
    std::setvbuf(in.get(), nullptr, _IONBF, 0);
    constexpr std::size_t kPiece = 256 * 1024;
    std::size_t size = kPiece;
    std::error_code ec;
    const std::uintmax_t bytes = std::filesystem::file_size(path, ec);
    if (!ec) size = std::min<std::uintmax_t>(bytes + 1, kPiece);
    HeapGrowthAdvice heap(ec ? 0 : bytes);
    const std::unique_ptr<std::uint8_t[]> piece(new std::uint8_t[size]);
    SyxSplitter splitter(std::move(sink));
    if (!ec) splitter.expectBytes(bytes);
    for (;;) {
        const std::size_t got = std::fread(piece.get(), 1, size, in.get());
        if (got > 0) splitter.feed(ByteView(piece.get(), got));
        heap.update();
        if (got < size) break;
    }
    if (std::ferror(in.get())) throw TolvexError("Cannot read file " + path);
    return splitter.finish();
}

void writeSyxFile(const std::string& path, const std::vector<ByteView>& messages)
{
    // Straight from the messages' own storage: a list of any size is written without a copy.
    std::vector<std::string_view> pieces;
    pieces.reserve(messages.size());
    for (ByteView m : messages) pieces.emplace_back(reinterpret_cast<const char*>(m.data()), m.size());
    // Both texts name the target, which is what the user chose.
    writeFileReplacing(path, pieces, "Cannot create file " + path, "Cannot write file " + path);
}

std::string folderOf(const std::string& path)
{
    // Absolute: the folder is remembered, and the window may change its
    // current folder before the name is used again.
    std::error_code ec;
    std::filesystem::path whole = std::filesystem::absolute(path, ec);
    if (ec) whole = path;
    const std::string text = whole.lexically_normal().string();
    const auto slash = text.find_last_of('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

}  // namespace tolvex
