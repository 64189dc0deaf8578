#pragma once
// An IPv4 address field: four number fields of 0 to 255 separated by dots. It holds the
// address in host order, the first dotted number in the most significant byte. A blank field
// reads as 0 and a number above 255 as 255. It types like the address fields users know: a
// field entered by "." or by a third digit has its text selected, so typing replaces it, and a
// number never shows leading zeros. GUI thread only.
#include <QFrame>
#include <array>
#include <cstdint>

class QLineEdit;

class CIpAddressCtrl : public QFrame {
    Q_OBJECT
  public:
    explicit CIpAddressCtrl(QWidget* parent = nullptr);

    void SetAddress(uint32_t dwAddress);
    uint32_t GetAddress() const;
    // True when all four fields are empty.
    bool IsBlank() const;
    // The field of one dotted number, 0 to 3 from the left.
    QLineEdit* Field(int index) const { return m_fields.at(static_cast<size_t>(index)); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Moves the focus to field `index` with its text selected.
    void EnterField(size_t index);
    void LayOutFields();

    std::array<QLineEdit*, 4> m_fields{};
};
