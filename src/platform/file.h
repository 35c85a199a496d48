#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_error.h"

namespace morvale {

bool fileExists(const std::string& path);

// Makes a relative path absolute against the current directory (for messages).
std::string absolutePath(const std::string& path);

enum class ShareMode {
    Shared,    // other programs may read and write the file meanwhile
    Exclusive  // fails while another program holds the file locked, and locks it
};

// A source file opened for reading: 64-bit size and position, plain reads.
class SourceFile {
public:
    SourceFile() = default;
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    SourceFile(SourceFile&& other) noexcept;
    SourceFile& operator=(SourceFile&& other) noexcept;
    ~SourceFile();

    // Throws FileError("Cannot open file ...") on failure.
    static SourceFile open(const std::string& path, ShareMode mode);

    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    // The size as the file system reports it now (asked anew on every call). Throws
    // FileError("Stream read error") when the system cannot tell it.
    int64_t size() const;
    int64_t position() const { return position_; }
    void seek(int64_t position) { position_ = position; }
    // Reads up to n bytes at the current position and advances it; returns the count,
    // 0 at the end of the file. Throws FileError("Stream read error") when the read fails.
    int64_t read(void* buffer, int64_t n);
    // The read of a loop that runs while the position is below the size: like read, but a
    // read that delivers nothing (the file ends before the size said) throws FileError("Stream
    // read error") too, so the loop cannot spin.
    int64_t readSome(void* buffer, int64_t n);
    void close();

private:
    int fd_ = -1;
    int64_t position_ = 0;
    std::string path_;
};

// An output file created (or emptied) for writing, locked exclusively, written through a
// buffer of its own. Every failed or short write, the final flush included, throws
// FileError("Stream write error"). Closing flushes; the destructor closes without throwing.
class OutputFile {
public:
    // A page short of 1 MiB, so that the buffer's writes do not all start at 1 MiB
    // boundaries: the page cache takes such writes into 1 MiB folios, which a virtual
    // machine that hands its free memory back to the host is slow to provide (rebuilding
    // 1 GiB took 0.35 s with this size, and 0.35 to 2.1 s with exactly 1 MiB).
    static constexpr size_t kBufferSize = (1 << 20) - 4096;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    ~OutputFile();

    // Throws FileError("Cannot create file ...") on failure.
    static OutputFile create(const std::string& path);

    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    // Bytes accepted so far (written or buffered).
    int64_t bytesWritten() const { return written_; }

    void write(const void* data, size_t n);
    void flush();
    // Flushes and closes; throws FileError("Stream write error") when the flush fails
    // (the file is closed all the same).
    void close();

private:
    void writeThrough(const uint8_t* data, size_t n);

    int fd_ = -1;
    std::string path_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t buffered_ = 0;
    int64_t written_ = 0;
};

}  // namespace morvale
