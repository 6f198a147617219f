// The editor window of one plug-in instance: the editor base joined to a frame of the widget toolkit in
// the host's window. It listens to every control, takes the keys from the host and from the frame, runs
// the queue drain and the timer on each idle, scales the window by a zoom factor limited by the screen,
// loads the skin images and colours, and builds the skinned controls.
#pragma once

#include "editor-framework/podoVSTEditorBase.h"
#include "editor-framework/podoSkin.h"
#include "foundation/davalArrayString.h"
#include "foundation/podoStr.h"
#include "gui/AEffGUIEditor.h"
#include "gui/CControl.h"

namespace qgui {
class CBitmap;
class CSlider;
class CView;
class CViewContainer;
} // namespace qgui

class vgcAnimKnob;
class vgcArea;
class vgcDropdownList;
class vgcFader;
class vgcKickButton;
class vgcLvMeter;
class vgcMovieBitmap;
class vgcMultiFaderComponent;
class vgcOnOffButton;
class vgcOnOffSwitch;
class vgcPlayKeyboard;
class vgcPlayOnOffButton;
class vgcTextEdit;
class vgcTextLabel;

// The toolkit's editor binding that attaches itself to the effect it is made for: the effect's editor
// pointer and its effFlagsHasEditor flag.
class AEffGUIEditor2 : public qgui::AEffGUIEditor
{
public:
    explicit AEffGUIEditor2(AudioEffect *effect);
};

// The editor rectangle is the zoomed size of the window: 745 × 595 × the zoom factor. The frame exists
// exactly between a successful open and close; the base's window gate follows it.
class podoVSTEditor : public podoVSTEditorBase,
                      public AEffGUIEditor2,
                      public qgui::IControlListener,
                      public qgui::IKeyboardHook
{
public:
    explicit podoVSTEditor(AudioEffect *effect);
    ~podoVSTEditor() override;

    using podoVSTEditorBase::beginEdit;
    using podoVSTEditorBase::endEdit;
    using podoVSTEditorBase::onKeyDown;
    using podoVSTEditorBase::onKeyUp;

    // The host's editor opcodes.
    bool open(void *parentWindow) override;
    void close() override;
    bool isOpen() override;
    // The host's idle: onIdle (by default the queue drain), the frame's idle, then onTimer with the
    // seconds of audio processed since the previous idle. The base's drain and the host's idle share one
    // name and signature, so this overrides both: a concrete editor puts its per-idle work in onIdle, or
    // overrides idle and calls podoVSTEditor::idle() from it (never podoVSTEditorBase::idle() alone,
    // which would skip the frame's idle and the timer).
    void idle() override;
    virtual void onIdle() { podoVSTEditorBase::idle(); }
    bool onKeyDown(VstKeyCode &key) override;
    bool onKeyUp(VstKeyCode &key) override;
    // The host's wheel request is not taken: the frame's window gets the wheel itself.
    bool onWheel(float) override { return false; }
    // The host's parameter change for the editor: every control with that tag shows it.
    void setParameter(int32_t tag, float value) override;
    // The toolkit's edits of a control count in the base; nothing reaches the host from here.
    void beginEdit(int32_t) override { podoVSTEditorBase::beginEdit(); }
    void endEdit(int32_t) override { podoVSTEditorBase::endEdit(); }

    // Every control's change: preValueChanged, the control signal taken off, the host procedure.
    void valueChanged(qgui::CControl *control) override;
    // The frame's keyboard hook: 1 handled, -1 not (also while a text field is being edited).
    int32_t onKeyDown(const VstKeyCode &code, qgui::CFrame *frame) override;
    int32_t onKeyUp(const VstKeyCode &code, qgui::CFrame *frame) override;

    // Called by the engine when the host suspends or resumes the instance.
    virtual void suspendView();
    virtual void resumeView();

    void updateRect() override;
    bool sizeHostWindow() override;

    // Zoom in percent. Without a frame the default is 100 and the maximum 300.
    virtual int32_t getDefaultZoom();
    virtual int32_t getMaxZoom();
    // Width and height below 1 mean 745 and 595; percent 1 or less the default zoom; the result is the
    // editor rectangle's new bottom.
    virtual int32_t setZoom(int32_t percent, int32_t width, int32_t height);
    // The view's rectangle moved by the editor rectangle's corner and (dx, dy), in zoomed window pixels.
    virtual void scaleRect(qgui::CRect &out, qgui::CView *view, int32_t dx, int32_t dy);
    // The pointer in unzoomed frame coordinates.
    virtual void getMousePosition(qgui::CPoint &point);

    // Skins (see podoSkin.h for the files and records).
    virtual bool loadImageList();
    virtual davalArrayString &listSkins();
    virtual void setSkin(const podoStr &skinName, int32_t percent);
    virtual bool loadSkin(const podoStr &skinName, int32_t percent);
    virtual void updateControlBitmaps(int32_t percent);
    // Position of a bitmap in a record (null: the record in use), -1 when absent.
    virtual int32_t imageIndex(qgui::CBitmap *bitmap, SkinRecord *record);
    // Bitmap by image name, also kept in currentImage and currentImageRect; null when not found.
    virtual qgui::CBitmap *findImage(const char *name);
    // A null name clears the background (and answers false).
    virtual bool setControlImage(qgui::CControl *control, const char *name);
    virtual bool setHandleImage(qgui::CSlider *slider, const podoStr &name);
    virtual bool releaseBitmap(qgui::CBitmap *bitmap);
    virtual bool releaseImage(const char *name);
    virtual void freeImages(SkinRecord *record);
    virtual void freeSkin();
    virtual void imagePath(podoStr &out, const podoStr &skinName, const char *name);
    // The file to load for an image at a zoom and the zoom (percent) its variant is drawn for; below
    // 100 when no variant exists (out then names the plain file).
    virtual int32_t findImageFile(podoStr *out, const podoStr &skinName, const char *name, int32_t percent);
    virtual bool loadImages(const podoStr &skinName, int32_t percent);
    // The ten colours of a colour file into the record in use; false (colours kept) when it cannot be read.
    virtual bool loadColors(const podoStr &path);
    virtual bool loadSkinColors();

    // Control factories: positions and sizes in unzoomed pixels; image sizes are the bitmaps' logical
    // sizes. Every control but the containers is registered in creation order with this editor as its
    // listener; the caller adds the controls to its pages and owns them.
    virtual qgui::CViewContainer *addContainer(int32_t x, int32_t y, const char *image);
    virtual qgui::CViewContainer *addImageContainer(int32_t x, int32_t y, int32_t width, int32_t height,
                                                    const char *image);
    virtual qgui::CViewContainer *addBitmapContainer(int32_t x, int32_t y, int32_t width, int32_t height,
                                                     qgui::CBitmap *bitmap);
    virtual vgcArea *addArea(int32_t x, int32_t y, int32_t width, int32_t height, int32_t tag, qgui::CColor colour);
    virtual vgcTextLabel *addTextLabel(int32_t x, int32_t y, int32_t width, int32_t height, const char *image,
                                       int32_t tag);
    virtual vgcTextEdit *addTextEdit(int32_t x, int32_t y, int32_t width, int32_t height, const char *image,
                                     int32_t tag, uint8_t returnOnly);
    virtual vgcMovieBitmap *addMovieBitmap(int32_t x, int32_t y, const char *image, int32_t tag, int32_t frames);
    virtual vgcKickButton *addKickButton(int32_t x, int32_t y, const char *image, int32_t tag);
    virtual vgcOnOffButton *addOnOffButton(int32_t x, int32_t y, const char *image, int32_t tag);
    virtual vgcOnOffSwitch *addOnOffSwitch(int32_t x, int32_t y, const char *image, int32_t tag);
    virtual vgcPlayKeyboard *addPlayKeyboard(int32_t x, int32_t y, const char *image, int32_t tag);
    virtual vgcPlayOnOffButton *addPlayOnOffButton(int32_t x, int32_t y, const char *image, int32_t tag);
    virtual vgcDropdownList *addDropdownList(int32_t x, int32_t y, int32_t width, int32_t height, const char *image,
                                             int32_t tag);
    virtual vgcAnimKnob *addAnimKnob(int32_t x, int32_t y, const char *image, int32_t tag, int32_t frames);
    virtual vgcLvMeter *addLevelMeter(int32_t x, int32_t y, const char *image, int32_t tag);
    virtual vgcLvMeter *addLevelMeter2(int32_t x, int32_t y, const char *image, int32_t tag);
    virtual vgcFader *addHorizontalFader(int32_t x, int32_t y, const char *background, const char *handle,
                                         int32_t tag, int32_t frames);
    virtual vgcFader *addVerticalFader(int32_t x, int32_t y, const char *background, const char *handle,
                                       int32_t tag, int32_t frames);
    virtual vgcMultiFaderComponent *addMultiFader(int32_t x, int32_t y, int32_t width, int32_t height,
                                                  const char *image, int32_t tag);

    // Reading the current state.
    qgui::CFrame *getFrame() const override { return frame; }
    SkinRecord *getSkin() const { return skin; }
    double getZoomFactor() const { return zoomFactor; }
    int32_t getZoomPercent() const { return zoomPercent; }
    const podoStr &getSkinsRoot() const { return skinsRoot; }
    void setSkinsRoot(const podoStr &root) { skinsRoot = root; }
    qgui::CBitmap *getCurrentImage() const { return currentImage; }
    const qgui::CRect &getCurrentImageRect() const { return currentImageRect; }

protected:
    // Both the host's and the frame's keys: not handled while a text field of the frame is being edited.
    bool handleKey(const VstKeyCode &key, bool down);
    // The registered control's rectangle from the image found last: its size with one side divided, at (x, y).
    const qgui::CRect &imageRect(int32_t x, int32_t y, double widthDivisor, double heightDivisor);
    // New controls take the colours of the record in use.
    void publishSkinColors();
    AudioEffect *getEffect() const { return podoVSTEditorBase::effect; }

    podoStr skinsRoot;          // ends with a separator; set by the owner
    SkinRecord *skin;           // the record in use
    SkinRecord *lastSkin;       // the record whose bitmaps the controls were given last
    double zoomFactor = 1.0;
    int32_t zoomPercent = 100;  // 1 or less: the system's default
    qgui::CBitmap *currentImage = nullptr;
    qgui::CRect currentImageRect;
    qgui::CRect workRect;
};
