// SPDX-License-Identifier: GPL-3.0-or-later
// Work on the patch library that takes long on a large one, off the main
// thread: the Library window's orders and searches (LibraryLoader) and its
// adds of many files or messages (LibraryAdder). Each runs on a thread of its
// own with a connection of its own to the library file (WAL lets readers and
// one writer go on side by side), and hands its results to the main thread.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "library/patch_library.h"

namespace tolvex {

struct LibraryRequest {
    LibraryQuery query;
    LibraryColumn column = LibraryColumn::Name;
    bool descending = false;
};

// What a request gave: its first screenful (complete false; a search only)
// and then all of it, or the error that stopped it.
struct LibraryAnswer {
    std::uint64_t generation = 0;
    std::vector<std::int64_t> ids;
    bool complete = false;
    std::string error;
};

class LibraryLoader : public QObject {
    Q_OBJECT
public:
    // `onAnswer` runs on the main thread, for answers of the latest request only.
    LibraryLoader(std::string path, std::function<void(LibraryAnswer&&)> onAnswer, QObject* parent = nullptr);
    ~LibraryLoader() override;

    // Starts `request`, stopping the one under way; returns its generation.
    std::uint64_t request(LibraryRequest request);
    // Drops the request under way or waiting: nothing more is answered.
    void cancel();
    // The latest request's generation (0 when cancelled or none).
    std::uint64_t latest() const { return latest_; }

private:
    void run();
    bool stale(std::uint64_t generation) const;
    void answer(LibraryAnswer&& a);

    const std::string path_;
    std::function<void(LibraryAnswer&&)> onAnswer_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<LibraryRequest> pending_;  // guarded by mutex_
    std::uint64_t pendingGeneration_ = 0;    // guarded by mutex_
    std::uint64_t running_ = 0;              // guarded by mutex_: the request the thread works on
    std::unique_ptr<PatchLibrary> library_;  // the thread's connection; interrupt() under mutex_
    bool quit_ = false;                      // guarded by mutex_
    std::atomic<std::uint64_t> latest_{0};
    std::uint64_t counter_ = 0;  // main thread only
    std::thread thread_;
};

// One add of files or messages on its own thread. The owner keeps the object
// until finished() was emitted (or destroys it earlier: the add is then asked
// to stop and waited for).
class LibraryAdder : public QObject {
    Q_OBJECT
public:
    // Reports the number of units (files or messages) done.
    using Progress = std::function<void(std::size_t done)>;
    using Stop = std::function<bool()>;
    using Work = std::function<void(PatchLibrary& library, AddReport& report, const Progress&, const Stop&)>;

    // `namers` as PatchLibrary::useNamers (not owned; read on the add's thread).
    LibraryAdder(std::string path, const FamilyNamers* namers, Work work, QObject* parent = nullptr);
    ~LibraryAdder() override;

    void stop() { stop_ = true; }
    // After finished(): what was added, and the error that ended the add ("" none).
    const AddReport& report() const { return report_; }
    const std::string& error() const { return error_; }

signals:
    void progress(qulonglong done);
    void finished();

private:
    AddReport report_;
    std::string error_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Adds `messages` (each with the file it came from, "" for a received one) in
// transactions of a few dozen messages, so progress shows and a stop keeps
// what was added before it.
void addMessagesInSteps(PatchLibrary& library, const std::vector<std::pair<Bytes, std::string>>& messages,
                        AddReport& report, const LibraryAdder::Progress& progress, const LibraryAdder::Stop& stop);

}  // namespace tolvex
