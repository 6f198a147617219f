// Patch store and recall: channels of the current program into a patch of a category, and a
// patch back onto consecutive channels with the engine and the editor brought up to date.
#include "engine/Quorix.h"

#include "banks/PatchBanks.h"
#include "engine/DefaultProgram.h"
#include "editor/Quorix_Editor.h"
#include "foundation/podoLog.h"
#include "foundation/podoWnd.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

using namespace engine;

namespace {

constexpr const char *kErrorCaption = "Kestrane Quorix";

// Values a channel stores by its mode: melody locals 17..743, drum kit 17..1,805, else 17..697.
constexpr int32_t kMelodyValues = 727;
constexpr int32_t kDrumValues = 1789;
constexpr int32_t kOtherValues = 681;

static_assert(banks::kChannelProgramValues == kChannelParameterCount);

// A stored 24-byte name as text.
// A stored 24-byte name, terminated.
struct StoredName {
    char text[25] = {};
    explicit StoredName(const char *field) { std::memcpy(text, field, 24); }
};

} // namespace

int32_t Quorix::storePatch(int32_t categoryIndex, int32_t patchIndex, bool combination)
{
    // Everything is allocated before and freed after two short steps: the channels are copied
    // out, and named after the patch they are about to become, at the render's next block start
    // (or under instanceLock without a render); the patch goes into the category under the shared
    // lock held exclusively, which only moves pointers. Only when another store changed the
    // category in between are the names set once more.
    std::unique_ptr<ChannelProgram[]> taken(new (std::nothrow) ChannelProgram[kChannelCount]());
    std::unique_ptr<float[]> globals(new (std::nothrow) float[banks::kPatchGlobalValues]());
    if (!taken || !globals) {
        podo::logMessage(4, true, "store patch: %d / %d", categoryIndex, patchIndex);
        podo::showError(taken ? "Memory allocation is failed for global values"
                              : "Memory allocation is failed for channel programs",
                        "on save a patch", kErrorCaption, nullptr);
        return -1;
    }
    char patchName[banks::kNameSize] = {};
    int32_t first = 0, last = 0;
    int32_t number = -1, index = -1, growth = 0, categoryNumber = -1;
    bool full = false;
    char categoryName[banks::kNameSize + 1] = {};
    int16_t previousSource[kChannelCount][2] = {};
    // The channel's name before a one-channel combination took the patch's: it comes back when
    // the store is refused after all.
    char previousName[sizeof(ChannelSlot::name) + 1] = {};
    bool renamed = false, known = false;
    auto takeChannels = [&] {
        EngineReadBlock shared(engineSharedLock());
        if (!patchCategories || categoryIndex < 0 || categoryIndex >= numPatchCategories)
            return;
        known = true;
        const PatchCategory &category = patchCategories[categoryIndex];
        categoryNumber = category.number;
        std::memcpy(categoryName, category.name, banks::kNameSize);
        if (combination) {
            int32_t lowest = -1, highest = -1;
            for (int32_t c = 0; c < kChannelCount; ++c) {
                if (state.target.channels[c].on || programBlock.channels[c].name[0] != '\0') {
                    if (lowest < 0)
                        lowest = c;
                    highest = c;
                }
            }
            if (lowest >= 0) {
                first = lowest;
                last = highest;
            }
            banks::copyNameField(patchName, programBlock.name, sizeof programBlock.name);
        } else {
            first = last = getCurrentChannel();
            banks::copyNameField(patchName, programBlock.channels[first].name, sizeof(ChannelSlot::name));
        }
        for (int32_t c = first; c <= last; ++c) {
            ChannelProgram &stored = taken[c - first];
            // A combination of one channel names it after the program.
            if (combination && first == last)
                banks::copyNameField(stored.name, patchName, sizeof patchName);
            else
                banks::copyNameField(stored.name, programBlock.channels[c].name, sizeof(ChannelSlot::name));
            const int32_t mode = state.target.channels[c].mode;
            stored.numValues = mode == 0 ? kMelodyValues : mode == 1 ? kDrumValues : kOtherValues;
            // The block's floats are unaligned: copied as bytes.
            std::memcpy(stored.values, &programBlock.values[parameterIndex(c, kFirstLocalId)],
                        sizeof(float) * static_cast<size_t>(stored.numValues));
        }
        for (int32_t g = 0; g < 8; ++g)
            globals[g] = programBlock.values[master::ChorusFirst + g];
        globals[8] = programBlock.useHostTempo ? 0.0f : programBlock.tempo;

        // The patch the store is about to write: the one at patchIndex, or a new one at the end.
        const bool overwrite = patchIndex >= 0 && patchIndex < category.numPatches && category.patches;
        if (!overwrite && category.numPatches >= banks::kMaxPatchesPerCategory) {
            full = true;
        } else {
            number = category.number;
            index = overwrite ? patchIndex : std::max(category.numPatches, 0);
            growth = banks::patchTableGrowth(category, patchIndex);
            if (combination && first == last) {
                std::memcpy(previousName, programBlock.channels[first].name, sizeof(ChannelSlot::name));
                nameChannel(first, StoredName(patchName).text);
                renamed = true;
            }
            for (int32_t c = first; c <= last; ++c) {
                ChannelSlot &slot = programBlock.channels[c];
                previousSource[c][0] = slot.sourceCategory;
                previousSource[c][1] = slot.sourcePatch;
                slot.sourceCategory = static_cast<int16_t>(number);
                slot.sourcePatch = static_cast<int16_t>(index);
            }
        }
    };
    runWorkAtBlockStart(takeChannels);
    if (!known)
        return -1;
    if (full) {
        podo::logMessage(3, true, "[%03d %s] no room for another patch", categoryNumber, categoryName);
        return -1;
    }
    const int32_t numChannels = last - first + 1;
    std::unique_ptr<ChannelProgram[]> channels(new (std::nothrow) ChannelProgram[numChannels]);
    banks::PatchStoreRoom room;
    if (!channels || !banks::makePatchStoreRoom(growth, room)) {
        podo::logMessage(4, true, "%s - %02d", StoredName(patchName).text, numChannels);
        podo::showError("Memory allocation is failed for channel programs", "on save a patch", kErrorCaption, nullptr);
        channels.reset();
    } else {
        std::memcpy(static_cast<void *>(channels.get()), taken.get(),
                    sizeof(ChannelProgram) * static_cast<size_t>(numChannels));
    }
    taken.reset();

    int32_t storedNumber = -1, storedIndex = -1;
    full = false;
    if (channels) {
        // The recall of another thread reads the category table under the shared lock.
        EngineWriteBlock shared(engineSharedLock());
        if (patchCategories && categoryIndex >= 0 && categoryIndex < numPatchCategories) {
            PatchCategory &category = patchCategories[categoryIndex];
            std::memcpy(categoryName, category.name, banks::kNameSize);
            categoryNumber = category.number;
            bool appended = false;
            if (PatchRecord *patch = banks::patchForStore(category, patchIndex, &appended, room)) {
                storedIndex = appended ? category.numPatches : patchIndex;
                storedNumber = category.number;
                banks::copyNameField(patch->name, patchName, sizeof patchName);
                patch->colour = numChannels == 1 ? 1 : 2;
                patch->channels = channels.release();
                patch->numChannels = static_cast<int16_t>(numChannels);
                patch->globals = globals.release();
                patch->numGlobalValues = banks::kPatchGlobalValues;
                if (appended)
                    ++category.numPatches;
            } else {
                full = category.numPatches >= banks::kMaxPatchesPerCategory;
            }
        }
    }
    if (full)
        podo::logMessage(3, true, "[%03d %s] no room for another patch", categoryNumber, categoryName);

    // The category changed before the store or refused it: the channels name what it did.
    auto nameWhatWasStored = [&] {
        for (int32_t c = first; c <= last && index >= 0; ++c) {
            ChannelSlot &slot = programBlock.channels[c];
            if (slot.sourceCategory != number || slot.sourcePatch != index)
                continue; // changed again since
            slot.sourceCategory = storedIndex >= 0 ? static_cast<int16_t>(storedNumber) : previousSource[c][0];
            slot.sourcePatch = storedIndex >= 0 ? static_cast<int16_t>(storedIndex) : previousSource[c][1];
            if (renamed && storedIndex < 0)
                nameChannel(c, previousName);
        }
    };
    if (storedNumber != number || storedIndex != index)
        runWorkAtBlockStart(nameWhatWasStored);
    return storedIndex >= 0 ? first : -1;
}

// From the editor or the host the recall runs at the render's next block start, as a program
// change in its MIDI would, so that the render never waits for it.
int32_t Quorix::recallPatch(int32_t firstChannel, int32_t categoryIndex, int32_t patchIndex)
{
    struct Recall {
        int32_t firstChannel, categoryIndex, patchIndex;
    } recall{firstChannel, categoryIndex, patchIndex};
    BlockStartJob job{[](Quorix &q, void *context) {
                          const Recall &r = *static_cast<const Recall *>(context);
                          q.recallPatchHere(r.firstChannel, r.categoryIndex, r.patchIndex);
                      },
                      &recall};
    runAtBlockStart(job);
    return 0;
}

int32_t Quorix::recallPatchHere(int32_t firstChannel, int32_t categoryIndex, int32_t patchIndex)
{
    if (firstChannel < 0 || firstChannel >= kChannelCount)
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    EngineReadBlock shared(engineSharedLock());
    int32_t index = 0;
    const PatchRecord *patch = banks::patchForRecall(categoryIndex, patchIndex, &index);
    if (!patch)
        return 0;
    const PatchCategory &category = patchCategories[categoryIndex];
    const ConfigurationBlock &configuration = sharedConfiguration();
    const bool previous = setBulkLoading(true);

    int32_t recalled = 0;
    const int32_t storedChannels = patch->channels ? patch->numChannels : 0;
    for (int32_t i = 0; i < storedChannels && firstChannel + i < kChannelCount; ++i) {
        const int32_t c = firstChannel + i;
        const ChannelProgram &stored = patch->channels[i];
        const ChannelState &running = state.target.channels[c];
        const ChannelPlayState &play = state.play[c];
        if (play.voiceCount != 0 || play.heldKeyCount != 0)
            resetChannel(c, 1);
        nameChannel(c, StoredName(stored.name).text);
        ChannelSlot &slot = programBlock.channels[c];
        slot.sourceCategory = static_cast<int16_t>(category.number);
        slot.sourcePatch = static_cast<int16_t>(index);
        // The block's floats are unaligned: reach them through the block, never a float pointer.
        const int32_t sendIndex[2] = {parameterIndex(c, local::ChorusSend), parameterIndex(c, local::ReverbSend)};
        const float sendBefore[2] = {programBlock.values[sendIndex[0]], programBlock.values[sendIndex[1]]};
        const int32_t count = std::clamp(stored.numValues, 0, kChannelParameterCount);
        for (int32_t v = 0; v < count; ++v)
            programBlock.values[parameterIndex(c, kFirstLocalId + v)] = sanitizeParameterValue(stored.values[v]);
        if (category.number == 0 || category.number == 1) {
            programBlock.values[parameterIndex(c, local::Transpose)] = (running.transpose + 48) / 96.0f;
            // The General MIDI patches carry their sounds' own sends. A send moved since the
            // channel's last such recall (or, before any, from the default setup) is the
            // channel's own and stays.
            const uint32_t bit = 1u << c;
            for (int32_t s = 0; s < 2; ++s) {
                const float reference =
                    recalledSendsValid & bit ? recalledSends[c][s] : float(defaultProgram.values[sendIndex[s]]);
                if (sendBefore[s] != reference) {
                    programBlock.values[sendIndex[s]] = sendBefore[s];
                    recalledSends[c][s] = reference;
                } else {
                    recalledSends[c][s] = programBlock.values[sendIndex[s]];
                }
            }
            recalledSendsValid |= bit;
        }
        if (i == 0)
            programBlock.values[parameterIndex(c, local::Link)] = running.link ? 1.0f : 0.0f;
        const int32_t newMode = static_cast<int32_t>(std::round(programBlock.values[parameterIndex(c, local::Mode)]));
        if (newMode == running.mode && running.mode == 0 && configuration.keepBendRangeOnRecall)
            programBlock.values[parameterIndex(c, local::PitchBendRange)] = running.melody.pitchBendRange / 24.0f;
        programBlock.values[parameterIndex(c, local::SeqPart)] = running.seqPart / 3.0f;
        applyChannelParameters(c, true, true);
        ++recalled;
    }

    const int32_t next = firstChannel + recalled;
    for (int32_t c = next; c < kChannelCount; ++c) {
        ChannelPlayState &play = state.play[c];
        if (play.voiceCount == 0 && play.heldKeyCount == 0)
            continue;
        const ChannelState &running = state.target.channels[c];
        if (running.seqOn) {
            allSoundOff(c, 0.0f);
        } else if (running.mode == 0) {
            if (running.melody.arpOn)
                allSoundOff(c, 0.0f);
            play.lfoPhase = 0;
            play.lfoPhaseFraction = 0.0f;
        }
    }
    if (next < kChannelCount)
        setParameterValue(parameterIndex(next, local::Link), 0.0f);

    // Globals 0..7 are master values 9..16 and 8 the tempo; a patch may carry fewer.
    const int32_t globals = patch->globals ? std::clamp(patch->numGlobalValues, 0, banks::kPatchGlobalValues) : 0;
    for (int32_t g = 0; g < std::min(globals, 8); ++g)
        programBlock.values[master::ChorusFirst + g] = sanitizeParameterValue(patch->globals[g]);
    const float tempo = banks::patchTempo(*patch);
    if (!configuration.keepTempoOnRecall && tempo > 0.0f) {
        setUseHostTempo(false);
        setTempo(tempo);
    }
    storeEngineState(0, firstChannel != 0);
    applySystemEffectParameters(true);
    setBulkLoading(previous);
    if (firstChannel == 0)
        nameProgram(StoredName(patch->name).text, categoryIndex, index);
    if (instrumentEditor) {
        instrumentEditor->recalledChannelCount = patch->numChannels;
        instrumentEditor->refreshTempoControls();
        instrumentEditor->postFloat(tag::BulkLoading, -1.0f);
        postEditorInt(tag::RecalledPatch, firstChannel * 65536 + categoryIndex * 256 + index);
    }
    return 0;
}

bool Quorix::getChannelPatchSource(int32_t channel, int32_t *categoryIndex, int32_t *patchIndex)
{
    if (categoryIndex)
        *categoryIndex = -1;
    if (patchIndex)
        *patchIndex = -1;
    if (channel < 0 || channel >= kChannelCount)
        return false;
    podoSyncCriticalBlock lock(&instanceLock);
    const int32_t number = programBlock.channels[channel].sourceCategory;
    const int32_t patch = programBlock.channels[channel].sourcePatch;
    if (number < 0 || number >= banks::kBankNumberCount || !patchCategories)
        return false;
    const int32_t index = patchCategoryIndex[number];
    if (index < 0 || index >= numPatchCategories || patch < 0 || patch >= patchCategories[index].numPatches)
        return false;
    if (categoryIndex)
        *categoryIndex = index;
    if (patchIndex)
        *patchIndex = patch;
    return true;
}
