#include "tools/soundfont/LibraryPlan.h"

#include <algorithm>
#include <cmath>

namespace sfconv {

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
    if (mixed && take.partnerStart + i < take.partnerEnd) v = (v + data[take.partnerStart + i]) * 0.5;
    v = std::round(v * gain);
    out.values[i] = int16_t(std::clamp(v, -32768.0, 32767.0));
  }
  out.loopStart = take.looped ? int32_t(take.loopStart - take.start + 1) : 0;
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
