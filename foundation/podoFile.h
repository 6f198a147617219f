#pragma once

#include "foundation/podoStr.h"

#include <cstddef>
#include <cstdint>

// podoFileFlags: the word given to open.
namespace podoFileFlags {
constexpr uint32_t read = 0x01;
constexpr uint32_t write = 0x02;
constexpr uint32_t create = 0x04;    // with write: create or truncate
constexpr uint32_t noSharing = 0x10; // also for a file opened only for reading
constexpr uint32_t overlapped = 0x20;
constexpr uint32_t textStream = 0x200; // stream functions in text mode: CRLF <-> LF
constexpr uint32_t readOnly = 0x20000; // attributes of a created file
constexpr uint32_t hidden = 0x40000;
constexpr uint32_t system = 0x80000;
} // namespace podoFileFlags

// The file classes' own codes in the last-error field; any other value is the
// system's error code of the failing call.
namespace podoFileError {
constexpr uint32_t none = 0;
constexpr uint32_t notOpen = 0x906075;
constexpr uint32_t alreadyOpen = 0x906076;
constexpr uint32_t wrongDirection = 0x906077;
} // namespace podoFileError

// Something that yields a system event handle for overlapped transfers.
class podoFileEvent
{
public:
    virtual ~podoFileEvent() = default;
    virtual void *eventHandle() const = 0;
};

// An overlapped-transfer record. Transfers on this system complete before the
// call returns, so the record only keeps the event and the last byte count.
struct podoFileOverlapped {
    void *event = nullptr;
    uint64_t transferred = 0;
};

// An unbuffered file over a system handle, or over a stream with an end-of-file
// indicator and, in text mode, line-end translation (CRLF read as LF, LF written as
// CRLF). Every failure is recorded as the last error and gives a neutral result
// (0 bytes, false, 0); nothing is thrown or logged. One thread at a time.
class podoFileBase
{
public:
    podoFileBase() = default;
    podoFileBase(const podoFileBase &) = delete;
    podoFileBase &operator=(const podoFileBase &) = delete;
    virtual ~podoFileBase();

    // 0 on success, else the code that is also the last error.
    virtual uint32_t open(const podoStr &path, uint32_t flags, bool stream = false);
    virtual uint32_t reopen(uint32_t flags);
    // Flushes (committing when asked), closes and returns the last error: a failed
    // flush or close is reported here.
    virtual uint32_t close(bool commit = false);
    virtual bool isOpen() const;
    virtual intptr_t handle() const;
    virtual podoFileOverlapped *readOverlapped() const;
    virtual podoFileOverlapped *writeOverlapped() const;
    virtual const podoStr &path() const;
    virtual uint32_t openFlags() const;
    virtual int32_t getReserved() const;
    virtual void setOverlappedEvents(podoFileEvent *readEvent, podoFileEvent *writeEvent);
    virtual int64_t size();

    // Bytes read (size * count asked); fewer at the end of the file.
    virtual size_t read(void *buffer, size_t size, size_t count);
    virtual size_t readWithDelay(uint32_t milliseconds, void *buffer, size_t pieceSize, size_t pieceCount);
    // Bytes accepted.
    virtual size_t write(const void *data, size_t size, size_t count);
    virtual size_t writeWithDelay(uint32_t milliseconds, const void *data, size_t pieceSize, size_t pieceCount);
    // The value's bytes in the machine's order (little-endian).
    virtual size_t writeDouble(double value);
    virtual size_t writeFloat(float value);
    virtual size_t writeInt32(int32_t value);
    virtual size_t writeUInt32(uint32_t value);
    virtual size_t writeInt16(int16_t value);
    virtual size_t writeUInt16(uint16_t value);
    virtual size_t writeInt8(int8_t value);
    virtual size_t writeUInt8(uint8_t value);
    // A length of 0 means up to the terminator; nothing is added. Wide text goes out
    // as 2 bytes a character.
    virtual size_t writeTextWide(const char16_t *text, int32_t length = 0);
    virtual size_t writeTextNarrow(const char *text, int32_t length = 0);
    // Formatted as podoStr::format does; the whole text is written, however long.
    virtual size_t printfWide(const char16_t *format, ...);
    virtual size_t printf(const char *format, ...);
    // One line without its line end (CRs are dropped); lines have no length limit and
    // keep NUL bytes. Returns the line's length in bytes; the end of the file reads
    // as an empty line.
    virtual int32_t readLine(podoStr *line);
    virtual size_t waitRead(uint32_t milliseconds);
    virtual size_t waitWrite(uint32_t milliseconds);
    virtual uint32_t flush(bool commit = false);
    // Drops the present buffer without writing it; callers flush first.
    virtual bool setBufferSize(size_t capacity);
    virtual uint32_t getError() const;
    virtual void setError(uint32_t code);
    virtual void clearError();
    virtual size_t writeDirect(const void *data, size_t size);
    virtual uint32_t flushBuffer();

protected:
    // Raw position moves, shared with podoFile.
    int64_t systemSeek(int64_t offset, int origin, bool &ok);
    bool canRead() const { return (flags & podoFileFlags::read) != 0; }
    bool canWrite() const { return (flags & podoFileFlags::write) != 0; }

    bool streamMode = false;
    bool textMode = false;
    bool streamEnd = false;  // the stream's end-of-file indicator
    bool readFailed = false; // a read failed since the last open or seek
    intptr_t fileHandle = -1;
    podoFileOverlapped *readRecord = nullptr;
    podoFileOverlapped *writeRecord = nullptr;
    podoStr filePath;
    uint32_t flags = 0;
    int32_t reserved = 0;
    uint8_t *writeBuffer = nullptr;
    size_t bufferCapacity = 0;
    size_t bufferFill = 0;
    podoFileEvent *readEvent = nullptr;
    podoFileEvent *writeEvent = nullptr;
    uint32_t lastError = 0;

private:
    size_t streamRead(uint8_t *buffer, size_t size);
    size_t rawWrite(const void *data, size_t size);
    void freeRecords();
};

// Adds a tracked 64-bit position, seek, tell and an end-of-file test, and creates
// the missing folders of a path that it creates for writing.
class podoFile : public podoFileBase
{
public:
    podoFile();
    // Opens at once; the result is the last error (test getError or isOpen).
    podoFile(const podoStr &path, uint32_t flags, bool stream = false);
    ~podoFile() override;

    uint32_t open(const podoStr &path, uint32_t flags, bool stream = false) override;
    // A null buffer skips size * count bytes forward and returns size * count.
    size_t read(void *buffer, size_t size, size_t count) override;
    size_t write(const void *data, size_t size, size_t count) override;
    uint32_t flushBuffer() override;

    // origin: 0 start, 1 current, 2 end (any other value: current). The new position.
    virtual int64_t seek(int64_t offset, int origin);
    virtual int64_t rewind();
    // The system's position; bytes still in the write buffer are not counted.
    virtual int64_t tell();
    virtual bool isEnd();

protected:
    int64_t position = 0;
};
