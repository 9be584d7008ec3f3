// SPDX-License-Identifier: GPL-3.0-or-later
// SysEx (.syx) files: messages back to back, no header or separators.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex {

struct SyxParse {
    enum class Status { Ok, TooManyLeadingBytes, NoMessages };
    Status status = Status::Ok;
    std::vector<Bytes> messages;
    int withoutEndByte = 0;  // messages that did not end in F7
    int realTimeBytes = 0;   // real-time bytes (F8-FF) found inside messages and left out
};

// Splits a file image into messages. Up to 99 bytes before the first F0 are
// tolerated; bytes between messages are dropped. A message ends at the first
// byte with the high bit set (included), except that an F0 always starts a new
// message: the unterminated one ends before it, so no message is ever lost;
// and a real-time byte (F8-FF: a clock, Active Sensing), which a recording
// may hold inside a dump as a cable carries it, is left out and the message
// goes on.
// Feed it the file in pieces of any size; finish() gives the result.
//
// With a sink, each message goes to the sink as soon as it is complete and
// SyxParse::messages stays empty, so a file of any size is split in the memory
// of its longest message. The leading-bytes verdict falls before the first
// message, so a refused file never reaches the sink.
class SyxSplitter {
public:
    using Sink = std::function<void(Bytes&& message)>;

    SyxSplitter() = default;
    explicit SyxSplitter(Sink sink) : sink_(std::move(sink)) {}

    // The size of the whole input, when known beforehand: a message that spans
    // pieces then gets its room once instead of growing step by step.
    void expectBytes(std::uintmax_t total) { expected_ = total; }
    void feed(ByteView chunk);
    SyxParse finish();

private:
    void complete();

    SyxParse out_;
    Sink sink_;
    Bytes current_;                // the message being collected
    std::size_t leading_ = 0;      // bytes before the first F0
    bool started_ = false;         // an F0 was seen
    bool inMessage_ = false;       // collecting into current_
    std::uintmax_t expected_ = 0;  // the whole input's size (0: not known)
    std::uintmax_t fed_ = 0;       // bytes fed so far
};

// Reads and splits a file piece by piece; throws TolvexError naming the file
// when it cannot be read. With a sink the messages go there (see SyxSplitter).
SyxParse readSyxFile(const std::string& path, SyxSplitter::Sink sink = {});

// Writes the messages back to back. The file is written beside the target and
// renamed over it at the end, so a failed save never destroys an existing file.
// Throws TolvexError naming the file.
void writeSyxFile(const std::string& path, const std::vector<ByteView>& messages);

// The absolute folder of a path (taken from the current folder when the
// path is relative), ending in '/'.
std::string folderOf(const std::string& path);

}  // namespace tolvex
