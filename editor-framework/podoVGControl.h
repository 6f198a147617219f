// One entry of the editor's control registry: a non-owning reference to a control, ordered by the
// control's tag, so that the registry can keep a copy of its entries sorted by tag.
#pragma once

#include <cstdint>

namespace qgui {
class CControl;
}

// Copying an entry copies the pointer; destroying it leaves the control alone (the frame's view tree
// and the editor that made the control own it). An entry without a control counts as tag -1.
class podoVGControl
{
public:
    podoVGControl() = default;
    explicit podoVGControl(qgui::CControl *control) : control(control) {}
    podoVGControl(const podoVGControl &other) : control(other.control) {}
    podoVGControl &operator=(const podoVGControl &other)
    {
        assign(other);
        return *this;
    }
    virtual ~podoVGControl() { control = nullptr; }

    virtual int32_t getTag() const;
    virtual qgui::CControl *getControl() const { return control; }
    virtual void assign(const podoVGControl &other) { control = other.control; }
    virtual bool isEqual(const podoVGControl &other) const { return compare(other) == 0; }
    virtual bool isGreater(const podoVGControl &other) const { return compare(other) == 1; }
    // -1, 0 or 1 as this entry's tag is below, equal to or above the other's.
    virtual int compare(const podoVGControl &other) const;

    // What the sortable array's sort and search use.
    bool operator==(const podoVGControl &other) const { return isEqual(other); }
    bool operator>(const podoVGControl &other) const { return isGreater(other); }

private:
    qgui::CControl *control = nullptr;
};
