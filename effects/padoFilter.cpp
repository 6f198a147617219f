#include "effects/padoFilter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;
// Values smaller than this are flushed to 0 in the filter states.
constexpr float kFlush = 1e-35f;

inline float flush(float v) { return std::fabs(v) < kFlush ? 0.0f : v; }

}  // namespace

// ---- padoFilter -----------------------------------------------------------------------------

const char* padoFilter::className() const { return "padoFilter"; }

void padoFilter::setSampleRate(int rate) {
  pado::setSampleRate(rate);
  clearState();
  markDirty(kAllChannels);
}

bool padoFilter::setChannelCount(int channels) {
  if (!pado::setChannelCount(channels)) return false;
  for (int c = 0; c < kMaxChannels; ++c) {
    cutoff[c] = 0.0f;
    dirty[c] = false;
  }
  markDirty(kAllChannels);
  return true;
}

int padoFilter::getFilterMode() const { return filterMode; }

void padoFilter::setFilterMode(int mode) {
  filterMode = mode;
  markDirty(kAllChannels);
}

float padoFilter::getCutoff(int channel) const {
  return validChannel(channel) ? cutoff[channel] : 0.0f;
}

void padoFilter::setCutoff(float hertz, int channel) {
  if (std::isnan(hertz)) return;
  float held = std::max(hertz, 0.1f);
  if (sampleRate > 0) held = std::min(held, std::max(static_cast<float>(sampleRate) * 0.5f - 1.0f, 0.1f));
  const int from = channel == kAllChannels ? 0 : channel;
  const int to = channel == kAllChannels ? channelCount - 1 : channel;
  if (channel != kAllChannels && !validChannel(channel)) return;
  for (int c = from; c <= to; ++c) {
    if (cutoff[c] != held) {
      cutoff[c] = held;
      dirty[c] = true;
    }
  }
}

void padoFilter::markDirty(int channel) {
  if (channel == kAllChannels) {
    for (int c = 0; c < channelCount; ++c) dirty[c] = true;
  } else if (validChannel(channel)) {
    dirty[channel] = true;
  }
}

float padoFilter::designCutoff(int channel) const {
  if (sampleRate <= 0 || !(cutoff[channel] > 0.0f)) return 0.0f;
  const float highest = static_cast<float>(sampleRate) * 0.5f - 1.0f;
  if (highest < 0.1f) return 0.0f;
  return std::clamp(cutoff[channel], 0.1f, highest);
}

// ---- padoFilterLP6 --------------------------------------------------------------------------

const char* padoFilterLP6::className() const { return "padoFilterLP6"; }

bool padoFilterLP6::setChannelCount(int channels) {
  if (!acceptableChannelCount(channels)) return false;
  for (Record& r : records) r = Record{};
  return padoFilter::setChannelCount(channels);
}

void padoFilterLP6::clearState() {
  for (Record& r : records) {
    r.x1 = 0.0f;
    r.y1 = 0.0f;
  }
}

void padoFilterLP6::setRC(float resistance, float capacitance, int channel) {
  if (!(resistance > 0.0f) || !(capacitance > 0.0f)) return;
  setCutoff(1.0f / (2.0f * kPi * resistance * capacitance), channel);
}

void padoFilterLP6::computeCoefficients(Record& record, float hertz) const {
  if (hertz > 1.0f && sampleRate > 0) {
    const float w = 2.0f * kPi * hertz;
    const float twiceRate = 2.0f * static_cast<float>(sampleRate);
    const float k = 1.0f / (w + twiceRate);
    record.b0 = record.b1 = k * w;
    record.a1 = (w - twiceRate) * k;
  } else {
    record.b0 = 1.0f;
    record.b1 = 0.0f;
    record.a1 = 0.0f;
  }
}

void padoFilterLP6::computeHighPassCoefficients(Record& record, float hertz) const {
  if (hertz > 1.0f && sampleRate > 0) {
    const float w = 2.0f * kPi * hertz;
    const float twiceRate = 2.0f * static_cast<float>(sampleRate);
    const float k = 1.0f / (w + twiceRate);
    record.b0 = k * twiceRate;
    record.b1 = -k * twiceRate;
    record.a1 = (w - twiceRate) * k;
  } else {
    record.b0 = 1.0f;
    record.b1 = 0.0f;
    record.a1 = 0.0f;
  }
}

float padoFilterLP6::processSample(float x, int64_t, int channel) {
  Record& r = records[channel];
  if (takeDirty(channel)) computeCoefficients(r, designCutoff(channel));
  const float y = flush(r.b1 * r.x1 + r.b0 * x - r.a1 * r.y1);
  r.x1 = x;
  r.y1 = y;
  return y;
}

// ---- padoFilterQ ----------------------------------------------------------------------------

const char* padoFilterQ::className() const { return "padoFilterQ"; }

bool padoFilterQ::setChannelCount(int channels) {
  if (!acceptableChannelCount(channels)) return false;
  for (int c = 0; c < kMaxChannels; ++c) gain[c] = q[c] = 0.0f;
  return padoFilter::setChannelCount(channels);
}

float padoFilterQ::getGain(int channel) const {
  return validChannel(channel) ? gain[channel] : 0.0f;
}

void padoFilterQ::setGain(float value, int channel) {
  if (std::isnan(value)) return;
  const int from = channel == kAllChannels ? 0 : channel;
  const int to = channel == kAllChannels ? channelCount - 1 : channel;
  if (channel != kAllChannels && !validChannel(channel)) return;
  for (int c = from; c <= to; ++c) {
    if (gain[c] != value) {
      gain[c] = value;
      dirty[c] = true;
    }
  }
}

float padoFilterQ::getQ(int channel) const { return validChannel(channel) ? q[channel] : 0.0f; }

void padoFilterQ::setQ(float value, int channel) {
  if (std::isnan(value)) return;
  const int from = channel == kAllChannels ? 0 : channel;
  const int to = channel == kAllChannels ? channelCount - 1 : channel;
  if (channel != kAllChannels && !validChannel(channel)) return;
  for (int c = from; c <= to; ++c) {
    if (q[c] != value) {
      q[c] = value;
      dirty[c] = true;
    }
  }
}

// ---- padoFilterBw2 --------------------------------------------------------------------------

const char* padoFilterBw2::className() const { return "padoFilterBw2"; }

bool padoFilterBw2::setChannelCount(int channels) {
  if (!acceptableChannelCount(channels)) return false;
  freeSections();
  return padoFilterQ::setChannelCount(channels);
}

void padoFilterBw2::clearState() {
  for (auto& channel : sections)
    for (padoBiquad& s : channel) s.w1 = s.w2 = 0.0f;
}

void padoFilterBw2::freeSections() {
  for (auto& channel : sections)
    for (padoBiquad& s : channel) s = padoBiquad{};
}

bool padoFilterBw2::setSectionCount(int count) {
  if (count < 1 || count > kMaxSections) return false;
  sectionCount = count;
  if (channelCount > 0) setChannelCount(channelCount);
  return true;
}

void padoFilterBw2::scalePrototype(padoPrototype& p, float t) const {
  p.d1 /= t;
  p.c1 /= t;
  p.d2 /= t * t;
  p.c2 /= t * t;
}

void padoFilterBw2::bilinear(padoBiquad& s, const padoPrototype& p) const {
  const float k = 1.0f / (p.d0 + p.d1 + p.d2);
  s.b0 = (p.c0 + p.c1 + p.c2) * k;
  s.b1 = (2.0f * p.c0 - 2.0f * p.c2) * k;
  s.b2 = (p.c0 - p.c1 + p.c2) * k;
  s.na1 = -(2.0f * p.d0 - 2.0f * p.d2) * k;
  s.na2 = -(p.d0 - p.d1 + p.d2) * k;
}

void padoFilterBw2::computeSection(padoBiquad& section, const padoPrototype& prototype,
                                   float hertz) {
  padoPrototype p = prototype;
  scalePrototype(p, std::tan(kPi * hertz / static_cast<float>(sampleRate)));
  bilinear(section, p);
}

void padoFilterBw2::computeSections(padoBiquad* channelSections, const padoPrototype* prototypes,
                                    float hertz, float bandwidth) {
  if (bandwidth < 0.0f) {
    for (int i = 0; i < sectionCount; ++i) computeSection(channelSections[i], prototypes[i], hertz);
    return;
  }
  const float b = bandwidth + 1.0f;
  const float highest = std::max(static_cast<float>(sampleRate) * 0.5f - 1.0f, 2.0f);
  const float lower = std::clamp(hertz / b, 2.0f, highest);
  const float upper = std::clamp(hertz * b, 2.0f, highest);
  for (int i = 0; i < sectionCount; ++i)
    computeSection(channelSections[i], prototypes[i], 2 * i < sectionCount ? lower : upper);
}

float padoFilterBw2::runSections(padoBiquad* s, int from, int to, float x) {
  for (int i = from; i < to; ++i) {
    padoBiquad& b = s[i];
    const float w = flush(x + b.na1 * b.w1 + b.na2 * b.w2);
    const float y = flush(b.b0 * w + b.b1 * b.w1 + b.b2 * b.w2);
    b.w2 = b.w1;
    b.w1 = w;
    x = y;
  }
  return x;
}

void padoFilterBw2::refresh(int channel) {
  if (!takeDirty(channel)) return;
  padoBiquad* s = sections[channel];
  const float hertz = designCutoff(channel);
  passing[channel] = hertz <= 0.0f;
  if (!passing[channel]) design(s, hertz, q[channel]);
}

float padoFilterBw2::processSample(float x, int64_t, int channel) {
  refresh(channel);
  if (passing[channel]) return x;
  return runSections(sections[channel], 0, sectionCount, x);
}

// ---- padoFilterButterworth ------------------------------------------------------------------

namespace {

// Section dampings 2 sin((2k - 1) pi / 2n), as the designs give them.
constexpr float kDamping2[] = {1.4142f};
constexpr float kDamping4[] = {0.765367f, 1.847759f};
constexpr float kDamping6[] = {0.5176f, 1.4142f, 1.9319f};
constexpr float kDamping8LowPass[] = {0.390181f, 1.11114f, 1.662939f, 1.961571f};
constexpr float kDamping8HighPass[] = {0.3902f, 1.1111f, 1.6629f, 1.961571f};

padoPrototype lowPass(float damping) { return {1.0f, damping, 1.0f, 1.0f, 0.0f, 0.0f}; }
padoPrototype highPass(float damping) { return {1.0f, damping, 1.0f, 0.0f, 0.0f, 1.0f}; }

int sectionsOf(padoBwDesign d) {
  switch (d) {
    case padoBwDesign::lowPass2:
    case padoBwDesign::highPass2: return 1;
    case padoBwDesign::lowPass4:
    case padoBwDesign::highPass4:
    case padoBwDesign::bandPass2:
    case padoBwDesign::bandStop2: return 2;
    case padoBwDesign::lowPass6:
    case padoBwDesign::highPass6: return 3;
    default: return 4;
  }
}

bool isBandStop(padoBwDesign d) {
  return d == padoBwDesign::bandStop2 || d == padoBwDesign::bandStop4;
}

}  // namespace

padoFilterButterworth::padoFilterButterworth(padoBwDesign design) : design_(design) {
  setSectionCount(sectionsOf(design));
}

void padoFilterButterworth::design(padoBiquad* s, float hertz, float quality) {
  // A negative q would turn the dampings (or the band) negative: unstable.
  const float qq = std::max(quality, 0.0f);
  const float r = 1.0f / (qq * 8.0f + 1.0f);
  const float n = static_cast<float>(sectionCount);
  padoPrototype p[kMaxSections];
  float bandwidth = -1.0f;
  auto poles = [&](const float* dampings, int count, bool high) {
    for (int i = 0; i < count; ++i) p[i] = high ? highPass(dampings[i] * r) : lowPass(dampings[i] * r);
  };
  switch (design_) {
    case padoBwDesign::lowPass2: poles(kDamping2, 1, false); break;
    case padoBwDesign::highPass2: poles(kDamping2, 1, true); break;
    case padoBwDesign::lowPass4: poles(kDamping4, 2, false); break;
    case padoBwDesign::highPass4: poles(kDamping4, 2, true); break;
    case padoBwDesign::lowPass6: poles(kDamping6, 3, false); break;
    case padoBwDesign::highPass6: poles(kDamping6, 3, true); break;
    case padoBwDesign::lowPass8: poles(kDamping8LowPass, 4, false); break;
    case padoBwDesign::highPass8: poles(kDamping8HighPass, 4, true); break;
    case padoBwDesign::bandPass2:
      p[0] = highPass(kDamping2[0]);
      p[1] = lowPass(kDamping2[0]);
      bandwidth = 1.0f / n + qq;
      break;
    case padoBwDesign::bandStop2:
      p[0] = lowPass(kDamping2[0]);
      p[1] = highPass(kDamping2[0]);
      bandwidth = 1.0f - 1.0f / n + qq;
      break;
    case padoBwDesign::bandPass4:
      p[0] = highPass(kDamping4[0]);
      p[1] = highPass(kDamping4[1]);
      p[2] = lowPass(kDamping4[0]);
      p[3] = lowPass(kDamping4[1]);
      bandwidth = 1.0f / n + qq;
      break;
    case padoBwDesign::bandStop4:
      p[0] = lowPass(kDamping4[0]);
      p[1] = lowPass(kDamping4[1]);
      p[2] = highPass(kDamping4[0]);
      p[3] = highPass(kDamping4[1]);
      bandwidth = 1.0f - 1.0f / n + qq;
      break;
  }
  computeSections(s, p, hertz, bandwidth);
}

float padoFilterButterworth::processSample(float x, int64_t frame, int channel) {
  if (!isBandStop(design_)) return padoFilterBw2::processSample(x, frame, channel);
  refresh(channel);
  if (passing[channel]) return x;
  // Parallel form: the low half and the high half each from the input, summed.
  padoBiquad* s = sections[channel];
  const int half = sectionCount / 2;
  return runSections(s, 0, half, x) + runSections(s, half, sectionCount, x);
}
