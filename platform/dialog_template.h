#pragma once
// The schema of dialog templates as data: each item has a control number, a kind, a text, a
// rectangle in dialog units and a style. The tables themselves live with the application's
// resources, which hand them to CDialog; one builder (platform/qt_dialog_builder.h) turns a
// template into widgets, and nothing else reads them.

#include <cstdint>
#include <span>

// Control number of items that are never addressed (group boxes, labels, frames).
inline constexpr int IDC_STATIC = -1;

enum class ItemKind : std::uint8_t {
    PushButton,
    GroupBox,
    Label,      // static text
    GrayFrame,  // static drawn as a grey frame (a line when one unit thin)
    Icon,       // static showing the application icon
    ComboList,  // drop-down list (no edit field)
    ListBox,
    Edit,         // single line, or multi-line with ItemStyle::Multiline
    RadioButton,  // auto radio button
    CheckBox,     // auto check box
    TabControl,
    Link,  // link control: text of the link, opens an address
};

// Style bits of an item. Items are visible and enabled unless Hidden or Disabled is set.
namespace ItemStyle {
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t Hidden = 1u << 0;
inline constexpr std::uint32_t Disabled = 1u << 1;
inline constexpr std::uint32_t Default = 1u << 2;      // default push button
inline constexpr std::uint32_t Sorted = 1u << 3;       // list keeps its entries sorted
inline constexpr std::uint32_t Notify = 1u << 4;       // list box reports selection and clicks
inline constexpr std::uint32_t Multiline = 1u << 5;    // edit
inline constexpr std::uint32_t ReadOnly = 1u << 6;     // edit
inline constexpr std::uint32_t VScroll = 1u << 7;      // vertical scroll bar, always shown
inline constexpr std::uint32_t Border = 1u << 8;       // edit with a border
inline constexpr std::uint32_t Number = 1u << 9;       // edit accepts digits only
inline constexpr std::uint32_t WantReturn = 1u << 10;  // Enter inserts a line break
inline constexpr std::uint32_t WordWrap = 1u << 11;    // multi-line edit wraps at its width
}  // namespace ItemStyle

struct DialogRect {
    int x, y, cx, cy;  // dialog units
};

struct DialogItem {
    int id;
    ItemKind kind;
    const char* text;  // UTF-8, never null ("" for none)
    DialogRect rect;
    std::uint32_t style;
    // Name for screen readers when the item has no text and neither a label before it nor a
    // group box around it gives one; usually null.
    const char* accessibleName = nullptr;
};

enum class DialogKind : std::uint8_t {
    Popup,  // top-level window with caption, close command and fixed frame
    Child,  // child dialog without caption or border, embedded in another window
};

struct DialogTemplate {
    int id;
    DialogKind kind;
    const char* caption;  // UTF-8; "" for child dialogs
    const char* fontName;
    int pointSize;
    int cx, cy;  // dialog units
    std::span<const DialogItem> items;

    const DialogItem* Find(int itemId) const {
        for (const DialogItem& item : items) {
            if (item.id == itemId) {
                return &item;
            }
        }
        return nullptr;
    }
};

// Where templates are found by their number. The application's resources register their table
// before main runs (res/dialog_templates.cpp); without it nothing is found.
using DialogTemplateLookup = const DialogTemplate* (*)(int id);
void SetDialogTemplateLookup(DialogTemplateLookup lookup);
// The registered template with this number, or nullptr.
const DialogTemplate* FindDialogTemplate(int id);
