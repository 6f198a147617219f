#include "tools/soundfont/GmLibrary.h"

#include "engine/ParameterIndex.h"
#include "tools/soundfont/Regions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <map>
#include <numbers>

namespace sfconv {
namespace {

using namespace sf2;
namespace local = engine::local;

constexpr int kVelocity = 100;    // the one velocity layer the library keeps
constexpr int kReferenceKey = 60; // envelopes, filter and pan are taken where middle C plays

// A SoundFont's initial attenuation is heard at 0.4 of its centibels, as the hardware the format
// was made for and common players apply it.
constexpr double kAttenuationScale = 0.4;
double attenuationDecibels(int centibels) { return centibels * kAttenuationScale / 10.0; }
constexpr int kStereoPairCentibels = 75; // 3 dB as heard
constexpr int kPairCents = 5;            // halves recorded this close in pitch are one sound
constexpr uint32_t kPairLoopShift = 4;   // values one half's loop may start after the other's

// Every channel and drum key plays this much below the SoundFont's own level: the level common
// players give a General MIDI file by default (a gain of 0.2), so a dense song keeps its headroom
// and sits beside other renders of the same file.
constexpr double kLibraryLevelDecibels = -13.98;
double libraryLevelDecibels(int centibels, double boost = 0.0)
{
  return std::min(kLibraryLevelDecibels - attenuationDecibels(centibels) + boost, 6.02);
}

// A preset's chorus and reverb sends (permille) as common players return them: the chorus at
// about 7.1 times the send and the reverb at about 0.89 times, in level against the dry sound.
constexpr double kPlayerChorusReturn = 7.1;
constexpr double kPlayerReverbReturn = 0.89;
// A melodic patch keeps the channel's own sends (the default setup, or a file's controllers 91
// and 93), so its level carries what a player's dry sound and effects have beyond what the
// engine's dry sound and effects have at the default setup's sends: no chorus, and a reverb
// that adds 0.40 of the dry power over a held note and its tail (measured, a centred channel).
// A preset without sends plays that much below its SoundFont level.
constexpr double kEngineDefaultEffectsPower = 0.40;
// The level made up is at most this: a song of chorused leads and pads still peaks below full
// scale where the players' chorus spreads the same level in time and over both sides (at 8 dB,
// songs of pads whose third sounds fold into their level passed it).
constexpr double kMostMakeUpDecibels = 7.0;

double melodyMakeUpDecibels(double chorus, double reverb)
{
  const double chorusReturn = kPlayerChorusReturn * chorus, reverbReturn = kPlayerReverbReturn * reverb;
  return std::min(10.0 * std::log10((1.0 + chorusReturn * chorusReturn + reverbReturn * reverbReturn) /
                                    (1.0 + kEngineDefaultEffectsPower)),
                  kMostMakeUpDecibels);
}

// A drum key carries its own sends: the engine returns the chorus at the send squared and the
// reverb at about 3.35 times a player's for the same send squared.
constexpr double kEngineReverbShare = 1.0 / 3.35;
constexpr double kDrumChannelReverbSend = 0.3; // the kits' channel send, which the keys' sends scale

struct Sends {
  double chorus = 0; // the engine's send, 0..1
  double reverb = 0;
};

double sendOf(int permille) { return std::clamp(permille / 1000.0, 0.0, 1.0); }

// The engine's sends for a sound with a player's sends (0..1).
Sends sendsOf(double chorus, double reverb)
{
  Sends s;
  s.chorus = std::sqrt(std::min(kPlayerChorusReturn * chorus, 1.0));
  s.reverb = std::sqrt(std::min(reverb * kEngineReverbShare, 1.0));
  return s;
}

// SoundFont envelopes fall linearly in decibels; the engine's decay and release follow
// (1 - t/T)^e of the way down. Their times are matched where both have fallen by 30 dB.
constexpr double kCurveMatch = 0.4346;
constexpr double kCurveMatchDecibels = 30.0;

// Keys a zone spans where a scale tuning other than a semitone a key is approximated, and the
// keys (a piano's) over which such zones are laid.
constexpr int kBandKeys = 6;
constexpr int kFirstBandKey = 21;
constexpr int kLastBandKey = 108;

// The engine's melody LFO bends the pitch by amount^2 x 32 semitones at full level.
constexpr double kLfoPitchSemitones = 32.0;
constexpr int kLfoTriangle = 2; // rising from zero; the next wave falls from zero
// Its two-pole filter peaks at (8r + 1) / sqrt(2) for resonance r; the four-pole drum filter's
// two sections give (8r + 1)^2 / sqrt(2) at the cutoff.
constexpr double kSqrtHalf = 0.70710678;
constexpr int kFourPoleOctave = 1200;

const char *const kFamilyNames[kMelodyWaveCategories] = {
    "Piano", "Chromatic Percussion", "Organ", "Guitar", "Bass", "Strings", "Ensemble", "Brass",
    "Reed", "Pipe", "Synth Lead", "Synth Pad", "Synth Effects", "Ethnic", "Percussive", "Sound Effects"};

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *fmt, ...)
{
  char buffer[128];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buffer, sizeof buffer, fmt, args);
  va_end(args);
  return buffer;
}

std::string nameWithin(const std::string &name, size_t size = 23) { return name.substr(0, size); }

// Display texts in the engine's formats.
std::string decibelText(double db) { return format("%.2f", db); }
std::string secondsText(double s) { return format("%.3f", s); }
std::string percentText(double p) { return format("%.1f", p); }
std::string hertzText(double hz) { return format("%.1f", hz); }
std::string signedText(int v) { return v == 0 ? "0" : format("%+d", v); }
std::string panText(int pan) // -500..500
{
  int n = int(std::abs(pan) / 500.0 * 99.0 + 0.5);
  if (n == 0) return "C00";
  return format(pan < 0 ? "L%02d" : "R%02d", n);
}

double absoluteCentsToHertz(int cents) { return 8.1757989 * std::exp2(cents / 1200.0); }
double centibelsToGain(double cb) { return std::pow(10.0, -cb / 200.0); }

// Engine decay time for a SoundFont decay of `seconds` (from full level to silence) that stops
// at a sustain `sustainDecibels` down.
double engineDecaySeconds(double seconds, double sustainDecibels)
{
  double toSustain = seconds * std::min(sustainDecibels, 96.0) / 96.0;
  double match = sustainDecibels >= kCurveMatchDecibels
                     ? kCurveMatch
                     : 1.0 - (1.0 - kCurveMatch) * sustainDecibels / kCurveMatchDecibels;
  return toSustain * match;
}
double engineReleaseSeconds(double seconds) { return seconds * kCurveMatch; }

// The engine's envelopes have no hold stage: a SoundFont decay after a hold becomes a longer
// decay that reaches the same level at the same time (where the curves are matched, or at the
// sustain when that comes first).
// The shortest hold (-12,000 timecents) is none.
double decayAfterHold(double decaySeconds, int holdTimecents, double sustainDecibels)
{
  if (sustainDecibels <= 0.0 || holdTimecents <= -12000) return decaySeconds;
  return decaySeconds + timecentsToSeconds(holdTimecents) * 96.0 / std::min(sustainDecibels, kCurveMatchDecibels);
}

// Resonance (0..100 %) whose peak at the cutoff matches a SoundFont resonance in centibels.
double twoPoleResonancePercent(int centibels)
{
  double q = std::max(kSqrtHalf, centibelsToGain(-centibels));
  return std::clamp((q / kSqrtHalf - 1.0) / 8.0, 0.0, 1.0) * 100.0;
}
double fourPoleResonancePercent(int centibels)
{
  double gain = std::max(1.0, centibelsToGain(-centibels));
  return std::clamp((std::sqrt(gain / kSqrtHalf) - 1.0) / 8.0, 0.0, 1.0) * 100.0;
}

// The engine's velocity response ((v^3 - 1) a + 1) closest to a SoundFont level curve (decibels
// against velocity 127): the amount whose largest error in decibels over velocities 20..127 is
// smallest. Soft notes matter as much as loud ones.
using VelocityCurve = std::array<double, 128>;

// The SoundFont's default velocity attenuation, (v / 127)^2 in amplitude.
const VelocityCurve &defaultVelocityCurve()
{
  static const VelocityCurve curve = [] {
    VelocityCurve c{};
    for (int v = 1; v < 128; ++v) c[v] = 40.0 * std::log10(v / 127.0);
    return c;
  }();
  return curve;
}

double velocityErrorDecibels(double amount, const VelocityCurve &curve)
{
  double worst = 0.0;
  for (int velocity = 20; velocity <= 127; ++velocity) {
    const double v = velocity / 127.0;
    const double engine = (v * v * v - 1.0) * amount + 1.0;
    worst = std::max(worst, std::abs(20.0 * std::log10(engine) - curve[velocity]));
  }
  return worst;
}
double velocityAmountPercent(const VelocityCurve &curve)
{
  // A coarse search, then the thousandths around its best.
  int best = 0;
  double error = velocityErrorDecibels(0.0, curve);
  auto tryStep = [&](int step) {
    const double e = velocityErrorDecibels(step / 1000.0, curve);
    if (e < error) best = step, error = e;
  };
  for (int step = 5; step <= 1000; step += 5) tryStep(step);
  const int coarse = best;
  for (int step = std::max(0, coarse - 4); step <= std::min(1000, coarse + 4); ++step) tryStep(step);
  return best / 10.0;
}

// A SoundFont envelope as common players run it: from its delay, an attack rising linearly in
// amplitude, a hold, then a fall linear in decibels (its range 96 dB) to the sustain (0..1 of
// the range), and after the note-off the release from where it stands.
struct PlayerEnvelope {
  double delay = 0, attack = 0, hold = 0, decay = 0, sustain = 1, release = 0;

  // Where it stands t seconds into a note released at `off`: its value (0..1) as it moves a
  // cutoff, and the amplitude it gives as the volume envelope (a release during the attack
  // falls from the attack's level in decibels).
  double value(double t, double off) const
  {
    bool rising = false;
    const double v = held(std::min(t, off), rising);
    return t < off ? v : fallen(v, t - off);
  }
  double amplitude(double t, double off) const
  {
    bool rising = false;
    double v = held(std::min(t, off), rising);
    if (t < off && rising) return v;
    if (rising) v = v > 0 ? std::max(0.0, 1.0 + 20.0 * std::log10(v) / 96.0) : 0.0;
    if (t >= off) v = fallen(v, t - off);
    return std::pow(10.0, -96.0 * (1.0 - v) / 20.0);
  }

private:
  double held(double t, bool &rising) const
  {
    if (t < delay) return 0.0;
    t -= delay;
    if (t < attack) return rising = true, t / attack;
    t -= attack;
    if (t < hold) return 1.0;
    t -= hold;
    return std::max(sustain, 1.0 - (decay > 0 ? t / decay : 1.0));
  }
  double fallen(double from, double seconds) const { return std::max(0.0, from - (release > 0 ? seconds / release : 1.0)); }
};

// The note a velocity layer's level is taken from: held a second, heard for two.
constexpr double kNoteHeldSeconds = 1.0;
constexpr double kNoteHeardSeconds = 2.0;
constexpr double kNoteRate = 44100.0;
constexpr int kNoteStep = 64; // values between updates of the cutoff and the level

// How a region's volume envelope falls at a key: decibels down after t seconds (the attack
// left out; the shortest hold counts as none).
struct Fall {
  double hold = 0.0, decay = 0.0, sustainDecibels = 0.0;

  double at(double t) const
  {
    if (t <= hold) return 0.0;
    if (decay <= 0.0) return sustainDecibels;
    return std::min(sustainDecibels, 96.0 * (t - hold) / decay);
  }
  double settled() const { return hold + decay * sustainDecibels / 96.0; }
};

Fall fallOf(const Region &r, int key)
{
  Fall f;
  const int hold = r.value[holdVolEnv] + r.value[keynumToVolEnvHold] * (60 - key);
  f.hold = hold <= -12000 ? 0.0 : timecentsToSeconds(hold);
  f.decay = timecentsToSeconds(r.value[decayVolEnv] + r.value[keynumToVolEnvDecay] * (60 - key));
  f.sustainDecibels = std::clamp(r.value[sustainVolEnv] / 10.0, 0.0, 96.0);
  return f;
}

// A zone's fall is carried into its take for at most this long, in points this far apart;
// a fade smaller than the least is left out.
constexpr double kFadeSeconds = 4.0;
constexpr double kFadePointSeconds = 0.025;
constexpr int kFadeLeastCentibels = 15;

// A sound an oscillator has no room for, heard through a kept one: its region and its share
// of the power they play together.
struct Folded {
  int region = -1;
  double share = 0;
};

// One sound of a key: a region and, for a stereo pair, its other half.
struct Candidate {
  int region = -1;
  int partner = -1;
  int attenuation = 0;
  int pan = 0;
  std::vector<Folded> folded; // the sounds it plays for besides its own (shares below 1)
  bool operator==(const Candidate &o) const { return region == o.region && partner == o.partner; }
};

// How long the tail of a sound is judged: its level after a note held this long.
constexpr double kTailSeconds = 2.0;

class PresetVoices
{
public:
  PresetVoices(const SoundFont &sf, int preset) : sf(sf), regions(presetRegions(sf, preset))
  {
    for (const Region &r : regions) spans.push_back(regionSpan(sf, r));
    levels.assign(regions.size(), -1.0);
  }

  const Region &region(int i) const { return regions[i]; }
  const SampleSpan &span(int i) const { return spans[i]; }
  bool empty() const { return regions.empty(); }

  // The sounds of a key at velocity 100, loudest first (the preset's order among equals).
  std::vector<Candidate> at(int key) const
  {
    std::vector<int> here;
    for (size_t i = 0; i < regions.size(); ++i)
      if (regions[i].covers(key, kVelocity) && playedLength(int(i)) > 0) here.push_back(int(i));
    std::vector<Candidate> out;
    std::vector<bool> used(here.size(), false);
    for (size_t a = 0; a < here.size(); ++a) {
      if (used[a]) continue;
      used[a] = true;
      Candidate c;
      c.region = here[a];
      // The other half is the one tuned nearest: two pairs detuned against each other (a
      // honky-tonk piano) stay two sounds.
      size_t partner = 0;
      for (size_t b = a + 1; b < here.size(); ++b)
        if (!used[b] && pairable(here[a], here[b]) &&
            (!partner || std::abs(tuningCents(here[b]) - tuningCents(here[a])) <
                             std::abs(tuningCents(here[partner]) - tuningCents(here[a]))))
          partner = b;
      if (partner) {
        used[partner] = true;
        c.partner = here[partner];
      }
      const Region &r = regions[c.region];
      c.attenuation = r.value[initialAttenuation];
      c.pan = r.value[pan];
      if (c.partner >= 0) {
        const Region &p = regions[c.partner];
        // Two halves panned apart sound 3 dB louder than their mid signal played in the centre.
        c.attenuation = std::min(c.attenuation, p.value[initialAttenuation]) - kStereoPairCentibels;
        c.pan = pairPan(c.region, c.partner);
      }
      out.push_back(c);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Candidate &x, const Candidate &y) { return x.attenuation < y.attenuation; });
    return out;
  }

  // How loud a candidate stands (decibels, its sample's RMS value under its attenuation) after
  // a note held `seconds` at a key; a sample that does not loop is silent once played out.
  double heldDecibels(const Candidate &c, int key, double seconds) const
  {
    const double rms = level(c.region);
    if (!(rms > 0) || playedSeconds(c.region, key) < seconds) return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(rms) - attenuationDecibels(c.attenuation) - fallOf(regions[c.region], key).at(seconds);
  }

  // How long a region's sample plays at a key before it runs out; a looped one plays on.
  double playedSeconds(int i, int key) const
  {
    if (spans[i].looped) return std::numeric_limits<double>::infinity();
    const Region &r = regions[i];
    const double step = std::exp2(((key - rootKey(i)) * r.value[scaleTuning] + tuningCents(i)) / 1200.0);
    return playedLength(i) / (sampleRate(i) * step);
  }

  // The power a candidate plays at (its sample's mean square under its attenuation).
  double power(const Candidate &c) const
  {
    const double rms = level(c.region);
    return rms * rms * std::pow(10.0, -attenuationDecibels(c.attenuation) / 10.0);
  }

  // The first of a key's sounds, as loud as it plays with its exact copies among the others
  // (a kit that lays its keys twice): a player sums the copies in phase.
  Candidate withCopies(const std::vector<Candidate> &here) const
  {
    Candidate first = here.front();
    auto same = [this](int a, int b) {
      if (a < 0 || b < 0) return a == b;
      const Region &x = regions[a], &y = regions[b];
      return x.sample == y.sample && x.keyLow == y.keyLow && x.keyHigh == y.keyHigh && x.velocityLow == y.velocityLow &&
             x.velocityHigh == y.velocityHigh && x.value == y.value;
    };
    int copies = 1;
    for (size_t i = 1; i < here.size(); ++i)
      if (same(here[i].region, here.front().region) && same(here[i].partner, here.front().partner)) ++copies;
    // n sounds in phase are n times the level: 20 log10(n) dB as heard.
    first.attenuation -= int(std::lround(20.0 * std::log10(copies) * 10.0 / kAttenuationScale));
    return first;
  }

  // The preset's level at a key against velocity 127, velocity layers (each as loud as a note
  // of it plays) and the default velocity attenuation together; the default curve where a
  // velocity plays nothing.
  VelocityCurve velocityCurve(int key) const
  {
    // Where every sound of the key plays at every velocity, the default curve holds as it is.
    auto layered = [key](const Region &r) {
      return r.keyLow <= key && key <= r.keyHigh && (r.velocityLow > 1 || r.velocityHigh < 127);
    };
    if (std::none_of(regions.begin(), regions.end(), layered)) return defaultVelocityCurve();
    VelocityCurve power{};
    std::map<size_t, double> notes;
    for (int v = 1; v < 128; ++v)
      for (size_t i = 0; i < regions.size(); ++i)
        if (regions[i].covers(key, v) && playedLength(int(i)) > 0) {
          auto note = notes.find(i);
          if (note == notes.end()) note = notes.emplace(i, notePower(int(i), key)).first;
          const double gain = centibelsToGain(regions[i].value[initialAttenuation] * kAttenuationScale);
          power[v] += note->second * gain * gain;
        }
    VelocityCurve curve = defaultVelocityCurve();
    if (!(power[127] > 0.0)) return curve;
    for (int v = 1; v < 128; ++v)
      if (power[v] > 0.0) curve[v] += 10.0 * std::log10(power[v] / power[127]);
    return curve;
  }

  // A region's tuning in cents besides its root key: coarse, fine and the sample's correction.
  int tuningCents(int i) const
  {
    const Region &r = regions[i];
    return r.value[coarseTune] * 100 + r.value[fineTune] + sf.samples[r.sample].pitchCorrection;
  }

  // How far the mix of a pair sits from its first half: the middle of the two tunings.
  double pairCents(const Candidate &c) const
  {
    return c.partner < 0 ? 0.0 : (tuningCents(c.partner) - tuningCents(c.region)) / 2.0;
  }

  // The region as the candidate is heard: a pair's two filters become one at the middle cutoff.
  Region heard(const Candidate &c) const
  {
    Region r = regions[c.region];
    if (c.partner >= 0) {
      const Region &p = regions[c.partner];
      for (int g : {initialFilterFc, initialFilterQ}) r.value[g] = (r.value[g] + p.value[g]) / 2;
    }
    return r;
  }

  int rootKey(int i) const
  {
    const Region &r = regions[i];
    if (r.value[overridingRootKey] >= 0) return r.value[overridingRootKey];
    int pitch = sf.samples[r.sample].originalPitch;
    return pitch <= 127 ? pitch : 60;
  }

  int32_t sampleRate(int i) const
  {
    uint32_t rate = sf.samples[regions[i].sample].sampleRate;
    if (rate == 0) return 44100;
    return int32_t(std::clamp<uint32_t>(rate, 400, 200000));
  }

  // The take of a candidate: its sample (and partner) cut after the loop, at a rate that
  // carries `cents` of tuning, with a cut in centibels baked in.
  Take take(const Candidate &c, double cents, int cut) const
  {
    const Region &r = regions[c.region];
    const SampleSpan &s = spans[c.region];
    Take t;
    t.sample = r.sample;
    t.start = s.start;
    t.end = s.end;
    t.looped = s.looped;
    t.loopStart = s.loopStart;
    t.loopEnd = s.loopEnd;
    if (c.partner >= 0 && !(regions[c.partner].sample == r.sample && spans[c.partner].start == s.start)) {
      const SampleSpan &q = spans[c.partner];
      t.partner = regions[c.partner].sample;
      t.partnerStart = q.start;
      t.partnerEnd = q.end;
      // The halves' loops line up: the one whose loop starts later gives up its first values.
      if (s.looped) {
        const uint32_t lead = s.loopStart - s.start, partnerLead = q.loopStart - q.start;
        if (partnerLead >= lead)
          t.partnerStart += partnerLead - lead;
        else
          t.start += lead - partnerLead;
      }
      // Halves whose microphones heard the sound out of phase cancel in their sum (a harp's
      // high strings lose 12 dB of their ring): where the sum keeps less than half of the
      // halves' power, one goes in upside down.
      auto known = outOfPhase.find({c.region, c.partner});
      if (known == outOfPhase.end()) {
        const uint32_t stop = s.looped ? s.loopEnd : s.end, partnerStop = q.looped ? q.loopEnd : q.end;
        const uint32_t n = std::min(stop - t.start, partnerStop - t.partnerStart);
        double sum = 0, apart = 0;
        for (uint32_t i = 0; i < n; ++i) {
          const double a = sf.sampleData[t.start + i], b = sf.sampleData[t.partnerStart + i];
          sum += (a + b) * (a + b);
          apart += a * a + b * b;
        }
        known = outOfPhase.emplace(std::make_pair(c.region, c.partner), sum < 0.5 * apart).first;
      }
      t.partnerInverted = known->second;
    }
    double rate = std::round(sampleRate(c.region) * std::exp2(cents / 1200.0));
    t.rate = int32_t(std::clamp(rate, 1.0, 1.0e6));
    t.cutCentibels = std::max(0, cut);
    return t;
  }

  // A note of a region at a key as common players render it: its sample at the key's pitch
  // through the SoundFont's two-pole low-pass (the modulation envelope moving the cutoff; the
  // resonance's peak paid for by half its height in gain) and under its volume envelope. The
  // filter and its envelope are those of `filter`, the region's own by default.
  std::vector<double> note(int i, int key, const Region *filter = nullptr) const
  {
    const Region &r = regions[i], &shaping = filter ? *filter : r;
    const SampleSpan &s = spans[i];
    auto envelope = [&](const Region &from, int delay, int attack, int hold, int keyHold, int decay, int keyDecay,
                        int sustain, int release) {
      PlayerEnvelope e;
      e.delay = timecentsToSeconds(from.value[delay]);
      e.attack = timecentsToSeconds(from.value[attack]);
      e.hold = timecentsToSeconds(from.value[hold] + from.value[keyHold] * (60 - key));
      e.decay = timecentsToSeconds(from.value[decay] + from.value[keyDecay] * (60 - key));
      e.sustain = 1.0 - std::clamp(from.value[sustain], 0, 1000) / 1000.0;
      e.release = timecentsToSeconds(from.value[release]);
      return e;
    };
    const PlayerEnvelope volume = envelope(r, delayVolEnv, attackVolEnv, holdVolEnv, keynumToVolEnvHold, decayVolEnv,
                                           keynumToVolEnvDecay, sustainVolEnv, releaseVolEnv);
    const PlayerEnvelope modulation = envelope(shaping, delayModEnv, attackModEnv, holdModEnv, keynumToModEnvHold,
                                               decayModEnv, keynumToModEnvDecay, sustainModEnv, releaseModEnv);
    const double q = std::pow(10.0, (std::clamp(shaping.value[initialFilterQ] / 10.0, 0.0, 96.0) - 3.01) / 20.0);
    const double step = std::exp2(((key - rootKey(i)) * r.value[scaleTuning] + tuningCents(i)) / 1200.0) *
                        sampleRate(i) / kNoteRate;
    const int count = int(kNoteHeardSeconds * kNoteRate);
    std::vector<double> out(size_t(count), 0.0);
    double position = s.start, gain = 0, b0 = 0, b1 = 0, a1 = 0, a2 = 0, z1 = 0, z2 = 0;
    for (int n = 0; n < count; ++n) {
      if (s.looped)
        while (position >= s.loopEnd) position -= s.loopEnd - s.loopStart;
      else if (position + 1 >= s.end)
        break;
      const double t = n / kNoteRate;
      if (n % kNoteStep == 0) {
        const double cents =
            shaping.value[initialFilterFc] + shaping.value[modEnvToFilterFc] * modulation.value(t, kNoteHeldSeconds);
        const double w = 2.0 * std::numbers::pi * std::clamp(absoluteCentsToHertz(int(cents)), 5.0, 0.45 * kNoteRate) / kNoteRate;
        const double alpha = std::sin(w) / (2.0 * q), a0 = 1.0 + alpha;
        b1 = (1.0 - std::cos(w)) / a0 / std::sqrt(q);
        b0 = b1 / 2.0;
        a1 = -2.0 * std::cos(w) / a0;
        a2 = (1.0 - alpha) / a0;
        gain = volume.amplitude(t, kNoteHeldSeconds);
      }
      const uint32_t k = uint32_t(position);
      const uint32_t next = s.looped && k + 1 >= s.loopEnd ? s.loopStart : k + 1;
      const double f = position - k;
      const double x = sf.sampleData[k] * (1.0 - f) + sf.sampleData[next] * f;
      position += step;
      const double w0 = x - a1 * z1 - a2 * z2;
      out[size_t(n)] = (b0 * w0 + b1 * z1 + b0 * z2) * gain;
      z2 = z1;
      z1 = w0;
    }
    return out;
  }

private:
  // The mean power of a note of a region at a key (see note). Velocity layers often differ
  // only there, a soft layer darker or shorter, and so in level.
  double notePower(int i, int key) const
  {
    const std::vector<double> y = note(i, key);
    double sum = 0;
    for (double v : y) sum += v * v;
    return y.empty() ? 0.0 : sum / double(y.size());
  }

  // Where the mix of two halves sits: between their pans, towards the louder half, so a stereo
  // recording louder on one side keeps its balance.
  int pairPan(int a, int b) const
  {
    const double x = level(a), y = level(b);
    const double px = (regions[a].value[pan] + 500) / 1000.0, py = (regions[b].value[pan] + 500) / 1000.0;
    const double left = x * (1.0 - px) + y * (1.0 - py), right = x * px + y * py;
    if (left + right <= 0) return (regions[a].value[pan] + regions[b].value[pan]) / 2;
    return int(std::lround(right / (left + right) * 1000.0)) - 500;
  }

  // The RMS value of what a region plays, worked out once.
  double level(int i) const
  {
    if (levels[i] < 0) {
      const SampleSpan &s = spans[i];
      const uint32_t stop = s.looped ? s.loopEnd : s.end;
      double sum = 0;
      for (uint32_t k = s.start; k < stop; ++k) sum += double(sf.sampleData[k]) * sf.sampleData[k];
      levels[i] = stop > s.start ? std::sqrt(sum / (stop - s.start)) : 0.0;
    }
    return levels[i];
  }

  uint32_t playedLength(int i) const
  {
    const SampleSpan &s = spans[i];
    return (s.looped ? s.loopEnd : s.end) - s.start;
  }

  // Two regions mix into one mono sound when they are the halves of one stereo sound: same
  // ranges, the same sample panned apart or two samples of one pitch and loop, at levels near
  // each other. Halves a few cents apart (as recorded) or filtered differently are still one
  // sound; the loops may start a few values apart when they are equally long.
  bool pairable(int a, int b) const
  {
    const Region &x = regions[a], &y = regions[b];
    if (x.keyLow != y.keyLow || x.keyHigh != y.keyHigh || x.velocityLow != y.velocityLow ||
        x.velocityHigh != y.velocityHigh)
      return false;
    const SampleHeader &sx = sf.samples[x.sample], &sy = sf.samples[y.sample];
    bool halves = (sx.sampleType & (leftSample | rightSample)) && (sy.sampleType & (leftSample | rightSample)) &&
                  sx.sampleType != sy.sampleType;
    bool panned = (x.value[pan] < 0 && y.value[pan] > 0) || (x.value[pan] > 0 && y.value[pan] < 0);
    if (!halves && !panned) return false;
    const SampleSpan &p = spans[a], &q = spans[b];
    if (rootKey(a) != rootKey(b) || sampleRate(a) != sampleRate(b) || x.value[scaleTuning] != y.value[scaleTuning] ||
        std::abs(tuningCents(a) - tuningCents(b)) > kPairCents ||
        std::abs(x.value[initialAttenuation] - y.value[initialAttenuation]) > kStereoPairCentibels ||
        p.looped != q.looped)
      return false;
    if (!p.looped) return playedLength(a) == playedLength(b);
    const uint32_t lead = p.loopStart - p.start, partnerLead = q.loopStart - q.start;
    return p.loopEnd - p.loopStart == q.loopEnd - q.loopStart &&
           std::max(lead, partnerLead) - std::min(lead, partnerLead) <= kPairLoopShift;
  }

  const SoundFont &sf;
  std::vector<Region> regions;
  std::vector<SampleSpan> spans;
  mutable std::vector<double> levels;
  mutable std::map<std::pair<int, int>, bool> outOfPhase; // by region and partner
};

// What one key of an oscillator plays: the take (its cut still the sound's own attenuation)
// and the root key. Region -1 is silence.
struct Sound {
  Candidate voice;
  Take take;
  int rootKey = 60;
  bool operator==(const Sound &o) const { return take == o.take && rootKey == o.rootKey; }
};

// A stretch of keys that one sound plays.
struct Run {
  Sound sound;
  int first = 0;
  int last = 0;
  bool silent() const { return sound.voice.region < 0; }
  int span() const { return last - first + 1; }
};

std::vector<Run> runsOf(const std::array<Sound, 128> &keys)
{
  std::vector<Run> runs;
  for (int k = 0; k < 128; ++k) {
    if (!runs.empty() && runs.back().sound == keys[k])
      runs.back().last = k;
    else
      runs.push_back({keys[k], k, k});
  }
  return runs;
}

void joinEqualNeighbours(std::vector<Run> &runs)
{
  for (size_t i = 1; i < runs.size();) {
    if (runs[i].sound == runs[i - 1].sound) {
      runs[i - 1].last = runs[i].last;
      runs.erase(runs.begin() + i);
    } else {
      ++i;
    }
  }
}

// The first oscillator has no silent keys: a key the preset leaves out plays its neighbour.
void fillGaps(std::vector<Run> &runs)
{
  for (size_t i = 0; i < runs.size();) {
    if (!runs[i].silent() || runs.size() == 1) {
      ++i;
      continue;
    }
    if (i > 0)
      runs[i - 1].last = runs[i].last;
    else
      runs[i + 1].first = runs[i].first;
    runs.erase(runs.begin() + i);
  }
  joinEqualNeighbours(runs);
}

// At most `limit` zones: the smallest run next to another (silence first) gives its keys to
// that neighbour, which plays them transposed.
void limitRuns(std::vector<Run> &runs, size_t limit)
{
  while (runs.size() > limit) {
    size_t best = 0;
    int bestCost = 0;
    bool bestLoserLeft = true;
    for (size_t i = 0; i + 1 < runs.size(); ++i) {
      const Run &a = runs[i], &b = runs[i + 1];
      bool loserLeft = a.silent() != b.silent() ? a.silent() : a.span() <= b.span();
      const Run &loser = loserLeft ? a : b;
      int cost = loser.span() - (loser.silent() ? 1000 : 0);
      if (i == 0 || cost < bestCost) {
        best = i;
        bestCost = cost;
        bestLoserLeft = loserLeft;
      }
    }
    Run &winner = bestLoserLeft ? runs[best + 1] : runs[best];
    winner.first = runs[best].first;
    winner.last = runs[best + 1].last;
    runs.erase(runs.begin() + (bestLoserLeft ? best : best + 1));
    joinEqualNeighbours(runs);
  }
}

class Planner
{
public:
  explicit Planner(const SoundFont &sf) : sf(sf) {}

  LibraryPlan run()
  {
    for (int f = 0; f < kMelodyWaveCategories; ++f) {
      PlannedWavetableCategory category;
      category.number = f;
      category.name = kFamilyNames[f];
      plan.wavetableCategories.push_back(category);
    }
    PlannedPatchCategory melody{kMelodyPatchCategory, "General MIDI", {}};
    for (int program = 0; program < 128; ++program) melody.patches.push_back(melodyPatch(program));

    PlannedPatchCategory drums{kDrumPatchCategory, "GM Drum Kits", {}};
    for (int slot = 0; slot < kDrumKitSlots; ++slot) drums.patches.push_back(drumPatch(slot));

    PlannedPatch setup;
    setup.name = "General MIDI";
    for (int c = 0; c < 16; ++c) setup.channels.push_back(c == 9 ? drums.patches[0].channels[0] : melody.patches[0].channels[0]);
    PlannedPatchCategory setups{kSetupPatchCategory, "GM Setup", {setup}};

    plan.patchCategories = {melody, drums, setups};
    return std::move(plan);
  }

private:
  static void value(PlannedChannel &c, int local, float v) { c.settings.push_back({Setting::Kind::value, local, v, {}, {}}); }
  static void text(PlannedChannel &c, int local, std::string t)
  {
    c.settings.push_back({Setting::Kind::text, local, 0.0f, std::move(t), {}});
  }
  static void cutoffSpan(PlannedChannel &c, int local, double baseHz, double movedHz)
  {
    c.settings.push_back({Setting::Kind::cutoffSpan, local, 0.0f, hertzText(baseHz), hertzText(movedHz)});
  }
  static float waveValue(int number) { return float(number / 16384.0); }

  PlannedPatch melodyPatch(int program)
  {
    PlannedPatch patch;
    PlannedChannel channel;
    int preset = findMelodyPreset(sf, program);
    if (preset < 0) {
      preset = findMelodyPreset(sf, 0);
      plan.notes.push_back(format("program %d: no preset; it plays program 0", program));
    }
    if (preset < 0) {
      plan.notes.push_back(format("program %d: no melodic preset at all; it stays silent", program));
      patch.name = channel.name = format("Program %d", program + 1);
      value(channel, local::On, 1.0f);
      patch.channels.push_back(channel);
      return patch;
    }
    const Preset &p = sf.presets[preset];
    patch.name = channel.name = nameWithin(p.name.empty() ? format("Program %d", program + 1) : p.name);
    value(channel, local::On, 1.0f);

    PresetVoices voices(sf, preset);
    std::array<Candidate, 128> chosen[2]{};
    // The channel's one volume envelope comes from the sounds nearest middle C: its attack from
    // the loudest, its fall and release from the one that stands loudest after a held note (a
    // pad's slow layer under a quick one), so no sound is cut shorter than its own tail; sounds
    // that fall faster carry the difference in their takes.
    Region envelopeRef;
    for (int d = 0; d < 128 && envelopeRef.sample < 0; ++d)
      for (int k : {kReferenceKey - d, kReferenceKey + d}) {
        if (k < 0 || k >= 128 || envelopeRef.sample >= 0) continue;
        const std::vector<Candidate> here = voices.at(k);
        if (here.empty()) continue;
        // Only a sound that falls slower than the loudest takes its place.
        auto fallen = [&](const Candidate &c) {
          return voices.heldDecibels(c, k, 0.0) - voices.heldDecibels(c, k, kTailSeconds);
        };
        const Candidate *tail = &here[0];
        for (const Candidate &c : here)
          if (fallen(c) < fallen(here[0]) &&
              voices.heldDecibels(c, k, kTailSeconds) > voices.heldDecibels(*tail, k, kTailSeconds))
            tail = &c;
        envelopeRef = voices.heard(*tail);
        const Region first = voices.heard(here[0]);
        for (int g : {delayVolEnv, attackVolEnv}) envelopeRef.value[g] = first.value[g];
      }
    channelFall = fallOf(envelopeRef, kReferenceKey);
    for (int k = 0; k < 128; ++k) {
      std::vector<Candidate> here = voices.at(k);
      foldDropped(voices, here, k);
      for (size_t layer = 0; layer < 2 && layer < here.size(); ++layer) chosen[layer][k] = here[layer];
    }

    // An oscillator follows the keys unless every sound of it has a scale tuning of 0.
    bool keyFollow[2];
    std::vector<Run> layers[2];
    for (int layer = 0; layer < 2; ++layer) {
      keyFollow[layer] = std::any_of(chosen[layer].begin(), chosen[layer].end(), [&](const Candidate &c) {
        return c.region >= 0 && voices.region(c.region).value[scaleTuning] != 0;
      });
      std::array<Sound, 128> sounds{};
      for (int k = 0; k < 128; ++k) sounds[k] = sound(voices, chosen[layer][k], keyFollow[layer], k);
      layers[layer] = runsOf(sounds);
    }
    fillGaps(layers[0]);
    if (std::all_of(layers[1].begin(), layers[1].end(), [](const Run &r) { return r.silent(); })) layers[1].clear();
    for (auto &l : layers) limitRuns(l, kZonesPerWavetable);
    if (layers[0].empty() || layers[0][0].silent()) {
      plan.notes.push_back(format("program %d: preset '%s' plays nothing at velocity %d", program, p.name.c_str(), kVelocity));
      patch.channels.push_back(channel);
      return patch;
    }

    int loudest = 1440;
    for (const auto &l : layers)
      for (const Run &r : l)
        if (!r.silent()) loudest = std::min(loudest, r.sound.voice.attenuation);

    PlannedWavetableCategory &category = plan.wavetableCategories[program / 8];
    for (int layer = 0; layer < 2; ++layer) {
      if (layers[layer].empty()) continue;
      PlannedWavetable table;
      table.name = layer == 0 ? channel.name : nameWithin(channel.name, 21) + " 2";
      table.keyFollow = keyFollow[layer];
      for (const Run &r : layers[layer]) {
        Take take = r.sound.take;
        if (!r.silent()) take.cutCentibels = int(std::lround((r.sound.voice.attenuation - loudest) * kAttenuationScale));
        table.zones.push_back({plan.addTake(take), r.sound.rootKey, r.last});
      }
      int position = int(category.wavetables.size());
      category.wavetables.push_back(table);
      value(channel, local::OscWave + layer, waveValue(waveNumber(category.number, position)));
    }

    // Envelopes, filter and LFO come from what the first oscillator plays at middle C; the pan
    // and the level the effects add from what both play there.
    const Run *middle[2] = {&layers[0][0], nullptr};
    for (int layer = 0; layer < 2; ++layer)
      for (const Run &r : layers[layer])
        if (r.first <= kReferenceKey && kReferenceKey <= r.last && !r.silent()) middle[layer] = &r;
    const Region ref = voices.heard(middle[0]->sound.voice);
    auto oneFilter = oneFilterByPreset.find(preset);
    if (oneFilter == oneFilterByPreset.end())
      oneFilter = oneFilterByPreset.emplace(preset, oneFilterDecibels(voices, middle, ref)).first;
    const double makeUp = melodyMakeUp(voices, middle) + oneFilter->second;

    // The channel's level carries the loudest zone, what the effects add and what one filter
    // for both oscillators changes; a second oscillator halves the mix.
    text(channel, local::Volume,
         decibelText(libraryLevelDecibels(loudest, (layers[1].empty() ? 0.0 : 6.02) + makeUp)));
    int pan = middle[0]->sound.voice.pan;
    if (middle[1]) pan = (pan + middle[1]->sound.voice.pan) / 2;
    text(channel, local::Pan, panText(pan));
    mapMelodyFilter(channel, ref);
    mapMelodyEnvelopes(channel, envelopeRef, velocityAmountPercent(voices.velocityCurve(kReferenceKey)));
    mapMelodyLfo(channel, ref);
    patch.channels.push_back(channel);
    return patch;
  }

  // An oscillator has room for a key's two loudest sounds. Each other one is heard through the
  // kept sound whose fall is nearest its own, which then plays their power together and falls as
  // their mix does.
  static void foldDropped(const PresetVoices &voices, std::vector<Candidate> &here, int key)
  {
    if (here.size() <= 2) return;
    auto fall = [&](const Candidate &c) { return fallOf(voices.region(c.region), key); };
    double power[2] = {voices.power(here[0]), voices.power(here[1])}, total[2] = {power[0], power[1]};
    std::vector<Folded> folded[2];
    for (size_t i = 2; i < here.size(); ++i) {
      const Fall f = fall(here[i]);
      double distance[2];
      for (int j = 0; j < 2; ++j) {
        const Fall kept = fall(here[j]);
        distance[j] = 0;
        for (double t : {0.25, 0.5, 1.0, 2.0, 4.0}) distance[j] += std::abs(f.at(t) - kept.at(t));
      }
      const int j = power[1] > 0 && (distance[1] < distance[0] || !(power[0] > 0)) ? 1 : 0;
      if (!(power[j] > 0)) continue;
      const double p = voices.power(here[i]);
      folded[j].push_back({here[i].region, p});
      total[j] += p;
    }
    for (int j = 0; j < 2; ++j) {
      if (folded[j].empty()) continue;
      for (Folded &f : folded[j]) f.share /= total[j];
      here[j].folded = std::move(folded[j]);
      here[j].attenuation -= int(std::lround(10.0 * std::log10(total[j] / power[j]) / kAttenuationScale * 10.0));
    }
    here.resize(2);
  }

  // Both oscillators play through the channel's one filter, the first's, where a player filters
  // each sound by its own. A preset may layer a sample with itself darkened (a guitar's body
  // under its strings): here both play bright and in phase, 6 dB above the first alone. For
  // such a pair, the level a note of the two at middle C loses or gains through the one filter
  // against its two. (Other pairs add in power, where the one filter changes less than how it
  // differs from a player's.)
  static double oneFilterDecibels(const PresetVoices &voices, const Run *const middle[2], const Region &filter)
  {
    if (!middle[0] || !middle[1] ||
        voices.region(middle[0]->sound.voice.region).sample != voices.region(middle[1]->sound.voice.region).sample)
      return 0.0;
    std::vector<double> own, one;
    for (int layer = 0; layer < 2; ++layer) {
      const Candidate &c = middle[layer]->sound.voice;
      const double gain = std::pow(10.0, -attenuationDecibels(c.attenuation) / 20.0);
      const std::vector<double> a = voices.note(c.region, kReferenceKey), b = voices.note(c.region, kReferenceKey, &filter);
      own.resize(a.size(), 0.0);
      one.resize(b.size(), 0.0);
      for (size_t n = 0; n < a.size(); ++n) own[n] += gain * a[n];
      for (size_t n = 0; n < b.size(); ++n) one[n] += gain * b[n];
    }
    double ownPower = 0, onePower = 0;
    for (double v : own) ownPower += v * v;
    for (double v : one) onePower += v * v;
    if (!(ownPower > 0.0) || !(onePower > 0.0)) return 0.0;
    return 10.0 * std::log10(ownPower / onePower);
  }

  // The level the effects add, from the sends of what both oscillators play at middle C, each
  // weighted by its level.
  static double melodyMakeUp(const PresetVoices &voices, const Run *const middle[2])
  {
    double weight = 0, chorus = 0, reverb = 0;
    for (int layer = 0; layer < 2; ++layer) {
      if (!middle[layer]) continue;
      const Candidate &c = middle[layer]->sound.voice;
      const Region &r = voices.region(c.region);
      const double w = std::pow(10.0, -attenuationDecibels(c.attenuation) / 10.0);
      chorus += w * std::pow(sendOf(r.value[chorusEffectsSend]), 2);
      reverb += w * std::pow(sendOf(r.value[reverbEffectsSend]), 2);
      weight += w;
    }
    return melodyMakeUpDecibels(std::sqrt(chorus / weight), std::sqrt(reverb / weight));
  }

  // The sound of a candidate at a key of an oscillator. Following the keys, the coarse tuning
  // (and a scale tuning's offset) moves the root key; the rest of the tuning, and any the root
  // key cannot carry, goes into the rate.
  Sound sound(const PresetVoices &voices, const Candidate &c, bool keyFollow, int key)
  {
    Sound out;
    if (c.region < 0) return out;
    const Region &r = voices.region(c.region);
    int root = voices.rootKey(c.region);
    double cents = r.value[fineTune] + sf.samples[r.sample].pitchCorrection + voices.pairCents(c);
    int rootKey = root;
    if (keyFollow) {
      // The engine moves a semitone a key. Another scale tuning is right at middle C and every
      // half octave from it (each such key and its neighbours a zone of their own, over the
      // keyboard's keys), at the region's key nearest there, and moves by semitones in between.
      int band = kReferenceKey;
      if (r.value[scaleTuning] != 100) {
        const int from = std::clamp(key, kFirstBandKey, kLastBandKey) - kReferenceKey;
        band = kReferenceKey + kBandKeys * int(std::floor(from / double(kBandKeys) + 0.5));
      }
      const int at = std::clamp(band, r.keyLow, r.keyHigh);
      const double shift = (at - root) * r.value[scaleTuning] / 100.0 + r.value[coarseTune];
      const double whole = std::floor(shift + 0.5);
      rootKey = at - int(whole);
      cents += (shift - whole) * 100.0;
    } else {
      cents += r.value[coarseTune] * 100.0;
    }
    out.rootKey = std::clamp(rootKey, 0, 127);
    cents += (out.rootKey - rootKey) * 100.0;
    out.voice = c;
    out.take = voices.take(c, cents, c.attenuation);
    addFade(out.take, voices, c, out.rootKey, keyFollow);
    return out;
  }

  // The part of a sound's own fall that the channel's envelope does not give, baked into its
  // take over its first seconds, as heard in the middle of its keys. A sound that plays for
  // others falls as the mix of their powers does.
  void addFade(Take &take, const PresetVoices &voices, const Candidate &c, int rootKey, bool keyFollow) const
  {
    const Region r = voices.heard(c);
    const int low = std::clamp(r.keyLow, 21, 108), high = std::clamp(r.keyHigh, 21, 108);
    const int key = (low + high) / 2;
    const Fall own = fallOf(r, key);
    // The sounds it plays for, each with its share of the power and how long its sample lasts.
    struct Part {
      Fall fall;
      double share, seconds;
    };
    std::vector<Part> mix = {{own, 1.0, std::numeric_limits<double>::infinity()}};
    double settled = own.settled();
    for (const Folded &f : c.folded) {
      mix.push_back({fallOf(voices.region(f.region), key), f.share, voices.playedSeconds(f.region, key)});
      mix[0].share -= f.share;
      settled = std::max(settled, std::min(mix.back().fall.settled(), mix.back().seconds));
    }
    auto fallAt = [&](double t) {
      if (mix.size() == 1) return own.at(t);
      double sum = 0;
      for (const Part &p : mix)
        if (t < p.seconds) sum += p.share * std::pow(10.0, -p.fall.at(t) / 10.0);
      return sum > 0 ? std::min(-10.0 * std::log10(sum), 96.0) : 96.0;
    };
    const double valuesPerSecond = take.rate * (keyFollow ? std::exp2((key - rootKey) / 12.0) : 1.0);
    const double step = std::max(1.0, std::round(kFadePointSeconds * valuesPerSecond));
    const double end = std::min(kFadeSeconds, std::max(settled, channelFall.settled()));
    std::vector<int> points;
    int most = 0;
    for (int i = 0;; ++i) {
      const double t = i * step / valuesPerSecond;
      const double fall = fallAt(t);
      const int difference = int(std::lround(std::max(0.0, fall - channelFall.at(t)) * 10.0));
      most = std::max(most, difference);
      // Once the zone itself has fallen to silence, so has its take.
      const int cb = fall * 10.0 >= kFadeSilentCentibels ? kFadeSilentCentibels : difference;
      points.push_back(std::min(cb, kFadeSilentCentibels));
      if (t >= end || cb >= kFadeSilentCentibels) break;
    }
    if (most < kFadeLeastCentibels) return;
    take.fadeStep = uint32_t(step);
    take.fadeCentibels = std::move(points);
  }

  void mapMelodyFilter(PlannedChannel &c, const Region &r)
  {
    int fc = r.value[initialFilterFc];
    int envelope = r.value[modEnvToFilterFc];
    if (fc >= 13500 && envelope == 0) return;
    double hz = absoluteCentsToHertz(fc);
    text(c, local::FilterCutoff, hertzText(hz));
    text(c, local::FilterResonance, percentText(twoPoleResonancePercent(r.value[initialFilterQ])));
    if (envelope == 0) return;
    double sustain = 1.0 - r.value[sustainModEnv] / 1000.0;
    text(c, local::FilterEnvelope, secondsText(timecentsToSeconds(r.value[attackModEnv])));
    // The modulation envelope falls linearly: it reaches its sustain after the decay time's
    // share of the way down.
    double decay = timecentsToSeconds(r.value[decayModEnv] + r.value[keynumToModEnvDecay] * (60 - kReferenceKey));
    text(c, local::FilterEnvelope + 1, secondsText(decay * (1.0 - sustain)));
    text(c, local::FilterEnvelope + 2, percentText(sustain * 100.0));
    text(c, local::FilterEnvelope + 3, secondsText(timecentsToSeconds(r.value[releaseModEnv])));
    cutoffSpan(c, local::FilterEnvAmount, hz, absoluteCentsToHertz(fc + envelope));
  }

  void mapMelodyEnvelopes(PlannedChannel &c, const Region &r, double velocityAmount)
  {
    double sustainDb = r.value[sustainVolEnv] / 10.0;
    double decay = decayAfterHold(
        timecentsToSeconds(r.value[decayVolEnv] + r.value[keynumToVolEnvDecay] * (60 - kReferenceKey)),
        r.value[holdVolEnv] + r.value[keynumToVolEnvHold] * (60 - kReferenceKey), sustainDb);
    text(c, local::AmpEnvelope, secondsText(timecentsToSeconds(r.value[attackVolEnv])));
    text(c, local::AmpEnvelope + 1, secondsText(engineDecaySeconds(decay, sustainDb)));
    text(c, local::AmpEnvelope + 2, percentText(centibelsToGain(r.value[sustainVolEnv]) * 100.0));
    text(c, local::AmpEnvelope + 3, secondsText(engineReleaseSeconds(timecentsToSeconds(r.value[releaseVolEnv]))));
    text(c, local::AmpEnvVelocityAmount, percentText(velocityAmount));
  }

  // The LFO follows the vibrato LFO (or the modulation LFO when only it bends the pitch). A
  // preset without vibrato gets level 0, so the modulation wheel alone brings the vibrato in.
  void mapMelodyLfo(PlannedChannel &c, const Region &r)
  {
    bool vibrato = r.value[vibLfoToPitch] != 0 || r.value[modLfoToPitch] == 0;
    int depth = vibrato ? r.value[vibLfoToPitch] : r.value[modLfoToPitch];
    int frequency = vibrato ? r.value[freqVibLFO] : r.value[freqModLFO];
    int delay = vibrato ? r.value[delayVibLFO] : r.value[delayModLFO];
    text(c, local::LfoRate, format("%.2f", absoluteCentsToHertz(frequency)));
    text(c, local::LfoDelayTime, secondsText(timecentsToSeconds(delay)));
    if (depth == 0) {
      text(c, local::LfoLevel, percentText(0.0));
      return;
    }
    double amount = std::sqrt(std::abs(depth) / 100.0 / kLfoPitchSemitones);
    // The SoundFont's vibrato is a triangle that every note starts from zero, rising for a
    // positive depth; the engine's depth has no sign, so a negative one falls first instead.
    value(c, local::LfoWave, (depth > 0 ? kLfoTriangle : kLfoTriangle + 1) / 9.0f);
    value(c, local::LfoKeySync, 1.0f);
    text(c, local::LfoLevel, percentText(100.0));
    text(c, local::OscLfoAmount, percentText(std::min(amount, 1.0) * 100.0));
  }

  PlannedPatch drumPatch(int slot)
  {
    int program = drumProgramOfSlot(slot);
    int preset = findDrumPreset(sf, program);
    if (preset < 0 && program != 0) {
      preset = findDrumPreset(sf, 0);
      plan.notes.push_back(format("drum kit %d: no preset; it plays the standard kit", program));
    }
    if (preset < 0) {
      for (size_t i = 0; i < sf.presets.size() && preset < 0; ++i)
        if (sf.presets[i].bank == 128) preset = int(i);
      if (slot == 0) plan.notes.push_back("drum kits: no standard kit; the first drum preset is used");
    }
    PlannedPatch patch;
    PlannedChannel channel;
    channel.drum = true;
    value(channel, local::Mode, 1.0f); // a drum kit
    value(channel, local::On, 1.0f);
    text(channel, local::ChorusSend, percentText(0.0));
    text(channel, local::ReverbSend, percentText(kDrumChannelReverbSend * 100.0));
    if (preset < 0) {
      patch.name = channel.name = "Drums";
      if (slot == 0) plan.notes.push_back("drum kits: the SoundFont has none; the kits stay silent");
      patch.channels.push_back(channel);
      return patch;
    }
    patch.name = channel.name = nameWithin(sf.presets[preset].name);

    PresetVoices voices(sf, preset);
    std::array<Candidate, kDrumKeys> chosen{};
    for (int d = 0; d < kDrumKeys; ++d) {
      std::vector<Candidate> here = voices.at(kFirstDrumKey + d);
      if (!here.empty()) chosen[d] = voices.withCopies(here);
    }
    std::array<int, kDrumKeys> groups = muteGroups(voices, chosen);
    for (int d = 0; d < kDrumKeys; ++d)
      if (chosen[d].region >= 0) mapDrumKey(channel, voices, d, chosen[d], groups[d]);
    patch.channels.push_back(channel);
    return patch;
  }

  // Two mute groups: the hi-hats' exclusive class in A, the largest other class in B.
  std::array<int, kDrumKeys> muteGroups(const PresetVoices &voices, const std::array<Candidate, kDrumKeys> &chosen)
  {
    auto classOf = [&](int d) { return chosen[d].region < 0 ? 0 : voices.region(chosen[d].region).value[exclusiveClass]; };
    int hiHat = 0;
    for (int key : {42, 44, 46})
      if (!hiHat) hiHat = classOf(key - kFirstDrumKey);
    std::map<int, int> members;
    for (int d = 0; d < kDrumKeys; ++d)
      if (classOf(d) && classOf(d) != hiHat) ++members[classOf(d)];
    int other = 0, most = 1; // a class of one key mutes nothing else
    for (auto [cls, count] : members)
      if (count > most) other = cls, most = count;
    std::array<int, kDrumKeys> groups{};
    for (int d = 0; d < kDrumKeys; ++d) {
      int cls = classOf(d);
      groups[d] = cls == 0 ? 0 : cls == hiHat ? 1 : cls == other ? 2 : 0;
    }
    return groups;
  }

  void mapDrumKey(PlannedChannel &c, const PresetVoices &voices, int d, const Candidate &voice, int group)
  {
    const Region r = voices.heard(voice);
    const SampleHeader &s = sf.samples[r.sample];
    int key = kFirstDrumKey + d;
    auto at = [d](int base) { return base + kDrumKeyValues * d; };

    // Drums play at the sample's rate moved by the key's own pitch: the zone's root key, scale
    // and tunings all go there.
    Take take = voices.take(voice, 0.0, 0);
    value(c, at(local::DrumWave), waveValue(drumWavetable(take, voices.rootKey(voice.region), s.name)));
    double shift = (key - voices.rootKey(voice.region)) * r.value[scaleTuning] / 100.0 + r.value[coarseTune] +
                   (r.value[fineTune] + s.pitchCorrection + voices.pairCents(voice)) / 100.0;
    shift = std::clamp(shift, -48.0, 48.0);
    int semitones = int(std::lround(shift));
    text(c, at(local::DrumSemitone), signedText(semitones));
    text(c, at(local::DrumFinetone), percentText(std::clamp((shift - semitones) * 100.0, -100.0, 100.0)));

    // A drum key has no filter envelope: the cutoff is where the modulation envelope holds it
    // over a hit. The drum filter has four poles where the SoundFont's has two: an octave
    // higher, it takes as much two octaves above the SoundFont's cutoff, so hi-hats and shakers
    // keep their top.
    int fc = r.value[initialFilterFc] + int(std::lround(r.value[modEnvToFilterFc] * modEnvelopeOverHit(r, key))) +
             kFourPoleOctave;
    if (fc < 13500) {
      text(c, at(local::DrumFilterCutoff), hertzText(absoluteCentsToHertz(fc)));
      text(c, at(local::DrumFilterResonance), percentText(fourPoleResonancePercent(r.value[initialFilterQ])));
    }
    text(c, at(local::DrumVolume), decibelText(libraryLevelDecibels(voice.attenuation)));
    text(c, at(local::DrumPan), percentText(voice.pan / 5.0));

    // With an audible sustain the key holds the sound until its release; otherwise the sound
    // falls from its attack as the SoundFont's decay does.
    double sustainDb = r.value[sustainVolEnv] / 10.0;
    bool hold = sustainDb < 60.0;
    double decay = decayAfterHold(timecentsToSeconds(r.value[decayVolEnv] + r.value[keynumToVolEnvDecay] * (60 - key)),
                                  r.value[holdVolEnv] + r.value[keynumToVolEnvHold] * (60 - key),
                                  std::max(sustainDb, 96.0));
    double release = hold ? engineReleaseSeconds(timecentsToSeconds(r.value[releaseVolEnv]))
                          : engineDecaySeconds(decay, std::max(sustainDb, 96.0));
    text(c, at(local::DrumAttack), secondsText(timecentsToSeconds(r.value[attackVolEnv])));
    text(c, at(local::DrumRelease), secondsText(release));
    value(c, at(local::DrumHold), hold ? 1.0f : 0.0f);
    text(c, at(local::DrumAmpEnvVelocityAmount), percentText(velocityAmountPercent(voices.velocityCurve(key))));
    value(c, at(local::DrumMuteGroup), group / 2.0f);
    // A key's chorus send is as a channel send at full would give it; its reverb send is scaled
    // by the kit's channel send.
    const Sends sends = sendsOf(sendOf(r.value[chorusEffectsSend]), sendOf(r.value[reverbEffectsSend]));
    text(c, at(local::DrumChorusSend), percentText(sends.chorus * 100.0));
    text(c, at(local::DrumReverbSend),
         percentText(std::min(sends.reverb / kDrumChannelReverbSend, 1.0) * 100.0));
  }

  // The modulation envelope's mean level over the first quarter second of a note: delay,
  // linear attack, hold, then a linear fall to its sustain (the shortest times count as none).
  static double modEnvelopeOverHit(const Region &r, int key)
  {
    auto seconds = [](int timecents) { return timecents <= -12000 ? 0.0 : timecentsToSeconds(timecents); };
    const double delay = seconds(r.value[delayModEnv]);
    const double attack = seconds(r.value[attackModEnv]);
    const double hold = seconds(r.value[holdModEnv] + r.value[keynumToModEnvHold] * (60 - key));
    const double decay = seconds(r.value[decayModEnv] + r.value[keynumToModEnvDecay] * (60 - key));
    const double sustain = 1.0 - r.value[sustainModEnv] / 1000.0;
    constexpr int kSteps = 250;
    double sum = 0;
    for (int i = 0; i < kSteps; ++i) {
      double t = (i + 0.5) * 0.25 / kSteps - delay;
      double level = 0;
      if (t < 0)
        level = 0;
      else if (t < attack)
        level = t / attack;
      else if ((t -= attack) < hold)
        level = 1;
      else if ((t -= hold) < decay * (1 - sustain))
        level = 1 - t / decay;
      else
        level = sustain;
      sum += level;
    }
    return sum / kSteps;
  }

  // Drum wavetables hold one sample each, shared by every kit and key that plays it, in
  // categories of 128 after the melodic ones. Returns the wave number, 0 when none is left.
  int drumWavetable(const Take &take, int rootKey, const std::string &name)
  {
    int t = plan.addTake(take);
    auto found = drumTables.find(t);
    if (found != drumTables.end()) return found->second;
    int index = drumWavetableCount++;
    int number = kFirstDrumWaveCategory + index / kWavetablesPerCategory;
    int position = index % kWavetablesPerCategory;
    if (number >= kWaveCategories) {
      if (number == kWaveCategories && position == 0)
        plan.notes.push_back("drum kits: more drum samples than wave numbers reach; the rest stay silent");
      drumTables.emplace(t, 0);
      return 0;
    }
    if (position == 0) {
      PlannedWavetableCategory category;
      category.number = number;
      category.name = number == kFirstDrumWaveCategory ? "Drums" : format("Drums %d", number - kFirstDrumWaveCategory + 1);
      category.drum = true;
      plan.wavetableCategories.push_back(category);
    }
    PlannedWavetable table;
    table.name = nameWithin(name);
    table.keyFollow = false;
    table.zones.push_back({t, std::clamp(rootKey, 0, 127), 127});
    plan.wavetableCategories.back().wavetables.push_back(table);
    int wave = waveNumber(number, position);
    drumTables.emplace(t, wave);
    return wave;
  }

  const SoundFont &sf;
  LibraryPlan plan;
  std::map<int, double> oneFilterByPreset; // programs without a preset of their own share one
  Fall channelFall; // the volume envelope of the melodic channel being planned
  int drumWavetableCount = 0;
  std::map<int, int> drumTables; // take -> wave number
};

} // namespace

int findMelodyPreset(const SoundFont &sf, int program)
{
  int best = -1;
  for (size_t i = 0; i < sf.presets.size(); ++i) {
    const Preset &p = sf.presets[i];
    if (p.program != program || p.bank >= 128) continue;
    if (best < 0 || p.bank < sf.presets[best].bank) best = int(i);
  }
  return best;
}

int findDrumPreset(const SoundFont &sf, int program)
{
  for (size_t i = 0; i < sf.presets.size(); ++i)
    if (sf.presets[i].bank == 128 && sf.presets[i].program == program) return int(i);
  return -1;
}

int drumProgramOfSlot(int slot)
{
  if (slot >= 0 && slot < 8) return slot * 8;
  if (slot == engine::kSecondElectronicKitSlot) return engine::kSecondElectronicKitProgram;
  return slot == 15 ? 127 : 0;
}

LibraryPlan planGmLibrary(const SoundFont &sf) { return Planner(sf).run(); }

} // namespace sfconv
