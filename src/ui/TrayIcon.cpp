#include "ui/TrayIcon.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>
#include <optional>

#include "platform/Trace.h"
#include "ui/MenuTemplate.h"

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

// The menu of template `id` with its first item as the default, or nullptr when the template
// has no items. Every action runs its command through `onCommand`.
QMenu* BuildTrayMenu(unsigned id, QWidget* parent, const CTrayIcon::CommandHandler& onCommand) {
    const MenuTemplate menuTemplate = MenuTemplate::Load(static_cast<int>(id));
    if (menuTemplate.items.empty()) {
        return nullptr;
    }
    auto* menu = new QMenu(QString::fromStdString(menuTemplate.popupTitle), parent);
    for (const MenuItemTemplate& item : menuTemplate.items) {
        if (item.separator) {
            menu->addSeparator();
            continue;
        }
        menu->addAction(QString::fromStdString(item.text))->setData(item.id);
    }
    const QList<QAction*> actions = menu->actions();
    if (!actions.isEmpty()) {
        menu->setDefaultAction(actions.first());
    }
    QObject::connect(menu, &QMenu::triggered, menu, [onCommand](QAction* action) {
        if (onCommand) {
            onCommand(action->data().toInt());
        }
    });
    return menu;
}
}  // namespace

CTrayIcon::CTrayIcon() = default;

CTrayIcon::~CTrayIcon() {
    RemoveIcon();
}

bool CTrayIcon::Create(QWidget* pWnd, unsigned uCallbackMessage, const QString& strTip,
                       const QIcon& hIcon, unsigned uID, CommandHandler onCommand) {
    RemoveIcon();
    if (pWnd == nullptr || !IsTrayAvailable()) {
        Trace("[CTrayIcon::Create] no notification area: the program runs without a tray icon");
        m_bEnabled = false;
        return false;
    }
    m_pWnd = pWnd;
    m_uID = uID;
    m_uCallbackMessage = uCallbackMessage;
    m_strTip = strTip.left(kMaxTipLength);
    m_onCommand = std::move(onCommand);

    m_icon = std::make_unique<QSystemTrayIcon>(hIcon);
    m_icon->setToolTip(m_strTip);
    // The notification area shows this menu itself on a right click (some areas show no other);
    // the activation signal then only has to handle the double click.
    m_contextMenu.reset(BuildTrayMenu(m_uID, nullptr, m_onCommand));
    if (m_contextMenu) {
        m_icon->setContextMenu(m_contextMenu.get());
    }
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::DoubleClick) {
                             OnTrayNotification(m_uID, kMouseLeftDoubleClick);
                         }
                     });
    m_icon->show();
    m_bEnabled = true;
    Trace("[CTrayIcon::Create] icon installed");
    return true;
}

bool CTrayIcon::RemoveIcon() {
    if (!m_bEnabled) {
        return false;
    }
    delete m_popup.data();
    m_icon->hide();
    m_icon.reset();
    m_contextMenu.reset();
    m_bEnabled = false;
    return true;
}

long CTrayIcon::OnTrayNotification(unsigned long wParam, long lParam) {
    if (!m_bEnabled || wParam != m_uID) {
        return 0;
    }
    const int mouseMessage = static_cast<int>(lParam & 0xFFFF);
    if (mouseMessage == kMouseRightButtonUp) {
        // A fresh menu for every click, gone once it closes.
        QMenu* menu = BuildTrayMenu(m_uID, nullptr, m_onCommand);
        if (menu == nullptr) {
            return 0;
        }
        delete m_popup.data();
        QObject::connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
        m_popup = menu;
        if (m_pWnd != nullptr) {
            m_pWnd->activateWindow();
        }
        menu->popup(QCursor::pos());
        return 1;
    }
    if (mouseMessage == kMouseLeftDoubleClick) {
        const MenuTemplate menuTemplate = MenuTemplate::Load(static_cast<int>(m_uID));
        if (menuTemplate.items.empty()) {
            return 0;
        }
        if (m_pWnd != nullptr) {
            m_pWnd->activateWindow();
        }
        if (m_onCommand) {
            m_onCommand(menuTemplate.items.front().id);
        }
        return 1;
    }
    return 1;
}

void CTrayIcon::SetTrayAvailableForTesting(std::optional<bool> bAvailable) {
    TrayAvailabilityOverride() = bAvailable;
}
