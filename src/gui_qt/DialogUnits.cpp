#include "gui_qt/DialogUnits.h"

#include <QFontMetrics>

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // Rounded the same way as the original rule: (width / 26 + 1) / 2.
    m_baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    m_baseY = metrics.height();
    if (m_baseX <= 0) {
        m_baseX = 6;
    }
    if (m_baseY <= 0) {
        m_baseY = 13;
    }
}

QRect CDialogUnits::ToPixels(const QRect& units) const {
    // Edges are converted, not sizes, so that neighbouring controls never overlap by rounding.
    const int left = X(units.x());
    const int top = Y(units.y());
    const int right = X(units.x() + units.width());
    const int bottom = Y(units.y() + units.height());
    return QRect(left, top, right - left, bottom - top);
}

QSize CDialogUnits::ToPixels(const QSize& units) const {
    return QSize(X(units.width()), Y(units.height()));
}
