#include "ui/OptionDialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <cstring>

COptionDialog::COptionDialog(int templateId, int cancelId, QWidget* parent)
    : QDialog(parent), m_nCancelId(cancelId) {
    std::memset(&m_optionNew, 0, sizeof(m_optionNew));
    std::memset(&m_optionOld, 0, sizeof(m_optionOld));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    m_widgets.Build(DialogTemplate::Load(templateId), this);
    // Enter and Escape must reach the dialog whichever control has the focus, including a
    // page's controls, the address fields and the "..." button, which would otherwise use them.
    qApp->installEventFilter(this);
}

COptionDialog::~COptionDialog() {
    qApp->removeEventFilter(this);
}

void COptionDialog::SetOptionData(const OptionRecord& option) {
    m_optionOld = option;
    m_optionNew = m_optionOld;
}

void COptionDialog::GetOptionData(OptionRecord& option) const {
    option = m_optionNew;
}

int COptionDialog::DoModal() {
    if (!m_bInitialized) {
        m_bInitialized = true;
        OnInitDialog();
    }
    return exec();
}

void COptionDialog::OnButtonCancel() {
    done(0);
}

void COptionDialog::reject() {
    // Escape, the close box and Cancel all end the dialog with 0.
    done(0);
}

bool COptionDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == this || isAncestorOf(widget)) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Escape) {
                event->accept();
                done(0);
                return true;
            }
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                event->accept();
                // Enter runs OK from every control, the "..." button included, except from the
                // dialog's own Cancel: there it would save what the user chose to throw away.
                if (widget == m_widgets.Control(m_nCancelId)) {
                    done(0);
                } else {
                    OnButtonOk();
                }
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
