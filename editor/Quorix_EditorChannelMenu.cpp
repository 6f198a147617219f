// The channel menu of a row's number button: copy, paste and swap through one clipboard that every
// editor of the process shares.
#include "editor/Quorix_Editor.h"

#include "engine/EngineLimits.h"
#include "engine/Quorix.h"
#include "foundation/podoMenu.h"

#include <cstring>

using namespace qgui;

namespace {

// Values of local ids 17..1,805 (index i holds local id 17 + i); "Chan.Link" is index 2.
constexpr int32_t linkIndex = 2;

} // namespace

ChannelClipboard &channelClipboard()
{
    static ChannelClipboard clipboard;
    return clipboard;
}

void Quorix_Editor::copyChannel(int32_t channel)
{
    if (channel < 0 || channel >= channelCount)
        return;
    ChannelClipboard &clip = channelClipboard();
    std::memset(clip.name, 0, sizeof clip.name);
    std::strncpy(clip.name, engine->getChannelName(channel).getNarrow(), sizeof clip.name - 1);
    const int32_t first = channel * engine::kChannelParameterCount + 17;
    for (int32_t i = 0; i < engine::kChannelParameterCount; ++i)
        clip.values[i] = engine->getParameterValue(first + i);
    clip.filled = true;
}

void Quorix_Editor::pasteChannel(int32_t channel)
{
    if (channel < 0 || channel >= channelCount)
        return;
    const ChannelClipboard &clip = channelClipboard();
    engine->setChannelName(channel, podoStr(clip.name));
    const int32_t first = channel * engine::kChannelParameterCount + 17;
    for (int32_t i = 0; i < engine::kChannelParameterCount; ++i)
        if (i != linkIndex)
            engine->setParameterValue(first + i, clip.values[i]);
}

void Quorix_Editor::swapChannel(int32_t channel)
{
    if (channel < 0 || channel >= channelCount)
        return;
    ChannelClipboard &clip = channelClipboard();
    char oldName[sizeof clip.name] = {};
    std::strncpy(oldName, engine->getChannelName(channel).getNarrow(), sizeof oldName - 1);
    engine->setChannelName(channel, podoStr(clip.name));
    std::memcpy(clip.name, oldName, sizeof clip.name);
    const int32_t first = channel * engine::kChannelParameterCount + 17;
    for (int32_t i = 0; i < engine::kChannelParameterCount; ++i) {
        if (i == linkIndex)
            continue;
        const float incoming = clip.values[i];
        clip.values[i] = engine->getParameterValue(first + i);
        engine->setParameterValue(first + i, incoming);
    }
}

bool Quorix_Editor::showChannelMenu(int32_t channel)
{
    if (!frame || !editorOpen || channel < 0 || channel >= channelCount)
        return false;
    const bool filled = channelClipboard().filled;
    podoMenu menu(getWindow());
    menu.addItem(0, 11, podoStr("&Copy Channel"));
    menu.addItem(filled ? 0 : podo::menuGrayed, 12, podoStr("&Paste Channel"));
    menu.addItem(filled ? 0 : podo::menuGrayed, 13, podoStr("S&wap Channel"));
    CRect r;
    scaleRect(r, channelControls[channel][numberButton], 0, 0);
    switch (menu.track(int32_t(r.left), int32_t(r.bottom), false)) {
    case 11:
        copyChannel(channel);
        return false;
    case 12:
        pasteChannel(channel);
        return true;
    case 13:
        swapChannel(channel);
        return true;
    default:
        return false;
    }
}
