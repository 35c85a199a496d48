// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

namespace morvale {

// Reads a file ahead of its reader, on a thread of its own, into a small ring of blocks: from
// a given offset on, block after block, until the ring is full, the file ends or a read fails.
// The reader takes the bytes in file order. The thread reports no failure and never waits for
// a file to grow: it tells only whether it stopped at the end of the file or at a failed read.
// The reader's read that comes to that end ends there, as its own read of the file would have;
// after it, or at a failure, the reader reads on by itself and so meets the bytes added since,
// or the failure, exactly where they lie.
class ReadAhead {
  public:
    static constexpr int64_t kBlockSize = 256 * 1024;
    static constexpr int kBlocks = 8;  // 2 MiB: one block in the reader's hands, seven ahead

    ReadAhead(int fd, int64_t offset);
    ~ReadAhead();  // stops the thread (after the read it is in)
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next bytes, at most n of them and all from one block; waits until the thread has
    // read them. Empty when the thread has stopped and every byte it read has been taken.
    // The bytes stay valid until the next call.
    std::span<const uint8_t> take(int64_t n);
    // Once take has come back empty: whether the thread stopped at the end of the file (a
    // read found nothing more), not at a failed read.
    bool endedAtFileEnd();

  private:
    struct Block {
        std::unique_ptr<uint8_t[]> bytes;
        int64_t length = 0;  // bytes read into it; 0 while free
    };

    void readBlocks(int64_t offset);
    // Reads into block `index` at `offset`; returns the count, short at the end of the file
    // (atFileEnd set) or at a failure.
    int64_t fill(int index, int64_t offset, bool& atFileEnd);
    void releaseTaken();

    // Each side, once it has to wait, waits for several blocks (read, or free to read into)
    // rather than one, so the two threads wake each other a few times per ring, not per block.
    static constexpr int kWakeAfter = kBlocks / 2;

    const int fd_;
    std::mutex mutex_;
    std::condition_variable readable_;  // the reader waits here
    std::condition_variable writable_;  // the thread waits here
    std::array<Block, kBlocks> blocks_;
    int front_ = 0;            // the block the reader takes from
    int64_t taken_ = 0;        // bytes of the front block taken so far
    bool frontSpent_ = false;  // the front block is taken whole (freed at the next call)
    int filled_ = 0;           // blocks read and not yet freed
    bool ended_ = false;       // the thread has read its last block
    bool atFileEnd_ = false;   // ...and found the end of the file behind it
    bool stop_ = false;
    bool readerWaits_ = false;
    bool threadWaits_ = false;
    std::thread thread_;
};

}  // namespace morvale
