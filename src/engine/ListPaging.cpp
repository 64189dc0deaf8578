#include "engine/ListPaging.h"

#include <algorithm>

int ProgressPercent(std::int64_t index, std::int64_t lineCount) {
    if (lineCount <= 0 || index <= 0) {
        return 0;
    }
    return static_cast<int>(std::min<std::int64_t>(100, index * 100 / lineCount));
}

int PageTopForLine(int index, int countPerPage, int currentTop) {
    if (index < 0) {
        return currentTop;
    }
    if (countPerPage <= 0) {
        return index;
    }
    if (index >= currentTop && index - currentTop < countPerPage) {
        return currentTop;
    }
    return index - index % countPerPage;
}
