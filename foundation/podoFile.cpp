#include "foundation/podoFile.h"

#include "foundation/platform/podoPlatformFile.h"
#include "foundation/podoPrintf.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace platform = podo::platform;

namespace {

constexpr size_t linePiece = 1024; // bytes collected per piece of a line, with the terminator

// size * count, or false when the product does not fit.
bool byteCount(size_t size, size_t count, size_t &bytes)
{
    if (size != 0 && count > SIZE_MAX / size)
        return false;
    bytes = size * count;
    return true;
}

} // namespace

podoFileBase::~podoFileBase()
{
    if (isOpen())
        podoFileBase::close(false);
    freeRecords();
    delete[] writeBuffer;
}

void podoFileBase::freeRecords()
{
    delete readRecord;
    delete writeRecord;
    readRecord = writeRecord = nullptr;
}

uint32_t podoFileBase::open(const podoStr &path, uint32_t openFlags, bool stream)
{
    if (isOpen()) {
        setError(podoFileError::alreadyOpen);
        return podoFileError::alreadyOpen;
    }
    clearError();
    flags = openFlags;
    streamMode = (openFlags & podoFileFlags::textStream) || stream;
    textMode = (openFlags & podoFileFlags::textStream) != 0;
    streamEnd = false;
    readFailed = false;

    const bool r = openFlags & podoFileFlags::read;
    const bool w = openFlags & podoFileFlags::write;
    const bool c = openFlags & podoFileFlags::create;
    platform::FileOpenRequest request;
    if (streamMode) {
        // The stream modes: "w" writes a new file, "a+" reads and appends, "a"
        // appends (both create a missing file), "r" reads an existing one.
        if (w && c) {
            request.write = true;
            request.disposition = platform::FileDisposition::createAlways;
        } else if (w) {
            request.read = r;
            request.write = request.append = true;
            request.disposition = platform::FileDisposition::openAlways;
        } else if (r) {
            request.read = true;
        } else {
            setError(EINVAL);
            return lastError;
        }
        request.share = platform::FileShare::all;
    } else {
        if (openFlags & podoFileFlags::overlapped) {
            freeRecords();
            readRecord = new podoFileOverlapped();
            writeRecord = new podoFileOverlapped();
        }
        request.read = r;
        request.write = w;
        request.disposition = w && c ? platform::FileDisposition::createAlways : platform::FileDisposition::openExisting;
        request.share = !w && !(openFlags & podoFileFlags::noSharing) ? platform::FileShare::read : platform::FileShare::none;
        request.readOnly = (openFlags & podoFileFlags::readOnly) != 0;
        request.hidden = (openFlags & podoFileFlags::hidden) != 0;
    }
    request.anyCase = request.disposition == platform::FileDisposition::openExisting;

    platform::FileHandle handle = platform::noFile;
    if (const uint32_t error = platform::openFile(path.getNarrow(), request, handle)) {
        setError(error);
        return lastError;
    }
    fileHandle = handle;
    if (&path != &filePath)
        filePath = path;
    return lastError;
}

uint32_t podoFileBase::reopen(uint32_t openFlags)
{
    close(false);
    const podoStr samePath(filePath);
    return open(samePath, openFlags, streamMode);
}

uint32_t podoFileBase::close(bool commit)
{
    freeRecords();
    if (!isOpen()) {
        setError(podoFileError::notOpen);
        return podoFileError::notOpen;
    }
    if (canWrite())
        flush(commit);
    delete[] writeBuffer;
    writeBuffer = nullptr;
    bufferCapacity = bufferFill = 0;
    if (const uint32_t error = platform::closeFile(fileHandle))
        setError(error);
    fileHandle = platform::noFile;
    return lastError;
}

bool podoFileBase::isOpen() const
{
    return fileHandle != platform::noFile;
}

intptr_t podoFileBase::handle() const
{
    return fileHandle;
}

podoFileOverlapped *podoFileBase::readOverlapped() const
{
    return readRecord;
}

podoFileOverlapped *podoFileBase::writeOverlapped() const
{
    return writeRecord;
}

const podoStr &podoFileBase::path() const
{
    return filePath;
}

uint32_t podoFileBase::openFlags() const
{
    return flags;
}

int32_t podoFileBase::getReserved() const
{
    return reserved;
}

void podoFileBase::setOverlappedEvents(podoFileEvent *read, podoFileEvent *write)
{
    readEvent = read;
    writeEvent = write;
    if (readRecord)
        readRecord->event = read ? read->eventHandle() : nullptr;
    if (writeRecord)
        writeRecord->event = write ? write->eventHandle() : nullptr;
}

int64_t podoFileBase::size()
{
    if (!isOpen()) {
        setError(podoFileError::notOpen);
        return 0;
    }
    uint32_t error = 0;
    const int64_t bytes = platform::fileSize(fileHandle, error);
    return bytes < 0 ? 0 : bytes;
}

size_t podoFileBase::read(void *buffer, size_t size, size_t count)
{
    if (!isOpen()) {
        setError(podoFileError::notOpen);
        return 0;
    }
    if (!canRead()) {
        setError(podoFileError::wrongDirection);
        return 0;
    }
    size_t bytes = 0;
    if (!buffer || !byteCount(size, count, bytes))
        return 0;
    if (streamMode)
        return streamRead(static_cast<uint8_t *>(buffer), bytes);
    uint32_t error = 0;
    const int64_t got = platform::readFile(fileHandle, buffer, bytes, error);
    if (got < 0) {
        setError(error);
        readFailed = true;
        return 0;
    }
    if (readRecord)
        readRecord->transferred = static_cast<uint64_t>(got);
    return static_cast<size_t>(got);
}

// The stream's read: sets the end-of-file indicator when the request cannot be met,
// and in text mode reads CRLF as LF.
size_t podoFileBase::streamRead(uint8_t *buffer, size_t bytes)
{
    uint32_t error = 0;
    if (!textMode) {
        const int64_t got = platform::readFile(fileHandle, buffer, bytes, error);
        if (got < 0) {
            setError(error);
            readFailed = streamEnd = true;
            return 0;
        }
        if (static_cast<size_t>(got) < bytes)
            streamEnd = true;
        return static_cast<size_t>(got);
    }
    size_t produced = 0;
    uint8_t chunk[4096];
    while (produced < bytes) {
        const size_t want = std::min(bytes - produced, sizeof chunk);
        const int64_t got = platform::readFile(fileHandle, chunk, want, error);
        if (got < 0) {
            setError(error);
            readFailed = streamEnd = true;
            break;
        }
        if (got == 0) {
            streamEnd = true;
            break;
        }
        for (int64_t i = 0; i < got; ++i) {
            if (chunk[i] != '\r') {
                buffer[produced++] = chunk[i];
                continue;
            }
            if (i + 1 < got) {
                if (chunk[i + 1] != '\n')
                    buffer[produced++] = '\r';
                continue; // a CR before LF is dropped; the LF follows
            }
            // A CR ends the chunk: look at the next byte of the file.
            uint8_t next = 0;
            const int64_t more = platform::readFile(fileHandle, &next, 1, error);
            if (more == 1 && next == '\n') {
                buffer[produced++] = '\n';
            } else {
                buffer[produced++] = '\r';
                if (more == 1) {
                    uint32_t ignored = 0;
                    platform::seekFile(fileHandle, -1, 1, ignored);
                }
            }
        }
    }
    return produced;
}

size_t podoFileBase::readWithDelay(uint32_t milliseconds, void *buffer, size_t pieceSize, size_t pieceCount)
{
    if (!isOpen()) {
        setError(podoFileError::notOpen);
        return 0;
    }
    if (!canRead()) {
        setError(podoFileError::wrongDirection);
        return 0;
    }
    size_t total = 0;
    auto *at = static_cast<uint8_t *>(buffer);
    for (size_t i = 0; i < pieceCount; ++i) {
        platform::sleepMilliseconds(milliseconds);
        total += read(at, pieceSize, 1);
        if (at)
            at += pieceSize;
    }
    return total;
}

size_t podoFileBase::write(const void *data, size_t size, size_t count)
{
    if (!isOpen()) {
        setError(podoFileError::notOpen);
        return 0;
    }
    if (!canWrite()) {
        setError(podoFileError::wrongDirection);
        return 0;
    }
    size_t bytes = 0;
    if (!data || !byteCount(size, count, bytes))
        return 0;
    if (!writeBuffer)
        return writeDirect(data, bytes);
    if (bytes > bufferCapacity - bufferFill && bufferFill > 0) {
        const size_t pending = bufferFill;
        bufferFill = 0;
        if (writeDirect(writeBuffer, pending) != pending)
            return 0; // the failure is the last error, and close reports it
    }
    // A piece larger than the whole buffer goes out directly.
    if (bytes > bufferCapacity)
        return writeDirect(data, bytes);
    std::memcpy(writeBuffer + bufferFill, data, bytes);
    bufferFill += bytes;
    return bytes;
}

size_t podoFileBase::writeWithDelay(uint32_t milliseconds, const void *data, size_t pieceSize, size_t pieceCount)
{
    if (!isOpen()) {
        setError(podoFileError::notOpen);
        return 0;
    }
    if (!canWrite()) {
        setError(podoFileError::wrongDirection);
        return 0;
    }
    size_t total = 0;
    auto *at = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < pieceCount && at; ++i) {
        platform::sleepMilliseconds(milliseconds);
        total += writeDirect(at, pieceSize);
        at += pieceSize;
    }
    return total;
}

size_t podoFileBase::writeDouble(double value)
{
    return write(&value, sizeof value, 1);
}

size_t podoFileBase::writeFloat(float value)
{
    return write(&value, sizeof value, 1);
}

size_t podoFileBase::writeInt32(int32_t value)
{
    return write(&value, sizeof value, 1);
}

size_t podoFileBase::writeUInt32(uint32_t value)
{
    return write(&value, sizeof value, 1);
}

size_t podoFileBase::writeInt16(int16_t value)
{
    return write(&value, sizeof value, 1);
}

size_t podoFileBase::writeUInt16(uint16_t value)
{
    return write(&value, sizeof value, 1);
}

size_t podoFileBase::writeInt8(int8_t value)
{
    return write(&value, sizeof value, 1);
}

size_t podoFileBase::writeUInt8(uint8_t value)
{
    return write(&value, sizeof value, 1);
}

size_t podoFileBase::writeTextWide(const char16_t *text, int32_t length)
{
    if (!text)
        return 0;
    size_t units = length > 0 ? static_cast<size_t>(length) : 0;
    if (length <= 0)
        while (text[units])
            ++units;
    return write(text, sizeof(char16_t), units);
}

size_t podoFileBase::writeTextNarrow(const char *text, int32_t length)
{
    if (!text)
        return 0;
    const size_t bytes = length > 0 ? static_cast<size_t>(length) : std::strlen(text);
    return write(text, 1, bytes);
}

size_t podoFileBase::printfWide(const char16_t *format, ...)
{
    if (!isOpen()) {
        setError(podoFileError::notOpen);
        return 0;
    }
    if (!canWrite()) {
        setError(podoFileError::wrongDirection);
        return 0;
    }
    if (!format)
        return 0;
    podo::TextSink<char16_t> text;
    va_list args;
    va_start(args, format);
    podo::formatText(text, format, args);
    va_end(args);
    return write(text.text(), sizeof(char16_t), text.size());
}

size_t podoFileBase::printf(const char *format, ...)
{
    if (!isOpen()) {
        setError(podoFileError::notOpen);
        return 0;
    }
    if (!canWrite()) {
        setError(podoFileError::wrongDirection);
        return 0;
    }
    if (!format)
        return 0;
    podo::TextSink<char> text;
    va_list args;
    va_start(args, format);
    podo::formatText(text, format, args);
    va_end(args);
    return write(text.text(), 1, text.size());
}

int32_t podoFileBase::readLine(podoStr *line)
{
    // Pieces of up to 1,023 bytes; a full piece means the line goes on. Bytes are
    // read one at a time through the class's own read, so a podoFile's position
    // follows. The length is kept by count, not by terminator, so a NUL byte in the
    // line neither cuts it short nor starts a new line.
    std::vector<char> text;
    for (;;) {
        size_t stored = 0;
        char c = 0;
        while (stored < linePiece - 1 && read(&c, 1, 1) == 1) {
            if (c == '\n')
                break;
            if (c == '\r')
                continue;
            text.push_back(c);
            ++stored;
        }
        if (stored < linePiece - 1)
            break;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const int32_t length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX - 1));
    if (line)
        line->setNarrow(text.data(), length);
    return length;
}

size_t podoFileBase::waitRead(uint32_t)
{
    // Transfers have completed when read returned; nothing is left to wait for.
    return readRecord ? static_cast<size_t>(readRecord->transferred) : 0;
}

size_t podoFileBase::waitWrite(uint32_t)
{
    return writeRecord ? static_cast<size_t>(writeRecord->transferred) : 0;
}

uint32_t podoFileBase::flush(bool commit)
{
    if (!isOpen()) {
        setError(podoFileError::notOpen);
        return podoFileError::notOpen;
    }
    if (!canWrite()) {
        setError(podoFileError::wrongDirection);
        return podoFileError::wrongDirection;
    }
    flushBuffer();
    // Streams are opened to commit on every flush.
    if (commit || streamMode)
        if (const uint32_t error = platform::commitFile(fileHandle))
            setError(error);
    return lastError;
}

bool podoFileBase::setBufferSize(size_t capacity)
{
    delete[] writeBuffer;
    writeBuffer = nullptr;
    bufferFill = 0;
    bufferCapacity = capacity;
    if (capacity == 0)
        return true;
    writeBuffer = new (std::nothrow) uint8_t[capacity];
    if (!writeBuffer)
        bufferCapacity = 0;
    return writeBuffer != nullptr;
}

uint32_t podoFileBase::getError() const
{
    return lastError;
}

void podoFileBase::setError(uint32_t code)
{
    lastError = code;
}

void podoFileBase::clearError()
{
    lastError = 0;
}

size_t podoFileBase::writeDirect(const void *data, size_t bytes)
{
    if (!textMode)
        return rawWrite(data, bytes);
    // Text mode: every LF goes out as CR LF.
    const auto *in = static_cast<const uint8_t *>(data);
    std::vector<uint8_t> out;
    out.reserve(bytes + bytes / 8 + 1);
    for (size_t i = 0; i < bytes; ++i) {
        if (in[i] == '\n')
            out.push_back('\r');
        out.push_back(in[i]);
    }
    return rawWrite(out.data(), out.size()) == out.size() ? bytes : 0;
}

size_t podoFileBase::rawWrite(const void *data, size_t bytes)
{
    uint32_t error = 0;
    const int64_t written = platform::writeFile(fileHandle, data, bytes, error);
    if (written < 0) {
        setError(error);
        return 0;
    }
    if (writeRecord)
        writeRecord->transferred = static_cast<uint64_t>(written);
    return static_cast<size_t>(written);
}

uint32_t podoFileBase::flushBuffer()
{
    if (writeBuffer && bufferFill > 0) {
        writeDirect(writeBuffer, bufferFill);
        bufferFill = 0;
    }
    return lastError;
}

int64_t podoFileBase::systemSeek(int64_t offset, int origin, bool &ok)
{
    uint32_t error = 0;
    const int64_t at = platform::seekFile(fileHandle, offset, origin, error);
    ok = at >= 0;
    return at;
}

podoFile::podoFile()
{
    reserved = 100;
}

podoFile::podoFile(const podoStr &path, uint32_t openFlags, bool stream) : podoFile()
{
    open(path, openFlags, stream);
}

podoFile::~podoFile()
{
    if (isOpen())
        close(false);
}

uint32_t podoFile::open(const podoStr &path, uint32_t openFlags, bool stream)
{
    const uint32_t createForWriting = podoFileFlags::write | podoFileFlags::create;
    if ((openFlags & createForWriting) == createForWriting && !isOpen()) {
        // The folder part of the path, without its trailing separator; a failure
        // here shows as the failure of the open that follows.
        const char *text = path.getNarrow();
        const char *lastSeparator = nullptr;
        for (const char *p = text; *p; ++p)
            if (*p == '/' || *p == '\\')
                lastSeparator = p;
        if (lastSeparator && lastSeparator > text) {
            const std::string folder(text, lastSeparator);
            if (!folder.empty() && folder.back() != ':')
                platform::createFolders(folder.c_str());
        }
    }
    const uint32_t result = podoFileBase::open(path, openFlags, stream);
    if (result == 0) {
        position = 0;
        seek(0, 0);
    }
    return result;
}

size_t podoFile::read(void *buffer, size_t size, size_t count)
{
    if (!buffer) {
        size_t bytes = 0;
        if (!byteCount(size, count, bytes) || bytes > static_cast<size_t>(INT64_MAX))
            return 0;
        seek(static_cast<int64_t>(bytes), 1);
        return bytes;
    }
    const size_t got = podoFileBase::read(buffer, size, count);
    position += static_cast<int64_t>(got);
    return got;
}

size_t podoFile::write(const void *data, size_t size, size_t count)
{
    const size_t accepted = podoFileBase::write(data, size, count);
    position += static_cast<int64_t>(accepted);
    return accepted;
}

uint32_t podoFile::flushBuffer()
{
    // The bytes were counted into the position when they were written.
    return podoFileBase::flushBuffer();
}

int64_t podoFile::seek(int64_t offset, int origin)
{
    if (!isOpen()) {
        setError(podoFileError::notOpen);
        return 0;
    }
    flushBuffer();
    bool ok = false;
    const int64_t at = systemSeek(offset, origin == 0 || origin == 2 ? origin : 1, ok);
    if (ok) {
        position = at;
        streamEnd = false;
        readFailed = false;
    }
    return position;
}

int64_t podoFile::rewind()
{
    return seek(0, 0);
}

int64_t podoFile::tell()
{
    if (!isOpen())
        return position;
    bool ok = false;
    const int64_t at = systemSeek(0, 1, ok);
    if (ok)
        position = at;
    return position;
}

bool podoFile::isEnd()
{
    if (!isOpen()) {
        setError(podoFileError::notOpen);
        return true;
    }
    if (!canRead())
        return false;
    // A failed read ends every loop that waits for the end of the file.
    if (readFailed)
        return true;
    if (streamMode)
        return streamEnd;
    return tell() >= size();
}
