#pragma once
// The application's dialog templates, looked up by their IDD_ numbers (res/resource.h). The
// table registers itself with platform/dialog_template.h, so FindDialogTemplate finds them.

#include "platform/dialog_template.h"

// The template with this number, or nullptr.
const DialogTemplate* FindApplicationTemplate(int id);
