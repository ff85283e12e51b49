#include "gui_test_support.h"

#include "app/ravlin_app.h"
#include "test_app.h"

namespace gui_test {

namespace {

// The icon and the other resources the dialogs show.
[[maybe_unused]] const bool g_resources = test_support::RunAtAppStart(&InitRavlinResources);

}  // namespace

}  // namespace gui_test
