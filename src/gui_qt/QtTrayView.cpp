#include "gui_qt/QtTrayView.h"

#include <QAction>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include "gui_qt/QtDialogView.h"
#include "gui_qt/Resources.h"
#include "ui/ViewConstants.h"

CQtTrayView::CQtTrayView(CQtDialogView& owner) : m_owner(owner) {}

CQtTrayView::~CQtTrayView() {
    RemoveIcon();
}

bool CQtTrayView::HasNotificationArea() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool CQtTrayView::AddIcon(unsigned nId, unsigned nCallbackMessage, const std::string& tip) {
    (void)nCallbackMessage;  // notifications come back as calls, not as messages
    RemoveIcon();
    if (!HasNotificationArea()) {
        return false;
    }
    m_nId = nId;
    EnsureTillstreamResources();
    m_icon = std::make_unique<QSystemTrayIcon>(QIcon(QStringLiteral(":/icons/tillstream.png")));
    m_icon->setToolTip(QString::fromStdString(tip));
    CViewEvents* events = &m_owner.Events();
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
                     [this, events](QSystemTrayIcon::ActivationReason reason) {
                         long mouseMessage = 0;
                         switch (reason) {
                             case QSystemTrayIcon::Trigger:
                                 mouseMessage = kWmLButtonUp;
                                 break;
                             case QSystemTrayIcon::DoubleClick:
                                 mouseMessage = kWmLButtonDblClk;
                                 break;
                             case QSystemTrayIcon::Context:
                                 mouseMessage = kWmRButtonUp;
                                 break;
                             default:
                                 return;
                         }
                         events->OnTrayNotification(m_nId, mouseMessage);
                     });
    m_icon->show();
    return true;
}

void CQtTrayView::RemoveIcon() {
    delete m_popup.data();
    if (m_icon) {
        m_icon->hide();
    }
    m_icon.reset();
}

void CQtTrayView::TrackPopupMenu(const MenuTemplate& menu, int nDefaultPos) {
    auto* popup = new QMenu(QString::fromStdString(menu.popupTitle));
    for (const MenuItemTemplate& item : menu.items) {
        if (item.separator) {
            popup->addSeparator();
            continue;
        }
        popup->addAction(QString::fromStdString(item.text))->setData(item.id);
    }
    const QList<QAction*> actions = popup->actions();
    if (nDefaultPos >= 0 && nDefaultPos < actions.size()) {
        popup->setDefaultAction(actions.at(nDefaultPos));
    }
    CViewEvents* events = &m_owner.Events();
    QObject::connect(popup, &QMenu::triggered, popup,
                     [events](QAction* action) { events->OnCommand(action->data().toInt()); });
    delete m_popup.data();
    QObject::connect(popup, &QMenu::aboutToHide, popup, &QObject::deleteLater);
    m_popup = popup;
    popup->popup(QCursor::pos());
}
