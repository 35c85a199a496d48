// SPDX-License-Identifier: MIT
#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/file_system_calls.h"
#include "platform/file_threads.h"
#include "platform/paths.h"
#include "platform/read_ahead.h"

namespace morvale {

namespace {

constexpr const char* kFileShrank = "the file became shorter while it was read";
constexpr const char* kEndedEarly = "the file ends before its size says";
constexpr const char* kNothingWritten = "the system wrote none of the bytes";
constexpr const char* kNotOpen = "the file is not open";

FileError writeFailure(const std::string& path, int err) {
    return err != 0 ? streamWriteError(path, err) : streamWriteError(path, kNothingWritten);
}

// The first write that failed behind, whichever output it was for.
FileError failureBehind() {
    const WriteBehind::Failure failure = WriteBehind::instance().failure();
    return writeFailure(failure.path, failure.err);
}

int openLocked(const std::string& path, int flags, bool exclusive, int& err) {
    // Opening never waits: a named pipe in place of a file would otherwise hold the window
    // until another program opened its other end (one without a reader refuses a writer with
    // ENXIO). Reads and writes wait as usual.
    int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        err = errno;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Only regular files are locked: a device (an output linked to /dev/null or /dev/full)
    // is shared by every program on the machine.
    struct stat st {};
    bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (exclusive && regular && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        err = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void truncateFile(const std::string& path, int64_t size) {
    if (::truncate(path.c_str(), static_cast<off_t>(size)) != 0) {
        throw FileError(kStreamWriteError, systemReason(errno), path);
    }
}

namespace {

// The current folder with a trailing '/'; nothing when the system cannot tell it.
std::optional<std::string> currentFolder() {
    std::string cwd(4096, '\0');
    while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
        if (errno != ERANGE) return std::nullopt;
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::strlen(cwd.c_str()));
    if (cwd.empty() || cwd.back() != '/') cwd += '/';
    return cwd;
}

}  // namespace

std::string absolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    const std::optional<std::string> cwd = currentFolder();
    return cwd ? *cwd + path : path;
}

std::string absoluteFolder(const std::string& folder) {
    if (!folder.empty()) return withTrailingSeparator(absolutePath(folder));
    return currentFolder().value_or("./");
}

// ---- SourceFile ----

SourceFile::SourceFile(SourceFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      position_(other.position_),
      path_(std::move(other.path_)),
      readsAhead_(other.readsAhead_),
      readAheadSpent_(other.readAheadSpent_),
      readAhead_(std::move(other.readAhead_)),
      largestSize_(other.largestSize_),
      reached_(other.reached_) {}

SourceFile& SourceFile::operator=(SourceFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        position_ = other.position_;
        path_ = std::move(other.path_);
        readsAhead_ = other.readsAhead_;
        readAheadSpent_ = other.readAheadSpent_;
        readAhead_ = std::move(other.readAhead_);
        largestSize_ = other.largestSize_;
        reached_ = other.reached_;
    }
    return *this;
}

SourceFile::~SourceFile() {
    close();
}

SourceFile SourceFile::open(const std::string& path, ShareMode mode) {
    int err = 0;
    int fd = openLocked(path, O_RDONLY, mode == ShareMode::Exclusive, err);
    if (fd < 0) throw FileError(cannotOpenMessage(path, err));
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw FileError(cannotOpenMessage(path, EISDIR));
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    SourceFile file;
    file.fd_ = fd;
    file.path_ = path;
    file.readsAhead_ = fileThreads() == FileThreads::Background;
    return file;
}

// A size the system cannot give for an open file is a read error: taken for 0, it would end
// a run as if the file had been read to its end. So is a size below one told before or below
// bytes read already: a file cut while it is read would otherwise just seem to end early.
int64_t SourceFile::size() const {
    if (fd_ < 0) return 0;
    struct stat st {};
    if (sourceFstat(fd_, &st) != 0) throw streamReadError(path_, errno);
    const auto now = static_cast<int64_t>(st.st_size);
    if (now < std::max(largestSize_, reached_)) throw streamReadError(path_, kFileShrank);
    largestSize_ = now;
    return now;
}

void SourceFile::seek(int64_t position) {
    if (position == position_) return;
    // What was read ahead lies elsewhere: read ahead again from the new position on.
    readAhead_.reset();
    readAheadSpent_ = false;
    position_ = position;
}

// Asked of the system directly, not through the size query's seam: the read-ahead's look at the
// file is no query of the caller's, and a run asks the size as often with it as without it.
SourceFile::FileState SourceFile::state() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return {};
    return {st.st_size, st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec};
}

bool SourceFile::keepReadingAhead() {
    if (!readsAhead()) return false;
    const FileState now = state();
    if (!readAhead_) {
        readAheadFrom_ = now;
        readAhead_ = std::make_unique<ReadAhead>(fd_, position_);
    } else if (now != readAheadFrom_ || now.size < 0) {
        readAheadSpent_ = true;
        readAhead_.reset();
    }
    return readsAhead();
}

bool SourceFile::spendReadAhead() {
    const bool atFileEnd = readAhead_->endedAtFileEnd();
    readAheadSpent_ = true;
    readAhead_.reset();
    return atFileEnd;
}

int64_t SourceFile::takeReadAhead(uint8_t* buffer, int64_t n, bool& atFileEnd) {
    int64_t total = 0;
    if (n <= 0 || !keepReadingAhead()) return total;
    while (total < n) {
        const std::span<const uint8_t> bytes = readAhead_->take(n - total);
        if (bytes.empty()) {
            atFileEnd = spendReadAhead();
            break;
        }
        std::memcpy(buffer + total, bytes.data(), bytes.size());
        total += static_cast<int64_t>(bytes.size());
    }
    return total;
}

int64_t SourceFile::readFromFile(uint8_t* buffer, int64_t n, int64_t at) {
    int64_t total = 0;
    while (total < n) {
        ssize_t got = sourcePread(fd_, buffer + total, static_cast<size_t>(n - total), at + total);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw streamReadError(path_, errno);
        }
        if (got == 0) break;
        total += got;
    }
    return total;
}

int64_t SourceFile::readRest(uint8_t* buffer, int64_t total, int64_t n) {
    bool atFileEnd = false;
    total += takeReadAhead(buffer + total, n - total, atFileEnd);
    if (total < n && !atFileEnd)
        total += readFromFile(buffer + total, n - total, position_ + total);
    return total;
}

int64_t SourceFile::read(void* buffer, int64_t n) {
    const int64_t total = readRest(static_cast<uint8_t*>(buffer), 0, n);
    advance(total);
    return total;
}

int64_t SourceFile::readSome(void* buffer, int64_t n) {
    const int64_t got = read(buffer, n);
    if (got == 0) throw streamReadError(path_, kEndedEarly);
    return got;
}

std::span<const uint8_t> SourceFile::readSomeInPlace(uint8_t* buffer, int64_t n) {
    if (n > 0 && keepReadingAhead()) {
        const std::span<const uint8_t> bytes = readAhead_->take(n);
        if (static_cast<int64_t>(bytes.size()) == n) {
            advance(n);
            return bytes;
        }
        // The bytes lie in two blocks, or what was read ahead ends among them: gather them.
        if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());  // data() may be null
        int64_t total = static_cast<int64_t>(bytes.size());
        const bool atFileEnd = bytes.empty() && spendReadAhead();
        if (!atFileEnd) total = readRest(buffer, total, n);
        advance(total);
        if (total == 0) throw streamReadError(path_, kEndedEarly);
        return {buffer, static_cast<size_t>(total)};
    }
    return {buffer, static_cast<size_t>(readSome(buffer, n))};
}

void SourceFile::advance(int64_t bytes) {
    position_ += bytes;
    reached_ = std::max(reached_, position_);
}

void SourceFile::close() {
    readAhead_.reset();  // its thread reads the descriptor
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

// ---- Outputs written behind ----

void checkOutputWrites() {
    if (WriteBehind::instance().failed()) throw failureBehind();
}

void finishOutputWrites() {
    WriteBehind::instance().waitForAll();
    checkOutputWrites();
}

// ---- OutputFile ----

namespace {

// The outputs open now (created and not yet closed).
std::atomic<int> openOutputs = 0;

// An output's share of OutputFile::kBuffersSize among the outputs open now.
size_t bufferShare() {
    constexpr size_t kStep = 64 * 1024;
    constexpr size_t kPage = 4096;
    const size_t outputs = static_cast<size_t>(std::max(openOutputs.load(), 1));
    const size_t steps = std::max<size_t>(OutputFile::kBuffersSize / outputs / kStep, 1);
    return std::min(OutputFile::kBufferSize, steps * kStep - kPage);
}

}  // namespace

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      behind_(std::exchange(other.behind_, nullptr)),
      fill_(std::exchange(other.fill_, {})),
      capacity_(other.capacity_),
      lastHandOver_(other.lastHandOver_),
      failureShown_(other.failureShown_),
      written_(other.written_) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        try {
            close();
        } catch (const FileError&) {
        }
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        behind_ = std::exchange(other.behind_, nullptr);
        fill_ = std::exchange(other.fill_, {});
        capacity_ = other.capacity_;
        lastHandOver_ = other.lastHandOver_;
        failureShown_ = other.failureShown_;
        written_ = other.written_;
    }
    return *this;
}

OutputFile::~OutputFile() {
    try {
        close();
    } catch (const FileError&) {
    }
}

OutputFile OutputFile::create(const std::string& path) {
    int err = 0;
    int fd = openLocked(path, O_WRONLY | O_CREAT, true, err);
    if (fd < 0) throw FileError(cannotCreateMessage(path, err));
    // Empty the file only once we hold the lock, so a file another program holds is untouched.
    // A file that is empty already is left alone: truncating it would make some file systems
    // (ext4) write all of it out at close, as they do for a file replaced by truncation.
    struct stat st {};
    const bool empty = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
    if (!empty && ::ftruncate(fd, 0) != 0) {
        // Character devices (a link to /dev/null or /dev/full) cannot be truncated.
        if (::fstat(fd, &st) != 0 || S_ISREG(st.st_mode)) {
            err = errno;
            ::close(fd);
            throw FileError(cannotCreateMessage(path, err));
        }
    }
    OutputFile file;
    file.fd_ = fd;
    file.path_ = path;
    ++openOutputs;
    if (fileThreads() == FileThreads::Background) {
        file.behind_ = &WriteBehind::instance();
        file.behind_->openOutput(fd, path);
    }
    return file;
}

void OutputFile::throwIfFailedBehind() {
    if (behind_ == nullptr || !behind_->failed()) return;
    failureShown_ = true;
    throw failureBehind();
}

void OutputFile::writeThrough(const uint8_t* data, size_t n) {
    while (n > 0) {
        ssize_t put = outputWrite(fd_, data, n);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) throw writeFailure(path_, put < 0 ? errno : 0);
        data += put;
        n -= static_cast<size_t>(put);
    }
}

// Hands the full buffer to the write-behind, or writes it here.
void OutputFile::writeBuffer() {
    if (fill_.length == 0) return;
    if (behind_ != nullptr) {
        lastHandOver_ = behind_->handOver(fd_, fill_);
        return;
    }
    const size_t pending = std::exchange(fill_.length, 0);
    writeThrough(fill_.buffer.bytes.get(), pending);
}

void OutputFile::writeLarge(const uint8_t* data, size_t n) {
    if (behind_ == nullptr) return writeThrough(data, n);
    if (behind_->writeNow(fd_, data, n)) return;
    failureShown_ = true;
    throw failureBehind();
}

void OutputFile::write(const void* data, size_t n) {
    if (fd_ < 0) throw streamWriteError(path_, kNotOpen);
    throwIfFailedBehind();
    if (behind_ != nullptr) behind_->mark(fill_);
    if (capacity_ == 0) capacity_ = bufferShare();
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (fill_.length + n > capacity_) {
        writeBuffer();
        if (n >= capacity_) {
            writeLarge(bytes, n);  // large pieces bypass the buffer
            written_ += static_cast<int64_t>(n);
            return;
        }
    }
    if (!fill_.buffer.bytes) {
        fill_.buffer = behind_
                           ? behind_->takeBuffer(capacity_)
                           : WriteBehind::Buffer{
                                 std::make_unique_for_overwrite<uint8_t[]>(capacity_), capacity_};
    }
    std::memcpy(fill_.buffer.bytes.get() + fill_.length, bytes, n);
    fill_.length += n;
    written_ += static_cast<int64_t>(n);
}

void OutputFile::flush() {
    if (fd_ < 0) return;
    throwIfFailedBehind();
    writeBuffer();
    if (behind_ != nullptr) {
        behind_->waitFor(lastHandOver_);
        throwIfFailedBehind();
    }
}

void OutputFile::close() {
    if (fd_ < 0) return;
    std::optional<FileError> failure;
    if (behind_ != nullptr) {
        // Handed over even after a failure: the write-behind then writes what the buffer
        // held before the failed write.
        if (fill_.length > 0) lastHandOver_ = behind_->handOver(fd_, fill_);
        behind_->waitFor(lastHandOver_);
        if (behind_->failed() && !failureShown_) failure = failureBehind();
        std::exchange(behind_, nullptr)->closeOutput(fd_);
    } else {
        try {
            writeBuffer();
        } catch (const FileError& error) {
            failure = error;
        }
    }
    fill_ = {};
    --openOutputs;
    if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR && !failure)
        failure = streamWriteError(path_, errno);
    if (failure) throw *failure;
}

}  // namespace morvale
