#include "banks/SampleBanks.h"

#include "banks/Wavetables.h"
#include "foundation/platform/podoPlatformFile.h"
#include "foundation/podoFile.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

int32_t numSampleBanks = 0;
SampleBank *sampleBanks = nullptr;
int32_t sampleBankIndex[banks::kBankNumberCount] = {};
podoStr sampleFileNames[banks::kMaxBankFiles];
SampleRecord emptySample = {};

namespace banks {

namespace {

// Sizes past which the free reports a bank or sample as suspicious; nothing else depends on them.
constexpr int32_t kUnusualSampleCount = 526;
constexpr int32_t kUnusualSampleSize = 264960;

// The reload's reader: one per process, kept open for the next zone of the same bank.
// Two threads may reload at once: the open file is theirs in turn.
struct SampleReloader {
    std::mutex lock;
    podoFile file;
    podoStr path;
    bool swap = false;
};

SampleReloader &reloader()
{
    static SampleReloader instance;
    return instance;
}

// "%s:%s: [%03d %s] " with the maker and product words, a bank index and its name.
podoStr bankPrefix(int index, const char *name)
{
    return formatText("%s:%s: [%03d %s] ", kMakerWord, kProductWord, index, name);
}

void reportDamage(const BankLoadSetup &setup, int index, const char *name, const podoStr &path,
                  const podoStr &what)
{
    setup.log(4, true, bankPrefix(index, name) + "samples file is damaged: " + what);
    setup.showError("Samples file is damaged.", path);
}

void releaseData(SampleRecord &record)
{
    delete[] record.data;
    record.data = nullptr;
}

} // namespace

bool isPlayableSample(int32_t rate, int32_t loopStart, int32_t size)
{
    return size >= 1 && rate >= 1 && loopStart >= 0 && loopStart <= size;
}

} // namespace banks

bool readSampleData(SampleRecord &record, banks::BankReader &reader)
{
    record.data = nullptr;
    const int32_t size = record.size;
    if (size < 1 || record.loopStart < 0 || record.loopStart > size)
        return false;
    int16_t *data = new (std::nothrow) int16_t[static_cast<size_t>(size) + 3];
    if (!data)
        return false;
    podo::platform::prepareBuffer(data, (static_cast<size_t>(size) + 3) * sizeof(int16_t));
    if (!reader.i16s(data + 1, static_cast<size_t>(size))) {
        delete[] data;
        return false;
    }
    data[0] = data[1];
    data[size + 1] = data[record.loopStart];
    data[size + 2] = data[record.loopStart + 1];
    record.data = data;
    return true;
}

bool readSampleData(SampleRecord &record, bool swap, podoFile &file)
{
    banks::FileBankSource source(file);
    banks::BankReader reader(source);
    reader.setSwap(swap);
    return readSampleData(record, reader);
}

namespace banks {

bool readSampleBank(BankReader &reader, const BankLoadSetup &setup, int index, const podoStr &path,
                    SampleBank &bank, int32_t &looped, int32_t &oneShot)
{
    const char *name = bank.name;
    BankHeader header;
    switch (readBankHeader(reader, BankKind::samples, setup.byteOrderMark, header)) {
    case HeaderStatus::wrongId:
        setup.log(4, true, formatText("%03d %s", index, name));
        setup.showError("Samples file ID is not correct.", path);
        return false;
    case HeaderStatus::damaged:
        reportDamage(setup, index, name, path, "the head is cut short");
        return false;
    case HeaderStatus::ok:
        break;
    }
    if (header.swap)
        setup.log(1, false, bankPrefix(index, name) + "Sample endian doesn't matched.");
    if (header.version != 1) {
        setup.log(4, true, bankPrefix(index, name) + "samples file version is not supported.");
        setup.showError("Samples file version is not supported.", path);
        return false;
    }
    int32_t count = 0;
    if (!reader.i32(count) || count < 0) {
        reportDamage(setup, index, name, path, formatText("numSamples = %d", count));
        return false;
    }
    if (count > kMaxSamplesPerBank) {
        setup.log(4, true, bankPrefix(index, name) + "too many samples in a bank.");
        setup.showError("Too many samples in a bank.", path);
        return false;
    }
    if (static_cast<uint64_t>(count) * kSampleRecordHeader > reader.remaining()) {
        reportDamage(setup, index, name, path,
                     formatText("numSamples = %d in %" PRIu64 " bytes", count, reader.remaining()));
        return false;
    }
    if (count > 0) {
        bank.samples = new (std::nothrow) SampleRecord[count]();
        if (!bank.samples) {
            setup.log(4, true, bankPrefix(index, name) + "memmory allocation for samples is failed.");
            setup.showError("Memory allocation for samples is failed.", path);
            return false;
        }
    }
    bank.numSamples = count;
    for (int32_t k = 0; k < count; ++k) {
        int32_t rate = 0, loopStart = 0, byteSize = 0;
        if (!reader.i32(rate) || !reader.i32(loopStart) || !reader.i32(byteSize)) {
            reportDamage(setup, index, name, path, formatText("(%03d) the file ends in the record", k));
            return false;
        }
        // An odd byte size leaves its last byte to the next record.
        const int32_t size = byteSize / 2;
        if (byteSize < 0 || static_cast<uint64_t>(size) * 2 > reader.remaining()) {
            reportDamage(setup, index, name, path,
                         formatText("(%03d) byte size = %d in %" PRIu64 " bytes", k, byteSize, reader.remaining()));
            return false;
        }
        if (loopStart != 0)
            ++looped;
        else
            ++oneShot;
        if (!isPlayableSample(rate, loopStart, size)) {
            // Its bytes are there: step over them, and leave the sample empty so no voice plays it.
            setup.log(3, true,
                      bankPrefix(index, name) +
                          formatText("(%03d) sample is not playable (rate %d, loop %d, size %d)", k, rate, loopStart, size));
            reader.skip(static_cast<uint64_t>(size) * 2);
            continue;
        }
        SampleRecord &record = bank.samples[k];
        record.rate = rate;
        record.loopStart = loopStart;
        record.size = size;
        if (!readSampleData(record, reader)) {
            record = SampleRecord{};
            setup.log(4, true, bankPrefix(index, name) + formatText("(%03d) memory allocation for a wave is failed.", k));
            setup.showError("Memory allocation for a wave is failed.", path);
            return false;
        }
    }
    return true;
}

SampleTables::SampleTables() { std::fill(std::begin(index), std::end(index), kNoIndex); }

SampleTables::~SampleTables()
{
    for (int32_t i = 0; i < count && banks; ++i)
        freeSampleBank(banks[i]);
    delete[] banks;
}

bool readSampleTables(const BankLoadSetup &setup, SampleTables &into)
{
    const int n = listBankFiles(setup.folder, ".smp", 0, into.stems);
    if (n > 0) {
        into.banks = new (std::nothrow) SampleBank[n]();
        if (!into.banks) {
            setup.showError("Memory allocation for sample list is failed.", "");
            return false;
        }
    }
    into.count = n;
    int32_t total = 0, looped = 0, oneShot = 0;
    // A damaged file stays as an empty bank in its place, so the banks after it keep their indexes.
    bool whole = true;
    for (int j = 0; j < n; ++j) {
        SampleBank &bank = into.banks[j];
        bank.number = bankFileNumber(into.stems[j]);
        if (bank.number >= 0 && bank.number < kBankNumberCount)
            into.index[bank.number] = j;
        bankFileName(into.stems[j], bank.name);
        const podoStr path = setup.folder + into.stems[j] + ".smp";
        podoFile file;
        if (file.open(path, podoFileFlags::read) != 0) {
            setup.showError("Samples file open error.", path);
            whole = false;
            continue;
        }
        FileBankSource source(file);
        BankReader reader(source);
        const bool complete = readSampleBank(reader, setup, j, path, bank, looped, oneShot);
        file.close();
        if (!complete) {
            freeSampleBank(bank);
            whole = false;
            continue;
        }
        total += bank.numSamples;
    }
    setup.log(1, false,
              formatText("%s:%s: Total %d Samples (Loop %d, 1shot %d)", kMakerWord, kProductWord, total, looped, oneShot));
    return whole;
}

void swapSampleTables(SampleTables &other)
{
    std::swap(numSampleBanks, other.count);
    std::swap(sampleBanks, other.banks);
    std::swap(sampleBankIndex, other.index);
    for (int i = 0; i < kMaxBankFiles; ++i)
        sampleFileNames[i].swap(other.stems[i]);
}

bool loadSampleBanks(const BankLoadSetup &setup)
{
    // Whatever a previous load left goes with the fresh tables.
    SampleTables fresh;
    const bool whole = readSampleTables(setup, fresh);
    swapSampleTables(fresh);
    closeSampleReloader();
    emptySample = SampleRecord{};
    return whole;
}

void freeSamples(bool freeTables, const BankLoadSetup &setup)
{
    for (int32_t i = 0; i < numSampleBanks && sampleBanks; ++i) {
        SampleBank &bank = sampleBanks[i];
        if (bank.numSamples > kUnusualSampleCount)
            setup.log(2, true,
                      formatText("freeSamples() -   bank[%d] = %p | numSamples = %d", i, static_cast<void *>(&bank),
                           bank.numSamples));
        for (int32_t j = 0; j < bank.numSamples && bank.samples; ++j) {
            SampleRecord &record = bank.samples[j];
            if (record.size > kUnusualSampleSize)
                setup.log(2, true,
                          formatText("freeSamples() -   bank[%d] smp[%d] = %p | size = %d", i, j,
                               static_cast<void *>(&record), record.size));
            releaseData(record);
            record.size = 0;
        }
        if (freeTables) {
            delete[] bank.samples;
            bank.samples = nullptr;
            bank.numSamples = 0;
        }
    }
    if (freeTables) {
        delete[] sampleBanks;
        sampleBanks = nullptr;
        numSampleBanks = 0;
    }
}

int32_t heldSampleData()
{
    int32_t held = 0;
    for (int32_t i = 0; i < numSampleBanks && sampleBanks; ++i)
        for (int32_t j = 0; j < sampleBanks[i].numSamples && sampleBanks[i].samples; ++j)
            held += sampleBanks[i].samples[j].data ? 1 : 0;
    return held;
}

void takeSampleData(std::vector<int16_t *> &taken)
{
    for (int32_t i = 0; i < numSampleBanks && sampleBanks; ++i) {
        SampleBank &bank = sampleBanks[i];
        for (int32_t j = 0; j < bank.numSamples && bank.samples; ++j) {
            SampleRecord &record = bank.samples[j];
            if (record.data)
                taken.push_back(record.data);
            record.data = nullptr;
            record.size = 0;
        }
    }
}

void freeSampleBank(SampleBank &bank)
{
    for (int32_t j = 0; j < bank.numSamples && bank.samples; ++j)
        releaseData(bank.samples[j]);
    delete[] bank.samples;
    bank.samples = nullptr;
    bank.numSamples = 0;
}

namespace {

// The record a zone names in the tables, or null.
SampleRecord *zoneRecord(const KeyZone &zone, int32_t *bankIndex = nullptr)
{
    if (zone.sampleBank < 0 || zone.sampleBank >= kBankNumberCount || !sampleBanks)
        return nullptr;
    const int32_t b = sampleBankIndex[zone.sampleBank];
    if (b < 0 || b >= numSampleBanks)
        return nullptr;
    SampleBank &bank = sampleBanks[b];
    if (!bank.samples || zone.sample < 0 || zone.sample >= bank.numSamples)
        return nullptr;
    if (bankIndex)
        *bankIndex = b;
    return &bank.samples[zone.sample];
}

// Opens and checks the bank file for the reloader; false (reader closed, path forgotten, so the
// next call checks again) when it cannot be used.
// Caller holds the reloader's lock.
bool openForReload(const podoStr &path, int32_t b, const char *name, const BankLoadSetup &setup)
{
    SampleReloader &r = reloader();
    r.file.close();
    r.path.clear();
    if (r.file.open(path, podoFileFlags::read) != 0) {
        setup.showError("Samples file open error.", path);
        return false;
    }
    FileBankSource source(r.file);
    BankReader reader(source);
    BankHeader header;
    const HeaderStatus status = readBankHeader(reader, BankKind::samples, setup.byteOrderMark, header);
    if (status == HeaderStatus::wrongId) {
        setup.log(4, true, bankPrefix(b, name) + "samples file ID is not corret.");
        setup.showError("Samples file ID is not correct.", path);
    } else if (status == HeaderStatus::damaged) {
        reportDamage(setup, b, name, path, "the head is cut short");
    } else {
        if (header.swap)
            setup.log(1, false, bankPrefix(b, name) + "Sample endian doesn't matched.");
        if (header.version == 1) {
            r.path = path;
            r.swap = header.swap;
            return true;
        }
        setup.log(4, true, bankPrefix(b, name) + "samples file version is not supported.");
        setup.showError("Samples file version is not supported.", path);
    }
    r.file.close();
    return false;
}

} // namespace

const SampleRecord &findSample(const KeyZone &zone)
{
    const SampleRecord *record = zoneRecord(zone);
    if (!record || !record->data || record->size < 1)
        return emptySample;
    return *record;
}

bool locateSampleReload(const KeyZone &zone, const BankLoadSetup &setup, SampleReload &reload)
{
    int32_t b = 0;
    SampleRecord *record = zoneRecord(zone, &b);
    if (!record || record->data)
        return false;
    reload.bank = b;
    reload.sample = zone.sample;
    reload.stem = sampleFileNames[b];
    reload.path = setup.folder + sampleFileNames[b] + ".smp";
    reload.name = sampleBanks[b].name;
    return true;
}

bool readSampleReload(SampleReload &reload, const BankLoadSetup &setup)
{
    const int32_t b = reload.bank;
    const podoStr &path = reload.path;
    const char *name = reload.name.getNarrow();
    SampleReloader &r = reloader();
    std::lock_guard<std::mutex> hold(r.lock);
    if ((r.path != path || !r.file.isOpen()) && !openForReload(path, b, name, setup))
        return false;
    r.file.seek(kHeaderSize, 0);
    FileBankSource source(r.file);
    BankReader reader(source);
    reader.setSwap(r.swap);
    // The sizes in the table may have been released: walk the records' own heads.
    int32_t count = 0;
    if (!reader.i32(count) || count <= reload.sample) {
        reportDamage(setup, b, name, path, formatText("numSamples = %d, sample %d asked", count, reload.sample));
        return false;
    }
    int32_t rate = 0, loopStart = 0, byteSize = 0;
    for (int32_t i = 0; i <= reload.sample; ++i) {
        if (!reader.i32(rate) || !reader.i32(loopStart) || !reader.i32(byteSize) || byteSize < 0 ||
            static_cast<uint64_t>(byteSize / 2) * 2 > reader.remaining()) {
            reportDamage(setup, b, name, path, formatText("(%03d) byte size = %d", i, byteSize));
            return false;
        }
        if (i < reload.sample)
            reader.skip(static_cast<uint64_t>(byteSize / 2) * 2);
    }
    const int32_t size = byteSize / 2;
    if (!isPlayableSample(rate, loopStart, size))
        return false;
    SampleRecord fresh{rate, loopStart, size, nullptr};
    if (!readSampleData(fresh, reader)) {
        setup.log(4, true, bankPrefix(b, name) + formatText("(%03d) memory allocation for a wave is failed.", reload.sample));
        setup.showError("Memory allocation for a wave is failed.", path);
        return false;
    }
    delete[] reload.record.data;
    reload.record = fresh;
    return true;
}

void publishSampleReload(SampleReload &reload)
{
    // A library loaded meanwhile may have put another file at this index, or the sample back.
    const int32_t b = reload.bank;
    if (!reload.record.data || !sampleBanks || b < 0 || b >= numSampleBanks ||
        sampleFileNames[b] != reload.stem)
        return;
    SampleBank &bank = sampleBanks[b];
    if (!bank.samples || reload.sample < 0 || reload.sample >= bank.numSamples || bank.samples[reload.sample].data)
        return;
    bank.samples[reload.sample] = reload.record;
    reload.record.data = nullptr;
}

bool reloadSample(const KeyZone &zone, const BankLoadSetup &setup)
{
    if (!zoneRecord(zone))
        return false;
    SampleReload reload;
    if (!locateSampleReload(zone, setup, reload))
        return true; // present already
    if (!readSampleReload(reload, setup))
        return false;
    publishSampleReload(reload);
    return true;
}

BankReload::~BankReload()
{
    for (SampleRecord &record : records)
        delete[] record.data;
}

bool locateBankReload(int32_t b, const BankLoadSetup &setup, BankReload &reload)
{
    if (!sampleBanks || b < 0 || b >= numSampleBanks || !sampleBanks[b].samples)
        return false;
    const SampleBank &bank = sampleBanks[b];
    reload.bank = b;
    reload.stem = sampleFileNames[b];
    reload.path = setup.folder + sampleFileNames[b] + ".smp";
    reload.name = bank.name;
    reload.records.assign(static_cast<size_t>(bank.numSamples), SampleRecord{});
    bool any = false;
    for (int32_t j = 0; j < bank.numSamples; ++j)
        if (!bank.samples[j].data) {
            reload.records[j].size = -1; // wanted
            any = true;
        }
    return any;
}

bool readBankReload(BankReload &reload, const BankLoadSetup &setup)
{
    const int32_t b = reload.bank;
    const char *name = reload.name.getNarrow();
    podoFile file;
    if (file.open(reload.path, podoFileFlags::read) != 0) {
        setup.showError("Samples file open error.", reload.path);
        return false;
    }
    FileBankSource source(file);
    BankReader reader(source);
    BankHeader header;
    const HeaderStatus status = readBankHeader(reader, BankKind::samples, setup.byteOrderMark, header);
    if (status != HeaderStatus::ok || header.version != 1) {
        reportDamage(setup, b, name, reload.path, "the head is not a samples file's");
        return false;
    }
    int32_t count = 0;
    if (!reader.i32(count) || count < 0) {
        reportDamage(setup, b, name, reload.path, formatText("numSamples = %d", count));
        return false;
    }
    const int32_t wanted = std::min<int32_t>(count, static_cast<int32_t>(reload.records.size()));
    for (int32_t k = 0; k < wanted; ++k) {
        int32_t rate = 0, loopStart = 0, byteSize = 0;
        if (!reader.i32(rate) || !reader.i32(loopStart) || !reader.i32(byteSize) || byteSize < 0 ||
            static_cast<uint64_t>(byteSize / 2) * 2 > reader.remaining()) {
            reportDamage(setup, b, name, reload.path, formatText("(%03d) byte size = %d", k, byteSize));
            return false;
        }
        const int32_t size = byteSize / 2;
        SampleRecord &record = reload.records[k];
        const bool asked = record.size == -1;
        record.size = 0;
        if (!asked || !isPlayableSample(rate, loopStart, size)) {
            reader.skip(static_cast<uint64_t>(size) * 2);
            continue;
        }
        SampleRecord fresh{rate, loopStart, size, nullptr};
        if (!readSampleData(fresh, reader)) {
            setup.log(4, true, bankPrefix(b, name) + formatText("(%03d) memory allocation for a wave is failed.", k));
            setup.showError("Memory allocation for a wave is failed.", reload.path);
            return false;
        }
        record = fresh;
    }
    for (int32_t k = wanted; k < static_cast<int32_t>(reload.records.size()); ++k)
        reload.records[k].size = 0;
    return true;
}

void publishBankReload(BankReload &reload)
{
    // A library loaded meanwhile may have put another file at this index, or samples back.
    const int32_t b = reload.bank;
    if (!sampleBanks || b < 0 || b >= numSampleBanks || sampleFileNames[b] != reload.stem || !sampleBanks[b].samples)
        return;
    SampleBank &bank = sampleBanks[b];
    const int32_t count = std::min<int32_t>(bank.numSamples, static_cast<int32_t>(reload.records.size()));
    for (int32_t j = 0; j < count; ++j) {
        SampleRecord &record = reload.records[j];
        if (!record.data || bank.samples[j].data)
            continue;
        bank.samples[j] = record;
        record.data = nullptr;
    }
}

bool reloadWavetableSamples(const WaveLocation &location, const BankLoadSetup &setup)
{
    const WavetableRecord *wavetable = findWavetable(location);
    if (!wavetable)
        return true;
    for (int16_t z = 0; z < wavetable->numWaves && wavetable->zones; ++z)
        reloadSample(wavetable->zones[z], setup);
    return true;
}

void closeSampleReloader()
{
    SampleReloader &r = reloader();
    std::lock_guard<std::mutex> hold(r.lock);
    r.file.close();
    r.path.clear();
}

std::vector<uint8_t> encodeSampleBank(const SampleSource *samples, int32_t count, uint8_t byteOrderMark)
{
    BankWriter out(byteOrderMark);
    out.header(BankKind::samples, 1);
    out.i32(count);
    for (int32_t k = 0; k < count; ++k) {
        const SampleSource &s = samples[k];
        out.i32(s.rate);
        out.i32(s.loopStart);
        out.i32(s.size * 2);
        for (int32_t i = 0; i < s.size; ++i)
            out.i16(s.values[i]);
    }
    return out.data();
}

bool writeSampleBank(const podoStr &folder, int32_t number, const char *name, const SampleSource *samples,
                     int32_t count, uint8_t byteOrderMark)
{
    return writeBankFile(bankFilePath(folder, number, name, ".smp"),
                         encodeSampleBank(samples, count, byteOrderMark));
}

} // namespace banks
