#pragma once
// Makes a list box keep its selection as a native single-selection list box does: a click or
// Space with Ctrl on the selected line leaves it selected (the list's own handling would
// deselect it, and the user could not empty the selection otherwise).

class QListWidget;

void KeepSingleSelection(QListWidget* list);
