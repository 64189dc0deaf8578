#pragma once
// Converts dialog units to pixels with the rule dialog templates were drawn for: the base
// units are the average width of the letters A-Z and a-z and the height of the dialog's
// font; x pixels = x * baseX / 4, y pixels = y * baseY / 8. GUI thread only.
#include <QFont>
#include <QRect>
#include <QSize>

class CDialogUnits {
  public:
    explicit CDialogUnits(const QFont& font);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }
    int X(int units) const { return units * m_baseX / 4; }
    int Y(int units) const { return units * m_baseY / 8; }
    QRect ToPixels(const QRect& units) const;
    QSize ToPixels(const QSize& units) const;

  private:
    int m_baseX;
    int m_baseY;
};
