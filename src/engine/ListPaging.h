#pragma once
// The arithmetic shared by the engine and the window for showing a run's position: the bar's
// percentage and which item the data list shows at its top. Pure functions: any thread may call
// them; they cannot fail.
#include <cstdint>

// The bar's position for line `index` of a file of `lineCount` lines: floor(index * 100 /
// lineCount) computed in 64 bits, never above 100, and 0 when the count is 0 or negative (a file
// that changed after loading must not stop the run).
int ProgressPercent(std::int64_t index, std::int64_t lineCount);

// The item the data list should show at its top so that line `index` is in view, given
// `countPerPage` items per page and the list's `currentTop` item. The list moves in whole pages:
// a line already in view leaves the top where it is; otherwise the top becomes the first item of
// the line's page (a multiple of countPerPage), so playing forward pages down exactly when the
// line reaches a multiple of the page size, and after a rewind (or a scroll by the user) the line
// is brought back into view. A page size of 0 or less makes the line itself the top. A negative
// index leaves the top unchanged.
int PageTopForLine(int index, int countPerPage, int currentTop);
