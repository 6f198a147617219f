#include "banks/BankFile.h"

#include "foundation/davalArrayString.h"
#include "foundation/podoFile.h"
#include "foundation/podoFileFind.h"
#include "foundation/podoLog.h"
#include "foundation/podoShell.h"
#include "foundation/podoWnd.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace banks {

namespace {

const char *const magicTexts[] = {
    "ORVANEX -Quorix    -Patches          ",
    "ORVANEX -Quorix    -User             ",
    "ORVANEX -Quorix    -Patch Color      ",
    "ORVANEX -Quorix    -Samples          ",
    "ORVANEX -Quorix    -Wavetables       ",
};

uint16_t reverse16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }

uint32_t reverse32(uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

const char *bankMagic(BankKind kind) { return magicTexts[static_cast<int>(kind)]; }

uint8_t machineByteOrderMark()
{
    return std::endian::native == std::endian::little ? kLittleEndianMark : kBigEndianMark;
}

namespace {

class ProcessBankReport : public BankReport
{
public:
    void logLine(int level, bool toFile, const podoStr &line) override
    {
        podo::logMessage(level, toFile, "%s", line.getNarrow());
    }
    void showError(const podoStr &message, const podoStr &detail) override
    {
        podo::showError(message, detail, kCaption, nullptr);
    }
};

} // namespace

BankReport &processBankReport()
{
    static ProcessBankReport report;
    return report;
}

void BankLoadSetup::log(int level, bool toFile, const podoStr &line) const
{
    if (report)
        report->logLine(level, toFile, line);
}

void BankLoadSetup::showError(const podoStr &message, const podoStr &detail) const
{
    if (report)
        report->showError(message, detail);
}

int32_t bankFileNumber(const podoStr &stem)
{
    char head[4] = {};
    const char *text = stem.getNarrow();
    for (int i = 0; i < 3 && text && text[i]; ++i)
        head[i] = text[i];
    int i = 0;
    while (i < 3 && isBlank(head[i]))
        ++i;
    bool negative = false;
    if (head[i] == '+' || head[i] == '-') {
        negative = head[i] == '-';
        ++i;
    }
    int32_t value = 0;
    while (i < 3 && head[i] >= '0' && head[i] <= '9')
        value = value * 10 + (head[i++] - '0');
    return negative ? -value : value;
}

void bankFileName(const podoStr &stem, char (&name)[kNameSize])
{
    std::memset(name, 0, sizeof name);
    const char *text = stem.getNarrow();
    if (!text || std::strlen(text) <= 4)
        return;
    text += 4;
    size_t n = std::min<size_t>(std::strlen(text), kNameSize - 1);
    // Never split a UTF-8 sequence: drop continuation bytes cut from their lead.
    if (text[n] != '\0')
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(name, text, n);
}

int listBankFiles(const podoStr &folder, const char *extension, int firstIndex, podoStr *names)
{
    // An empty folder would search the process's working folder.
    if (firstIndex < 0 || firstIndex >= kMaxBankFiles || !names || folder.isEmpty())
        return 0;
    const size_t extLength = std::strlen(extension);
    davalArrayString found;
    podoFileFind search;
    podoStr entry;
    uint32_t attributes = 0;
    for (bool more = search.findFirst(folder + "*" + extension, &entry, &attributes); more;
         more = search.findNext(&entry, &attributes)) {
        if (attributes & podoFileAttributes::folder)
            continue;
        const char *text = entry.getNarrow();
        const size_t length = std::strlen(text);
        if (length <= extLength || std::strcmp(text + length - extLength, extension) != 0)
            continue;
        podoStr stem;
        stem.setNarrow(text, static_cast<int>(length - extLength));
        found.add(stem);
    }
    search.close();
    found.sort(true);
    const int kept = std::min(found.getCount(), kMaxBankFiles - firstIndex);
    for (int i = 0; i < kept; ++i)
        names[firstIndex + i] = *found.at(i);
    return kept;
}

podoStr bankFilePath(const podoStr &folder, int32_t number, const char *name, const char *extension)
{
    podoStr path;
    path.format("%s%03d %s%s", folder.getNarrow(), number, name, extension);
    return path;
}

podoStr formatText(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    va_end(again);
    return podoStr(out.c_str());
}

void copyNameField(char (&field)[kNameSize], const char *source, int size)
{
    std::memset(field, 0, sizeof field);
    int n = 0;
    while (n < size && n < kNameSize - 1 && source[n] != '\0')
        ++n;
    std::memcpy(field, source, static_cast<size_t>(n));
}

bool MemoryBankSource::read(void *buffer, size_t count)
{
    if (count > size - position)
        return false;
    if (count)
        std::memcpy(buffer, data + position, count);
    position += count;
    return true;
}

bool MemoryBankSource::skip(uint64_t count)
{
    if (count > size - position)
        return false;
    position += static_cast<size_t>(count);
    return true;
}

FileBankSource::FileBankSource(podoFile &file) : file(file)
{
    const int64_t size = file.size();
    const int64_t at = file.tell();
    left = size > at ? static_cast<uint64_t>(size - at) : 0;
}

bool FileBankSource::read(void *buffer, size_t count)
{
    if (count > left)
        return false;
    if (count == 0)
        return true;
    const size_t got = file.read(buffer, 1, count);
    left -= std::min<uint64_t>(got, left);
    if (got != count) {
        left = 0; // the file changed under us: nothing after this is trusted
        return false;
    }
    return true;
}

bool FileBankSource::skip(uint64_t count)
{
    if (count > left)
        return false;
    file.seek(static_cast<int64_t>(count), 1);
    left -= count;
    return true;
}

bool BankReader::i16(int16_t &value)
{
    uint16_t raw;
    if (!source.read(&raw, sizeof raw))
        return false;
    value = static_cast<int16_t>(swap ? reverse16(raw) : raw);
    return true;
}

bool BankReader::i32(int32_t &value)
{
    uint32_t raw;
    if (!source.read(&raw, sizeof raw))
        return false;
    value = static_cast<int32_t>(swap ? reverse32(raw) : raw);
    return true;
}

bool BankReader::f32(float &value)
{
    uint32_t raw;
    if (!source.read(&raw, sizeof raw))
        return false;
    if (swap)
        raw = reverse32(raw);
    std::memcpy(&value, &raw, sizeof value);
    return true;
}

bool BankReader::i16s(int16_t *values, size_t count)
{
    if (count > source.remaining() / 2 || !source.read(values, count * 2))
        return false;
    if (swap)
        for (size_t i = 0; i < count; ++i)
            values[i] = static_cast<int16_t>(reverse16(static_cast<uint16_t>(values[i])));
    return true;
}

bool BankReader::f32s(float *values, size_t count)
{
    if (count > source.remaining() / 4 || !source.read(values, count * 4))
        return false;
    if (swap)
        for (size_t i = 0; i < count; ++i) {
            uint32_t raw;
            std::memcpy(&raw, &values[i], 4);
            raw = reverse32(raw);
            std::memcpy(&values[i], &raw, 4);
        }
    return true;
}

HeaderStatus readBankHeader(BankReader &reader, BankKind kind, uint8_t ownMark, BankHeader &header)
{
    uint8_t magic[kMagicSize] = {};
    const size_t present = static_cast<size_t>(std::min<uint64_t>(reader.remaining(), kMagicSize));
    reader.bytes(magic, present);
    uint8_t expected[kMagicSize] = {};
    std::memcpy(expected, bankMagic(kind), 37);
    expected[37] = 0x1A;
    if (std::memcmp(magic, expected, present) != 0)
        return HeaderStatus::wrongId;
    // What is there matches: a head cut short is damage, not another kind of file.
    uint8_t mark = 0;
    if (present < kMagicSize || !reader.u8(mark))
        return HeaderStatus::damaged;
    if (mark != kLittleEndianMark && mark != kBigEndianMark)
        return HeaderStatus::wrongId;
    header.byteOrderMark = mark;
    header.swap = mark != ownMark;
    reader.setSwap(header.swap);
    if (!reader.i32(header.version))
        return HeaderStatus::damaged;
    return HeaderStatus::ok;
}

BankWriter::BankWriter(uint8_t byteOrderMark)
    : mark(byteOrderMark), swap(byteOrderMark != machineByteOrderMark())
{
}

void BankWriter::header(BankKind kind, int32_t version)
{
    bytes(bankMagic(kind), 37);
    u8(0x1A);
    u8(0);
    u8(mark);
    i32(version);
}

void BankWriter::bytes(const void *data, size_t size)
{
    const uint8_t *p = static_cast<const uint8_t *>(data);
    out.insert(out.end(), p, p + size);
}

void BankWriter::i16(int16_t value)
{
    uint16_t raw = static_cast<uint16_t>(value);
    if (swap)
        raw = reverse16(raw);
    bytes(&raw, sizeof raw);
}

void BankWriter::i32(int32_t value)
{
    uint32_t raw = static_cast<uint32_t>(value);
    if (swap)
        raw = reverse32(raw);
    bytes(&raw, sizeof raw);
}

void BankWriter::f32(float value)
{
    uint32_t raw;
    std::memcpy(&raw, &value, sizeof raw);
    if (swap)
        raw = reverse32(raw);
    bytes(&raw, sizeof raw);
}

void BankWriter::name(const char *text)
{
    char field[kNameSize] = {};
    for (int i = 0; i < kNameSize && text && text[i]; ++i)
        field[i] = text[i];
    bytes(field, sizeof field);
}

uint32_t replaceBankFile(const podoStr &path, const std::vector<uint8_t> &bytes)
{
    // Named per process and write, so that two writers of one file never share a temporary.
    static std::atomic<uint32_t> writes{0};
    podoStr temporary;
    temporary.format("%s.%d-%u.tmp", path.getNarrow(), static_cast<int>(getpid()), writes.fetch_add(1) + 1);
    podoFile file;
    uint32_t error = file.open(temporary, podoFileFlags::write | podoFileFlags::create);
    if (error != 0)
        return error;
    if (!bytes.empty() && file.write(bytes.data(), 1, bytes.size()) != bytes.size())
        error = file.getError() != 0 ? file.getError() : 1;
    const uint32_t closed = file.close(true);
    if (error == 0)
        error = closed;
    if (error == 0 && !podo::moveFile(temporary, path))
        error = 1;
    if (error != 0)
        podo::deleteFile(temporary);
    return error;
}

bool writeBankFile(const podoStr &path, const std::vector<uint8_t> &bytes) { return replaceBankFile(path, bytes) == 0; }

} // namespace banks
