// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/file_error.h"
#include "platform/write_behind.h"

namespace morvale {

bool fileExists(const std::string& path);

// Cuts a file to `size` bytes. Throws FileError("Stream write error") with the reason.
void truncateFile(const std::string& path, int64_t size);

// Makes a relative path absolute against the current directory (for messages).
std::string absolutePath(const std::string& path);
// An output folder in full, ending in a separator: empty is the current folder.
std::string absoluteFolder(const std::string& folder);

enum class ShareMode {
    Shared,    // other programs may read and write the file meanwhile
    Exclusive  // fails while another program holds the file locked, and locks it
};

class ReadAhead;

// A source file opened for reading: 64-bit size and position, plain reads. Unless the file
// layer works without threads (file_threads.h), the file is read ahead from the first read on,
// so the reads find their bytes waiting; each read still returns what a read of the file at
// that moment would, and fails where such a read would. A read that meets the end the
// read-ahead met ends there; after that, after a failed read ahead and once the file has
// changed (grown, cut or rewritten), the reads read the file themselves.
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
    // The size as the file system reports it now (asked anew on every call): a file still
    // being written grows. Throws FileError("Stream read error") when the system cannot tell
    // it, and when it is below a size told before or below the bytes read so far (the file
    // was cut while it was read; reason() "the file became shorter while it was read").
    int64_t size() const;
    int64_t position() const { return position_; }
    void seek(int64_t position);
    // Reads up to n bytes at the current position and advances it; returns the count,
    // 0 at the end of the file. Throws FileError("Stream read error") when the read fails
    // (reason() and path() tell why and of which file, as for every failure below).
    int64_t read(void* buffer, int64_t n);
    // The read of a loop that runs while the position is below the size: like read, but a
    // read that delivers nothing (the file ends before the size said) throws FileError("Stream
    // read error") too, so the loop cannot spin.
    int64_t readSome(void* buffer, int64_t n);
    // readSome without the copy where the bytes lie in one piece of what was read ahead: the
    // bytes are returned where they lie, or read into `buffer` (room for n bytes). They stay
    // valid until the next read, seek or close.
    std::span<const uint8_t> readSomeInPlace(uint8_t* buffer, int64_t n);
    void close();

  private:
    // Bytes at the position from what was read ahead, as far as it goes (starting it first).
    // Sets atFileEnd when it went as far as the end of the file it met: the read ends there,
    // as the same read of the file would have (a file still being written seems to end where
    // its writer is); the next read reads the file itself.
    int64_t takeReadAhead(uint8_t* buffer, int64_t n, bool& atFileEnd);
    // Ends the read-ahead for good; true when it ended at the end of the file.
    bool spendReadAhead();
    // The rest of a read of n bytes of which `total` are in buffer already: from what was read
    // ahead, then from the file unless the read-ahead met its end. Returns the new total.
    int64_t readRest(uint8_t* buffer, int64_t total, int64_t n);
    bool readsAhead() const { return readsAhead_ && !readAheadSpent_; }
    // Starts reading ahead, or stops for good when the file changed since it started (what
    // was read ahead may no longer be there). True while reading ahead.
    bool keepReadingAhead();
    int64_t readFromFile(uint8_t* buffer, int64_t n, int64_t at);
    // Moves the position on by bytes delivered to the caller.
    void advance(int64_t bytes);

    int fd_ = -1;
    int64_t position_ = 0;
    std::string path_;
    bool readsAhead_ = false;
    bool readAheadSpent_ = false;  // it met its end: later reads read the file themselves
    std::unique_ptr<ReadAhead> readAhead_;
    // The size and modification time (-1: unknown).
    struct FileState {
        int64_t size = -1;
        int64_t modified = -1;  // nanoseconds
        bool operator==(const FileState&) const = default;
    };
    FileState state() const;
    FileState readAheadFrom_;          // the file as it was when the read-ahead started
    mutable int64_t largestSize_ = 0;  // the largest size told so far
    int64_t reached_ = 0;              // the furthest position reads delivered bytes up to
};

// Outputs may be written behind the program's back (see OutputFile): a write that fails
// there shows at the next write, flush or close of any output open meanwhile, or here.
// Throws FileError("Stream write error") when a write of the outputs open now has failed;
// its reason() and path() are those of the write that failed, whichever output it was for.
void checkOutputWrites();
// Waits until everything handed to the outputs so far is written, then as checkOutputWrites.
void finishOutputWrites();

// An output file created (or emptied) for writing, locked exclusively, written through a
// buffer of its own. Every failed or short write, the final flush included, throws
// FileError("Stream write error") with the system's reason and the path of the output whose
// write failed (logLine(): "Stream write error: No space left on device (out/a.mpv)").
// Closing flushes; the destructor closes without throwing.
//
// Unless the file layer works without threads (file_threads.h), full buffers are written
// behind (write_behind.h) and the caller goes on filling the next: a failed write then
// throws at the next write, flush or close of any output open meanwhile, at the latest (or
// at checkOutputWrites), and the outputs keep what they would have kept had the write failed
// in the caller's thread. Closing waits until the output is written, and throws when a write
// failed behind that this output has not thrown for yet.
class OutputFile {
  public:
    // The buffers of the outputs open at once share 12 MiB: an output's buffer, chosen at
    // its first write, is its share of that (at least 60 KiB) and at most kBufferSize, each a
    // page short of a multiple of 64 KiB. So a demux into many outputs does not need a
    // buffer's worth of memory for each.
    static constexpr size_t kBuffersSize = 12 << 20;
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
    // Writes out what is buffered and waits until it is written.
    void flush();
    // Flushes and closes; throws FileError("Stream write error") when the flush fails
    // (the file is closed all the same).
    void close();

  private:
    void throwIfFailedBehind();
    void writeBuffer();
    void writeLarge(const uint8_t* data, size_t n);
    void writeThrough(const uint8_t* data, size_t n);

    int fd_ = -1;
    std::string path_;
    WriteBehind* behind_ = nullptr;  // null: written in the caller's thread
    WriteBehind::Fill fill_;
    size_t capacity_ = 0;        // of fill_'s buffer, chosen at the first write
    uint64_t lastHandOver_ = 0;  // of this output's buffers to the write-behind
    bool failureShown_ = false;  // a failure behind was thrown here already
    int64_t written_ = 0;
};

}  // namespace morvale
