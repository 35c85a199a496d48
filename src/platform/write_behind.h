// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace morvale {

// Writes the full buffers of the outputs open at the same time (a run's outputs) on one
// thread of its own, in the order they were handed over, with a bounded amount of memory in
// flight. The outputs fill their buffers in the caller's thread.
//
// A failed write makes the outputs end as if the caller had stopped at it, as it does when
// it writes by itself: the failed buffer keeps what reached the disk, every buffer handed
// over before it is written, and of what came after only the bytes each output had taken
// before that buffer was handed over are written. Each buffer carries what it needs for that:
// the hand-over it was begun after, and for every later hand-over of other outputs that it
// saw, how full it was then.
class WriteBehind {
  public:
    struct Buffer {
        std::unique_ptr<uint8_t[]> bytes;
        size_t capacity = 0;
    };
    // How full a buffer was when the write-behind had taken `handOvers` buffers.
    struct FillMark {
        uint64_t handOvers;
        size_t length;
    };
    // The bytes an output has taken since its last hand-over, with the marks to cut them
    // back to any earlier moment.
    struct Fill {
        Buffer buffer;
        size_t length = 0;
        uint64_t begunAfter = 0;  // the hand-over before the first byte
        uint64_t seen = 0;        // the hand-overs counted at the last mark
        std::vector<FillMark> marks;
        // The bytes it held when hand-over `at` was made: none before it was begun, then as
        // marked, then all of them.
        size_t lengthAt(uint64_t at) const;
    };

    // Memory of the buffers handed over and not yet written, over all outputs.
    static constexpr size_t kBytesInFlight = 8 << 20;

    // The first write that failed: the system's errno (0: the write took no bytes without
    // saying why) and the path of the output it was for.
    struct Failure {
        int err = 0;
        std::string path;
    };

    // The write-behind of the outputs open now; opening the first starts its thread and
    // closing the last ends it (the next run starts afresh, without the failure of this one).
    // An output is known by its descriptor while it is open, and by its path in a failure.
    static WriteBehind& instance();
    void openOutput(int fd, const std::string& path);
    void closeOutput(int fd);

    // A buffer of `capacity` bytes for fill, reusing a written one when there is one.
    Buffer takeBuffer(size_t capacity);

    // Notes in `fill` how full it is at the hand-overs made since it last looked.
    void mark(Fill& fill);
    // Hands `fill` over for writing to fd and begins it afresh (without a buffer); waits while
    // too much is in flight. Returns the number of the hand-over.
    uint64_t handOver(int fd, Fill& fill);
    // Writes `data` (not copied) to fd in its turn and waits for it; false when it failed.
    bool writeNow(int fd, const uint8_t* data, size_t n);
    // Waits until hand-over `number` and every one before it is written.
    void waitFor(uint64_t number);
    // Waits until everything handed over so far is written.
    void waitForAll();
    // A write has failed since the first output opened.
    bool failed() const { return failed_.load(std::memory_order_acquire); }
    // Once failed(): which write failed, and why.
    Failure failure() const;

  private:
    struct Job {
        int fd;
        uint64_t number;
        Fill fill;
        const uint8_t* data;  // fill's bytes, or the caller's for writeNow
    };

    void writeJobs();
    uint64_t enqueue(Job job);
    // Waits (the caller's thread) until at most `inFlight` bytes are in flight and hand-over
    // `number` is written.
    void waitUntil(std::unique_lock<std::mutex>& lock, size_t inFlight, uint64_t number);
    // True when all n bytes were written; otherwise err is the failed write's errno (0 for
    // a write that took nothing without saying why).
    static bool writeAll(int fd, const uint8_t* data, size_t n, int& err);

    // Used by the calling thread only.
    int openOutputs_ = 0;
    uint64_t handOvers_ = 0;

    mutable std::mutex mutex_;
    // The writer waits for work, the caller for room or for a write; each is woken only when
    // what it waits for has come, so a caller held up by a slow disk wakes once per half of
    // the memory in flight, not once per buffer.
    std::condition_variable work_;
    std::condition_variable progress_;
    bool writerWaits_ = false;
    bool callerWaits_ = false;
    size_t wakeAtInFlight_ = 0;
    uint64_t wakeAtWritten_ = 0;
    std::deque<Job> jobs_;
    std::vector<Buffer> spare_;
    size_t bytesInFlight_ = 0;
    std::atomic<uint64_t> written_ = 0;           // the number of the last hand-over dealt with
    uint64_t failedAt_ = 0;                       // the hand-over whose write failed first; 0: none
    Failure failure_;                             // ...and what it was
    std::unordered_map<int, std::string> paths_;  // of the outputs open now, by descriptor
    std::atomic<bool> failed_ = false;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace morvale
