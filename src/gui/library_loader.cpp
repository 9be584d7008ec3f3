// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/library_loader.h"

#include <QMetaObject>

namespace tolvex {

LibraryLoader::LibraryLoader(std::string path, std::function<void(LibraryAnswer&&)> onAnswer, QObject* parent)
    : QObject(parent), path_(std::move(path)), onAnswer_(std::move(onAnswer)), thread_([this] { run(); })
{
}

LibraryLoader::~LibraryLoader()
{
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
        if (library_ && running_ != 0) library_->interrupt();
    }
    wake_.notify_all();
    thread_.join();
}

std::uint64_t LibraryLoader::request(LibraryRequest request)
{
    const std::uint64_t generation = ++counter_;
    latest_ = generation;
    {
        const std::lock_guard lock(mutex_);
        pending_ = std::move(request);
        pendingGeneration_ = generation;
        // The search under way is of no use any more: a long one would hold up this one.
        if (library_ && running_ != 0) library_->interrupt();
    }
    wake_.notify_all();
    return generation;
}

void LibraryLoader::cancel()
{
    latest_ = 0;
    const std::lock_guard lock(mutex_);
    pending_.reset();
    if (library_ && running_ != 0) library_->interrupt();
}

bool LibraryLoader::stale(std::uint64_t generation) const
{
    return latest_ != generation;
}

void LibraryLoader::answer(LibraryAnswer&& a)
{
    if (stale(a.generation)) return;
    // Queued to this object: dropped with it when the window goes first.
    QMetaObject::invokeMethod(
        this,
        [this, a = std::move(a)]() mutable {
            if (!stale(a.generation)) onAnswer_(std::move(a));
        },
        Qt::QueuedConnection);
}

void LibraryLoader::run()
{
    int retries = 0;
    for (;;) {
        LibraryRequest request;
        std::uint64_t generation = 0;
        {
            std::unique_lock lock(mutex_);
            running_ = 0;
            wake_.wait(lock, [this] { return quit_ || pending_.has_value(); });
            if (quit_) break;
            request = std::move(*pending_);
            pending_.reset();
            generation = pendingGeneration_;
            running_ = generation;
        }
        try {
            if (!library_) {
                auto opened = std::make_unique<PatchLibrary>(path_);
                const std::lock_guard lock(mutex_);
                library_ = std::move(opened);
            }
            const LibraryQuery& q = request.query;
            if (!q.search.empty()) {
                LibraryPage first = library_->findFirst(q, kLibraryFirstRows, request.column, request.descending);
                const bool complete = first.complete;
                answer({generation, std::move(first.ids), complete, {}});
                if (complete || stale(generation)) continue;
            }
            answer({generation, library_->find(q, request.column, request.descending), true, {}});
            retries = 0;
        } catch (const TolvexError& e) {
            if (stale(generation)) continue;
            // An interrupt meant for the request before may have hit this one as it started.
            if (++retries <= 2) {
                const std::lock_guard lock(mutex_);
                if (!pending_) {
                    pending_ = std::move(request);
                    pendingGeneration_ = generation;
                }
                continue;
            }
            retries = 0;
            answer({generation, {}, true, e.what()});
        }
    }
    const std::lock_guard lock(mutex_);
    library_.reset();
}

LibraryAdder::LibraryAdder(std::string path, const FamilyNamers* namers, Work work, QObject* parent) : QObject(parent)
{
    thread_ = std::thread([this, path = std::move(path), namers, work = std::move(work)] {
        const Progress progress = [this](std::size_t done) {
            QMetaObject::invokeMethod(
                this, [this, done] { emit this->progress(done); }, Qt::QueuedConnection);
        };
        try {
            PatchLibrary library(path);
            library.useNamers(namers);
            work(library, report_, progress, [this] { return stop_.load(); });
        } catch (const TolvexError& e) {
            error_ = e.what();
        }
        QMetaObject::invokeMethod(
            this, [this] { emit finished(); }, Qt::QueuedConnection);
    });
}

LibraryAdder::~LibraryAdder()
{
    stop_ = true;
    thread_.join();
}

void addMessagesInSteps(PatchLibrary& library, const std::vector<std::pair<Bytes, std::string>>& messages,
                        AddReport& report, const LibraryAdder::Progress& progress, const LibraryAdder::Stop& stop)
{
    // About 0.1 s of work between two looks at the stop button.
    constexpr std::size_t kStep = 32;
    std::size_t done = 0;
    while (done < messages.size()) {
        if (stop && stop()) {
            report.stopped = true;
            return;
        }
        // One step holds messages of one source.
        const std::string& source = messages[done].second;
        std::vector<Bytes> step;
        std::size_t end = done;
        while (end < messages.size() && end - done < kStep && messages[end].second == source)
            step.push_back(messages[end++].first);
        library.addMessages(step, source, report);
        done = end;
        report.files = done;
        if (progress) progress(done);
    }
}

}  // namespace tolvex
