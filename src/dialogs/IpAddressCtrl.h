#pragma once
// An IPv4 address field: four number fields of 0 to 255 separated by dots. It holds the
// address in host order, the first dotted number in the most significant byte. A blank field
// reads as 0 and a number above 255 as 255. GUI thread only.
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
    void LayOutFields();

    std::array<QLineEdit*, 4> m_fields{};
};
