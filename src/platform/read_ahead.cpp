#include "platform/read_ahead.h"

#include <cerrno>

#include "platform/file_system_calls.h"

namespace morvale {

ReadAhead::ReadAhead(int fd, int64_t offset) : fd_(fd) {
    for (Block& block : blocks_)
        block.bytes = std::make_unique_for_overwrite<uint8_t[]>(kBlockSize);
    thread_ = std::thread([this, offset] {
        int64_t at = offset;
        for (int index = 0;; index = (index + 1) % kBlocks) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || blocks_[index].length == 0; });
                if (stop_) return;
            }
            const int64_t got = fill(index, at);
            std::lock_guard lock(mutex_);
            blocks_[index].length = got;
            ended_ = got < kBlockSize;
            changed_.notify_all();
            if (ended_) return;
            at += got;
        }
    });
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

int64_t ReadAhead::fill(int index, int64_t offset) {
    uint8_t* bytes = blocks_[index].bytes.get();
    int64_t total = 0;
    while (total < kBlockSize) {
        const ssize_t got = sourcePread(fd_, bytes + total, static_cast<size_t>(kBlockSize - total),
                                        static_cast<off_t>(offset + total));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += got;
    }
    return total;
}

void ReadAhead::releaseTaken() {
    if (!frontSpent_) return;
    blocks_[front_].length = 0;
    front_ = (front_ + 1) % kBlocks;
    taken_ = 0;
    frontSpent_ = false;
    changed_.notify_all();
}

std::span<const uint8_t> ReadAhead::take(int64_t n) {
    std::unique_lock lock(mutex_);
    releaseTaken();
    Block& block = blocks_[front_];
    changed_.wait(lock, [&] { return block.length > 0 || ended_; });
    if (block.length == 0) return {};
    const int64_t count = std::min(n, block.length - taken_);
    std::span<const uint8_t> bytes(block.bytes.get() + taken_, static_cast<size_t>(count));
    taken_ += count;
    frontSpent_ = taken_ == block.length;
    return bytes;
}

}  // namespace morvale
