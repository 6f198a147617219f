#pragma once
// What every bank file shares: the 44-byte head, the byte-order rule, the number and name a file
// name carries, the listing of a kind's files, bounded field readers over a byte source and a
// field writer. The loaders of each kind build on these; none of them trusts a count it reads.

#include "foundation/podoStr.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class podoFile;

namespace banks {

inline constexpr int kMaxBankFiles = 128;      // files of one kind; patch categories: factory and user together
inline constexpr int kBankNumberCount = 1000;  // file numbers 0..999
inline constexpr int32_t kNoIndex = -1;        // number-table entry of a number no file of this load carries
inline constexpr int kNameSize = 24;           // name fields: at most 23 characters and a terminator
inline constexpr int kMagicSize = 39;          // 37 text characters, 0x1A, NUL
inline constexpr int kHeaderSize = 44;         // magic, byte-order mark, int32 version
inline constexpr uint8_t kLittleEndianMark = 76; // 'L': this machine's order
inline constexpr uint8_t kBigEndianMark = 66;    // 'B'

// The words of the "%s:%s:" log prefixes and the caption of every box.
inline constexpr const char *kMakerWord = "Kestrane";
inline constexpr const char *kProductWord = "Quorix";
inline constexpr const char *kCaption = "Kestrane Quorix";

enum class BankKind { patches, user, patchColour, samples, wavetables };

// The 37 magic characters of a kind (without 0x1A and NUL).
const char *bankMagic(BankKind kind);

// The byte-order mark this machine writes and reads without swapping.
uint8_t machineByteOrderMark();

// Where loaders send their log lines and error boxes. The plug-in forwards them to the
// process's logger and message boxes; tests record them.
class BankReport
{
public:
    virtual ~BankReport() = default;
    // toFile false: the debugger output only.
    virtual void logLine(int level, bool toFile, const podoStr &line) = 0;
    // A box with the caption kCaption; it also writes "message - detail" to the log.
    virtual void showError(const podoStr &message, const podoStr &detail) = 0;
};

// The process's logger and message boxes (caption kCaption, no owner).
BankReport &processBankReport();

// Everything a loader needs from the instance: its folder (ending with a separator), the
// byte-order mark it compares files against, and where its messages go (null: nowhere).
struct BankLoadSetup {
    podoStr folder;
    uint8_t byteOrderMark = kLittleEndianMark;
    BankReport *report = nullptr;

    void log(int level, bool toFile, const podoStr &line) const;
    void showError(const podoStr &message, const podoStr &detail) const;
};

// The number a stem carries: its first three characters, and only those, as a decimal integer
// (blanks skipped, an optional sign, digits up to the first other character; none gives 0).
int32_t bankFileNumber(const podoStr &stem);

// The name a stem carries: from its fifth character on, cut to 23 bytes at a character
// boundary and terminated. A stem of four characters or fewer gives the empty name.
void bankFileName(const podoStr &stem, char (&name)[kNameSize]);

// Lists the files folder*extension (extension with its dot, e.g. ".smp"), whole; sorts the
// stems (file names without the extension) in natural order; keeps the first
// kMaxBankFiles - firstIndex of them in names[firstIndex...]. The files kept therefore never
// depend on the order in which the folder is read. Only names that end with the extension
// exactly are taken, since the loaders open folder + stem + extension. Returns the number kept.
int listBankFiles(const podoStr &folder, const char *extension, int firstIndex, podoStr *names);

// folder + "%03d %s" + extension: the name under which a writer stores a numbered bank.
podoStr bankFilePath(const podoStr &folder, int32_t number, const char *name, const char *extension);

// printf-style text for the loaders' messages.
podoStr formatText(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Copies a name field of a file (kNameSize bytes, not necessarily terminated) into a record's
// field, terminated within it.
void copyNameField(char (&field)[kNameSize], const char *source, int size = kNameSize);

// Bytes a reader walks: a file or a block of memory. Nothing is read past the end.
class BankSource
{
public:
    virtual ~BankSource() = default;
    virtual uint64_t remaining() const = 0;
    // False, having read nothing usable, when fewer than size bytes remain.
    virtual bool read(void *buffer, size_t size) = 0;
    virtual bool skip(uint64_t size) = 0;
};

class MemoryBankSource : public BankSource
{
public:
    MemoryBankSource(const uint8_t *data, size_t size) : data(data), size(size) {}
    uint64_t remaining() const override { return size - position; }
    bool read(void *buffer, size_t count) override;
    bool skip(uint64_t count) override;

private:
    const uint8_t *data;
    size_t size;
    size_t position = 0;
};

// An open file read from its present position to its end as it was when the source was made.
class FileBankSource : public BankSource
{
public:
    explicit FileBankSource(podoFile &file);
    uint64_t remaining() const override { return left; }
    bool read(void *buffer, size_t count) override;
    bool skip(uint64_t count) override;

private:
    podoFile &file;
    uint64_t left = 0;
};

// Typed fields over a source, reversed when the file's byte order is not the machine's. Every
// read fails, touching nothing, when the source holds too few bytes.
class BankReader
{
public:
    explicit BankReader(BankSource &source) : source(source) {}
    void setSwap(bool on) { swap = on; }
    bool swapped() const { return swap; }
    uint64_t remaining() const { return source.remaining(); }
    bool bytes(void *buffer, size_t size) { return source.read(buffer, size); }
    bool skip(uint64_t size) { return source.skip(size); }
    bool u8(uint8_t &value) { return source.read(&value, 1); }
    bool i16(int16_t &value);
    bool i32(int32_t &value);
    bool f32(float &value);
    bool i16s(int16_t *values, size_t count);
    bool f32s(float *values, size_t count);

private:
    BankSource &source;
    bool swap = false;
};

// What reading a head found.
enum class HeaderStatus {
    ok,
    wrongId, // magic differs, or a byte-order mark other than 76 and 66
    damaged, // the file ends within the head
};

struct BankHeader {
    uint8_t byteOrderMark = 0;
    bool swap = false; // the file's mark differs from the reader's own
    int32_t version = 0;
};

// Reads the 44-byte head of a kind and sets the reader's swap flag from it. The version is read
// (swapped as needed) but not judged: each kind has its own list.
HeaderStatus readBankHeader(BankReader &reader, BankKind kind, uint8_t ownMark, BankHeader &header);

// Assembles a file in a chosen byte order: 76 writes the machine's order, 66 the other.
class BankWriter
{
public:
    explicit BankWriter(uint8_t byteOrderMark);
    void header(BankKind kind, int32_t version);
    void bytes(const void *data, size_t size);
    void u8(uint8_t value) { bytes(&value, 1); }
    void i16(int16_t value);
    void i32(int32_t value);
    void f32(float value);
    // A name field: exactly kNameSize bytes, NUL-padded after the text.
    void name(const char *text);
    const std::vector<uint8_t> &data() const { return out; }

private:
    std::vector<uint8_t> out;
    uint8_t mark;
    bool swap;
};

// Writes bytes as the whole file at path: into path + ".tmp", flushed to the disk, then renamed
// over the old file, so a crash or a full disk never leaves a cut file behind. 0, or the error
// code of the failing call (the temporary file is then removed).
uint32_t replaceBankFile(const podoStr &path, const std::vector<uint8_t> &bytes);
// The same, true when written.
bool writeBankFile(const podoStr &path, const std::vector<uint8_t> &bytes);

} // namespace banks
