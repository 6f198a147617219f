#pragma once
// The insert-effect interface. The base class is itself the bypass effect (type 0).
//
// The engine drives every insert effect the same way, once per sub-block of at most 16 frames
// while its slot is on: setSampleRate, setTempo, setSongPosition, setParameters, process. Each
// effect decides itself what changed. clear() comes before the first process of a new effect and
// whenever processing resumes after a pause. All calls come from one thread at a time (the
// engine holds its instance lock); effects hold no locks. process never allocates: buffers are
// (re)allocated by setSampleRate when the rate changes.

#include "effects/effectDsp.h"

class CIFX {
 public:
  static constexpr int kParameterCount = 3;

  CIFX() = default;
  CIFX(const CIFX&) = delete;
  CIFX& operator=(const CIFX&) = delete;
  virtual ~CIFX() = default;

  virtual void markCleared();
  // Brings the effect to silence. Overrides return at once when `cleared` is already set.
  virtual void clear();
  // Stores the rate (-1 for a rate that is not usable). Overrides that own buffers act only on a
  // change: store it, allocateBuffers, updateCoefficients.
  virtual void setSampleRate(float rate);
  virtual void setTempo(double beatsPerMinute);
  virtual void setSongPosition(double beats);
  // Writes the display text of parameter index 0..2 for a normalised value into text (at least
  // kEffectDisplayTextSize chars); any other index leaves text untouched.
  virtual void getParameterDisplay(int index, float value, char* text) const;
  // getParameterDisplay of target[index].
  virtual void getCurrentParameterDisplay(int index, char* text) const;
  // Base: the three values, held to 0..1, become the targets.
  virtual void setParameters(const float params[kParameterCount]);
  virtual void setWetOnly(bool on);
  virtual void allocateCommonBuffers();
  virtual void allocateBuffers();
  virtual void updateCommonCoefficients();
  virtual void updateCoefficients();
  // Processes frames (0..16) samples of both channels in place. Every override ends by
  // clearing `cleared`, except where it returns early without touching the audio.
  virtual void process(float* left, float* right, int frames);

  float sampleRate = -1.0f;   // Hz, last given to setSampleRate; -1 while unknown
  double tempo = -1.0;        // beats per minute last given to setTempo
  double songPosition = -1.0; // beats last given to setSongPosition
  // Smoothed values used by processing; they glide toward `target` by at most 0.0003 per frame.
  float smoothed[kParameterCount] = {0.5f, 0.5f, 0.5f};
  // Targets after the effect's own mapping. They start where the smoothed values start, so an
  // effect processed before its first setParameters runs on mid-range settings.
  float target[kParameterCount] = {0.5f, 0.5f, 0.5f};
  bool cleared = false;  // set by clear() and buffer allocation, reset by process
  bool wetOnly = false;  // the engine never sets it
};
