#pragma once
// QtLinkLabel: the link control of a dialog template, a label showing one hyperlink. Screen
// readers get it as a link (a plain QLabel is announced as text even when it shows a link), with
// the label's accessible name and a "press" action that follows the link as a click does.

#include <QLabel>

class QtLinkLabel : public QLabel {
    Q_OBJECT

public:
    // The label shows `text` as a link; activating it emits linkActivated.
    QtLinkLabel(const QString& text, QWidget* parent);

    // Follows the link as a click or Enter on it does.
    void Activate();
};
