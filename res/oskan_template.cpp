// OSKAN page 131: the frame of the eight channel switches and the feedback check box. The
// hidden "Static" gives the size of one switch and where the row starts.

#include "platform/dialog_template.h"
#include "res/resource.h"

namespace {

using namespace ItemStyle;
using K = ItemKind;

constexpr DialogItem kItems[] = {
    {IDC_STATIC, K::GroupBox, "控制", {12, 22, 407, 110}, None},
    {IDC_CHANNEL_PLACE, K::Label, "Static", {21, 44, 33, 60}, Hidden},
    {IDC_FEEDBACK, K::CheckBox, "开启反馈", {23, 149, 48, 10}, None},
};

}  // namespace

extern const DialogTemplate kOskanTemplate = {
    IDD_OSKAN, DialogKind::Child, "", "MS Shell Dlg", 8, 444, 200, kItems,
};
