#include "tools/vsthost/Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace qhost {

bool isSupportedSampleRate(double rate) { return rate == 44100.0 || rate == 48000.0 || rate == 96000.0; }

namespace {

// The event list handed to the plug-in: room for the largest block of the song, allocated once.
class EventList {
public:
  explicit EventList(size_t capacity)
      : header_(new char[sizeof(VstEvents) + capacity * sizeof(VstEvent*)]),
        midi_(capacity),
        sysex_(capacity),
        capacity_(capacity)
  {
  }
  VstEvents* events() { return reinterpret_cast<VstEvents*>(header_.get()); }
  void clear() { count_ = 0; }
  int32_t count() const { return count_; }

  void add(const MidiEvent& e, int32_t delta)
  {
    if (size_t(count_) >= capacity_) return;  // sized beforehand; cannot happen
    VstEvent* slot;
    if (e.sysex) {
      VstMidiSysexEvent& s = sysex_[count_];
      s = {};
      s.type = kVstSysExType;
      s.byteSize = sizeof(VstMidiSysexEvent);
      s.deltaFrames = delta;
      s.dumpBytes = int32_t(e.dump.size());
      s.sysexDump = reinterpret_cast<char*>(const_cast<uint8_t*>(e.dump.data()));
      slot = reinterpret_cast<VstEvent*>(&s);
    } else {
      VstMidiEvent& m = midi_[count_];
      m = {};
      m.type = kVstMidiType;
      m.byteSize = sizeof(VstMidiEvent);
      m.deltaFrames = delta;
      for (int i = 0; i < e.size && i < 3; ++i) m.midiData[i] = char(e.bytes[i]);
      if ((e.bytes[0] & 0xF0) == 0x80) m.noteOffVelocity = char(e.bytes[2]);
      slot = reinterpret_cast<VstEvent*>(&m);
    }
    VstEvents* list = events();
    list->events[count_++] = slot;
    list->numEvents = count_;
    list->reserved = 0;
  }

private:
  std::unique_ptr<char[]> header_;
  std::vector<VstMidiEvent> midi_;
  std::vector<VstMidiSysexEvent> sysex_;
  size_t capacity_;
  int32_t count_ = 0;
};

size_t largestBlock(const std::vector<MidiEvent>& events, int32_t blockSize)
{
  size_t best = 0, run = 0;
  int64_t current = -1;
  for (const auto& e : events) {
    int64_t block = e.sample / blockSize;
    run = block == current ? run + 1 : 1;
    current = block;
    best = std::max(best, run);
  }
  return std::max<size_t>(best, 1);
}

void fillTimeInfo(VstTimeInfo& t, const MidiSong& song, int64_t samplePos, double rate, bool first)
{
  double seconds = double(samplePos) / rate;
  double tick = song.tickAtSeconds(seconds);
  double quarters = song.ticksPerQuarter() ? tick / song.ticksPerQuarter() : seconds * 2.0;
  TimeSignatureChange sig = song.timeSignatureAtTick(tick);
  double sigQuarters = song.quartersAt(sig.tick);
  double barLength = sig.numerator * 4.0 / sig.denominator;
  t.samplePos = double(samplePos);
  t.sampleRate = rate;
  t.nanoSeconds = seconds * 1e9;
  t.ppqPos = quarters;
  t.tempo = song.tempoAtSeconds(seconds);
  t.barStartPos = sigQuarters + std::floor((quarters - sigQuarters) / barLength) * barLength;
  t.cycleStartPos = t.cycleEndPos = 0.0;
  t.timeSigNumerator = sig.numerator;
  t.timeSigDenominator = sig.denominator;
  t.smpteOffset = t.smpteFrameRate = t.samplesToNextClock = 0;
  t.flags = kVstTransportPlaying | kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
            kVstTimeSigValid | (first ? kVstTransportChanged : 0);
}

}  // namespace

RenderReport renderSong(VstPlugin& plugin, MidiSong& song, const RenderOptions& options, AudioSink& sink)
{
  RenderReport report;
  AEffect* effect = plugin.effect();
  if (!effect) return report;
  const double rate = options.sampleRate;
  const int32_t block = std::clamp(options.blockSize, minBlockSize, maxBlockSize);

  int64_t songFrames = song.placeEvents(rate);
  int64_t total = songFrames + int64_t(std::llround(std::max(0.0, options.tailSeconds) * rate));
  const auto& events = song.events();
  EventList list(largestBlock(events, block));

  const int32_t outs = std::max(effect->numOutputs, 1);
  const int32_t ins = std::max(effect->numInputs, 1);
  const size_t blockFrames = size_t(block);
  std::vector<std::vector<float>> outBuffers(static_cast<size_t>(outs), std::vector<float>(blockFrames));
  std::vector<std::vector<float>> inBuffers(static_cast<size_t>(ins), std::vector<float>(blockFrames));
  std::vector<float> silence(blockFrames, 0.0f);
  std::vector<float*> outPtrs(static_cast<size_t>(outs)), inPtrs(static_cast<size_t>(ins));
  for (int32_t i = 0; i < outs; ++i) outPtrs[size_t(i)] = outBuffers[size_t(i)].data();
  for (int32_t i = 0; i < ins; ++i) inPtrs[size_t(i)] = inBuffers[size_t(i)].data();
  // Main pair: outputs 0 and 1 (a mono plug-in feeds both); sub pair: outputs 2 and 3 when present.
  const float* channels[4] = {
      outPtrs[0], outs > 1 ? outPtrs[1] : outPtrs[0],
      outs > 2 ? outPtrs[2] : silence.data(), outs > 3 ? outPtrs[3] : (outs > 2 ? outPtrs[2] : silence.data())};

  plugin.setSampleRate(rate);
  plugin.setBlockSize(block);
  plugin.dispatch(effMainsChanged, 0, 1);
  plugin.dispatch(effStartProcess);
  plugin.setProcessing(true);

  const bool replacing = effect->processReplacing != nullptr;
  size_t next = 0;
  for (int64_t pos = 0; pos < total; pos += block) {
    int32_t frames = int32_t(std::min<int64_t>(block, total - pos));
    fillTimeInfo(plugin.timeInfo(), song, pos, rate, pos == 0);

    list.clear();
    while (next < events.size() && events[next].sample < pos + frames) {
      list.add(events[next], int32_t(std::max<int64_t>(0, events[next].sample - pos)));
      ++next;
    }
    if (list.count() > 0) {
      plugin.dispatch(effProcessEvents, 0, 0, list.events());
      report.eventsSent += list.count();
    }

    for (auto& b : inBuffers) std::fill(b.begin(), b.end(), 0.0f);
    for (auto& b : outBuffers) std::fill(b.begin(), b.end(), 0.0f);
    if (replacing)
      effect->processReplacing(effect, inPtrs.data(), outPtrs.data(), frames);
    else if (effect->process)
      effect->process(effect, inPtrs.data(), outPtrs.data(), frames);

    for (auto& b : outBuffers)
      for (int32_t i = 0; i < frames; ++i)
        if (!std::isfinite(b[size_t(i)])) {
          b[size_t(i)] = 0.0f;
          ++report.nonFiniteSamples;
        }
    if (!sink.write(channels, frames)) {
      report.sinkFailed = true;
      break;
    }
    report.frames += frames;
    if (options.progress) options.progress(report.frames, total);
  }

  plugin.setProcessing(false);
  plugin.timeInfo().flags &= ~kVstTransportPlaying;
  plugin.timeInfo().flags |= kVstTransportChanged;
  plugin.dispatch(effStopProcess);
  plugin.dispatch(effMainsChanged, 0, 0);
  return report;
}

}  // namespace qhost
