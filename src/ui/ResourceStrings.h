#pragma once
// The program's string table (resources/strings.json): captions and result texts by ID.
// Any thread may call it. An unknown ID gives an empty text, as a missing table entry would.
#include <string>

#include "datafile/ConversionTexts.h"  // numbers 102 to 107, shared with the command line

inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDS_MAKE_SUCCESS = IDS_SUCCESS_MAKE_TILLSTREAM_DATA;
inline constexpr int IDS_MAKE_FAIL = IDS_FAIL_MAKE_TILLSTREAM_DATA;
inline constexpr int IDS_RESTORE_SUCCESS = IDS_SUCCESS_RESTORE_DATA;
inline constexpr int IDS_RESTORE_FAIL = IDS_FAIL_RESTORE_DATA;

std::string LoadResourceString(int id);
