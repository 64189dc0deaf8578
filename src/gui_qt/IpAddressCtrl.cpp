#include "gui_qt/IpAddressCtrl.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

namespace {
int FieldValue(const QLineEdit* pField) {
    // Blank reads as 0; the field takes three digits at most, so only 256..999 need clamping.
    const int value = pField->text().toInt();
    return value > 255 ? 255 : value;
}

// What one field takes: up to three digits, never shown with leading zeros ("01" becomes "1",
// "0" alone stays), so that a zero typed before a number does not stay in front of it.
class CFieldValidator : public QValidator {
  public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override {
        for (const QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                return Invalid;
            }
        }
        qsizetype zeros = 0;
        while (zeros + 1 < input.size() && input[zeros] == QLatin1Char('0')) {
            ++zeros;
        }
        if (zeros > 0) {
            input.remove(0, zeros);
            pos = static_cast<int>(qMax<qsizetype>(0, pos - zeros));
        }
        return input.size() <= 3 ? Acceptable : Invalid;
    }
};

bool CaretAtEnd(const QLineEdit* pField) {
    return !pField->hasSelectedText() && pField->cursorPosition() == pField->text().size();
}
}  // namespace

CIpAddressCtrl::CIpAddressCtrl(QWidget* parent) : QFrame(parent) {
    // Drawn as one sunken field, like an edit, with the four numbers inside it.
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    for (size_t i = 0; i < m_fields.size(); ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("field_%1").arg(i));
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(new CFieldValidator(field));
        field->installEventFilter(this);
        // A third digit typed at the end completes the number and moves on to the next field,
        // with its text selected so that typing replaces it.
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() == 3 && CaretAtEnd(m_fields[i]) && i + 1 < m_fields.size()) {
                EnterField(i + 1);
            }
        });
        // A number above 255 is shown as 255 once the field is left.
        connect(field, &QLineEdit::editingFinished, this, [field] {
            if (!field->text().isEmpty() && field->text().toInt() > 255) {
                field->setText(QStringLiteral("255"));
            }
        });
        m_fields[i] = field;
    }
    for (size_t i = 0; i + 1 < m_fields.size(); ++i) {
        setTabOrder(m_fields[i], m_fields[i + 1]);
    }
    setFocusProxy(m_fields[0]);
    LayOutFields();
}

void CIpAddressCtrl::SetAddress(uint32_t dwAddress) {
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const uint32_t octet = (dwAddress >> (24 - 8 * i)) & 0xFFU;
        m_fields[i]->setText(QString::number(octet));
    }
}

uint32_t CIpAddressCtrl::GetAddress() const {
    uint32_t address = 0;
    for (const QLineEdit* field : m_fields) {
        address = (address << 8) | static_cast<uint32_t>(FieldValue(field));
    }
    return address;
}

bool CIpAddressCtrl::IsBlank() const {
    for (const QLineEdit* field : m_fields) {
        if (!field->text().isEmpty()) {
            return false;
        }
    }
    return true;
}

bool CIpAddressCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        for (size_t i = 0; i < m_fields.size(); ++i) {
            if (watched != m_fields[i]) {
                continue;
            }
            // A dot after a number typed in this field ends it and moves on. In an empty field,
            // or one just entered with its text selected (after three digits moved on), it does
            // nothing, so "127.0.0.1" typed straight through fills the four fields.
            if (key->key() == Qt::Key_Period) {
                if (i + 1 < m_fields.size() && !m_fields[i]->text().isEmpty() &&
                    CaretAtEnd(m_fields[i])) {
                    EnterField(i + 1);
                }
                return true;
            }
            // Backspace in an empty field moves back.
            if (key->key() == Qt::Key_Backspace && i > 0 && m_fields[i]->text().isEmpty()) {
                m_fields[i - 1]->setFocus();
                m_fields[i - 1]->end(false);
                return true;
            }
        }
    }
    return QFrame::eventFilter(watched, event);
}

void CIpAddressCtrl::EnterField(size_t index) {
    m_fields[index]->setFocus();
    m_fields[index]->selectAll();
}

void CIpAddressCtrl::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    LayOutFields();
}

void CIpAddressCtrl::LayOutFields() {
    // Four equal fields across the width, the dots drawn in the gaps between them.
    const int dotWidth = fontMetrics().horizontalAdvance(QLatin1Char('.')) + 2;
    const QRect inside = contentsRect();
    const int fieldWidth = qMax(1, (inside.width() - 3 * dotWidth) / 4);
    int x = inside.left();
    for (size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i]->setGeometry(x, inside.top(), fieldWidth, inside.height());
        x += fieldWidth;
        if (i + 1 < m_fields.size()) {
            const QString name = QStringLiteral("dot_%1").arg(i);
            auto* dot = findChild<QLabel*>(name, Qt::FindDirectChildrenOnly);
            if (dot == nullptr) {
                dot = new QLabel(QStringLiteral("."), this);
                dot->setObjectName(name);
                dot->setAlignment(Qt::AlignCenter);
            }
            dot->setGeometry(x, inside.top(), dotWidth, inside.height());
            x += dotWidth;
        }
    }
}
