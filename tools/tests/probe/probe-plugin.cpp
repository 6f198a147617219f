// A tiny VST 2.4 instrument that writes down what its host does, for testing the host.
// It exports only `main`, as many Linux plug-ins do. At effClose it writes its log to the file named
// by QUORIX_PROBE_LOG. Audio: every note-on becomes one impulse at its sample offset: outputs 0 and
// 1 carry velocity / 127, outputs 2 and 3 carry key / 127.
#include "host/vst24abi.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Probe {
  AEffect record{};
  audioMasterCallback host = nullptr;
  std::vector<std::string> log;
  std::vector<std::pair<int32_t, VstMidiEvent>> pendingNotes;  // (delta, event) until the next process

  VstTimeInfo* time(int32_t filter)
  {
    return reinterpret_cast<VstTimeInfo*>(host(&record, audioMasterGetTime, 0, filter, nullptr, 0.0f));
  }
  void write(const char* format, auto... args)
  {
    char line[512];
    std::snprintf(line, sizeof line, format, args...);
    log.emplace_back(line);
  }
};

Probe* probeOf(AEffect* e) { return static_cast<Probe*>(e->object); }

intptr_t dispatcher(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  Probe* p = probeOf(e);
  switch (opcode) {
    case effOpen: p->write("open"); return 0;
    case effClose: {
      p->write("close");
      if (const char* path = std::getenv("QUORIX_PROBE_LOG")) {
        if (FILE* f = std::fopen(path, "w")) {
          for (const auto& line : p->log) std::fprintf(f, "%s\n", line.c_str());
          std::fclose(f);
        }
      }
      delete p;
      return 1;
    }
    case effSetSampleRate: p->write("rate %.0f", double(opt)); return 0;
    case effSetBlockSize: p->write("block %ld", long(value)); return 0;
    case effMainsChanged: {
      p->write(value ? "resume" : "suspend");
      if (value) p->host(e, audioMasterWantMidi, 0, 1, nullptr, 0.0f);
      return 0;
    }
    case effStartProcess: p->write("start"); return 0;
    case effStopProcess: p->write("stop"); return 0;
    case effGetPlugCategory: return kPlugCategSynth;
    case effGetVstVersion: return 2400;
    case effGetEffectName:
    case effGetProductString: std::snprintf(static_cast<char*>(ptr), 32, "Probe"); return 1;
    case effGetVendorString: std::snprintf(static_cast<char*>(ptr), 64, "Quorix tests"); return 1;
    case effGetParamName: std::snprintf(static_cast<char*>(ptr), 9, "Param%d", index); return 0;
    case effCanDo: {
      std::string what = static_cast<const char*>(ptr);
      return (what == "receiveVstEvents" || what == "receiveVstMidiEvent" || what == "receiveVstTimeInfo") ? 1 : -1;
    }
    case effProcessEvents: {
      auto* list = static_cast<VstEvents*>(ptr);
      VstTimeInfo* t = p->time(0);
      long base = t ? long(t->samplePos) : -1;
      for (int32_t i = 0; i < list->numEvents; ++i) {
        VstEvent* ev = list->events[i];
        if (ev->type == kVstMidiType) {
          auto* m = reinterpret_cast<VstMidiEvent*>(ev);
          auto* b = reinterpret_cast<unsigned char*>(m->midiData);
          p->write("event %ld %d %02x %02x %02x", base + m->deltaFrames, m->deltaFrames, b[0], b[1], b[2]);
          if ((b[0] & 0xF0) == 0x90 && b[2] > 0) p->pendingNotes.emplace_back(m->deltaFrames, *m);
        } else if (ev->type == kVstSysExType) {
          auto* s = reinterpret_cast<VstMidiSysexEvent*>(ev);
          std::string hex;
          char two[4];
          for (int32_t k = 0; k < s->dumpBytes; ++k) {
            std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(s->sysexDump[k]));
            hex += two;
          }
          p->write("sysex %ld %s", base + s->deltaFrames, hex.c_str());
        }
      }
      return 1;
    }
    default: return 0;
  }
}

void processReplacing(AEffect* e, float**, float** outputs, int32_t frames)
{
  Probe* p = probeOf(e);
  VstTimeInfo* t = p->time(kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid);
  if (t)
    p->write("process %.0f %d tempo=%.3f ppq=%.4f playing=%d sig=%d/%d bar=%.4f", t->samplePos, frames, t->tempo,
             t->ppqPos, (t->flags & kVstTransportPlaying) ? 1 : 0, t->timeSigNumerator, t->timeSigDenominator,
             t->barStartPos);
  for (int c = 0; c < 4; ++c)
    for (int32_t i = 0; i < frames; ++i) outputs[c][i] = 0.0f;
  for (auto& [delta, m] : p->pendingNotes) {
    if (delta < 0 || delta >= frames) {
      p->write("offset %d outside a block of %d", delta, frames);
      continue;
    }
    auto* b = reinterpret_cast<unsigned char*>(m.midiData);
    outputs[0][delta] = outputs[1][delta] = b[2] / 127.0f;
    outputs[2][delta] = outputs[3][delta] = b[1] / 127.0f;
  }
  p->pendingNotes.clear();
}

void setParameter(AEffect*, int32_t, float) {}
float getParameter(AEffect*, int32_t) { return 0.0f; }

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* main_entry(audioMasterCallback host) __asm__("main");

AEffect* main_entry(audioMasterCallback host)
{
  if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  auto* p = new Probe;
  p->host = host;
  AEffect& r = p->record;
  r.magic = kEffectMagic;
  r.dispatcher = dispatcher;
  r.setParameter = setParameter;
  r.getParameter = getParameter;
  r.processReplacing = processReplacing;
  r.numPrograms = 1;
  r.numParams = 2;
  r.numInputs = 0;
  r.numOutputs = 4;
  r.flags = effFlagsCanReplacing | effFlagsIsSynth;
  r.ioRatio = 1.0f;
  r.object = p;
  r.uniqueID = vstFourCC("Prob");
  r.version = 1;
  char vendor[64] = {};
  host(&r, audioMasterGetVendorString, 0, 0, vendor, 0.0f);
  p->write("host vendor %s", vendor);
  return &r;
}
