#pragma once
// Filters on the pado processor frame: a per-channel cutoff with lazy coefficient updates
// (padoFilter), a one-pole low-pass (padoFilterLP6), two more per-channel parameters
// (padoFilterQ), and cascades of biquad sections designed from analog prototypes by the
// bilinear transform (padoFilterBw2), with Butterworth low- and high-pass designs of 2 to 8
// poles and band-pass and band-stop designs (padoFilterButterworth).
//
// Coefficients are recomputed per channel on the first sample after a change of cutoff, q,
// gain, filter mode or sample rate; a rate change also clears the filter states. A filter whose
// cutoff was never set, or that has no usable sample rate, passes its input unchanged.

#include "effects/pado.h"

class padoFilter : public pado {
 public:
  const char* className() const override;
  // Stores the rate, clears the states and marks every channel dirty.
  void setSampleRate(int rate) override;
  // Also zeroes every cutoff and marks every channel dirty.
  bool setChannelCount(int channels) override;

  // Stored and returned; no filter of this family reads it.
  virtual int getFilterMode() const;
  virtual void setFilterMode(int mode);
  virtual float getCutoff(int channel) const;
  // Hz, held to 0.1 .. sampleRate / 2 - 1; a channel whose cutoff changes is marked dirty.
  // Channel or kAllChannels. NaN is ignored.
  virtual void setCutoff(float hertz, int channel);
  virtual void markDirty(int channel);

 protected:
  static bool acceptableChannelCount(int channels) {
    return channels >= 1 && channels <= kMaxChannels;
  }
  // The cutoff to design with: the channel's, held below half the rate; 0 (pass the signal
  // through) when it was never set or there is no usable rate.
  float designCutoff(int channel) const;
  // True once for a dirty channel, clearing the flag.
  bool takeDirty(int channel) {
    if (!dirty[channel]) return false;
    dirty[channel] = false;
    return true;
  }

  bool dirty[kMaxChannels] = {};
  float cutoff[kMaxChannels] = {};  // Hz; 0 = never set
  int filterMode = 0;
};

// One-pole (6 dB per octave) low-pass: bilinear without prewarping.
class padoFilterLP6 : public padoFilter {
 public:
  struct Record {
    float b0 = 1.0f, b1 = 0.0f, a1 = 0.0f;  // coefficients
    float x1 = 0.0f, y1 = 0.0f;             // previous input and output
  };

  const char* className() const override;
  bool setChannelCount(int channels) override;
  void clearState() override;
  float processSample(float x, int64_t frame, int channel) override;

  // Cutoff 1 / (2 pi R C); values that are not positive are ignored.
  virtual void setRC(float resistance, float capacitance, int channel);
  // Low-pass coefficients for the cutoff; at 1 Hz or less (or without a rate) a pass-through.
  virtual void computeCoefficients(Record& record, float hertz) const;
  // The matching one-pole high-pass coefficients.
  void computeHighPassCoefficients(Record& record, float hertz) const;

  const Record& getRecord(int channel) const { return records[channel]; }

 protected:
  Record records[kMaxChannels];
};

// Adds a gain (read by no filter of this family) and a q per channel, zero after allocation.
class padoFilterQ : public padoFilter {
 public:
  const char* className() const override;
  bool setChannelCount(int channels) override;
  virtual float getGain(int channel) const;
  virtual void setGain(float value, int channel);
  // The resonance, or the bandwidth of band designs. A changed value marks the channel dirty.
  virtual float getQ(int channel) const;
  virtual void setQ(float value, int channel);

 protected:
  float gain[kMaxChannels] = {};
  float q[kMaxChannels] = {};
};

// One biquad section in direct form II; the feedback coefficients are stored negated.
struct padoBiquad {
  float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f;
  float na1 = 0.0f, na2 = 0.0f;  // -a1, -a2
  float w1 = 0.0f, w2 = 0.0f;    // state
};

// An analog prototype for a cutoff of 1: denominator d0 + d1 s + d2 s^2, numerator
// c0 + c1 s + c2 s^2.
struct padoPrototype {
  float d0, d1, d2, c0, c1, c2;
};

class padoFilterBw2 : public padoFilterQ {
 public:
  static constexpr int kMaxSections = 4;

  const char* className() const override;
  bool setChannelCount(int channels) override;
  void clearState() override;
  float processSample(float x, int64_t frame, int channel) override;

  // Zeroes every section (coefficients and states).
  virtual void freeSections();
  // 1..kMaxSections; reallocates the sections through setChannelCount. False when refused.
  virtual bool setSectionCount(int count);
  // The section for the prototype at the cutoff: prewarped (t = tan(pi f / rate)), then the
  // bilinear transform.
  virtual void computeSection(padoBiquad& section, const padoPrototype& prototype, float hertz);
  // Every section at the cutoff (bandwidth < 0), or the first half at the lower and the second
  // half at the upper corner of a band of `bandwidth` octaves' ratio (cutoff / (b + 1) and
  // cutoff x (b + 1), held to 2 .. rate / 2 - 1).
  virtual void computeSections(padoBiquad* sections, const padoPrototype* prototypes,
                               float hertz, float bandwidth);
  // Fills the channel's sections for the cutoff and q.
  virtual void design(padoBiquad* sections, float hertz, float q) = 0;
  virtual void scalePrototype(padoPrototype& prototype, float t) const;
  virtual void bilinear(padoBiquad& section, const padoPrototype& prototype) const;

  int getSectionCount() const { return sectionCount; }
  const padoBiquad* getSections(int channel) const { return sections[channel]; }

 protected:
  // Runs x through sections [from, to) in series.
  static float runSections(padoBiquad* sections, int from, int to, float x);
  // Brings the channel's coefficients up to date (pass-through without a cutoff or rate).
  void refresh(int channel);

  int sectionCount = 0;
  padoBiquad sections[kMaxChannels][kMaxSections];
  bool passing[kMaxChannels] = {};  // no cutoff or rate to design with: output = input
};

// The designs a Butterworth filter can take.
enum class padoBwDesign {
  lowPass2, highPass2, lowPass4, highPass4, lowPass6, highPass6, lowPass8, highPass8,
  bandPass2, bandStop2, bandPass4, bandStop4,
};

// A padoFilterBw2 with one design, fixed at construction. q sets the resonance of the low- and
// high-passes (damping / (8 q + 1)) and widens the band of the band designs. The band-stops
// run their two halves in parallel and sum them.
class padoFilterButterworth : public padoFilterBw2 {
 public:
  explicit padoFilterButterworth(padoBwDesign design);

  padoBwDesign getDesign() const { return design_; }
  float processSample(float x, int64_t frame, int channel) override;
  void design(padoBiquad* sections, float hertz, float q) override;

 private:
  padoBwDesign design_;
};
