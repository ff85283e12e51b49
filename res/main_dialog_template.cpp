// Main dialog 102: the local serial-port panel top left, the address group and device list
// beside it, the status list and the received-bytes log top right, the device tab control
// below them, and the maker link with "写入"/"退出" along the bottom.

#include "platform/dialog_template.h"
#include "res/resource.h"

namespace {

using namespace ItemStyle;
using K = ItemKind;

constexpr DialogItem kItems[] = {
    {IDC_STATIC, K::GroupBox, "本机串口", {7, 3, 120, 108}, None},
    {IDC_STATIC, K::Label, "串口：", {14, 17, 34, 9}, None},
    {IDC_PORT, K::ComboList, "", {48, 15, 72, 60}, Sorted},
    {IDC_STATIC, K::Label, "波特率：", {14, 32, 34, 9}, None},
    {IDC_BAUD, K::ComboList, "", {48, 30, 72, 80}, None},
    {IDC_STATIC, K::Label, "数据位：", {14, 47, 34, 9}, None},
    {IDC_DATA_BITS, K::ComboList, "", {48, 45, 72, 60}, None},
    {IDC_STATIC, K::Label, "停止位：", {14, 62, 34, 9}, None},
    {IDC_STOP_BITS, K::ComboList, "", {48, 60, 72, 60}, None},
    {IDC_STATIC, K::Label, "校验：", {14, 77, 34, 9}, None},
    {IDC_PARITY, K::ComboList, "", {48, 75, 72, 60}, None},
    {IDC_OPEN_CLOSE, K::PushButton, "打开串口", {48, 91, 72, 14}, None},

    {IDC_STATIC, K::GroupBox, "设备地址分配", {133, 3, 100, 44}, None},
    {IDC_ADDRESS, K::ComboList, "", {140, 15, 86, 100}, None},
    {IDC_WRITE_ADDRESS, K::PushButton, "写入", {140, 30, 86, 14}, Hidden | Disabled},
    {IDC_AUTO_ASSIGN, K::PushButton, "自动分配", {140, 30, 86, 14}, Disabled},

    {IDC_STATIC, K::GroupBox, "设备列表", {133, 50, 100, 61}, None},
    {IDC_DEVICE_LIST, K::ListBox, "", {140, 62, 44, 45}, Notify | VScroll},
    {IDC_SEARCH, K::PushButton, "搜索设备", {188, 62, 38, 14}, Disabled},

    {IDC_STATUS_LIST, K::ListBox, "", {239, 8, 110, 103}, Notify | VScroll, "状态"},

    {IDC_STATIC, K::GroupBox, "信息接收", {355, 3, 137, 108}, None},
    {IDC_LOG, K::Edit, "", {362, 15, 123, 74}, Multiline | ReadOnly | VScroll | WordWrap | Border},
    {IDC_CLEAR_LOG, K::PushButton, "清空", {435, 92, 50, 14}, None},

    {IDC_TAB, K::TabControl, "", {7, 115, 485, 193}, None, "设备页面"},

    {IDC_MAKER_LINK, K::Link, "Quillmere Systems", {7, 312, 120, 10}, None},
    {IDC_UNUSED_TEXT, K::Label, "", {133, 312, 100, 10}, None},
    {IDOK, K::PushButton, "写入", {388, 310, 50, 14}, Default | Disabled},
    {IDCANCEL, K::PushButton, "退出", {442, 310, 50, 14}, None},
};

}  // namespace

extern const DialogTemplate kMainDialogTemplate = {
    IDD_RAVLIN_DIALOG,
    DialogKind::Popup,
    "Quillmere ORVAL设备配置 V1.2",
    "MS Shell Dlg",
    9,
    499,
    326,
    kItems,
};
