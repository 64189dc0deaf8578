#pragma once
// The program's string table (resources/strings.json): captions and result texts by ID.
// GUI thread only. An unknown ID gives an empty text, as a missing table entry would.
#include <QString>

inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDS_MAKE_TILLSTREAM_DATA = 102;
inline constexpr int IDS_RESTORE_DATA = 103;
inline constexpr int IDS_MAKE_SUCCESS = 104;
inline constexpr int IDS_MAKE_FAIL = 105;
inline constexpr int IDS_RESTORE_SUCCESS = 106;
inline constexpr int IDS_RESTORE_FAIL = 107;

QString LoadResourceString(int id);
