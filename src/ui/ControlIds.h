#pragma once
// The numbers of the program's templates, controls, commands and strings, as resources/ gives
// them. Constant data.

// Dialog templates and the tray menu.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_TILLSTREAM_DIALOG = 102;
inline constexpr int IDD_OUTPUT_OPTION = 129;
inline constexpr int IDD_INPUT_OPTION = 130;
inline constexpr int IDD_CLIENT_PROPERTY = 135;
inline constexpr int IDD_RS232_PROPERTY = 136;
inline constexpr unsigned IDR_TRAY_POPUP = 132;

// The main window.
inline constexpr int IDC_BUTTON_SELECT_FILE = 1001;
inline constexpr int IDC_LIST_DATA = 1006;
inline constexpr int IDC_PROGRESS = 1007;
inline constexpr int IDC_BUTTON_OUTPUT_OPTION = 1009;
inline constexpr int IDC_EDIT_DATA_FILE = 1019;
inline constexpr int IDC_BUTTON_OUTPUT_START = 1020;
inline constexpr int IDC_BUTTON_OUTPUT_STOP = 1021;
inline constexpr int IDC_BUTTON_INPUT_START = 1028;
inline constexpr int IDC_BUTTON_INPUT_STOP = 1029;
inline constexpr int IDC_BUTTON_INPUT_OPTION = 1032;
inline constexpr int IDC_LIST_OPTION = 1049;
inline constexpr int IDC_BUTTON_MAKE_TILLSTREAM_DATA = 1050;

// The tray menu's commands.
inline constexpr int ID_TRAY_START = 32771;
inline constexpr int ID_TRAY_STOP = 32772;
inline constexpr int ID_TRAY_OPEN = 32773;
inline constexpr int ID_TRAY_EXIT = 32774;
inline constexpr int ID_TRAY_ALWAYS_ON_TOP = 32775;
inline constexpr int ID_TRAY_NORMAL = 32776;

// The About item of the main window's system menu.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
// The tray icon's callback message.
inline constexpr unsigned WM_TRAY_NOTIFICATION = 0x0400 + 0x500;

// The Output Option dialog.
inline constexpr int IDC_CHECK_LOOP = 1015;
inline constexpr int IDC_EDIT_DELAY = 1018;
inline constexpr int IDC_RADIO_TCP_CLIENT = 1046;
inline constexpr int IDC_RADIO_UDP_CLIENT = 1049;
inline constexpr int IDC_RADIO_RS232 = 1043;
inline constexpr int IDC_BUTTON_OUTPUT_OK = 1004;
inline constexpr int IDC_BUTTON_OUTPUT_CANCEL = 1005;
inline constexpr int IDC_STATIC_PAGE_MARKER = 1056;

// The TCP/UDP Client page.
inline constexpr int IDC_IPADDRESS_REMOTE = 1047;
inline constexpr int IDC_EDIT_REMOTE_PORT = 1048;

// The RS-232 page.
inline constexpr int IDC_COMBO_COM_PORT = 1016;
inline constexpr int IDC_COMBO_BAUD_RATE = 1027;
inline constexpr int IDC_COMBO_PARITY = 1028;
inline constexpr int IDC_EDIT_DATA_BITS = 1025;
inline constexpr int IDC_COMBO_STOP_BITS = 1029;

// The Input Option dialog.
inline constexpr int IDC_EDIT_CAPTURE_FOLDER = 1033;
inline constexpr int IDC_BUTTON_BROWSE = 1002;
inline constexpr int IDC_COMBO_INPUT_COM_PORT = 1035;
inline constexpr int IDC_COMBO_INPUT_BAUD_RATE = 1036;
inline constexpr int IDC_COMBO_INPUT_PARITY = 1037;
inline constexpr int IDC_EDIT_INPUT_DATA_BITS = 1038;
inline constexpr int IDC_COMBO_INPUT_STOP_BITS = 1039;
inline constexpr int IDC_BUTTON_INPUT_OK = 1040;
inline constexpr int IDC_BUTTON_INPUT_CANCEL = 1041;

// The About box's OK button.
inline constexpr int IDC_ABOUT_OK = 1;
