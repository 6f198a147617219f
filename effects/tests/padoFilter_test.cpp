// The multi-channel processor frame and its filters.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "effects/padoFilter.h"
#include "foundation/podoLog.h"
#include "foundation/podoStream.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// ---- Butterworth designs --------------------------------------------------------------------

std::unique_ptr<padoFilterButterworth> makeFilter(padoBwDesign design, int rate, float cutoff,
                                                  float q = 0.0f, int channels = 1) {
  auto f = std::make_unique<padoFilterButterworth>(design);
  f->setSampleRate(rate);
  f->setChannelCount(channels);
  f->setBlockSize(64);
  f->setCutoff(cutoff, kAllChannels);
  f->setQ(q, kAllChannels);
  return f;
}

// Level of a sine of `frequency` after the filter, relative to its input, once settled.
double gainAt(padoFilterButterworth& f, float frequency, int rate) {
  f.clearState();
  const int n = rate / 2;
  std::vector<float> x(n);
  for (int i = 0; i < n; ++i) x[i] = static_cast<float>(std::sin(2.0 * kPi * frequency * i / rate));
  float* planar[1] = {x.data()};
  EXPECT_EQ(f.process(planar, n, 0, kAllChannels), n);
  double in = 0.0, out = 0.0;
  for (int i = n / 2; i < n; ++i) {
    const double s = std::sin(2.0 * kPi * frequency * i / rate);
    in += s * s;
    out += double(x[i]) * x[i];
  }
  return std::sqrt(out / in);
}

TEST(ButterworthDesigns, SectionDampingsAreTwoSinesOfThePoleAngles) {
  // At a quarter of the rate the prewarped t is 1, so each section's stored -a2 gives back its
  // damping d: a2 = (2 - d) / (2 + d). The designs keep their constants to four digits or more.
  struct Case {
    padoBwDesign design;
    int poles;
  } const cases[] = {
      {padoBwDesign::lowPass2, 2},  {padoBwDesign::highPass2, 2}, {padoBwDesign::lowPass4, 4},
      {padoBwDesign::highPass4, 4}, {padoBwDesign::lowPass6, 6},  {padoBwDesign::highPass6, 6},
      {padoBwDesign::lowPass8, 8},  {padoBwDesign::highPass8, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.poles);
    auto f = makeFilter(c.design, 48000, 12000.0f);
    ASSERT_EQ(f->getSectionCount(), c.poles / 2);
    f->processSample(0.0f, 0, 0);  // designs lazily
    for (int k = 1; k <= c.poles / 2; ++k) {
      const padoBiquad& s = f->getSections(0)[k - 1];
      const double a2 = -s.na2;
      const double damping = 2.0 * (1.0 - a2) / (1.0 + a2);
      EXPECT_NEAR(damping, 2.0 * std::sin((2 * k - 1) * kPi / (2 * c.poles)), 5e-5) << "section " << k;
    }
  }
}

TEST(ButterworthDesigns, TwoPoleLowPassAtAQuarterOfTheRate) {
  auto f = makeFilter(padoBwDesign::lowPass2, 44100, 11025.0f);
  f->processSample(0.0f, 0, 0);
  const padoBiquad& s = f->getSections(0)[0];
  EXPECT_NEAR(s.b0, 0.2929f, 1e-4f);
  EXPECT_NEAR(s.b1, 0.5858f, 1e-4f);
  EXPECT_NEAR(s.b2, 0.2929f, 1e-4f);
  EXPECT_NEAR(s.na1, 0.0f, 1e-6f);
  EXPECT_NEAR(s.na2, -0.1716f, 1e-4f);
}

TEST(ButterworthDesigns, LowAndHighPassesAreThreeDecibelsDownAtTheCutoff) {
  // A Butterworth response: flat in the pass band, -3 dB at the cutoff, 6 dB per octave and
  // pole beyond it.
  struct Case {
    padoBwDesign design;
    int poles;
    bool high;
  } const cases[] = {
      {padoBwDesign::lowPass2, 2, false},  {padoBwDesign::highPass2, 2, true},
      {padoBwDesign::lowPass4, 4, false},  {padoBwDesign::highPass4, 4, true},
      {padoBwDesign::lowPass6, 6, false},  {padoBwDesign::highPass6, 6, true},
      {padoBwDesign::lowPass8, 8, false},  {padoBwDesign::highPass8, 8, true},
  };
  const int rate = 48000;
  const float cutoff = 1000.0f;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.poles << (c.high ? " high" : " low"));
    auto f = makeFilter(c.design, rate, cutoff);
    EXPECT_NEAR(gainAt(*f, cutoff, rate), std::sqrt(0.5), 0.01);
    const float pass = c.high ? cutoff * 8.0f : cutoff / 8.0f;
    const float stop = c.high ? cutoff / 2.0f : cutoff * 2.0f;
    EXPECT_NEAR(gainAt(*f, pass, rate), 1.0, 0.01);
    EXPECT_NEAR(gainAt(*f, stop, rate), 1.0 / std::sqrt(1.0 + std::pow(2.0, 2.0 * c.poles)), 0.01);
  }
}

TEST(ButterworthDesigns, BandPassesKeepTheirBandAndBandStopsCutIt) {
  // The band designs put their halves half an octave's ratio (1.5) below and above the cutoff
  // (q widens that): a band-pass passes the centre and takes the far ends away, a band-stop
  // (its halves in parallel) does the opposite, deeply at four poles.
  struct Case {
    padoBwDesign design;
    float q;
    double centreMin, centreMax, farMin, farMax;
  } const cases[] = {
      {padoBwDesign::bandPass2, 0.0f, 0.80, 0.87, 0.0, 0.02},
      {padoBwDesign::bandPass4, 0.0f, 0.82, 0.90, 0.0, 0.001},
      {padoBwDesign::bandPass2, 1.0f, 0.95, 1.0, 0.0, 0.05},
      {padoBwDesign::bandStop2, 0.0f, 0.38, 0.45, 0.99, 1.01},
      {padoBwDesign::bandStop4, 0.0f, 0.0, 0.01, 0.99, 1.01},
  };
  const int rate = 48000;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.design) << " q " << c.q);
    auto f = makeFilter(c.design, rate, 1000.0f, c.q);
    const double centre = gainAt(*f, 1000.0f, rate);
    EXPECT_GE(centre, c.centreMin);
    EXPECT_LE(centre, c.centreMax);
    for (float far : {60.0f, 16000.0f}) {
      const double g = gainAt(*f, far, rate);
      EXPECT_GE(g, c.farMin) << far;
      EXPECT_LE(g, c.farMax) << far;
    }
  }
}

TEST(FilterClasses, WithoutACutoffOrARateTheSignalPassesUnchanged) {
  // Before a cutoff is set (or at a rate of 0) there is nothing to design with: the filters
  // pass the input as it is instead of producing NaN.
  const float input[5] = {0.5f, -0.25f, 1.0f, 0.0f, -1.0f};
  auto check = [&](pado& f, const char* what) {
    SCOPED_TRACE(what);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(f.processSample(input[i], i, 0), input[i]) << i;
  };
  for (padoBwDesign d : {padoBwDesign::lowPass8, padoBwDesign::highPass2, padoBwDesign::bandPass4,
                         padoBwDesign::bandStop2}) {
    padoFilterButterworth unset(d);
    unset.setSampleRate(44100);
    unset.setChannelCount(1);
    check(unset, "no cutoff");
    padoFilterButterworth noRate(d);
    noRate.setChannelCount(1);
    noRate.setCutoff(1000.0f, 0);
    check(noRate, "no rate");
  }
  padoFilterLP6 lp;
  lp.setChannelCount(1);
  lp.setCutoff(500.0f, 0);
  check(lp, "one-pole without a rate");
  lp.setSampleRate(44100);
  lp.setCutoff(1.0f, 0);
  check(lp, "one-pole at 1 Hz");
}

TEST(FilterClasses, OnlyTheFixedChannelSlotsAreAccepted) {
  padoFilterButterworth f(padoBwDesign::lowPass4);
  EXPECT_TRUE(f.setChannelCount(2));
  for (int refused : {3, 16, 0, -1}) {
    SCOPED_TRACE(refused);
    EXPECT_FALSE(f.setChannelCount(refused));
    EXPECT_EQ(f.getChannelCount(), 2);
  }
  f.setSampleRate(48000);
  f.setCutoff(1000.0f, 1);
  float left[4] = {1, 1, 1, 1}, right[4] = {1, 1, 1, 1};
  float* planar[2] = {left, right};
  EXPECT_EQ(f.process(planar, 4, 0, 2), 0);  // no third channel
  EXPECT_EQ(f.process(planar, 4, 0, 1), 4);
  EXPECT_EQ(left[3], 1.0f);                  // channel 0 has no cutoff: unchanged
  EXPECT_LT(right[3], 0.01f);                // channel 1 low-passed from silence
}

// Counts coefficient computations.
class CountingLP6 : public padoFilterLP6 {
 public:
  mutable int computed = 0;
  void computeCoefficients(Record& record, float hertz) const override {
    ++computed;
    padoFilterLP6::computeCoefficients(record, hertz);
  }
};

TEST(FilterClasses, CoefficientsAreRecomputedOnlyAfterAChange) {
  CountingLP6 f;
  f.setSampleRate(44100);
  f.setChannelCount(2);
  f.setCutoff(1000.0f, kAllChannels);
  f.processSample(0.0f, 0, 0);
  f.processSample(0.0f, 1, 0);
  EXPECT_EQ(f.computed, 1);
  f.setCutoff(1000.0f, 0);  // the same cutoff again
  f.processSample(0.0f, 2, 0);
  EXPECT_EQ(f.computed, 1);
  f.setCutoff(2000.0f, 0);
  f.processSample(0.0f, 3, 0);
  EXPECT_EQ(f.computed, 2);
  f.setFilterMode(3);  // stored, and every channel recomputes
  EXPECT_EQ(f.getFilterMode(), 3);
  f.processSample(0.0f, 4, 0);
  f.processSample(0.0f, 4, 1);
  EXPECT_EQ(f.computed, 4);
  f.setCutoff(1e9f, 1);  // held below half the rate
  EXPECT_FLOAT_EQ(f.getCutoff(1), 22049.0f);
  f.setCutoff(-5.0f, 1);
  EXPECT_FLOAT_EQ(f.getCutoff(1), 0.1f);
}

TEST(FilterClasses, OnePoleLowPassAndItsHighPassCompanion) {
  padoFilterLP6 f;
  f.setSampleRate(48000);
  f.setChannelCount(1);
  f.setRC(1000.0f, 1.0f / (2.0f * 3.14159265f * 1000.0f * 1000.0f), 0);  // 1 kHz
  EXPECT_NEAR(f.getCutoff(0), 1000.0f, 0.1f);
  // Unity at DC, about -3 dB at the cutoff (no prewarping: close at 1/48 of the rate).
  float y = 0.0f;
  for (int i = 0; i < 2000; ++i) y = f.processSample(1.0f, i, 0);
  EXPECT_NEAR(y, 1.0f, 1e-5f);
  padoFilterLP6::Record high;
  f.computeHighPassCoefficients(high, 1000.0f);
  EXPECT_NEAR(high.b0 + high.b1, 0.0f, 1e-7f);  // nothing at DC
  EXPECT_NEAR((high.b0 - high.b1) / (1.0f - high.a1), 1.0f, 1e-6f);  // unity at half the rate
}

TEST(FilterClasses, NamesAndResetKeepTheConfiguration) {
  padoFilterButterworth bw(padoBwDesign::bandStop4);
  padoFilterLP6 lp;
  padoFilterQ* q = &bw;
  pado plain;
  EXPECT_STREQ(plain.className(), "pado");
  EXPECT_STREQ(lp.className(), "padoFilterLP6");
  EXPECT_STREQ(bw.className(), "padoFilterBw2");
  EXPECT_STREQ(q->padoFilterQ::className(), "padoFilterQ");

  bw.setSampleRate(44100);
  bw.setChannelCount(2);
  bw.setBlockSize(32);
  bw.setCutoff(800.0f, kAllChannels);
  bw.setGain(0.5f, 1);
  EXPECT_EQ(bw.getGain(1), 0.5f);
  for (int i = 0; i < 100; ++i) bw.processSample(1.0f, i, 0);
  bw.reset();
  EXPECT_EQ(bw.getSampleRate(), 44100);
  EXPECT_EQ(bw.getChannelCount(), 2);
  EXPECT_EQ(bw.getBlockSize(), 32);
  EXPECT_EQ(bw.getSectionCount(), 4);
}

// ---- the processor frame --------------------------------------------------------------------

// Doubles each sample and adds its frame index / 1000, so a test sees what was processed and
// with which index.
class Marker : public pado {
 public:
  float processSample(float x, int64_t frame, int) override {
    return 2.0f * x + static_cast<float>(frame) / 1000.0f;
  }
};

// Works only on whole frames (swaps the two channels) and needs scratch buffers to convert.
class Swapper : public pado {
 public:
  bool acceptsLayout(const void*) const override { return false; }
  bool processesChannelsSeparately() const override { return false; }
  bool processesPlanarFrames() const override { return false; }
  bool needsScratchBuffers() const override { return true; }
  void processFrame(const float* input, float* output, int64_t) override {
    const float l = input[0];
    output[0] = input[1];
    output[1] = l;
  }
  void processFrame(const float* const* input, float* const* output, int64_t offset,
                    int64_t) override {
    const float l = input[0][offset];
    output[0][offset] = input[1][offset];
    output[1][offset] = l;
  }
};

TEST(ProcessorFrame, EveryBufferFormReachesTheSampleOperation) {
  Marker m;
  m.setSampleRate(44100);
  ASSERT_TRUE(m.setChannelCount(2));
  // Interleaved in place, one channel: only that channel changes.
  float frames[6] = {1, 10, 2, 20, 3, 30};
  EXPECT_EQ(m.process(frames, 3, 100, 1), 3);
  EXPECT_FLOAT_EQ(frames[0], 1.0f);
  EXPECT_FLOAT_EQ(frames[1], 20.1f);
  EXPECT_FLOAT_EQ(frames[5], 60.102f);
  // Planar input to output, every channel.
  const float l[2] = {1, 2}, r[2] = {3, 4};
  float ol[2], orr[2];
  const float* in[2] = {l, r};
  float* out[2] = {ol, orr};
  EXPECT_EQ(m.process(in, out, 2, 0, kAllChannels), 2);
  EXPECT_FLOAT_EQ(ol[1], 4.001f);
  EXPECT_FLOAT_EQ(orr[0], 6.0f);
  // Interleaved input to output.
  const float src[4] = {1, 2, 3, 4};
  float dst[4] = {};
  EXPECT_EQ(m.process(src, dst, 2, 5, kAllChannels), 2);
  EXPECT_FLOAT_EQ(dst[3], 8.006f);
  EXPECT_EQ(m.process(src, dst, 0, 0, kAllChannels), 0);
  EXPECT_EQ(m.process(src, dst, 2, 0, 5), 0);
}

std::u16string logged;
void capture(const char16_t* piece) { logged += piece; }

TEST(ProcessorFrame, FormsAProcessorCannotTakeAreConvertedForAllChannelsOnly) {
  Swapper s;
  s.setSampleRate(44100);
  s.setChannelCount(2);
  s.setBlockSize(3);  // forces several scratch blocks
  float frames[10] = {1, -1, 2, -2, 3, -3, 4, -4, 5, -5};
  EXPECT_EQ(s.process(frames, 5, 0, kAllChannels), 5);
  EXPECT_EQ(frames[0], -1.0f);
  EXPECT_EQ(frames[9], 5.0f);
  float l[4] = {1, 2, 3, 4}, r[4] = {9, 8, 7, 6};
  float* planar[2] = {l, r};
  EXPECT_EQ(s.process(planar, 4, 0, kAllChannels), 4);
  EXPECT_EQ(l[3], 6.0f);
  EXPECT_EQ(r[0], 1.0f);

  logged.clear();
  const podo::DebugSink previous = podo::setDebugSink(&capture);
  EXPECT_EQ(s.process(frames, 5, 0, 0), 0);
  EXPECT_EQ(s.process(planar, 4, 0, 1), 0);
  podo::setDebugSink(previous);
  EXPECT_EQ(logged, u"[ERROR] pado::process - should [ch == kAllChannels]\n"
                    u"[ERROR] pado::process - should [ch == kAllChannels]\n");
  EXPECT_EQ(frames[0], -1.0f);  // untouched

  Swapper unbuffered;  // no block size: nothing to convert through
  unbuffered.setChannelCount(2);
  EXPECT_EQ(unbuffered.process(frames, 5, 0, kAllChannels), 0);
}

TEST(ProcessorFrame, StreamsAreProcessedInPlaceOrMovedToAnOutput) {
  Marker m;
  m.setChannelCount(2);
  for (int32_t layout : {podoStreamLayout::planar, podoStreamLayout::interleaved}) {
    SCOPED_TRACE(layout);
    podoStream ring;
    ring.setFormat(44100, 4, 2, layout, 3);
    ring.allocate(4);
    // Frames whose runs wrap around the ring: positions 3, 0, 1.
    const float pad[8] = {};
    ring.write(3, pad, 0);
    ring.markAsRead(2, 0);
    ring.markAsRead(1, 0);
    if (layout == podoStreamLayout::planar) {
      ring.write(3, pad, 1);
      ring.markAsRead(2, 1);
      ring.markAsRead(1, 1);
      const float a[3] = {1, 2, 3}, b[3] = {4, 5, 6};
      ring.write(3, a, 0);
      ring.write(3, b, 1);
    } else {
      const float ab[6] = {1, 4, 2, 5, 3, 6};
      ring.write(3, ab, 0);
    }
    EXPECT_EQ(m.process(ring, 10, 0, kAllChannels), 3);
    EXPECT_EQ(ring.getNumFrames(0), 3u);  // in place: still stored
    podoStream out;
    out.setFormat(44100, 4, 2, layout, 3);
    out.allocate(8);
    EXPECT_EQ(m.process(ring, out, 10, 0, kAllChannels), 3);
    EXPECT_EQ(ring.getNumFrames(0), 0u);
    EXPECT_EQ(out.getNumFrames(1), 3u);
    std::vector<float> got(6), expected;
    // Twice doubled, plus the frame index / 1000 once each pass.
    if (layout == podoStreamLayout::planar) {
      out.read(3, got.data(), 0);
      out.read(3, got.data() + 3, 1);
      expected = {4.0f, 8.003f, 12.006f, 16.0f, 20.003f, 24.006f};
    } else {
      out.read(3, got.data(), 0);
      expected = {4.0f, 16.0f, 8.003f, 20.003f, 12.006f, 24.006f};
    }
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], expected[i], 1e-5f) << i;
  }

  // Streams the processor cannot take: other sample sizes, channel counts, an output
  // without room.
  podoStream pcm;
  pcm.setFormat(44100, 2, 2, podoStreamLayout::planar, 1);
  pcm.writeZero(4, -1);
  EXPECT_EQ(m.process(pcm, 4, 0, kAllChannels), 0);
  podoStream mono, full;
  mono.setFormat(44100, 4, 1, podoStreamLayout::planar, 3);
  mono.writeZero(4, 0);
  EXPECT_EQ(m.process(mono, 4, 0, kAllChannels), 0);
  EXPECT_EQ(m.process(mono, 4, 0, 0), 4);
  full.setFormat(44100, 4, 1, podoStreamLayout::planar, 3);
  full.writeZero(4, 0);
  EXPECT_EQ(m.process(mono, full, 4, 0, 0), 0);
}

TEST(ProcessorFrame, AdvancePhaseRoundsHalvesToEvenAndWrapsThePeriod) {
  struct Case {
    int step;
    float fraction, increment;
    int period;
    int stepAfter;
    float fractionAfter;
  } const cases[] = {
      {10, 2.5f, 0.25f, 256, 12, 0.75f},   // 2.5 rounds to 2
      {10, 3.5f, 0.0f, 256, 14, -0.5f},    // 3.5 rounds to 4
      {255, 1.2f, 0.1f, 256, 0, 0.3f},     // wraps
      {0, -0.6f, 0.0f, 256, 255, 0.4f},    // backwards past 0
      {3, 0.4f, 1.0f, 4, 3, 1.4f},
  };
  pado p;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.step << " " << c.fraction);
    padoPhase phase{c.step, c.fraction};
    p.advancePhase(phase, c.increment, c.period);
    EXPECT_EQ(phase.step, c.stepAfter);
    EXPECT_NEAR(phase.fraction, c.fractionAfter, 1e-6f);
  }
}

}  // namespace
