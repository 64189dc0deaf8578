#pragma once
// The captions of the conversion button and the result messages of conversion and restore, with
// their string table numbers. The window and the command line both show these texts.
// Constant data: any thread may read it; ConversionText() cannot fail (nullptr for an unknown id).

inline constexpr int IDS_MAKE_TILLSTREAM_DATA = 102;
inline constexpr int IDS_RESTORE_DATA = 103;
inline constexpr int IDS_SUCCESS_MAKE_TILLSTREAM_DATA = 104;
inline constexpr int IDS_FAIL_MAKE_TILLSTREAM_DATA = 105;
inline constexpr int IDS_SUCCESS_RESTORE_DATA = 106;
inline constexpr int IDS_FAIL_RESTORE_DATA = 107;

inline constexpr char kTextMakeTillstreamData[] = "Make Tillstream Data";                   // 102
inline constexpr char kTextRestoreData[] = "Restore Data";                                  // 103
inline constexpr char kTextSuccessMakeTillstreamData[] = "Success, Make tillstream data.";  // 104
inline constexpr char kTextFailMakeTillstreamData[] = "Fail, Make tillstream data.";        // 105
inline constexpr char kTextSuccessRestoreData[] = "Success, Restore data.";                 // 106
inline constexpr char kTextFailRestoreData[] = "Fail, Restore data.";                       // 107

// The text of string `id` (102 to 107), or nullptr for any other number.
constexpr const char* ConversionText(int id) {
    switch (id) {
        case IDS_MAKE_TILLSTREAM_DATA:
            return kTextMakeTillstreamData;
        case IDS_RESTORE_DATA:
            return kTextRestoreData;
        case IDS_SUCCESS_MAKE_TILLSTREAM_DATA:
            return kTextSuccessMakeTillstreamData;
        case IDS_FAIL_MAKE_TILLSTREAM_DATA:
            return kTextFailMakeTillstreamData;
        case IDS_SUCCESS_RESTORE_DATA:
            return kTextSuccessRestoreData;
        case IDS_FAIL_RESTORE_DATA:
            return kTextFailRestoreData;
        default:
            return nullptr;
    }
}
