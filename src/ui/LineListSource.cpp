#include "ui/LineListSource.h"

#include <algorithm>
#include <climits>

namespace {
// Windows-1252 at 0x80-0x9F; the five bytes the code page leaves undefined keep their C1 code
// point, as the system's own conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char kEllipsis[] = "\xE2\x80\xA6";  // U+2026 HORIZONTAL ELLIPSIS

void AppendUtf8(std::string& text, char16_t u) {
    if (u < 0x80) {
        text += static_cast<char>(u);
    } else if (u < 0x800) {
        text += static_cast<char>(0xC0 | (u >> 6));
        text += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | (u >> 12));
        text += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (u & 0x3F));
    }
}
}  // namespace

int CLineListSource::Load(const std::string& path) {
    const int result = m_index.Build(path);
    m_nCount = result == 0 ? static_cast<int>(std::min<std::size_t>(m_index.Count(), INT_MAX)) : 0;
    return result;
}

void CLineListSource::Clear() {
    m_index.Clear();
    m_nCount = 0;
}

std::string CLineListSource::LineBytes(int nIndex) const {
    if (nIndex < 0 || nIndex >= m_nCount) {
        return std::string();
    }
    return m_index.LineAt(static_cast<std::size_t>(nIndex));
}

std::string CLineListSource::ItemText(int nIndex) const {
    if (nIndex < 0 || nIndex >= m_nCount) {
        return std::string();
    }
    // Only the head of a long line is read and turned into text: the whole of a line of
    // megabytes would cost gigabytes once laid out, and the column shows far less.
    const auto row = static_cast<std::size_t>(nIndex);
    std::string line;
    if (!m_index.ReadLineAt(row, line, kShownBytes)) {
        return std::string();
    }
    std::string text = VisibleText(line);
    if (m_index.LengthAt(row) > kShownBytes) {
        text += kEllipsis;
    }
    return text;
}

std::string CLineListSource::VisibleText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        char16_t u;
        if (b < 0x20) {
            u = static_cast<char16_t>(0x2400 + b);
        } else if (b == 0x7F) {
            u = 0x2421;
        } else if (b >= 0x80 && b < 0xA0) {
            u = kCp1252High[b - 0x80];
        } else {
            u = b;
        }
        AppendUtf8(text, u);
    }
    return text;
}
