#include "platform/dialog_template.h"

#include <atomic>

namespace {
// Constant-initialised, so a registration made while other files are still being initialised
// is never overwritten.
std::atomic<DialogTemplateLookup> g_lookup{nullptr};
}  // namespace

void SetDialogTemplateLookup(DialogTemplateLookup lookup) {
    g_lookup.store(lookup, std::memory_order_release);
}

const DialogTemplate* FindDialogTemplate(int id) {
    const DialogTemplateLookup lookup = g_lookup.load(std::memory_order_acquire);
    return lookup ? lookup(id) : nullptr;
}
