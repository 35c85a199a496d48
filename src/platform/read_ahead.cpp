// SPDX-License-Identifier: MIT
#include "platform/read_ahead.h"

#include <cerrno>

#include "platform/file_system_calls.h"

namespace morvale {

ReadAhead::ReadAhead(int fd, int64_t offset) : fd_(fd) {
    for (Block& block : blocks_)
        block.bytes = std::make_unique_for_overwrite<uint8_t[]>(kBlockSize);
    thread_ = std::thread([this, offset] { readBlocks(offset); });
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    writable_.notify_one();
    thread_.join();
}

void ReadAhead::readBlocks(int64_t offset) {
    for (int index = 0;; index = (index + 1) % kBlocks) {
        {
            std::unique_lock lock(mutex_);
            if (filled_ == kBlocks) {
                threadWaits_ = true;
                writable_.wait(lock, [&] { return stop_ || filled_ <= kBlocks - kWakeAfter; });
                threadWaits_ = false;
            }
            if (stop_) return;
        }
        bool atFileEnd = false;
        const int64_t got = fill(index, offset, atFileEnd);
        std::lock_guard lock(mutex_);
        blocks_[index].length = got;
        if (got > 0) ++filled_;
        ended_ = got < kBlockSize;
        atFileEnd_ = atFileEnd;
        if (readerWaits_ && (ended_ || filled_ >= kWakeAfter)) readable_.notify_one();
        if (ended_) return;
        offset += got;
    }
}

int64_t ReadAhead::fill(int index, int64_t offset, bool& atFileEnd) {
    uint8_t* bytes = blocks_[index].bytes.get();
    int64_t total = 0;
    while (total < kBlockSize) {
        const ssize_t got = sourcePread(fd_, bytes + total, static_cast<size_t>(kBlockSize - total),
                                        static_cast<off_t>(offset + total));
        if (got < 0 && errno == EINTR) continue;
        atFileEnd = got == 0;
        if (got <= 0) break;
        total += got;
    }
    return total;
}

bool ReadAhead::endedAtFileEnd() {
    std::lock_guard lock(mutex_);
    return ended_ && atFileEnd_;
}

void ReadAhead::releaseTaken() {
    if (!frontSpent_) return;
    blocks_[front_].length = 0;
    front_ = (front_ + 1) % kBlocks;
    taken_ = 0;
    frontSpent_ = false;
    --filled_;
    if (threadWaits_ && filled_ <= kBlocks - kWakeAfter) writable_.notify_one();
}

std::span<const uint8_t> ReadAhead::take(int64_t n) {
    std::unique_lock lock(mutex_);
    releaseTaken();
    Block& block = blocks_[front_];
    if (block.length == 0 && !ended_) {
        readerWaits_ = true;
        readable_.wait(lock, [&] { return ended_ || filled_ >= kWakeAfter; });
        readerWaits_ = false;
    }
    if (block.length == 0) return {};
    const int64_t count = std::min(n, block.length - taken_);
    std::span<const uint8_t> bytes(block.bytes.get() + taken_, static_cast<size_t>(count));
    taken_ += count;
    frontSpent_ = taken_ == block.length;
    return bytes;
}

}  // namespace morvale
