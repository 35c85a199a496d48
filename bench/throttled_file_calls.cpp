// The file layer's reads and writes as a source disk and a target disk of a chosen speed each
// (its size queries left as they are), for timing how well reading and writing overlap:
// morvale_throttled_cli is morvale-cli linked with these in place of the plain calls.
//
//   MORVALE_THROTTLE_READ_MBPS   the source disk's speed in MB/s (10^6 bytes; default 200)
//   MORVALE_THROTTLE_WRITE_MBPS  the target disk's speed in MB/s (default 200)
//
// Each disk does one transfer at a time: a call of n bytes ends n / speed after the later of
// its start and the end of the disk's previous transfer. A call that comes a little late (up to
// a millisecond, about what a thread needs to wake from its sleep) finds the disk as a real one
// with a queue or a cache of its own would: still busy with it. At exit the program writes to
// stderr how long each disk was busy ("throttle: read busy S s, write busy S s"); the larger of the
// two is the least time any program moving those bytes can take.

#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/file_system_calls.h"

namespace morvale {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kLateness = std::chrono::milliseconds(1);

class Disk {
  public:
    explicit Disk(const char* variable) {
        const char* value = std::getenv(variable);
        const double mbps = value != nullptr ? std::atof(value) : 200.0;
        bytesPerSecond_ = (mbps > 0 ? mbps : 200.0) * 1e6;
    }

    // Waits until a transfer of n bytes begun now would have ended.
    void transfer(size_t n) {
        const auto duration = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(n) / bytesPerSecond_));
        Clock::time_point end;
        {
            std::lock_guard lock(mutex_);
            freeAt_ = std::max(freeAt_, Clock::now() - kLateness) + duration;
            busy_ += duration;
            end = freeAt_;
        }
        std::this_thread::sleep_until(end);
    }

    double busySeconds() {
        std::lock_guard lock(mutex_);
        return std::chrono::duration<double>(busy_).count();
    }

  private:
    double bytesPerSecond_;
    std::mutex mutex_;
    Clock::time_point freeAt_{};
    Clock::duration busy_{};
};

struct Disks {
    Disk source{"MORVALE_THROTTLE_READ_MBPS"};
    Disk target{"MORVALE_THROTTLE_WRITE_MBPS"};
    ~Disks() {
        std::fprintf(stderr, "throttle: read busy %.3f s, write busy %.3f s\n",
                     source.busySeconds(), target.busySeconds());
    }
};

Disks& disks() {
    static Disks all;
    return all;
}

// Sleeps end when asked, as near as may be; threads started later inherit it.
const bool kExactSleeps = ::prctl(PR_SET_TIMERSLACK, 1) == 0;

}  // namespace

ssize_t sourcePread(int fd, void* buffer, size_t n, off_t offset) {
    const ssize_t got = ::pread(fd, buffer, n, offset);
    if (got > 0) disks().source.transfer(static_cast<size_t>(got));
    return got;
}

int sourceFstat(int fd, struct stat* status) {
    return ::fstat(fd, status);
}

ssize_t outputWrite(int fd, const void* data, size_t n) {
    const ssize_t put = ::write(fd, data, n);
    if (put > 0) disks().target.transfer(static_cast<size_t>(put));
    return put;
}

}  // namespace morvale
