#pragma once
// The one builder that turns a dialog template into widgets. Rectangles are converted
// from dialog units with the dialog font's metrics: a horizontal unit is a quarter of the
// font's average character width, a vertical unit an eighth of its height. Every numbered
// control carries its number in the dynamic property "controlId" and has an accessible name.

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>
#include <map>

#include "platform/dialog_template.h"

inline constexpr char kControlIdProperty[] = "controlId";

// Gives a control made outside a template (the monitor's, the project window's) what a
// template's controls have: its number, for FindControl, and its accessible name.
template <class W>
W* Numbered(W* widget, int id, const QString& accessibleName) {
    widget->setProperty(kControlIdProperty, id);
    widget->setAccessibleName(accessibleName);
    return widget;
}

// The font a template names, at its point size. "MS Shell Dlg" becomes a sans-serif face that
// has the CJK glyphs.
QFont DialogFont(const char* fontName, int pointSize);

struct DialogUnits {
    int baseX = 0;  // average character width in pixels
    int baseY = 0;  // character height in pixels

    static DialogUnits Of(const QFont& font);

    int X(int du) const { return (du * baseX + 2) / 4; }
    int Y(int du) const { return (du * baseY + 4) / 8; }
    QRect Map(const DialogRect& r) const { return QRect(X(r.x), Y(r.y), X(r.cx), Y(r.cy)); }
};

// Creates the items of `t` as children of `dialog`, in template order, and sets the dialog's
// font and size (and, for a popup, its caption). Each widget keeps its place in the template in
// the property "templateIndex". Returns the numbered controls by number.
std::map<int, QWidget*> BuildDialogTemplate(QWidget* dialog, const DialogTemplate& t);

// The control numbered `id` among the controls of `dialog` itself (not those of its pages),
// or nullptr.
QWidget* FindControl(const QWidget* dialog, int id);

// The accessible name an item gets: its own text, else the label just before it in the
// template, else the innermost group box around it; "&" marks and a closing colon removed.
QString AccessibleNameOf(const DialogTemplate& t, std::size_t index);
