// About box 100: the application icon, the name and version, one more line, and "确定".

#include "platform/dialog_template.h"
#include "res/resource.h"

namespace {

using namespace ItemStyle;
using K = ItemKind;

constexpr DialogItem kItems[] = {
    {IDC_STATIC, K::Icon, "", {14, 14, 21, 20}, None},
    {IDC_STATIC, K::Label, "Ravlin，1.0 版", {42, 14, 140, 10}, None},
    {IDC_STATIC, K::Label, "ORVAL 总线设备配置工具", {42, 28, 140, 10}, None},
    {IDOK, K::PushButton, "确定", {132, 48, 50, 14}, Default},
};

}  // namespace

extern const DialogTemplate kAboutTemplate = {
    IDD_ABOUTBOX, DialogKind::Popup, "关于 Ravlin", "MS Shell Dlg", 9, 190, 70, kItems,
};
