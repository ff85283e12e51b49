// The table of all dialog templates, looked up by number.

#include "res/dialog_templates.h"

extern const DialogTemplate kAboutTemplate;
extern const DialogTemplate kMainDialogTemplate;
extern const DialogTemplate kTarvoTemplate;
extern const DialogTemplate kMirellTemplate;
extern const DialogTemplate kOskanTemplate;

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate* t : {&kAboutTemplate, &kMainDialogTemplate, &kTarvoTemplate,
                                    &kMirellTemplate, &kOskanTemplate}) {
        if (t->id == id) {
            return t;
        }
    }
    return nullptr;
}
