// SPDX-License-Identifier: MIT
#include "platform/write_behind.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/file_system_calls.h"

namespace morvale {

size_t WriteBehind::Fill::lengthAt(uint64_t at) const {
    if (at <= begunAfter) return 0;
    for (const FillMark& mark : marks) {
        if (mark.handOvers >= at) return mark.length;
    }
    return length;
}

WriteBehind& WriteBehind::instance() {
    // Never destroyed: a thread of outputs left open at exit must not be joined then.
    static WriteBehind* const behind = new WriteBehind;
    return *behind;
}

void WriteBehind::openOutput(int fd, const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        paths_[fd] = path;
    }
    if (openOutputs_++ > 0) return;
    stop_ = false;
    thread_ = std::thread([this] { writeJobs(); });
}

void WriteBehind::closeOutput(int fd) {
    {
        std::lock_guard lock(mutex_);
        paths_.erase(fd);
    }
    if (--openOutputs_ > 0) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    work_.notify_one();
    thread_.join();
    spare_.clear();
    handOvers_ = 0;
    written_ = 0;
    failedAt_ = 0;
    failure_ = {};
    failed_ = false;
}

WriteBehind::Failure WriteBehind::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

WriteBehind::Buffer WriteBehind::takeBuffer(size_t capacity) {
    std::lock_guard lock(mutex_);
    auto fits = std::find_if(spare_.begin(), spare_.end(),
                             [&](const Buffer& buffer) { return buffer.capacity == capacity; });
    if (fits != spare_.end()) {
        Buffer buffer = std::move(*fits);
        spare_.erase(fits);
        return buffer;
    }
    spare_.clear();  // of another size: an output of an earlier share
    return {std::make_unique_for_overwrite<uint8_t[]>(capacity), capacity};
}

void WriteBehind::mark(Fill& fill) {
    if (fill.seen == handOvers_) return;
    // Marks of hand-overs written well are of no more use: only a later one can fail. After
    // a failure every mark is kept for cutting the outputs back.
    const uint64_t written = written_.load(std::memory_order_acquire);
    if (!failed()) {
        std::erase_if(fill.marks, [&](const FillMark& mark) { return mark.handOvers <= written; });
    }
    fill.marks.push_back({handOvers_, fill.length});
    fill.seen = handOvers_;
}

void WriteBehind::waitUntil(std::unique_lock<std::mutex>& lock, size_t inFlight, uint64_t number) {
    auto reached = [&] { return bytesInFlight_ <= inFlight && written_ >= number; };
    if (reached()) return;
    callerWaits_ = true;
    wakeAtInFlight_ = inFlight;
    wakeAtWritten_ = number;
    progress_.wait(lock, reached);
    callerWaits_ = false;
}

uint64_t WriteBehind::enqueue(Job job) {
    const uint64_t number = job.number;
    const size_t capacity = job.fill.buffer.capacity;
    std::unique_lock lock(mutex_);
    if (bytesInFlight_ > 0 && bytesInFlight_ + capacity > kBytesInFlight)
        waitUntil(lock, kBytesInFlight / 2, 0);
    bytesInFlight_ += capacity;
    jobs_.push_back(std::move(job));
    if (writerWaits_) work_.notify_one();
    return number;
}

uint64_t WriteBehind::handOver(int fd, Fill& fill) {
    Job job{fd, ++handOvers_, std::move(fill), nullptr};
    job.data = job.fill.buffer.bytes.get();
    fill = Fill{};
    fill.begunAfter = fill.seen = job.number;
    return enqueue(std::move(job));
}

bool WriteBehind::writeNow(int fd, const uint8_t* data, size_t n) {
    Job job{fd, ++handOvers_, {}, data};
    job.fill.length = n;
    job.fill.begunAfter = job.number - 1;
    const uint64_t number = enqueue(std::move(job));
    waitFor(number);
    std::lock_guard lock(mutex_);
    return failedAt_ == 0 || failedAt_ > number;
}

void WriteBehind::waitFor(uint64_t number) {
    std::unique_lock lock(mutex_);
    waitUntil(lock, SIZE_MAX, number);
}

void WriteBehind::waitForAll() {
    waitFor(handOvers_);
}

bool WriteBehind::writeAll(int fd, const uint8_t* data, size_t n, int& err) {
    while (n > 0) {
        const ssize_t put = outputWrite(fd, data, n);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            err = put < 0 ? errno : 0;
            return false;
        }
        data += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

void WriteBehind::writeJobs() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (jobs_.empty() && !stop_) {
            writerWaits_ = true;
            work_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
            writerWaits_ = false;
        }
        if (jobs_.empty()) return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        const uint64_t failedAt = failedAt_;
        lock.unlock();
        // After a failure only what each output held before the failed hand-over is written.
        const size_t length = failedAt == 0 ? job.fill.length : job.fill.lengthAt(failedAt);
        int err = 0;
        const bool done = writeAll(job.fd, job.data, length, err);
        lock.lock();
        if (!done && failedAt == 0) {
            failedAt_ = job.number;
            const auto named = paths_.find(job.fd);
            failure_ = {err, named != paths_.end() ? named->second : std::string()};
            failed_.store(true, std::memory_order_release);
        }
        written_ = job.number;
        bytesInFlight_ -= job.fill.buffer.capacity;
        if (job.fill.buffer.bytes) spare_.push_back(std::move(job.fill.buffer));
        if (callerWaits_ && bytesInFlight_ <= wakeAtInFlight_ && written_ >= wakeAtWritten_)
            progress_.notify_one();
    }
}

}  // namespace morvale
