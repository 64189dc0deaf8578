#pragma once
// Loading and saving the whole option record under its fixed key and value name, with the
// trace texts of the window's handlers. Called on the user-interface thread (or the command
// line's thread). Results are those of HRegQueryValue / HRegSetValue; failures are traced only.
#include <cstdint>

#include "options/OptionRecord.h"

// Overwrites `record` from offset 0 with the stored bytes; bytes the stored value does not
// reach keep what `record` held (its defaults). `caller` names the operation in the trace, as
// in "CTillstreamDlg::InitData".
int32_t LoadStoredOptions(OptionRecord& record, const char* caller);

// Writes all 2892 bytes of `record`. `caller` names the operation in the trace.
int32_t SaveStoredOptions(const OptionRecord& record, const char* caller);
