#pragma once
// MIDI controller assignments: five process-wide tables, one entry per parameter of a group, each
// naming a MIDI source and the range it drives. Shared by every instance, with one set of counts
// beside them that the applying step uses as search bounds.
//
// Every write of the tables or the counts runs under the writing instance's instanceLock and
// then engineSharedLock held exclusively, and the render reads them holding engineSharedLock
// shared (MIDI learn on the audio thread writes only if it gets it exclusively), so no instance ever
// scans a half-written entry or applies counts that no longer match the tables. The counts are
// exact: sourceCounts[s] is the number of entries naming s, learningCount the number of entries
// with the learning bit.

#include <cstdint>

#pragma pack(push, 1)

// Also the 12-byte record of the automation file.
struct ControllerAssignment {
    uint8_t state;    // bit 0: learning (takes the next source that arrives)
    int16_t source;   // 0 none; 1..127 controller; 128 note-on velocity; 129 note-off velocity;
                      // 130 pitch bend; 131 aftertouch
    float min;        // parameter value for source value 0
    float max;        // parameter value for source value 1
    uint8_t reversed; // 1: the source value is turned into 1 - value first
};

#pragma pack(pop)

static_assert(sizeof(ControllerAssignment) == 12);

namespace engine {

inline constexpr int kAssignmentSources = 132; // 0..131
inline constexpr int kSourceNoteOnVelocity = 128;
inline constexpr int kSourceNoteOffVelocity = 129;
inline constexpr int kSourcePitchBend = 130;
inline constexpr int kSourceAftertouch = 131;
inline constexpr uint8_t kAssignmentLearning = 1;

// The tables in the order of the automation file, of learning and of applying.
enum class AssignmentTable : int32_t { master, channel, sequencer, melody, drum, special };
inline constexpr int kAssignmentTableCount = 6;

inline constexpr int kMasterAssignments = 17;      // master parameters 0..16
inline constexpr int kChannelAssignments = 20;     // local ids 17..36
inline constexpr int kSequencerAssignments = 661;  // local ids 37..697
inline constexpr int kInstrumentAssignments = 1108; // local ids 698..1,805, one row per channel mode
inline constexpr int kSpecialAssignments = 3;      // editor tags 28,641..28,643

inline constexpr int kChannelAssignmentBase = 17;
inline constexpr int kSequencerAssignmentBase = 37;
inline constexpr int kInstrumentAssignmentBase = 698;
inline constexpr int kSpecialAssignmentBase = 28641;

struct AssignmentCounts {
    int16_t learningCount;
    int16_t sourceCounts[kAssignmentSources];
};

// The entries of a table and how many there are; null for a table outside the six.
ControllerAssignment *assignmentEntries(AssignmentTable table, int32_t *size);
int32_t assignmentTableSize(AssignmentTable table);

// The engine parameter (or editor tag) entry i of a table drives on channel c (ignored for the
// master and special tables).
int32_t assignedParameter(AssignmentTable table, int32_t entry, int32_t channel);

// The entry an engine parameter index or special tag has in its table (mode chooses the
// instrument row: 0 melody, 1 drum kit); false when no table holds it.
bool assignmentEntryOf(int32_t index, int32_t mode, AssignmentTable *table, int32_t *entry);

// The parameter value a source value v (0..1) gives through an entry.
float assignedValue(const ControllerAssignment &entry, float value);

// Zeroes every table and the counts. Caller holds the locks.
void clearAssignments();
// Adds the factory set and, with extras, the extra set. Caller holds the locks.
void addDefaultAssignments(bool withExtras);
// Sets an entry to {0, source, min, max, reversed} and keeps the counts. Caller holds the locks.
void setAssignmentEntry(AssignmentTable table, int32_t entry, const ControllerAssignment &value);
// Counts the tables anew (after a whole table was replaced). Caller holds the locks.
void recountAssignments();

// What MIDI learn did with a source: every entry that was learning now names it.
// Returns the number of entries learned. Caller holds the locks, the shared one exclusively.
int32_t learnAssignments(int32_t source);

// Whether any entry waits for a source to learn. Caller holds the shared lock.
bool learnPending();

// Source s's name for the report and the menus ("ctrl 3" for controllers without one).
const char *controllerSourceName(int32_t source);

} // namespace engine

// The process-wide tables (all zero when the module loads) and their counts, indexed by
// AssignmentTable.
extern ControllerAssignment masterAssignments[engine::kMasterAssignments];
extern ControllerAssignment channelAssignments[engine::kChannelAssignments];
extern ControllerAssignment sequencerAssignments[engine::kSequencerAssignments];
extern ControllerAssignment instrumentAssignments[2][engine::kInstrumentAssignments];
extern ControllerAssignment specialAssignments[engine::kSpecialAssignments];
extern engine::AssignmentCounts assignmentCounts[engine::kAssignmentTableCount];
