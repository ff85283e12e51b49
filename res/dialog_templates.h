#pragma once
// The application's dialog templates, looked up by their IDD_ numbers (res/resource.h).

#include "platform/dialog_template.h"

// The template with this number, or nullptr.
const DialogTemplate* FindDialogTemplate(int id);
