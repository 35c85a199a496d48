#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/file_system_calls.h"

namespace morvale {

namespace {

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

std::string cannotOpenMessage(const std::string& path, int err) {
    return "Cannot open file \"" + absolutePath(path) + "\". " + std::strerror(err);
}

std::string cannotCreateMessage(const std::string& path, int err) {
    return "Cannot create file \"" + absolutePath(path) + "\". " + std::strerror(err);
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string absolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    std::string cwd(4096, '\0');
    while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
        if (errno != ERANGE) return path;
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::strlen(cwd.c_str()));
    if (cwd.empty() || cwd.back() != '/') cwd += '/';
    return cwd + path;
}

// ---- SourceFile ----

SourceFile::SourceFile(SourceFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      position_(other.position_),
      path_(std::move(other.path_)) {}

SourceFile& SourceFile::operator=(SourceFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        position_ = other.position_;
        path_ = std::move(other.path_);
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
    return file;
}

// A size the system cannot give for an open file is a read error: taken for 0, it would end
// a run as if the file had been read to its end.
int64_t SourceFile::size() const {
    if (fd_ < 0) return 0;
    struct stat st {};
    if (sourceFstat(fd_, &st) != 0) throw FileError(kStreamReadError);
    return static_cast<int64_t>(st.st_size);
}

int64_t SourceFile::read(void* buffer, int64_t n) {
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t total = 0;
    while (total < n) {
        ssize_t got =
            sourcePread(fd_, out + total, static_cast<size_t>(n - total), position_ + total);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError(kStreamReadError);
        }
        if (got == 0) break;
        total += got;
    }
    position_ += total;
    return total;
}

int64_t SourceFile::readSome(void* buffer, int64_t n) {
    const int64_t got = read(buffer, n);
    if (got == 0) throw FileError(kStreamReadError);
    return got;
}

void SourceFile::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

// ---- OutputFile ----

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      buffer_(std::move(other.buffer_)),
      buffered_(std::exchange(other.buffered_, 0)),
      written_(other.written_) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        try {
            close();
        } catch (const FileError&) {
        }
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        buffer_ = std::move(other.buffer_);
        buffered_ = std::exchange(other.buffered_, 0);
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
    file.buffer_ = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
    return file;
}

void OutputFile::writeThrough(const uint8_t* data, size_t n) {
    while (n > 0) {
        ssize_t put = outputWrite(fd_, data, n);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) throw FileError(kStreamWriteError);
        data += put;
        n -= static_cast<size_t>(put);
    }
}

void OutputFile::write(const void* data, size_t n) {
    if (fd_ < 0) throw FileError(kStreamWriteError);
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (buffered_ + n <= kBufferSize) {
        std::memcpy(buffer_.get() + buffered_, bytes, n);
        buffered_ += n;
    } else {
        flush();
        if (n >= kBufferSize) {
            writeThrough(bytes, n);  // large pieces bypass the buffer
        } else {
            std::memcpy(buffer_.get(), bytes, n);
            buffered_ = n;
        }
    }
    written_ += static_cast<int64_t>(n);
}

void OutputFile::flush() {
    if (fd_ < 0 || buffered_ == 0) return;
    size_t pending = std::exchange(buffered_, 0);
    writeThrough(buffer_.get(), pending);
}

void OutputFile::close() {
    if (fd_ < 0) return;
    int fd = fd_;
    try {
        flush();
    } catch (const FileError&) {
        fd_ = -1;
        ::close(fd);
        throw;
    }
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) throw FileError(kStreamWriteError);
}

}  // namespace morvale
