// MIRELL page 130: SCREEN, LIFTER, PROJECTOR and SEQ.SW from left to right. The hidden
// "Static" items mark where the page puts its switches.

#include "platform/dialog_template.h"
#include "res/resource.h"

namespace {

using namespace ItemStyle;
using K = ItemKind;

constexpr DialogItem kItems[] = {
    {IDC_SEQ_ON, K::PushButton, "开时序", {391, 65, 60, 17}, Hidden},
    {IDC_SEQ_OFF, K::PushButton, "关时序", {390, 92, 60, 17}, Hidden},
    {IDC_SEQ_ENABLE, K::PushButton, "启用时序开关", {281, 126, 57, 17}, None},
    {IDC_STATIC, K::GroupBox, "", {58, 29, 66, 95}, None},
    {IDC_STATIC, K::Label, "SCREEN", {78, 109, 27, 8}, None},
    {IDC_STATIC, K::GrayFrame, "", {68, 107, 42, 1}, None},
    {IDC_SCREEN_PLACE, K::Label, "Static", {65, 42, 45, 61}, Hidden},
    {IDC_STATIC, K::GroupBox, "", {129, 29, 66, 95}, None},
    {IDC_STATIC, K::Label, "LIFTER", {150, 111, 24, 8}, None},
    {IDC_STATIC, K::GrayFrame, "", {139, 109, 42, 1}, None},
    {IDC_LIFTER_PLACE, K::Label, "Static", {137, 41, 45, 61}, Hidden},
    {IDC_STATIC, K::GroupBox, "", {277, 29, 66, 95}, None},
    {IDC_SEQ_PLACE, K::Label, "Static", {284, 42, 45, 61}, Hidden},
    {IDC_STATIC, K::GroupBox, "", {203, 29, 66, 95}, None},
    {IDC_STATIC, K::GrayFrame, "", {213, 109, 42, 1}, None},
    {IDC_PROJECTOR_PLACE, K::Label, "Static", {211, 42, 45, 61}, Hidden},
    {IDC_STATIC, K::Label, "PROJECTOR", {216, 111, 41, 8}, None},
    {IDC_STATIC, K::Label, "SEQ.SW", {291, 34, 28, 8}, None},
    {IDC_STATIC, K::GroupBox, "", {51, 20, 302, 140}, None},
    {IDC_STATIC, K::GrayFrame, "", {286, 110, 42, 1}, None},
    {IDC_SCREEN_STOP, K::PushButton, "STOP", {65, 126, 57, 17}, None},
    {IDC_LIFTER_STOP, K::PushButton, "STOP", {135, 126, 57, 17}, None},
};

}  // namespace

extern const DialogTemplate kMirellTemplate = {
    IDD_MIRELL, DialogKind::Child, "", "MS Shell Dlg", 8, 492, 200, kItems,
};
