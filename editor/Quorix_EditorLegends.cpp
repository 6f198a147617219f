// The legends of the pages: where the factory skin prints the name of each control, worked out from
// the controls' own places, so the skin tool and the layout checks read the one layout the pages use.
#include "editor/Quorix_Editor.h"

#include "gui/CViewContainer.h"

#include <algorithm>

using namespace qgui;

namespace {

constexpr CCoord kLegendHeight = 10;
constexpr CCoord kGap = 1;
constexpr CCoord kSideWidth = 44; // a name beside its control when no width is given

} // namespace

void Quorix_Editor::groupTitle(int32_t page, int32_t x, int32_t y, int32_t w, const char *text, int32_t align)
{
    groupTitles.push_back({page, CRect(x, y, x + w, y + kLegendHeight), text, align});
}

std::vector<Quorix_Editor::Legend> Quorix_Editor::legends() const
{
    std::vector<Legend> out;
    for (int32_t page = 0; page < editorPageCount; ++page) {
        const CViewContainer *container = pages[page];
        for (const GroupTitle &title : groupTitles)
            if (title.page == page)
                out.push_back({page, title.box, title.text, title.align, true});
        if (!container)
            continue;
        for (const LegendAnchor &anchor : legendAnchors) {
            if (anchor.text.empty() || !container->isChild(anchor.control))
                continue;
            const CRect r = anchor.control->getViewSize();
            const CCoord w = anchor.width > 0 ? anchor.width : r.getWidth();
            const CCoord cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
            CRect box;
            int32_t align = 0;
            switch (anchor.side) {
            case above: box = CRect(cx - w / 2, r.top - kGap - kLegendHeight, cx + w / 2, r.top - kGap); break;
            case below: box = CRect(cx - w / 2, r.bottom + kGap, cx + w / 2, r.bottom + kGap + kLegendHeight); break;
            case leftOf: {
                const CCoord sw = anchor.width > 0 ? anchor.width : kSideWidth;
                box = CRect(r.left - 2 - sw, cy - kLegendHeight / 2, r.left - 2, cy + kLegendHeight / 2);
                align = 1;
                break;
            }
            case rightOf: {
                const CCoord sw = anchor.width > 0 ? anchor.width : kSideWidth;
                box = CRect(r.right + 2, cy - kLegendHeight / 2, r.right + 2 + sw, cy + kLegendHeight / 2);
                align = -1;
                break;
            }
            }
            box.offset(anchor.dx, anchor.dy);
            out.push_back({page, box, anchor.text, align, false});
        }
    }
    return out;
}

// A control named by another must be seen with it: beside it (a value display, arrow buttons, a meter
// under a name) within a few pixels and centred on it, one's span across holding the other's, or lined
// up with it in a row or column of a table whose first cell carries the name. A control that merely
// overlaps a named one's span, or sits further off, has no name of its own.
bool Quorix_Editor::isNamed(const CView *control) const
{
    constexpr CCoord kBeside = 8, kSlack = 2;
    auto holds = [](CCoord a0, CCoord a1, CCoord b0, CCoord b1) {
        return (a0 <= b0 + kSlack && b1 <= a1 + kSlack) || (b0 <= a0 + kSlack && a1 <= b1 + kSlack);
    };
    for (int32_t depth = 0; control && depth < 32; ++depth) {
        const LegendAnchor *anchor = nullptr;
        for (const LegendAnchor &a : legendAnchors)
            if (a.control == control)
                anchor = &a;
        if (!anchor)
            return false;
        if (!anchor->by)
            return true;
        const CRect r = control->getViewSize(), n = anchor->by->getViewSize();
        const CCoord gapAcross = std::max(r.left - n.right, n.left - r.right);
        const CCoord gapDown = std::max(r.top - n.bottom, n.top - r.bottom);
        const bool besideInRow = gapAcross <= kBeside && holds(r.top, r.bottom, n.top, n.bottom);
        const bool besideInColumn = gapDown <= kBeside && holds(r.left, r.right, n.left, n.right);
        const bool tableRow = r.top == n.top && r.getHeight() == n.getHeight();
        const bool tableColumn = r.left == n.left && r.getWidth() == n.getWidth();
        if (!besideInRow && !besideInColumn && !tableRow && !tableColumn)
            return false;
        control = anchor->by;
    }
    return false;
}
