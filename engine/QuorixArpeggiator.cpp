// The arpeggiator of the instance's melody channels, stepped by the melody render once per
// sub-block on the audio thread, both engine locks held.
#include "engine/Quorix.h"

#include "engine/Arpeggiator.h"

using namespace engine;

void Quorix::arpeggiatorStep(int32_t channel, int32_t n)
{
    if (channel < 0 || channel >= kChannelCount)
        return;
    const ChannelState &ch = state.target.channels[channel];
    if (ch.seqOn || !ch.melody.arpOn || ch.mode != 0)
        return;

    // Notes start as from a player's key, on the configuration's velocity curve.
    class Voices : public PatternVoices
    {
    public:
        Voices(Quorix &q, int32_t c) : q(q), c(c) {}
        int32_t startNote(int32_t key, int32_t velocity, int32_t) override
        {
            return q.noteOn(c, c, key, velocity, 1, 0, 0, -1);
        }
        void releaseNote(int32_t noteId) override { q.releaseKey(c, noteId); }
        void glideNoteLevel(int32_t, int32_t) override {}

    private:
        Quorix &q;
        int32_t c;
    } voices(*this, channel);

    const PatternTime time{hostPosition, subBlockBeats(n, hostTempo, frameSampleRate)};
    if (tickArpeggiator(ch.melody, state.play[channel], time, voices, state.runtime.randomSeed))
        state.runtime.patternsRunning = 1;
}
