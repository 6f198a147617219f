#include "editor-framework/podoVSTEditor.h"

#include "editor-framework/controls/vgcTextLabel.h"
#include "foundation/podoLog.h"
#include "foundation/podoWnd.h"
#include "gui/CFrame.h"
#include "gui/guiServices.h"
#include "host/podoVST.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace qgui;

namespace {

constexpr int32_t editorWidth = 745;
constexpr int32_t editorHeight = 595;

// The toolkit's debugger lines go where the foundation sends its own.
void toFoundationDebugOutput(const char *line)
{
    podo::debugOutput(podoStr(line).getWide());
}

// The editor rectangle holds 16-bit coordinates.
int16_t edge(int32_t origin, double length) { return int16_t(std::clamp<double>(origin + std::trunc(length), 0, 32767)); }

uint64_t floatBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

AEffGUIEditor2::AEffGUIEditor2(AudioEffect *effect) : qgui::AEffGUIEditor(effect)
{
    if (effect)
        effect->setEditor(this);
}

podoVSTEditor::podoVSTEditor(AudioEffect *effect)
    : podoVSTEditorBase(effect), AEffGUIEditor2(effect), skin(&sharedSkin), lastSkin(&sharedSkin)
{
    rect = ERect{0, 0, int16_t(editorHeight), int16_t(editorWidth)};
    qgui::setDebugOutput(toFoundationDebugOutput);
    podoSyncCriticalBlock block(&processLock());
    if (podoVST::getInstanceCount() <= 1) {
        freeImages(&sharedSkin);
        sharedSkin.name = "Default";
        sharedSkin.zoom = 0;
    }
}

podoVSTEditor::~podoVSTEditor()
{
    close();
    freeSkin();
    AudioEffect *owner = getEffect();
    if (owner && owner->getEditor() == static_cast<AEffEditor *>(this))
        owner->setEditor(nullptr);
}

void podoVSTEditor::updateRect()
{
    rect.right = int16_t(rect.left + width);
    rect.bottom = int16_t(rect.top + height);
}

namespace {

// The host's window as the editor's menus see it: they are drawn at the editor's zoom.
class EditorWindow : public podoWnd
{
public:
    EditorWindow(void *handle, const podoVSTEditor *editor) : podoWnd(handle), editor(editor) {}
    float contentScale() const override { return float(editor->getZoomFactor()); }

private:
    const podoVSTEditor *editor;
};

} // namespace

bool podoVSTEditor::open(void *parentWindow)
{
    systemWindow = parentWindow;
    if (frame) {
        podo::logMessage(4, true, "VST:ed:duplicate frame.");
        return false;
    }
    updateRect();
    frame = new CFrame(CRect(rect.left, rect.top, rect.right, rect.bottom), this);
    frame->registerKeyboardHook(this);
    frame->open(parentWindow);
    setWindow(new EditorWindow(frame->getSystemWindow(), this));
    if (onOpen(parentWindow))
        return true;
    podo::logMessage(4, true, "VST:ed:failed to open editor.");
    // Taken down again, so that a later open does not find a frame and fail for good.
    close();
    return false;
}

void podoVSTEditor::close()
{
    if (frame) {
        frame->setFocusView(nullptr);
        frame->unregisterKeyboardHook(this);
    }
    onClose();
    if (frame) {
        CFrame *old = frame;
        frame = nullptr;
        old->close();
    }
    podoWnd *wrapper = getWindow();
    setWindow(nullptr);
    delete wrapper;
    systemWindow = nullptr;
}

bool podoVSTEditor::isOpen() { return getWindow() != nullptr; }

void podoVSTEditor::idle()
{
    if (frame)
        onIdle();
    if (frame && !isInIdleStuff())
        frame->idle();
    auto *instance = dynamic_cast<podoVST *>(getEffect());
    if (instance)
        instance->onEditorIdle();
    const float t = instance ? instance->getRunningTime() : lastIdleTime + 0.033f;
    if (frame)
        onTimer(t - lastIdleTime);
    lastIdleTime = t;
}

bool podoVSTEditor::handleKey(const VstKeyCode &key, bool down)
{
    if (frame && frame->getFocusView()) {
        uint32_t size = 0;
        if (frame->getAttributeSize(kTextEntryFlagAttribute, size) && size >= 1 && size <= 4) {
            uint8_t bytes[4] = {0, 0, 0, 0};
            uint32_t got = 0;
            frame->getAttribute(kTextEntryFlagAttribute, sizeof bytes, bytes, got);
            if (bytes[0] | bytes[1] | bytes[2] | bytes[3])
                return false;
        }
    }
    const bool shift = key.modifier & MODIFIER_SHIFT, alternate = key.modifier & MODIFIER_ALTERNATE;
    const bool command = key.modifier & MODIFIER_COMMAND, control = key.modifier & MODIFIER_CONTROL;
    podoVSTEditorBase *hooks = this;
    return down ? hooks->onKeyDown(key, shift, alternate, command, control)
                : hooks->onKeyUp(key, shift, alternate, command, control);
}

bool podoVSTEditor::onKeyDown(VstKeyCode &key) { return handleKey(key, true); }
bool podoVSTEditor::onKeyUp(VstKeyCode &key) { return handleKey(key, false); }
int32_t podoVSTEditor::onKeyDown(const VstKeyCode &code, CFrame *) { return handleKey(code, true) ? 1 : -1; }
int32_t podoVSTEditor::onKeyUp(const VstKeyCode &code, CFrame *) { return handleKey(code, false) ? 1 : -1; }

void podoVSTEditor::setParameter(int32_t tag, float value) { podoVSTEditorBase::setParameter(tag, value); }

void podoVSTEditor::valueChanged(CControl *control)
{
    int32_t tag = control->getTag();
    float value = control->getValue();
    const float kept = value;
    preValueChanged(control, tag, value);
    // Take the event signal off; below 5 (the right-button signal included) the value passes as it is.
    if (value >= 11.0f)
        value -= 11.0f;
    else if (value >= 9.0f)
        value -= 9.0f;
    else if (value >= 7.0f)
        value -= 7.0f;
    else if (value >= 5.0f)
        value -= 5.0f;
    if (value != kept)
        control->setValue(value);
    if (auto *instance = dynamic_cast<podoVST *>(getEffect()))
        instance->callHostProcedure(tag, int64_t(floatBits(value)), 0);
}

void podoVSTEditor::suspendView()
{
    if (frame) {
        frame->setFocusView(nullptr);
        frame->setDirty();
    }
    onSuspend();
}

void podoVSTEditor::resumeView()
{
    if (frame) {
        frame->setFocusView(nullptr);
        frame->setDirty();
    }
    onResume();
}

int32_t podoVSTEditor::getDefaultZoom()
{
    if (!frame)
        return 100;
    const float dpi = float(frame->getScreenDPI());
    return int32_t(dpi * 1.0416666f + 0.5f);
}

int32_t podoVSTEditor::getMaxZoom()
{
    if (!frame)
        return 300;
    CRect monitor;
    if (!frame->getMonitorRect(monitor) || monitor.isEmpty())
        return 300;
    const double w0 = std::ceil((rect.right - rect.left) / zoomFactor);
    const double h0 = std::ceil((rect.bottom - rect.top) / zoomFactor);
    if (!(w0 > 0) || !(h0 > 0))
        return 300;
    const double fit = std::min(monitor.getHeight() / h0, monitor.getWidth() / w0);
    return std::max(100, int32_t(fit * 100 + 0.5));
}

int32_t podoVSTEditor::setZoom(int32_t percent, int32_t w, int32_t h)
{
    if (w < 1)
        w = editorWidth;
    if (h < 1)
        h = editorHeight;
    rect.right = edge(rect.left, w * zoomFactor);
    rect.bottom = edge(rect.top, h * zoomFactor);
    if (percent <= 1)
        percent = getDefaultZoom();
    const int32_t most = getMaxZoom();
    if (percent >= most)
        percent = most;
    zoomFactor = percent * 0.01;
    if (frame)
        frame->setZoom(zoomFactor);
    rect.right = edge(rect.left, w * zoomFactor);
    rect.bottom = edge(rect.top, h * zoomFactor);
    return rect.bottom;
}

void podoVSTEditor::scaleRect(CRect &out, CView *view, int32_t dx, int32_t dy)
{
    out = view ? view->getViewSize() : CRect();
    out.offset(rect.left + dx, rect.top + dy);
    out.scale(zoomFactor);
}

// The toolkit gives the pointer in unzoomed frame coordinates already.
void podoVSTEditor::getMousePosition(CPoint &point)
{
    point = CPoint();
    if (frame)
        frame->getCurrentMouseLocation(point);
}

bool podoVSTEditor::sizeHostWindow()
{
    auto *fx = dynamic_cast<AudioEffectX *>(getEffect());
    podoWnd *wrapper = getWindow();
    if (!fx || !wrapper)
        return false;
    AEffEditor *owner = fx->getEditor();
    ERect *r = nullptr;
    if (!owner || !owner->getRect(&r) || !r)
        return false;
    const int32_t w = r->right - r->left, h = r->bottom - r->top;
    if (w == hostWidth && h == hostHeight)
        return false;
    hostWidth = w;
    hostHeight = h;
    wrapper->resize(w, h);
    return fx->sizeWindow(w, h);
}
