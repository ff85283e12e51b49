// The table of all dialog templates, looked up by number.

#include "res/dialog_templates.h"

extern const DialogTemplate kAboutTemplate;
extern const DialogTemplate kMainDialogTemplate;
extern const DialogTemplate kTarvoTemplate;
extern const DialogTemplate kMirellTemplate;
extern const DialogTemplate kOskanTemplate;

namespace {
// Dialogs built by number find the application's templates: registered wherever this table is
// linked in, before main runs.
[[maybe_unused]] const bool g_registered =
    (SetDialogTemplateLookup(&FindApplicationTemplate), true);
}  // namespace

const DialogTemplate* FindApplicationTemplate(int id) {
    for (const DialogTemplate* t : {&kAboutTemplate, &kMainDialogTemplate, &kTarvoTemplate,
                                    &kMirellTemplate, &kOskanTemplate}) {
        if (t->id == id) {
            return t;
        }
    }
    return nullptr;
}
