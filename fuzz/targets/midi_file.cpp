// Standard MIDI Files as the command-line host reads them: any bytes through MidiSong::parse.
//
// What must hold: a refused file leaves no events and says why; an accepted one gives events in
// time order, each a whole channel message or a whole System Exclusive message, a tempo map that
// starts at tick 0 with no tempo of zero, times in seconds and samples that only grow and that
// convert back to their ticks; written again through the file writer it reads back the same.
#include "fuzz/FuzzSupport.h"
#include "tools/vsthost/MidiFile.h"

#include <cmath>
#include <cstring>

using qhost::MidiEvent;
using qhost::MidiSong;

namespace {

int dataBytes(uint8_t status) { return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2; }

// A channel message the writer can write: status 0x80..0xEF with its data bytes.
bool isChannelMessage(const MidiEvent &e)
{
    if (e.sysex || e.bytes[0] < 0x80 || e.bytes[0] >= 0xF0 || e.size != 1 + dataBytes(e.bytes[0]))
        return false;
    for (int i = 1; i < e.size; ++i)
        if (e.bytes[i] & 0x80)
            return false;
    return true;
}

void checkEvents(const MidiSong &song)
{
    uint64_t previous = 0;
    for (const MidiEvent &e : song.events()) {
        FUZZ_CHECK(e.tick >= previous && e.tick <= song.lastTick());
        previous = e.tick;
        if (e.sysex) {
            FUZZ_CHECK(e.dump.size() >= 2 && e.dump.front() == 0xF0 && e.dump.back() == 0xF7);
        } else {
            FUZZ_CHECK(e.size >= 1 && e.size <= 3 && (e.bytes[0] & 0x80));
        }
    }
    const auto &tempos = song.tempoMap();
    FUZZ_CHECK(!tempos.empty() && tempos.front().tick == 0);
    for (size_t i = 0; i < tempos.size(); ++i) {
        FUZZ_CHECK(tempos[i].microsPerQuarter > 0);
        if (i > 0)
            FUZZ_CHECK(tempos[i].tick >= tempos[i - 1].tick);
    }
    for (const auto &sig : song.timeSignatures())
        FUZZ_CHECK(sig.numerator > 0 && sig.denominator >= 1 && sig.denominator <= 128);
}

void checkTimes(MidiSong &song)
{
    double previousSeconds = 0.0;
    for (const MidiEvent &e : song.events()) {
        const double seconds = song.secondsAt(e.tick);
        FUZZ_CHECK(std::isfinite(seconds) && seconds >= previousSeconds);
        previousSeconds = seconds;
        const double tempo = song.tempoAtSeconds(seconds);
        FUZZ_CHECK(std::isfinite(tempo) && tempo > 0.0);
        const double back = song.tickAtSeconds(seconds);
        FUZZ_CHECK(std::fabs(back - static_cast<double>(e.tick)) <= 1e-6 * static_cast<double>(e.tick) + 1e-3);
    }
    const int64_t length = song.placeEvents(48000.0);
    int64_t previousSample = 0;
    for (const MidiEvent &e : song.events()) {
        FUZZ_CHECK(e.sample >= previousSample && e.sample <= length);
        previousSample = e.sample;
    }
}

// Writes the song's tempo map, time signatures and writable events as a format 1 file.
std::vector<uint8_t> rewrite(const MidiSong &song, uint16_t division)
{
    qhost::MidiFileWriter writer(1, division);
    constexpr uint64_t kLongestDelta = 0x0FFFFFFF;
    uint64_t at = 0;
    // The writer's deltas reach 2^28 - 1 ticks: longer gaps get meta events on the way.
    auto reach = [&](uint64_t tick) {
        while (tick - at > kLongestDelta) {
            at += kLongestDelta;
            writer.trackName(at, "");
        }
        at = tick;
    };
    writer.beginTrack();
    at = 0;
    size_t s = 0;
    for (const auto &t : song.tempoMap()) {
        while (s < song.timeSignatures().size() && song.timeSignatures()[s].tick <= t.tick) {
            reach(song.timeSignatures()[s].tick);
            writer.timeSignature(at, song.timeSignatures()[s].numerator, song.timeSignatures()[s].denominator);
            ++s;
        }
        reach(t.tick);
        writer.tempo(at, 60e6 / t.microsPerQuarter);
    }
    for (; s < song.timeSignatures().size(); ++s) {
        reach(song.timeSignatures()[s].tick);
        writer.timeSignature(at, song.timeSignatures()[s].numerator, song.timeSignatures()[s].denominator);
    }
    reach(song.lastTick());
    writer.endTrack(at);
    writer.beginTrack();
    at = 0;
    for (const MidiEvent &e : song.events()) {
        if (e.sysex) {
            reach(e.tick);
            writer.sysex(at, std::vector<uint8_t>(e.dump.begin() + 1, e.dump.end()));
        } else if (isChannelMessage(e)) {
            reach(e.tick);
            writer.channel(at, e.bytes[0], e.bytes[1], e.bytes[2]);
        }
    }
    reach(song.lastTick());
    writer.endTrack(at);
    return writer.bytes();
}

bool sameSong(const MidiSong &a, const MidiSong &b)
{
    std::vector<const MidiEvent *> written;
    for (const MidiEvent &e : a.events())
        if (e.sysex || isChannelMessage(e))
            written.push_back(&e);
    if (written.size() != b.events().size() || a.lastTick() != b.lastTick() ||
        a.tempoMap().size() != b.tempoMap().size() || a.timeSignatures().size() != b.timeSignatures().size())
        return false;
    for (size_t i = 0; i < written.size(); ++i) {
        const MidiEvent &x = *written[i], &y = b.events()[i];
        if (x.tick != y.tick || x.sysex != y.sysex || x.dump != y.dump || x.size != y.size ||
            std::memcmp(x.bytes, y.bytes, x.size) != 0)
            return false;
    }
    for (size_t i = 0; i < a.tempoMap().size(); ++i)
        if (a.tempoMap()[i].tick != b.tempoMap()[i].tick ||
            a.tempoMap()[i].microsPerQuarter != b.tempoMap()[i].microsPerQuarter)
            return false;
    for (size_t i = 0; i < a.timeSignatures().size(); ++i)
        if (a.timeSignatures()[i].tick != b.timeSignatures()[i].tick ||
            a.timeSignatures()[i].numerator != b.timeSignatures()[i].numerator ||
            a.timeSignatures()[i].denominator != b.timeSignatures()[i].denominator)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MidiSong song;
    if (!song.parse(data, size)) {
        FUZZ_CHECK(!song.error().empty());
        FUZZ_CHECK(song.events().empty() && song.tempoMap().empty());
        return 0;
    }
    FUZZ_CHECK(song.error().empty());
    FUZZ_CHECK(song.format() == 0 || song.format() == 1);
    FUZZ_CHECK(song.trackCount() >= 1);
    FUZZ_CHECK((song.ticksPerQuarter() > 0) != (song.smpteTicksPerSecond() > 0.0));
    checkEvents(song);
    checkTimes(song);

    const uint16_t division = static_cast<uint16_t>((data[12] << 8) | data[13]);
    const std::vector<uint8_t> bytes = rewrite(song, division);
    MidiSong again;
    FUZZ_CHECK(again.parse(bytes.data(), bytes.size()));
    FUZZ_CHECK(sameSong(song, again));
    return 0;
}
