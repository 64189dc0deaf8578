#include "gui_qt/QtTrayView.h"

#include <QAction>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include "gui_qt/QtDialogView.h"
#include "gui_qt/Resources.h"
#include "ui/ViewConstants.h"

namespace {
std::optional<bool>& TrayAvailabilityOverride() {
    static std::optional<bool> value;
    return value;
}

bool IsTrayAvailable() {
    if (TrayAvailabilityOverride().has_value()) {
        return *TrayAvailabilityOverride();
    }
    return QSystemTrayIcon::isSystemTrayAvailable();
}
}  // namespace

CQtTrayView::CQtTrayView(CQtDialogView& owner) : m_owner(owner) {}

CQtTrayView::~CQtTrayView() {
    RemoveIcon();
}

QMenu* CQtTrayView::BuildMenu(const MenuTemplate& menu, int nDefaultPos) {
    auto* built = new QMenu(QString::fromStdString(menu.popupTitle));
    for (const MenuItemTemplate& item : menu.items) {
        if (item.separator) {
            built->addSeparator();
            continue;
        }
        built->addAction(QString::fromStdString(item.text))->setData(item.id);
    }
    const QList<QAction*> actions = built->actions();
    if (nDefaultPos >= 0 && nDefaultPos < actions.size()) {
        built->setDefaultAction(actions.at(nDefaultPos));
    }
    CViewEvents* events = &m_owner.Events();
    QObject::connect(built, &QMenu::triggered, built,
                     [events](QAction* action) { events->OnCommand(action->data().toInt()); });
    return built;
}

bool CQtTrayView::AddIcon(unsigned nId, unsigned nCallbackMessage, const std::string& tip,
                          const MenuTemplate& menu) {
    (void)nCallbackMessage;  // notifications come back as calls, not as messages
    RemoveIcon();
    if (!IsTrayAvailable()) {
        return false;
    }
    m_nId = nId;
    EnsureTillstreamResources();
    m_icon = std::make_unique<QSystemTrayIcon>(QIcon(QStringLiteral(":/icons/tillstream.png")));
    m_icon->setToolTip(QString::fromStdString(tip));
    if (!menu.items.empty()) {
        m_contextMenu.reset(BuildMenu(menu, 0));
        m_icon->setContextMenu(m_contextMenu.get());
    }
    CViewEvents* events = &m_owner.Events();
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
                     [this, events](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::DoubleClick) {
                             events->OnTrayNotification(m_nId, kWmLButtonDblClk);
                         }
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
    m_contextMenu.reset();
}

void CQtTrayView::TrackPopupMenu(const MenuTemplate& menu, int nDefaultPos) {
    QMenu* popup = BuildMenu(menu, nDefaultPos);
    delete m_popup.data();
    QObject::connect(popup, &QMenu::aboutToHide, popup, &QObject::deleteLater);
    m_popup = popup;
    popup->popup(QCursor::pos());
}

void CQtTrayView::SetTrayAvailableForTesting(std::optional<bool> bAvailable) {
    TrayAvailabilityOverride() = bAvailable;
}
