// The instance's side of the shared sound library: the loads at construction, the free by the
// last instance, the sample reload and the zone lookup of note starts.
#include "engine/Quorix.h"

#include "banks/PatchBanks.h"
#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Set by the host's "free"; the next resume or editor idle of any instance reads the data back.
std::atomic<bool> samplesReleased{false};

// One reload pass over the banks at a time; an idle's pass goes on at the next idle.
struct ReleasedReload {
    std::mutex lock;
    bool open = false;
    int32_t next = 0;
};

ReleasedReload &releasedReload()
{
    static ReleasedReload instance;
    return instance;
}

} // namespace

banks::BankLoadSetup Quorix::bankLoadSetup()
{
    banks::BankLoadSetup setup;
    setup.folder = getPaths().appFolder;
    setup.byteOrderMark = getByteOrderMark();
    setup.report = &banks::processBankReport();
    return setup;
}

namespace {

// The user banks read their files holding no lock a render takes and put their table in place in
// one short step; banks made up to the least number are written the same way.
void loadUserLibrary(Quorix &instrument)
{
    instrument.loadUserBanks();
    if (numPatchCategories - firstUserCategory < banks::kMinUserBanks && instrument.initUserBank(-1))
        instrument.saveUserBanks(-1);
}

} // namespace

void Quorix::loadSharedBanks()
{
    podoSyncCriticalBlock process(&processLock());
    if (getInstanceCount() > 1)
        return;
    // The files are read holding no lock a render takes. This instance may be playing: its voices
    // point into the sample data, so they go in the step that puts the new library in place, and
    // the old one is freed once the render can no longer reach it.
    struct FreshLibrary {
        banks::SampleTables samples;
        banks::WavetableTables wavetables;
        banks::PatchTables patches;
    };
    auto fresh = std::make_unique<FreshLibrary>();
    const banks::BankLoadSetup setup = bankLoadSetup();
    banks::readSampleTables(setup, fresh->samples);
    banks::readWavetableTables(setup, fresh->wavetables);
    banks::readPatchTables(setup, fresh->patches);
    {
        podoSyncCriticalBlock lock(&instanceLock);
        EngineWriteBlock shared(engineSharedLock());
        resetChannel(-1, 1);
        banks::swapSampleTables(fresh->samples);
        banks::swapWavetableTables(fresh->wavetables);
        banks::swapPatchTables(fresh->patches);
    }
    banks::closeSampleReloader();
    fresh.reset();
    loadUserLibrary(*this);
}

void Quorix::loadSharedLibrary()
{
    // Each loader empties its tables first; a failed load leaves what it read usable.
    loadSampleBanks();
    loadWavetables();
    loadPatches();
    loadUserLibrary(*this);
}

bool Quorix::loadSampleBanks()
{
    podoSyncCriticalBlock lock(&instanceLock);
    EngineWriteBlock shared(engineSharedLock());
    return banks::loadSampleBanks(bankLoadSetup());
}

bool Quorix::loadWavetables() { return banks::loadWavetables(bankLoadSetup()); }

bool Quorix::loadPatches() { return banks::loadPatches(bankLoadSetup()); }

void Quorix::freePatches() { banks::freePatches(bankLoadSetup()); }

void Quorix::freeWavetables() { banks::freeWavetables(bankLoadSetup()); }

void Quorix::freeSamples(bool freeTables)
{
    if (freeTables) {
        podoSyncCriticalBlock lock(&instanceLock);
        EngineWriteBlock shared(engineSharedLock());
        banks::freeSamples(true, bankLoadSetup());
        banks::closeSampleReloader();
        samplesReleased.store(false);
        return;
    }
    // The host's "free" while renders may run: the data leaves its records in one short step and
    // is freed after it.
    std::vector<int16_t *> taken;
    {
        EngineReadBlock shared(engineSharedLock());
        taken.reserve(size_t(banks::heldSampleData()));
    }
    {
        // The renders read the records under the shared lock alone: the instance lock is not needed.
        EngineWriteBlock shared(engineSharedLock());
        banks::takeSampleData(taken);
        samplesReleased.store(true);
    }
    for (int16_t *data : taken)
        delete[] data;
}

void Quorix::reloadReleasedSamples(int32_t bankLimit)
{
    ReleasedReload &r = releasedReload();
    std::unique_lock<std::mutex> hold(r.lock, std::defer_lock);
    if (bankLimit > 0) {
        if (!hold.try_lock())
            return;
    } else {
        hold.lock();
    }
    if (!r.open) {
        if (!samplesReleased.exchange(false))
            return;
        r.open = true;
        r.next = 0;
    }
    // Each bank's file is read holding no lock a render takes; its data goes in at one short
    // exclusive step. A "free" meanwhile marks the library again for the next pass.
    const banks::BankLoadSetup setup = bankLoadSetup();
    int32_t read = 0;
    while (r.open && (bankLimit <= 0 || read < bankLimit)) {
        banks::BankReload reload;
        {
            EngineReadBlock shared(engineSharedLock());
            if (r.next >= numSampleBanks) {
                r.open = false;
                break;
            }
            if (!banks::locateBankReload(r.next++, setup, reload))
                continue;
        }
        ++read;
        banks::readBankReload(reload, setup);
        EngineWriteBlock exclusive(engineSharedLock());
        banks::publishBankReload(reload);
    }
}

// The render reads sample data holding the shared lock: a reload reads the file holding no lock
// and takes the shared lock exclusively only to put the data into its record.
bool Quorix::reloadSample(const KeyZone &zone)
{
    const banks::BankLoadSetup setup = bankLoadSetup();
    banks::SampleReload reload;
    {
        EngineReadBlock shared(engineSharedLock());
        if (!banks::locateSampleReload(zone, setup, reload))
            return banks::findSample(zone).data != nullptr;
    }
    if (!banks::readSampleReload(reload, setup))
        return false;
    EngineWriteBlock shared(engineSharedLock());
    banks::publishSampleReload(reload);
    return true;
}

bool Quorix::reloadWavetableSamples(const WaveLocation &location)
{
    std::vector<KeyZone> zones;
    {
        EngineReadBlock shared(engineSharedLock());
        const WavetableRecord *wavetable = banks::findWavetable(location);
        if (wavetable && wavetable->zones)
            zones.assign(wavetable->zones, wavetable->zones + std::max<int32_t>(wavetable->numWaves, 0));
    }
    for (const KeyZone &zone : zones)
        reloadSample(zone);
    return true;
}

const KeyZone *Quorix::findZone(const WaveLocation &location, int32_t key) { return banks::findZone(location, key); }
