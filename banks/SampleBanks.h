#pragma once
// The sample banks: all the 16-bit audio the instrument plays, one bank per ".smp" file of the
// application folder, loaded once per process into tables every instance shares.
//
// The tables are written only while a library is loaded or freed (under the process lock, with
// the engine's shared lock for the sample load and "free"); the renders read them under the
// engine's shared lock. Every record the counts cover is either filled or empty (no table, count
// 0, no data), also after a load that stopped at a damaged file.

#include "banks/BankFile.h"
#include "banks/KeyZone.h"

#include <cstdint>
#include <vector>

class podoFile;

// One sample. Positions count from 1: data[1..size] are the samples in file order; data[0],
// data[size + 1] and data[size + 2] are guards (data[1], data[loopStart], data[loopStart + 1])
// so that four-point interpolation never tests bounds. A sample a voice can play has data,
// size >= 1, rate >= 1 and loopStart in 0..size. The key it is played from belongs to the voice,
// never to this shared record.
struct SampleRecord {
    int32_t rate;      // Hz
    int32_t loopStart; // 1..size: playback continues here after position size; 0 one-shot
    int32_t size;      // 16-bit samples
    int16_t *data;     // size + 3 values, owned; null while released or when the sample is empty
};

struct SampleBank {
    int32_t number; // the file name's number
    char name[banks::kNameSize];
    int32_t numSamples; // 0..1024
    SampleRecord *samples;
};

namespace banks {
inline constexpr int kMaxSamplesPerBank = 1024;
inline constexpr int kSampleRecordHeader = 12; // rate, loopStart, byte size
inline constexpr int kSampleBodyOffset = kHeaderSize + 4; // first record
} // namespace banks

extern int32_t numSampleBanks;
extern SampleBank *sampleBanks;
// Bank number -> index in sampleBanks; banks::kNoIndex for a number no file of this load carries.
extern int32_t sampleBankIndex[banks::kBankNumberCount];
// Stems of the bank files by bank index; kept after the load for reloads.
extern podoStr sampleFileNames[banks::kMaxBankFiles];
// What a voice plays when no zone or no sample was found: silent, no data.
extern SampleRecord emptySample;

// Reads size samples into a new data table from the reader and sets the guards; false (data
// null) when the table cannot be allocated or the bytes are not there. record.size >= 1 and
// loopStart in 0..size are the caller's to check.
bool readSampleData(SampleRecord &record, banks::BankReader &reader);
// The same from an open file at the data's position, as a reload reads it.
bool readSampleData(SampleRecord &record, bool swap, podoFile &file);

namespace banks {

// Whether a record read from a file describes a sample a voice can play.
bool isPlayableSample(int32_t rate, int32_t loopStart, int32_t size);

// Loads every ".smp" file of setup.folder in place of what a previous load left. False when a
// file could not be read whole (open, identification, version, counts, damage, memory); it stays
// as an empty bank in its place.
bool loadSampleBanks(const BankLoadSetup &setup);

// A sample library read apart from the tables the renders read, so that a reload reads its files
// holding no lock and puts them in place in one short step.
struct SampleTables {
    int32_t count = 0;
    SampleBank *banks = nullptr;
    int32_t index[kBankNumberCount];
    podoStr stems[kMaxBankFiles];
    SampleTables();
    SampleTables(const SampleTables &) = delete;
    SampleTables &operator=(const SampleTables &) = delete;
    ~SampleTables(); // frees the banks it holds
};
// loadSampleBanks into tables of the caller's; touches no shared table.
bool readSampleTables(const BankLoadSetup &setup, SampleTables &into);
// Exchanges the tables with the process's, without allocating or freeing. Caller holds the
// library exclusively; the reload's file should be closed after.
void swapSampleTables(SampleTables &other);

// Loads one bank from a source positioned at the start of a file: what the loader does for each
// file, and what a fuzzer calls. index and the bank's number and name are only for messages.
// False when the load must stop; the bank then holds what was read completely.
bool readSampleBank(BankReader &reader, const BankLoadSetup &setup, int index, const podoStr &path,
                    SampleBank &bank, int32_t &looped, int32_t &oneShot);

// Releases every sample's data; with freeTables also every bank's table and the bank table.
void freeSamples(bool freeTables, const BankLoadSetup &setup);
// freeSamples without freeing the tables, in two steps so that the data is freed holding no lock:
// heldSampleData counts the samples that have data (caller holds the library at least shared);
// takeSampleData moves every sample's data into taken, leaving the records empty, and allocates
// only when taken has no room left (caller holds the library exclusively). The caller frees what
// it took with delete[].
int32_t heldSampleData();
void takeSampleData(std::vector<int16_t *> &taken);
// Frees one bank's samples and table (a bank read outside the tables, e.g. by readSampleBank).
void freeSampleBank(SampleBank &bank);

// The sample a zone names, or emptySample when the bank number, the sample index or the sample
// itself gives nothing to play (no data included).
const SampleRecord &findSample(const KeyZone &zone);

// Makes the data of the zone's sample present again after a release: true when it was present
// or has been read. The file stays open between calls for the next zone of the same bank.
// The three steps below in one, for a caller that holds the library exclusively throughout.
bool reloadSample(const KeyZone &zone, const BankLoadSetup &setup);

// A sample's data read back after a release, not yet in its record. A reload while renders run
// locates it holding the library shared, reads the file holding nothing, and publishes the data
// holding the library exclusively for one short step.
struct SampleReload {
    int32_t bank = -1;     // index in sampleBanks
    int32_t sample = -1;   // index in the bank
    podoStr stem;          // the bank's file stem; publishing checks the bank still comes from it
    podoStr path;          // the bank's file
    podoStr name;          // the bank's name, for messages
    SampleRecord record{}; // owns record.data until published
    SampleReload() = default;
    SampleReload(const SampleReload &) = delete;
    SampleReload &operator=(const SampleReload &) = delete;
    ~SampleReload() { delete[] record.data; }
};
// Where the zone's sample comes from; false when there is no such record or its data is present.
// Caller holds the library at least shared.
bool locateSampleReload(const KeyZone &zone, const BankLoadSetup &setup, SampleReload &reload);
// Reads the located sample from its file; needs no lock of the library (the reload's file has its
// own). False (reported) when the file gives no playable sample.
bool readSampleReload(SampleReload &reload, const BankLoadSetup &setup);
// Moves the data into its record when that is still empty and its bank unchanged (else the reload
// frees it). Caller holds the library exclusively.
void publishSampleReload(SampleReload &reload);
// Every released sample of one bank read back in one pass over its file, not yet in the
// records: what a reload of the whole library after a release does bank by bank, with the same
// three steps and locks as SampleReload.
struct BankReload {
    int32_t bank = -1;
    podoStr stem;
    podoStr path;
    podoStr name;
    std::vector<SampleRecord> records; // by sample index; data owned until published, null for
                                       // the samples that were present or gave nothing to play
    BankReload() = default;
    BankReload(const BankReload &) = delete;
    BankReload &operator=(const BankReload &) = delete;
    ~BankReload();
};
// Which samples of bank index b are released; false when none is (or there is no such bank).
// Caller holds the library at least shared.
bool locateBankReload(int32_t b, const BankLoadSetup &setup, BankReload &reload);
// Reads the released samples from the bank's file; needs no lock of the library. False
// (reported) when the file cannot give them all; the samples read before stay in the reload.
bool readBankReload(BankReload &reload, const BankLoadSetup &setup);
// Moves the data of each sample into its record when that is still empty and the bank unchanged.
// Caller holds the library exclusively.
void publishBankReload(BankReload &reload);
// reloadSample for every zone of the wavetable at the location.
bool reloadWavetableSamples(const WaveLocation &location, const BankLoadSetup &setup);
// Closes the reload's file (the process's end, tests).
void closeSampleReloader();

// One sample as a writer stores it: the sample values in file order (no guards).
struct SampleSource {
    int32_t rate;
    int32_t loopStart;
    const int16_t *values;
    int32_t size;
};

// A ".smp" file in the given byte order (76 or 66).
std::vector<uint8_t> encodeSampleBank(const SampleSource *samples, int32_t count, uint8_t byteOrderMark);
// Writes it as folder + "%03d %s.smp"; false when the file cannot be written.
bool writeSampleBank(const podoStr &folder, int32_t number, const char *name, const SampleSource *samples,
                     int32_t count, uint8_t byteOrderMark);

} // namespace banks
