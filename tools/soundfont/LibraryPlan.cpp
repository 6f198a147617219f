#include "tools/soundfont/LibraryPlan.h"

#include <algorithm>
#include <cmath>

namespace sfconv {
namespace {

// The fade's fall at value p: straight between its points, the last point held after them.
double fadeAt(const Take &take, uint64_t p)
{
  const std::vector<int> &f = take.fadeCentibels;
  const uint64_t i = p / take.fadeStep;
  if (i + 1 >= f.size()) return f.back();
  const double x = double(p - i * take.fadeStep) / take.fadeStep;
  return f[i] + (f[i + 1] - f[i]) * x;
}

void applyFade(TakeData &data, const Take &take)
{
  const std::vector<int16_t> base = std::move(data.values);
  const uint64_t n = base.size();
  const uint64_t loop = data.loopStart > 0 ? uint64_t(data.loopStart - 1) : n;
  const bool looped = loop < n;
  uint64_t silentAt = UINT64_MAX;
  for (size_t i = 0; i < take.fadeCentibels.size() && silentAt == UINT64_MAX; ++i)
    if (take.fadeCentibels[i] >= kFadeSilentCentibels) silentAt = std::max<uint64_t>(i * take.fadeStep, 1);
  uint64_t length = std::min(n, silentAt);
  data.loopStart = 0;
  if (looped && silentAt == UINT64_MAX) {
    // Played out through the fade, then one turn of the loop at the fade's last level.
    const uint64_t from = std::max<uint64_t>(uint64_t(take.fadeStep) * (take.fadeCentibels.size() - 1), loop);
    length = from + (n - loop);
    data.loopStart = int32_t(from + 1);
  } else if (looped) {
    length = silentAt;
  }
  data.values.resize(length);
  for (uint64_t p = 0; p < length; ++p) {
    const int16_t v = p < n ? base[p] : base[loop + (p - n) % (n - loop)];
    const double faded = std::round(v * std::pow(10.0, -fadeAt(take, p) / 200.0));
    data.values[p] = int16_t(std::clamp(faded, -32768.0, 32767.0));
  }
}

} // namespace

TakeData renderTake(const sf2::SoundFont &sf, const Take &take)
{
  TakeData out;
  out.rate = take.rate;
  const auto &data = sf.sampleData;
  uint32_t stop = take.looped ? take.loopEnd : take.end;
  bool valid = take.sample >= 0 && take.start < stop && stop <= data.size();
  if (!valid) {
    out.values.assign(1, 0); // the silent sample: one value, no loop
    return out;
  }
  bool mixed = take.partner >= 0 && take.partnerStart <= take.partnerEnd && take.partnerEnd <= data.size();
  double gain = std::pow(10.0, -take.cutCentibels / 200.0);
  out.values.resize(stop - take.start);
  for (uint32_t i = 0; i < out.values.size(); ++i) {
    double v = data[take.start + i];
    // A stereo pair becomes its mid signal; a shorter partner leaves the rest to the main half.
    if (mixed && take.partnerStart + i < take.partnerEnd)
      v = (v + (take.partnerInverted ? -1.0 : 1.0) * data[take.partnerStart + i]) * 0.5;
    v = std::round(v * gain);
    out.values[i] = int16_t(std::clamp(v, -32768.0, 32767.0));
  }
  out.loopStart = take.looped ? int32_t(take.loopStart - take.start + 1) : 0;
  if (take.fadeStep > 0 && !take.fadeCentibels.empty()) applyFade(out, take);
  return out;
}

const Setting *PlannedChannel::find(int local) const
{
  for (auto it = settings.rbegin(); it != settings.rend(); ++it)
    if (it->local == local) return &*it;
  return nullptr;
}

int LibraryPlan::addTake(const Take &take)
{
  auto [it, added] = takeIndex.emplace(take, int(takes.size()));
  if (added) takes.push_back(take);
  return it->second;
}

} // namespace sfconv
