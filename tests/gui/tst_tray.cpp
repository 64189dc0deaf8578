// The Qt view's tray icon and window placement: the icon and its menus, the window manager's
// minimise hiding the window to the tray and the double click bringing it back, always on top
// keeping place and size, and the show-window socket other programs use.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <QFile>
#include <QLocalSocket>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

#include <cstring>

#include "gui_qt/QtTrayView.h"
#include "gui_qt/ShowWindowListener.h"
#include "support/QtWindowHarness.h"

namespace {
constexpr int kWaitMs = 10000;

// Sends one show-window request and returns the answer (empty when none came).
QByteArray SendRequest(const QString& path, const QByteArray& request) {
    QLocalSocket client;
    client.connectToServer(path);
    if (!client.waitForConnected(kWaitMs)) {
        return QByteArray();
    }
    client.write(request);
    client.flush();
    QByteArray answer;
    // The listener runs on this thread too: let it work while the answer is awaited.
    (void)QTest::qWaitFor(
        [&] {
            answer += client.readAll();
            return answer.endsWith('\n') || client.state() == QLocalSocket::UnconnectedState;
        },
        kWaitMs);
    answer += client.readAll();
    return answer;
}

QStringList Texts(const QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

const CQtTrayView* TrayView(const CQtWindow& window) {
    return dynamic_cast<const CQtTrayView*>(window.dlg.TrayIcon().View());
}

const QStringList kMenuTexts{"Tillstream Open(&O)",
                             "-",
                             "Start Tillstream",
                             "Stop Tillstream",
                             "-",
                             "Always on top",
                             "Normal",
                             "-",
                             "Exit(&X)"};
}  // namespace

class TrayTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<CQtPrompts> m_prompts;

  private slots:
    void init() {
        m_home = std::make_unique<TempHome>();
        m_prompts = std::make_unique<CQtPrompts>();
        CQtTrayView::SetTrayAvailableForTesting(true);
    }
    void cleanup() {
        CQtTrayView::SetTrayAvailableForTesting(std::nullopt);
        m_prompts.reset();
        m_home.reset();
    }

    void withoutANotificationAreaMinimisingLeavesTheWindowMinimised() {
        CQtTrayView::SetTrayAvailableForTesting(false);
        CQtWindow window;
        window.View().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window.View()));
        QVERIFY(!window.dlg.TrayIcon().IsEnabled());
        window.View().showMinimized();
        QTest::qWait(50);
        QVERIFY(window.View().isVisible());
    }

    void theIconCarriesTheMenuAndARightClickPopsItUp() {
        CQtWindow window;
        window.View().show();
        QVERIFY(window.dlg.TrayIcon().IsEnabled());
        const CQtTrayView* tray = TrayView(window);
        QVERIFY(tray != nullptr && tray->Icon() != nullptr);
        QVERIFY(tray->Icon()->isVisible());
        QCOMPARE(tray->Icon()->toolTip(), QStringLiteral("Tillstream"));
        // The notification area shows this menu by itself on a right click.
        QCOMPARE(Texts(tray->Icon()->contextMenu()), kMenuTexts);
        QCOMPARE(window.dlg.OnTrayNotification(IDR_TRAY_POPUP, kWmRButtonUp), 1L);
        QMenu* menu = tray->OpenPopupMenu();
        QVERIFY(menu != nullptr);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(Texts(menu), kMenuTexts);
        QCOMPARE(menu->defaultAction(), menu->actions().first());
        // A chosen item is the window's command: always on top, in the same place and size.
        window.View().move(40, 30);
        QVERIFY(QTest::qWaitForWindowExposed(&window.View()));
        const QRect before(window.View().pos(), window.View().size());
        menu->actions().at(5)->trigger();
        QVERIFY(window.View().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.View().isVisible());
        QCOMPARE(window.View().size(), before.size());
        QCOMPARE(window.View().pos(), before.topLeft());
        window.dlg.OnCommand(ID_TRAY_NORMAL);
        QVERIFY(!window.View().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(window.View().pos(), before.topLeft());
        menu->close();
    }

    void minimisingHidesAndADoubleClickBringsTheWindowBack() {
        CQtWindow window;
        window.View().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window.View()));
        // As the window manager minimises it.
        window.View().showMinimized();
        QTRY_VERIFY(!window.View().isVisible());

        // The double click on the icon runs the menu's first command: the window opens again.
        emit TrayView(window)->Icon()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(window.View().isVisible());
        QVERIFY(!window.View().isMinimized());
    }

    void showWindowRequestsAreAnsweredAndOnlyOneOrNineRestore() {
        CQtWindow window;
        window.View().show();
        CShowWindowListener* listener = window.View().ShowWindowListener();
        QVERIFY(listener != nullptr);
        const QString path = listener->ServerPath();
        QCOMPARE(path, QPath(m_home->RuntimeFolder()) + QStringLiteral("/HWM_TRAY_REGISTERED_MSG"));
        struct stat info {};
        QCOMPARE(::stat(path.toLocal8Bit().constData(), &info), 0);
        QVERIFY(S_ISSOCK(info.st_mode));
        QCOMPARE(info.st_mode & 0777, 0600u);

        auto hide = [&window] {
            window.dlg.OnSysCommand(kScMinimize);
            return !window.View().isVisible();
        };
        for (const QByteArray& request :
             {QByteArray("0\n"), QByteArray("2\n"), QByteArray("abc\n"), QByteArray("-1\n"),
              QByteArray("11\n"), QByteArray(100, '1'), QByteArray("\n")}) {
            QVERIFY(hide());
            QCOMPARE(SendRequest(path, request), QByteArray("1\n"));
            QTest::qWait(20);
            QVERIFY2(!window.View().isVisible(), request.constData());
        }
        for (const QByteArray& request : {QByteArray("1\n"), QByteArray("9\r\n")}) {
            QVERIFY(hide());
            QCOMPARE(SendRequest(path, request), QByteArray("1\n"));
            QTRY_VERIFY(window.View().isVisible());
        }
    }

    void aSecondListenerLeavesTheRunningOneAlone() {
        auto answer = [](long lParam) { return lParam + 100; };
        CShowWindowListener first(answer);
        QVERIFY(first.Listen());
        CShowWindowListener second(answer);
        QVERIFY(!second.Listen());
        QVERIFY(first.IsListening());
        first.Close();
        QVERIFY(second.Listen());
        second.Close();

        // A name left behind by a program that ended without removing it is taken over.
        const QByteArray path = CShowWindowListener::DefaultPath().toLocal8Bit();
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), path.size());
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
        QVERIFY(QFile::exists(QString::fromLocal8Bit(path)));
        CShowWindowListener third(answer);
        QVERIFY(third.Listen());
        // The request's number reaches the handler, whose result is the answer.
        QCOMPARE(SendRequest(third.ServerPath(), "7\n"), QByteArray("107\n"));
        QCOMPARE(SendRequest(third.ServerPath(), "x7\n"), QByteArray("100\n"));
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
