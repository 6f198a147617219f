// A whole program into the running state without holding up the render: every value is applied
// to a copy of the target image on the caller's thread, with the waves looked up and the insert
// effects built there. What meets the running state (the copy of its image the values apply to,
// then putting the result in place and running what the change means for the sounding notes)
// is done by the render at its next block start, so the audio thread never waits for it; the
// values then go to the editor in batches.
//
// The result is the one of applying the values one by one under bulk loading: the image is the
// same, and the operations on the sounding notes (voices dropped on a mode change, a link cut,
// a pattern player switched, a channel reset by a wave change) are decided from the running
// state at the moment of the publication, channel by channel in parameter order.
#include "engine/Quorix.h"

#include "editor/Quorix_Editor.h"
#include "engine/ParameterIndex.h"
#include "engine/PreparedProgram.h"
#include "foundation/podoWnd.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

using namespace engine;

namespace {

constexpr const char *kErrorCaption = "Kestrane Quorix";
// A render that started a block this recently runs. A hand-over it has not taken within four of
// its block intervals (held to 2..250 ms) is run by the caller: a host that does not render
// while it waits for the call is held up that long only.
constexpr int64_t kRenderAliveNs = 250'000'000;
constexpr int64_t kShortestHandOverNs = 2'000'000;

int64_t steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
// Values posted to the editor per hold of the instance lock: a few microseconds of posting, which
// the render may wait for.
constexpr int32_t kPostBatch = 64;

bool sounding(const ChannelPlayState &play) { return play.heldKeyCount != 0 || play.voiceCount != 0; }

// The wave slot of the channel's running mode an assignment writes; null for none.
WaveLocation *waveSlot(ChannelState &c, int32_t slot)
{
    if (c.mode == 1 && slot >= 0 && slot < kDrumKeys)
        return &c.drum.drumKeys[slot].wave;
    if (c.mode != 1 && slot >= 0 && slot < 2)
        return &c.melody.oscillators[slot].wave;
    return nullptr;
}

// Whether a wave assignment of the mode's waves would meet a wave already set.
bool anyWaveSet(const ChannelState &c, int32_t mode)
{
    if (mode == 1) {
        for (const DrumKeyState &key : c.drum.drumKeys)
            if (key.wave.index != 0)
                return true;
        return false;
    }
    return c.melody.oscillators[0].wave.index != 0 || c.melody.oscillators[1].wave.index != 0;
}

} // namespace

PreparedProgram::~PreparedProgram()
{
    for (auto &channel : effects)
        for (InsertEffectSlot &slot : channel)
            delete slot.effect;
}

std::unique_ptr<PreparedProgram> Quorix::prepareProgram(const ProgramBlock &block)
{
    std::unique_ptr<PreparedProgram> prepared(new (std::nothrow) PreparedProgram());
    if (!prepared)
        return nullptr;
    std::memcpy(static_cast<void *>(&prepared->block), &block, sizeof block);
    EngineState &scratch = prepared->scratch;
    clearEngineState(scratch);
    // The values of the other mode and what no value sets stay as they run.
    BlockStartJob copy{[](Quorix &q, void *target) {
                           std::memcpy(target, &q.state.target, sizeof q.state.target);
                       },
                       &scratch.target};
    runAtBlockStart(copy);
    // The copied effect pointers belong to the running slots: never touched here.
    scratch.bulkLoading = 1;
    int32_t wantedType[kChannelCount][kInsertSlotsPerChannel] = {};
    {
        EngineReadBlock shared(engineSharedLock()); // the wave look-ups read the shared library
        for (int32_t index = 0; index <= kLastParameterIndex; ++index) {
            const float value = sanitizeParameterValue(prepared->block.values[index]);
            prepared->block.values[index] = value;
            const ApplyOutcome o = applyParameterValue(scratch, index, value);
            if (o.effect == SideEffect::SetInsertType) {
                wantedType[o.channel][o.slot] = o.number;
            } else if (o.effect == SideEffect::AssignWave) {
                WaveLocation *wave = waveSlot(scratch.target.channels[o.channel], o.slot);
                WaveLocation location{};
                if (wave) {
                    waveLocation(o.number, &location);
                    *wave = location;
                }
                if (!wave || (location.index == 0 && o.number != 0))
                    prepared->block.values[index] = 0.0f;
            }
            // Everything else concerns sounding notes (none here) or effects about to be
            // replaced: the publication decides it on the running state.
        }
    }
    // Ranges whose ends came in crossed are put in order, as a single change would.
    scratch.bulkLoading = 0;
    auto set = [&](int32_t channel, int32_t id, float value) {
        const int32_t index = parameterIndex(channel, id);
        prepared->block.values[index] = value;
        applyParameterValue(scratch, index, value);
    };
    for (int32_t c = 0; c < kChannelCount; ++c) {
        const ChannelState &ch = scratch.target.channels[c];
        if (ch.mode == 0) {
            const MelodyState m = ch.melody;
            if (m.keyRangeLow > m.keyRangeHigh) {
                set(c, local::KeyRangeLow, m.keyRangeHigh / 127.0f);
                set(c, local::KeyRangeHigh, m.keyRangeLow / 127.0f);
            }
            if (m.velocityRangeLow > m.velocityRangeHigh) {
                set(c, local::VelocityRangeLow, m.velocityRangeHigh / 127.0f);
                set(c, local::VelocityRangeHigh, m.velocityRangeLow / 127.0f);
            }
        } else if (ch.mode == 1) {
            const int32_t low = ch.drum.keyRangeLow, high = ch.drum.keyRangeHigh;
            if (low > high) {
                set(c, local::KitKeyRangeLow, high / 127.0f);
                set(c, local::KitKeyRangeHigh, low / 127.0f);
            }
        }
    }
    // Every slot gets an effect of its type, built here rather than cleared under the lock.
    for (int32_t c = 0; c < kChannelCount; ++c)
        for (int32_t s = 0; s < kInsertSlotsPerChannel; ++s) {
            InsertEffectSlot &built = prepared->effects[c][s];
            built.on = scratch.target.channels[c].insertEffects[s].on;
            if (!setInsertEffectType(built, wantedType[c][s])) {
                built.type = 0;
                prepared->effectFailed[c][s] = true;
            }
        }
    return prepared;
}

void Quorix::installProgram(PreparedProgram &prepared)
{
    const EngineImage &next = prepared.scratch.target;
    if (instrumentEditor) {
        instrumentEditor->clearMessages();
        postEditorFloat(tag::BulkLoading, 1.0f);
    }
    MasterState &master = state.target.master;
    for (int32_t s = 0; s < 2; ++s) {
        const SystemEffectSlot &now = s == 0 ? master.chorus : master.reverb;
        const SystemEffectSlot &wanted = s == 0 ? next.master.chorus : next.master.reverb;
        if (wanted.on && !now.on && now.effect)
            now.effect->clear();
    }
    {
        MasterState taken = next.master;
        taken.chorus.effect = master.chorus.effect;
        taken.reverb.effect = master.reverb.effect;
        master = taken;
    }
    for (int32_t c = 0; c < kChannelCount; ++c) {
        ChannelState &now = state.target.channels[c];
        const ChannelState &wanted = next.channels[c];
        ChannelPlayState &play = state.play[c];
        if (wanted.mode != now.mode)
            dropVoices(c);
        const uint8_t seqWasOn = now.seqOn;
        const uint8_t arpWasOn = now.melody.arpOn;
        const bool waveReset = (wanted.mode == 0 || wanted.mode == 1) && anyWaveSet(now, wanted.mode);
        // A cut link stops the span as a value-by-value load meets it: this channel with its
        // new mode and old link, the channels below already whole.
        now.mode = wanted.mode;
        now.on = wanted.on;
        if (!wanted.link && sounding(play)) {
            int32_t first = 0, last = -1;
            linkedChannelSpan(state.target, c, &first, &last);
            for (int32_t stopped = first; stopped <= last; ++stopped)
                allSoundOff(stopped, 0.0f);
        }

        // What only runs: the lanes' sounding notes and the key following taken at note-on.
        struct LaneRun {
            uint8_t tied;
            int32_t lastKey;
            float lastLevel;
            int32_t noteId;
        } lanes[kSequencerLanes];
        for (int32_t l = 0; l < kSequencerLanes; ++l)
            lanes[l] = {now.lanes[l].tied, now.lanes[l].lastKey, now.lanes[l].lastLevel, now.lanes[l].noteId};
        uint8_t keyFollow[2] = {now.melody.oscKeyFollow[0], now.melody.oscKeyFollow[1]};
        CIFX *replaced[kInsertSlotsPerChannel];
        for (int32_t s = 0; s < kInsertSlotsPerChannel; ++s)
            replaced[s] = now.insertEffects[s].effect;

        now = wanted;
        for (int32_t l = 0; l < kSequencerLanes; ++l) {
            SequencerLane &lane = now.lanes[l];
            lane.tied = lanes[l].tied;
            lane.lastKey = lanes[l].lastKey;
            lane.lastLevel = lanes[l].lastLevel;
            lane.noteId = lanes[l].noteId;
        }
        now.melody.oscKeyFollow[0] = keyFollow[0];
        now.melody.oscKeyFollow[1] = keyFollow[1];
        for (int32_t s = 0; s < kInsertSlotsPerChannel; ++s) {
            InsertEffectSlot &built = prepared.effects[c][s];
            now.insertEffects[s].type = built.type;
            now.insertEffects[s].effect = built.effect;
            built.effect = replaced[s]; // deleted with the prepared program, after the lock
        }

        play.seqOrderValid = 0;
        if (seqWasOn != wanted.seqOn && (!wanted.seqOn || sounding(play)))
            switchPattern(c, 0, wanted.seqOn != 0);
        if (wanted.mode == 0) {
            play.lfoDisplay = 0.0f;
            play.lfoDisplayScaled = 0.0f;
            play.lfoHeldRandom = 0.0f;
        }
        if (waveReset && play.voiceCount != 0)
            resetChannel(c, 0);
        if (wanted.mode == 0) {
            if (arpWasOn != wanted.melody.arpOn && (!wanted.melody.arpOn || sounding(play)))
                switchPattern(c, 1, wanted.melody.arpOn != 0);
            play.arpOrderValid = 0;
        }
    }
    std::memcpy(static_cast<void *>(&programBlock), &prepared.block, sizeof programBlock);
    drumKeysStale = true; // the render compares the drum keys again
}

bool Quorix::renderRunsElsewhere()
{
    if (suspended.load() || renderThread.load(std::memory_order_relaxed) == std::this_thread::get_id())
        return false;
    const int64_t started = renderStartTime.load(std::memory_order_relaxed);
    return steadyNanoseconds() - started < kRenderAliveNs;
}

void Quorix::takeBlockStartJob()
{
    renderThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
    const int64_t now = steadyNanoseconds();
    renderInterval.store(now - renderStartTime.load(std::memory_order_relaxed), std::memory_order_relaxed);
    renderStartTime.store(now, std::memory_order_relaxed);
    if (!jobForRender.load(std::memory_order_relaxed))
        return;
    if (BlockStartJob *job = jobForRender.exchange(nullptr, std::memory_order_acq_rel)) {
        job->run(*this, job->context);
        job->done.store(true, std::memory_order_release);
    }
}

void Quorix::runAtBlockStart(BlockStartJob &job)
{
    // A caller holding the lock runs it at once: the render cannot start a block meanwhile.
    if (instanceLock.heldByThisThread() || !renderRunsElsewhere()) {
        podoSyncCriticalBlock lock(&instanceLock);
        job.run(*this, job.context);
        return;
    }
    std::lock_guard<std::mutex> one(jobHandOver);
    job.done.store(false, std::memory_order_relaxed);
    jobForRender.store(&job, std::memory_order_release);
    {
        const int64_t wait = std::clamp<int64_t>(4 * renderInterval.load(std::memory_order_relaxed),
                                                 kShortestHandOverNs, kRenderAliveNs);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::nanoseconds(wait);
        while (!job.done.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    if (!job.done.load(std::memory_order_acquire)) {
        podoSyncCriticalBlock lock(&instanceLock);
        // A block that started meanwhile may have taken it after all; it ended before this hold.
        if (jobForRender.exchange(nullptr, std::memory_order_acq_rel) == &job)
            job.run(*this, job.context);
    }
}

void Quorix::publishProgram(PreparedProgram &prepared)
{
    BlockStartJob install{[](Quorix &q, void *p) { q.installProgram(*static_cast<PreparedProgram *>(p)); }, &prepared};
    runAtBlockStart(install);

    for (int32_t c = 0; c < kChannelCount; ++c)
        for (int32_t s = 0; s < kInsertSlotsPerChannel; ++s)
            if (prepared.effectFailed[c][s]) {
                podoStr detail;
                detail.format("%dch: IFX#%d", c + 1, s + 1);
                podo::showError("failed to initialize effect", detail, kErrorCaption, nullptr);
            }

    // The editor learns the values in batches; each batch posts what the program holds then, so
    // a change made meanwhile is never shown older than it is.
    if (instrumentEditor) {
        for (int32_t first = 0; first <= kLastParameterIndex; first += kPostBatch) {
            podoSyncCriticalBlock lock(&instanceLock);
            const int32_t last = std::min(first + kPostBatch - 1, kLastParameterIndex);
            for (int32_t index = first; index <= last; ++index)
                postEditorFloat(index, programBlock.values[index]);
        }
    }
    auto finish = [this] {
        if (instrumentEditor) {
            postEditorFloat(tag::BulkLoading, state.bulkLoading ? 1.0f : 0.0f);
            for (int32_t channel = 0; channel < kChannelCount; ++channel)
                instrumentEditor->postFloat(tag::ChannelStrip + channel, 1.0f);
            instrumentEditor->recalledChannelCount = 0;
            instrumentEditor->refreshTempoControls();
            instrumentEditor->postFloat(tag::BulkLoading, -1.0f);
            instrumentEditor->postFloat(tag::MidiLearn, -1.0f);
        }
        // The program is named after the patch its first channel came from.
        const int32_t number = programBlock.channels[0].sourceCategory;
        const int32_t category = number < 0 || number > kLastCategoryNumber ? -1 : patchCategoryIndex[number];
        nameProgram(programBlock.name, category, programBlock.channels[0].sourcePatch);
    };
    runWorkAtBlockStart(finish);
}

bool Quorix::loadProgram(const ProgramBlock &block)
{
    std::unique_ptr<PreparedProgram> prepared = prepareProgram(block);
    if (!prepared)
        return false;
    publishProgram(*prepared);
    return true;
}
