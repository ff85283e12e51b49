// TARVO page 129: key definition, the device's serial format and the LED tests.

#include "platform/dialog_template.h"
#include "res/resource.h"

namespace {

using namespace ItemStyle;
using K = ItemKind;

constexpr DialogItem kItems[] = {
    {IDC_STATIC, K::GroupBox, "按键功能定义", {14, 9, 304, 177}, None},
    {IDC_STATIC, K::GroupBox, "按键模式", {18, 19, 285, 29}, None},
    {IDC_MODE_PRESS_RELEASE, K::RadioButton, "按下弹起模式", {42, 32, 67, 11}, None},
    {IDC_MODE_SHORT_LONG, K::RadioButton, "长短按模式", {120, 32, 59, 11}, None},
    {IDC_STATIC, K::Label, "长按时间(ms)：", {188, 32, 59, 9}, None},
    {IDC_LONG_PRESS_MS, K::Edit, "", {250, 30, 47, 15}, Number | Border},
    {IDC_PRESS_GROUP, K::GroupBox, "按下功能码", {19, 49, 293, 65}, None},
    {IDC_PRESS_CODES, K::Edit, "", {23, 63, 276, 33}, Multiline | WantReturn | Border | WordWrap},
    {IDC_PRESS_HEX, K::CheckBox, "16进制", {242, 98, 47, 11}, None},
    {IDC_RELEASE_GROUP, K::GroupBox, "弹起功能码", {19, 115, 293, 65}, None},
    {IDC_RELEASE_CODES,
     K::Edit,
     "",
     {23, 125, 276, 33},
     Multiline | WantReturn | Border | WordWrap},
    {IDC_RELEASE_HEX, K::CheckBox, "16进制", {240, 163, 45, 11}, None},
    {IDC_STATIC, K::GroupBox, "设备串口配置", {323, 7, 111, 115}, None},
    {IDC_STATIC, K::Label, "波特率：", {331, 26, 33, 9}, None},
    {IDC_DEV_BAUD, K::ComboList, "", {366, 26, 58, 30}, None},
    {IDC_STATIC, K::Label, "数据位：", {331, 46, 33, 9}, None},
    {IDC_DEV_DATA_BITS, K::ComboList, "", {366, 45, 58, 30}, None},
    {IDC_STATIC, K::Label, "停止位：", {331, 66, 33, 9}, None},
    {IDC_DEV_STOP_BITS, K::ComboList, "", {366, 66, 58, 30}, None},
    {IDC_STATIC, K::Label, "校验：", {331, 87, 26, 9}, None},
    {IDC_DEV_PARITY, K::ComboList, "", {366, 87, 58, 30}, None},
    {IDC_STATIC, K::GroupBox, "LED测试", {326, 137, 110, 49}, None},
    {IDC_STATIC, K::Label, "LED1:", {339, 154, 22, 9}, None},
    {IDC_LED1, K::PushButton, "开", {367, 150, 49, 15}, Disabled},
    {IDC_STATIC, K::Label, "LED2:", {340, 172, 22, 9}, None},
    {IDC_LED2, K::PushButton, "开", {367, 168, 49, 15}, Disabled},
};

}  // namespace

extern const DialogTemplate kTarvoTemplate = {
    IDD_TARVO, DialogKind::Child, "", "MS Shell Dlg", 8, 448, 202, kItems,
};
