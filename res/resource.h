#pragma once
// Numbers of the resources: dialog templates, strings, the icon, and the controls.

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_RAVLIN_DIALOG = 102;
inline constexpr int IDD_TARVO = 129;
inline constexpr int IDD_MIRELL = 130;
inline constexpr int IDD_OSKAN = 131;

// Strings and icon.
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDR_MAINFRAME = 128;

// Commands of every dialog.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Main dialog 102.
inline constexpr int IDC_PORT = 1001;
inline constexpr int IDC_BAUD = 1002;
inline constexpr int IDC_DATA_BITS = 1003;
inline constexpr int IDC_STOP_BITS = 1004;
inline constexpr int IDC_PARITY = 1005;
inline constexpr int IDC_OPEN_CLOSE = 1006;
inline constexpr int IDC_ADDRESS = 1011;
inline constexpr int IDC_WRITE_ADDRESS = 1012;
inline constexpr int IDC_SEARCH = 1016;
inline constexpr int IDC_UNUSED_TEXT = 1027;
inline constexpr int IDC_STATUS_LIST = 1029;
inline constexpr int IDC_AUTO_ASSIGN = 1030;
inline constexpr int IDC_DEVICE_LIST = 1031;
inline constexpr int IDC_LOG = 1035;
inline constexpr int IDC_CLEAR_LOG = 1037;
inline constexpr int IDC_TAB = 1038;
inline constexpr int IDC_MAKER_LINK = 1050;

// TARVO page 129.
inline constexpr int IDC_PRESS_CODES = 1007;
inline constexpr int IDC_RELEASE_CODES = 1008;
inline constexpr int IDC_MODE_SHORT_LONG = 1009;
inline constexpr int IDC_MODE_PRESS_RELEASE = 1010;
inline constexpr int IDC_LONG_PRESS_MS = 1017;
inline constexpr int IDC_DEV_BAUD = 1018;
inline constexpr int IDC_DEV_DATA_BITS = 1019;
inline constexpr int IDC_DEV_STOP_BITS = 1020;
inline constexpr int IDC_DEV_PARITY = 1021;
inline constexpr int IDC_PRESS_GROUP = 1025;
inline constexpr int IDC_RELEASE_GROUP = 1026;
inline constexpr int IDC_PRESS_HEX = 1032;
inline constexpr int IDC_RELEASE_HEX = 1033;
inline constexpr int IDC_LED2 = 1034;
inline constexpr int IDC_LED1 = 1036;

// MIRELL page 130.
inline constexpr int IDC_SEQ_ON = 1030;
inline constexpr int IDC_SEQ_OFF = 1037;
inline constexpr int IDC_SEQ_ENABLE = 1039;
inline constexpr int IDC_SCREEN_PLACE = 1044;
inline constexpr int IDC_LIFTER_PLACE = 1045;
inline constexpr int IDC_SEQ_PLACE = 1046;
inline constexpr int IDC_PROJECTOR_PLACE = 1047;
inline constexpr int IDC_SCREEN_STOP = 1048;
inline constexpr int IDC_LIFTER_STOP = 1049;

// OSKAN page 131.
inline constexpr int IDC_CHANNEL_PLACE = 1049;
inline constexpr int IDC_FEEDBACK = 1032;
