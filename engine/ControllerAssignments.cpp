#include "engine/ControllerAssignments.h"

#include "engine/EngineLimits.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

ControllerAssignment masterAssignments[engine::kMasterAssignments];
ControllerAssignment channelAssignments[engine::kChannelAssignments];
ControllerAssignment sequencerAssignments[engine::kSequencerAssignments];
ControllerAssignment instrumentAssignments[2][engine::kInstrumentAssignments];
ControllerAssignment specialAssignments[engine::kSpecialAssignments];
engine::AssignmentCounts assignmentCounts[engine::kAssignmentTableCount];

namespace engine {

namespace {

struct DefaultEntry {
    AssignmentTable table;
    int16_t source;
    int32_t parameter; // master index, local id or special tag
};

// The factory set: the sound controllers on a melody channel's voice, reverb and chorus sends.
constexpr DefaultEntry factorySet[] = {
    {AssignmentTable::melody, 1, 709},  {AssignmentTable::melody, 5, 702},  {AssignmentTable::melody, 65, 703},
    {AssignmentTable::melody, 71, 722}, {AssignmentTable::melody, 72, 735}, {AssignmentTable::melody, 73, 732},
    {AssignmentTable::melody, 74, 721}, {AssignmentTable::melody, 75, 733}, {AssignmentTable::melody, 76, 706},
    {AssignmentTable::melody, 77, 719}, {AssignmentTable::melody, 78, 710}, {AssignmentTable::channel, 91, 26},
    {AssignmentTable::channel, 93, 25},
};

// The extra set: insert and system effects, and the velocity amount (every drum key's below).
constexpr DefaultEntry extraSet[] = {
    {AssignmentTable::channel, 57, 27}, {AssignmentTable::channel, 61, 29}, {AssignmentTable::channel, 45, 31},
    {AssignmentTable::channel, 46, 32}, {AssignmentTable::channel, 47, 33}, {AssignmentTable::channel, 58, 28},
    {AssignmentTable::channel, 62, 30}, {AssignmentTable::channel, 48, 34}, {AssignmentTable::channel, 49, 35},
    {AssignmentTable::channel, 50, 36}, {AssignmentTable::master, 59, 7},   {AssignmentTable::master, 51, 9},
    {AssignmentTable::master, 52, 10},  {AssignmentTable::master, 53, 11},  {AssignmentTable::master, 60, 8},
    {AssignmentTable::master, 54, 13},  {AssignmentTable::master, 55, 14},  {AssignmentTable::master, 56, 15},
    {AssignmentTable::melody, 63, 736},
};
constexpr int16_t kDrumVelocitySource = 63;
constexpr int32_t kDrumVelocityLocal = 710; // + 17 per drum key

int32_t tableBase(AssignmentTable table)
{
    switch (table) {
    case AssignmentTable::master:
        return 0;
    case AssignmentTable::channel:
        return kChannelAssignmentBase;
    case AssignmentTable::sequencer:
        return kSequencerAssignmentBase;
    case AssignmentTable::melody:
    case AssignmentTable::drum:
        return kInstrumentAssignmentBase;
    case AssignmentTable::special:
        return kSpecialAssignmentBase;
    }
    return 0;
}

bool validSource(int32_t source) { return source >= 0 && source < kAssignmentSources; }

void addDefault(AssignmentTable table, int16_t source, int32_t parameter)
{
    setAssignmentEntry(table, parameter - tableBase(table), {0, source, 0.0f, 1.0f, 0});
}

// Named controllers; the others read "ctrl N".
struct SourceName {
    int16_t source;
    const char *name;
};
constexpr SourceName namedSources[] = {
    {0, "Bank Select"},        {1, "Modulation"},       {2, "Breath"},           {4, "Foot"},
    {5, "Portamento Time"},    {6, "Data Entry"},       {7, "Volume"},           {8, "Balance"},
    {10, "Pan"},               {11, "Expression"},      {12, "Gen.Purp.1"},      {13, "Gen.Purp.2"},
    {14, "Gen.Purp.3"},        {15, "Gen.Purp.4"},      {32, "Bank Select LSB"}, {33, "Modulation LSB"},
    {34, "Breath LSB"},        {36, "Foot LSB"},        {37, "Porta.Time LSB"},  {38, "Data Entry LSB"},
    {39, "Volume LSB"},        {40, "Balance LSB"},     {41, "Pan LSB"},         {42, "Expression LSB"},
    {64, "Sustain"},           {65, "Portamento"},      {66, "Sostenuto"},       {67, "Soft"},
    {68, "Legato"},            {69, "Hold 2"},          {70, "Sound Var."},      {71, "Resonance"},
    {72, "Release Time"},      {73, "Attack Time"},     {74, "Cutoff"},          {75, "Decay Time"},
    {76, "Vibrato Rate"},      {77, "Vibrato Depth"},   {78, "Vibrato Delay"},   {80, "Gen.Purp.5"},
    {81, "Gen.Purp.6"},        {82, "Gen.Purp.7"},      {83, "Gen.Purp.8"},      {84, "Porta.Control"},
    {91, "Reverb Depth"},      {92, "ExtFx2 Depth"},    {93, "Chorus Depth"},    {94, "Delay Depth"},
    {95, "ExtFx5 Depth"},      {96, "Data Increase"},   {97, "Data Decrease"},   {98, "NRPN LSB"},
    {99, "NRPN MSB"},          {100, "RPN LSB"},        {101, "RPN MSB"},        {120, "All Sound Off"},
    {121, "Reset"},            {122, "Local"},          {123, "All Notes Off"},  {124, "Omni On"},
    {125, "Omni Off"},         {126, "Mono On"},        {127, "Poly On"},        {128, "On Velocity"},
    {129, "Off Velocity"},     {130, "Pitchbend"},      {131, "Aftertouch"},
};

struct SourceNames {
    char text[kAssignmentSources][24]; // room for any int, which the compiler cannot rule out
    SourceNames()
    {
        for (int s = 0; s < kAssignmentSources; ++s)
            std::snprintf(text[s], sizeof text[s], "ctrl %d", s);
        for (const SourceName &n : namedSources)
            std::snprintf(text[n.source], sizeof text[n.source], "%s", n.name);
    }
};

const SourceNames sourceNames; // built when the module loads

} // namespace

ControllerAssignment *assignmentEntries(AssignmentTable table, int32_t *size)
{
    ControllerAssignment *entries = nullptr;
    int32_t count = 0;
    switch (table) {
    case AssignmentTable::master:
        entries = masterAssignments;
        count = kMasterAssignments;
        break;
    case AssignmentTable::channel:
        entries = channelAssignments;
        count = kChannelAssignments;
        break;
    case AssignmentTable::sequencer:
        entries = sequencerAssignments;
        count = kSequencerAssignments;
        break;
    case AssignmentTable::melody:
        entries = instrumentAssignments[0];
        count = kInstrumentAssignments;
        break;
    case AssignmentTable::drum:
        entries = instrumentAssignments[1];
        count = kInstrumentAssignments;
        break;
    case AssignmentTable::special:
        entries = specialAssignments;
        count = kSpecialAssignments;
        break;
    }
    if (size)
        *size = count;
    return entries;
}

int32_t assignmentTableSize(AssignmentTable table)
{
    int32_t size = 0;
    assignmentEntries(table, &size);
    return size;
}

int32_t assignedParameter(AssignmentTable table, int32_t entry, int32_t channel)
{
    switch (table) {
    case AssignmentTable::master:
    case AssignmentTable::special:
        return tableBase(table) + entry;
    default:
        return channel * kChannelParameterCount + tableBase(table) + entry;
    }
}

bool assignmentEntryOf(int32_t index, int32_t mode, AssignmentTable *table, int32_t *entry)
{
    AssignmentTable t = AssignmentTable::master;
    int32_t e = index;
    if (index >= kSpecialAssignmentBase && index < kSpecialAssignmentBase + kSpecialAssignments) {
        t = AssignmentTable::special;
        e = index - kSpecialAssignmentBase;
    } else if (index < 0 || index >= kParameterCount) {
        return false;
    } else if (index >= kMasterParameterCount) {
        const int32_t local = (index - kMasterParameterCount) % kChannelParameterCount + kFirstLocalId;
        if (local < kSequencerAssignmentBase)
            t = AssignmentTable::channel;
        else if (local < kInstrumentAssignmentBase)
            t = AssignmentTable::sequencer;
        else
            t = mode == 1 ? AssignmentTable::drum : AssignmentTable::melody;
        e = local - tableBase(t);
    }
    if (table)
        *table = t;
    if (entry)
        *entry = e;
    return true;
}

float assignedValue(const ControllerAssignment &entry, float value)
{
    const float w = entry.reversed ? 1.0f - value : value;
    return entry.min + (entry.max - entry.min) * w;
}

void clearAssignments()
{
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        int32_t size = 0;
        ControllerAssignment *entries = assignmentEntries(static_cast<AssignmentTable>(t), &size);
        std::memset(static_cast<void *>(entries), 0, sizeof(ControllerAssignment) * static_cast<size_t>(size));
    }
    std::memset(assignmentCounts, 0, sizeof assignmentCounts);
}

void addDefaultAssignments(bool withExtras)
{
    for (const DefaultEntry &d : factorySet)
        addDefault(d.table, d.source, d.parameter);
    if (!withExtras)
        return;
    for (const DefaultEntry &d : extraSet)
        addDefault(d.table, d.source, d.parameter);
    for (int32_t key = 0; key < kDrumKeys; ++key)
        addDefault(AssignmentTable::drum, kDrumVelocitySource, kDrumVelocityLocal + kDrumKeyValues * key);
}

void setAssignmentEntry(AssignmentTable table, int32_t entry, const ControllerAssignment &value)
{
    int32_t size = 0;
    ControllerAssignment *entries = assignmentEntries(table, &size);
    if (!entries || entry < 0 || entry >= size)
        return;
    AssignmentCounts &counts = assignmentCounts[static_cast<int>(table)];
    ControllerAssignment &old = entries[entry];
    if (validSource(old.source) && counts.sourceCounts[old.source] > 0)
        --counts.sourceCounts[old.source];
    if ((old.state & kAssignmentLearning) && counts.learningCount > 0)
        --counts.learningCount;
    old = value;
    if (!validSource(old.source))
        old.source = static_cast<int16_t>(std::clamp<int32_t>(old.source, 0, kAssignmentSources - 1));
    old.state &= kAssignmentLearning;
    old.reversed = old.reversed ? 1 : 0;
    ++counts.sourceCounts[old.source];
    if (old.state & kAssignmentLearning)
        ++counts.learningCount;
}

void recountAssignments()
{
    std::memset(assignmentCounts, 0, sizeof assignmentCounts);
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        int32_t size = 0;
        ControllerAssignment *entries = assignmentEntries(static_cast<AssignmentTable>(t), &size);
        AssignmentCounts &counts = assignmentCounts[t];
        for (int32_t i = 0; i < size; ++i) {
            if (validSource(entries[i].source))
                ++counts.sourceCounts[entries[i].source];
            if (entries[i].state & kAssignmentLearning)
                ++counts.learningCount;
        }
    }
}

int32_t learnAssignments(int32_t source)
{
    if (source < 1 || source >= kAssignmentSources)
        return 0;
    int32_t learned = 0;
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        const AssignmentTable table = static_cast<AssignmentTable>(t);
        int32_t size = 0;
        ControllerAssignment *entries = assignmentEntries(table, &size);
        for (int32_t i = 0; i < size && assignmentCounts[t].learningCount > 0; ++i) {
            if (!(entries[i].state & kAssignmentLearning))
                continue;
            setAssignmentEntry(table, i, {0, static_cast<int16_t>(source), 0.0f, 1.0f, 0});
            ++learned;
        }
    }
    return learned;
}

bool learnPending()
{
    for (int t = 0; t < kAssignmentTableCount; ++t)
        if (assignmentCounts[t].learningCount > 0)
            return true;
    return false;
}

const char *controllerSourceName(int32_t source)
{
    return validSource(source) ? sourceNames.text[source] : "";
}

} // namespace engine
