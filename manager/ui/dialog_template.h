// Dialog templates: what a dialog is made of before it is shown. A page or dialog names its
// template by number; the dialog layer builds the controls from it in template order (which is
// also the order of the dialog's direct children). Coordinates are dialog units.
#pragma once

#include <cstdint>
#include <vector>

namespace ui {

enum class ControlKind {
    kStatic,    // static text
    kGroupBox,  // group frame
    kButton,    // push button
    kEdit,      // single-line edit
    kDropList,  // drop-down list (no typing)
    kCheckBox,
    kRadio,
    kDatePicker,
    kTimePicker,
    // Four fields, dotted text in and out. Its text is always what NormalizeAddressText makes of
    // it: a blank control (all four fields empty) gives the empty text and setting the empty text
    // blanks it, so a record field that held no address is written back empty rather than as
    // "0.0.0.0". Once any field holds a number, the empty fields read as 0.
    kIpAddress,
    kTab,    // tab control
    kImage,  // static image (bitmap)
};

// Initial state of a control.
enum ControlFlags : uint32_t {
    kNone = 0,
    kHidden = 1u << 0,
    kDisabled = 1u << 1,
    kPassword = 1u << 2,       // edit: shows bullets instead of the text
    kDigitsOnly = 1u << 3,     // edit: accepts only the digits 0 to 9
    kDefaultButton = 1u << 4,  // button: the dialog's default button
    kReadOnly = 1u << 5,       // edit
    kMultiline = 1u << 6,      // edit
    kGroupStart = 1u << 7,     // radio: first of a group
    kCentered = 1u << 8,       // static: text centred in its rectangle
    kUpDown = 1u << 9,         // date picker: up-down arrows instead of a drop-down calendar
};

// The one image resource: the program icon, on the main window and in the About box.
constexpr int kProgramIcon = 128;

struct ControlTemplate {
    int id;  // fixed control id; -1 for controls the program never addresses
    ControlKind kind;
    const wchar_t* label;  // the template's own text (the language table usually replaces it)
    int x, y, cx, cy;      // dialog units
    uint32_t flags = kNone;
    int textLimit = 0;   // edit: maximum characters, 0 for none
    int imageId = 0;     // image: bitmap resource number
    int dropHeight = 0;  // drop-down list: height of the open list (cy is the closed height)
};

struct DialogTemplate {
    int id;                // template number (102, 106, ...)
    const wchar_t* title;  // the template's own title
    int cx, cy;            // size in dialog units
    bool child;            // a page living inside another window (no frame of its own)
    std::vector<ControlTemplate> controls;
};

// The template of a number, or null when the program has none.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace ui
