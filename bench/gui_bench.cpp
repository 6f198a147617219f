// The toolkit's idle with nothing to do, and a full repaint of a 1,000-view frame at 200 % zoom.
#include "gui/gui.h"

#include <benchmark/benchmark.h>

using namespace qgui;

namespace {

// 1,000 views on 10 pages of 100: labels, knobs without bitmaps and filled containers, like an editor.
CFrame* makeBusyFrame(double zoom) {
    auto* frame = new CFrame(CRect(0, 0, 745, 595), nullptr);
    frame->setZoom(zoom);
    frame->open(nullptr, PlatformType::kOffscreen);
    int made = 0;
    for (int p = 0; p < 10; ++p) {
        auto* page = new CViewContainer(CRect(0, p * 59, 745, p * 59 + 59));
        page->setBackgroundColor(MakeCColor(30, 30, 40 + p * 10));
        for (int i = 0; i < 99; ++i, ++made) {
            CRect r((i % 33) * 22 + 2, (i / 33) * 19 + 2, (i % 33) * 22 + 22, (i / 33) * 19 + 19);
            if (i % 3 == 0) {
                auto* l = new CTextLabel(r, "12.5", nullptr, kNoFrame);
                page->addView(l);
            } else if (i % 3 == 1) {
                auto* k = new CKnob(r, nullptr, i);
                k->setValue(i / 99.f);
                page->addView(k);
            } else {
                auto* s = new CSlider(r, nullptr, i, 0, 15, nullptr, nullptr);
                s->setValue(0.5f);
                page->addView(s);
            }
        }
        frame->addView(page);
        ++made;
    }
    frame->idle();
    return frame;
}

void BM_IdleNothingDirty(benchmark::State& state) {
    CFrame* frame = makeBusyFrame(2.0);
    for (auto _ : state) frame->idle();
    frame->close();
}
BENCHMARK(BM_IdleNothingDirty);

void BM_FullRepaint1000ViewsZoom200(benchmark::State& state) {
    CFrame* frame = makeBusyFrame(2.0);
    for (auto _ : state) {
        frame->invalid();
        frame->idle();
    }
    frame->close();
}
BENCHMARK(BM_FullRepaint1000ViewsZoom200)->Unit(benchmark::kMillisecond);

}  // namespace
