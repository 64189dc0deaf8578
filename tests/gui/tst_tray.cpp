// The tray icon's menu and notifications, minimising to the tray, window placement, and the
// show-window requests other programs send.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <QFile>
#include <QLocalSocket>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <cstring>

#include "LoopbackServer.h"
#include "gui_qt/ShowWindowListener.h"
#include "support/WindowHarness.h"
#include "support/WindowTest.h"
#include "ui/TillstreamDlg.h"

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
}  // namespace

class TrayTest : public CWindowTest {
    Q_OBJECT
  private slots:
    void init() {
        CWindowTest::init();
        CTrayIcon::SetTrayAvailableForTesting(true);
    }
    void cleanup() {
        CTrayIcon::SetTrayAvailableForTesting(std::nullopt);
        CWindowTest::cleanup();
    }

    void withoutANotificationAreaThereIsNoIconAndMinimisingDoesNotHide() {
        CTrayIcon::SetTrayAvailableForTesting(false);
        CTillstreamDlg dlg;
        dlg.show();
        QVERIFY(!dlg.TrayIcon().IsEnabled());
        QCOMPARE(dlg.OnTrayNotification(IDR_TRAY_POPUP, CTrayIcon::kMouseLeftDoubleClick), 0L);
        dlg.OnSysCommand(SC_MINIMIZE_COMMAND);
        QTest::qWait(50);
        QVERIFY(dlg.isVisible());
        QVERIFY(!dlg.TrayIcon().RemoveIcon());
    }

    void notificationsAreRoutedByIconAndMouseMessage() {
        CTillstreamDlg dlg;
        dlg.show();
        QVERIFY(dlg.TrayIcon().IsEnabled());
        QCOMPARE(dlg.TrayIcon().Tip(), QStringLiteral("Tillstream"));
        QCOMPARE(dlg.TrayIcon().Id(), IDR_TRAY_POPUP);

        // Another icon's notification is not ours.
        QCOMPARE(dlg.OnTrayNotification(131, CTrayIcon::kMouseRightButtonUp), 0L);
        QVERIFY(dlg.TrayIcon().OpenPopupMenu() == nullptr);
        // A single click, a button press or a move is taken and does nothing.
        for (long message : {0x200L, 0x201L, 0x202L, 0x204L}) {
            QCOMPARE(dlg.OnTrayNotification(IDR_TRAY_POPUP, message), 1L);
        }
        QVERIFY(dlg.TrayIcon().OpenPopupMenu() == nullptr);
        QVERIFY(dlg.isVisible());

        // A right click pops the menu up, its first item the default.
        QCOMPARE(dlg.OnTrayNotification(IDR_TRAY_POPUP, CTrayIcon::kMouseRightButtonUp), 1L);
        QMenu* menu = dlg.TrayIcon().OpenPopupMenu();
        QVERIFY(menu != nullptr);
        QTRY_VERIFY(menu->isVisible());
        QStringList texts;
        for (QAction* action : menu->actions()) {
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        QCOMPARE(texts,
                 (QStringList{"Tillstream Open(&O)", "-", "Start Tillstream", "Stop Tillstream",
                              "-", "Always on top", "Normal", "-", "Exit(&X)"}));
        QCOMPARE(menu->defaultAction(), menu->actions().first());
        menu->close();
    }

    void minimisingHidesAndTheTrayBringsTheWindowBack() {
        CTillstreamDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.OnSysCommand(SC_MINIMIZE_COMMAND);
        QTRY_VERIFY(!dlg.isVisible());

        // A double click runs the menu's first command: the window opens again.
        QCOMPARE(dlg.OnTrayNotification(IDR_TRAY_POPUP, CTrayIcon::kMouseLeftDoubleClick), 1L);
        QVERIFY(dlg.isVisible());
        QVERIFY(!dlg.isMinimized());

        dlg.OnSysCommand(SC_MINIMIZE_COMMAND);
        QTRY_VERIFY(!dlg.isVisible());
        dlg.OnCommand(ID_TRAY_OPEN);
        QVERIFY(dlg.isVisible());
    }

    void alwaysOnTopAndNormalKeepPlaceAndSize() {
        CTillstreamDlg dlg;
        dlg.move(40, 30);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QRect before(dlg.pos(), dlg.size());
        dlg.OnCommand(ID_TRAY_ALWAYS_ON_TOP);
        QVERIFY(dlg.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.size(), before.size());
        QCOMPARE(dlg.pos(), before.topLeft());
        dlg.OnCommand(ID_TRAY_NORMAL);
        QVERIFY(!dlg.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.size(), before.size());
        QCOMPARE(dlg.pos(), before.topLeft());
    }

    void startStopAndExitFromTheTray() {
        LoopbackTcpServer receiver;
        OptionRecord record = MakeDefaultOptionRecord();
        record.remoteAddress = kLoopbackAddress;
        record.remotePort = receiver.Port();
        record.loopEnabled = 1;
        record.delayMs = 600000;
        StoreOptions(record);
        const std::string path = m_home->Path("tray.txt");
        WriteFileBytes(path, "T1\nT2\n");
        CTillstreamDlg dlg;
        dlg.show();
        m_prompts->chosenFiles << QPath(path);
        dlg.OnCommand(IDC_BUTTON_SELECT_FILE);

        dlg.OnCommand(ID_TRAY_START);
        QVERIFY(dlg.IsOutputRunning());
        QVERIFY(receiver.WaitForBytes(3));
        // Start again while playing: nothing new, no error.
        dlg.OnCommand(ID_TRAY_START);
        QVERIFY(m_prompts->texts.isEmpty());
        dlg.OnCommand(ID_TRAY_STOP);
        QVERIFY(qobject_cast<QPushButton*>(dlg.Control(IDC_BUTTON_OUTPUT_START))->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsOutputRunning(), kWaitMs);

        dlg.OnCommand(ID_TRAY_START);
        QVERIFY(receiver.WaitForConnections(2));
        int finished = -1;
        connect(&dlg, &QDialog::finished, this, [&finished](int r) { finished = r; });
        dlg.OnCommand(ID_TRAY_EXIT);
        QCOMPARE(finished, int(QDialog::Rejected));
        QVERIFY(!dlg.IsOutputRunning());
        QVERIFY(receiver.WaitForClosed(2));
    }

    void showWindowRequestsAreAnsweredAndOnlyOneOrNineRestore() {
        CTillstreamDlg dlg;
        dlg.show();
        const QString path = dlg.ShowWindowListener().ServerPath();
        QCOMPARE(path, QPath(m_home->RuntimeFolder()) + QStringLiteral("/HWM_TRAY_REGISTERED_MSG"));
        struct stat info {};
        QCOMPARE(::stat(path.toLocal8Bit().constData(), &info), 0);
        QVERIFY(S_ISSOCK(info.st_mode));
        QCOMPARE(info.st_mode & 0777, 0600u);

        auto hide = [&dlg] {
            dlg.OnSysCommand(SC_MINIMIZE_COMMAND);
            QTRY_VERIFY(!dlg.isVisible());
        };
        for (const QByteArray& request :
             {QByteArray("0\n"), QByteArray("2\n"), QByteArray("abc\n"), QByteArray("-1\n"),
              QByteArray("11\n"), QByteArray(100, '1'), QByteArray("\n")}) {
            hide();
            QCOMPARE(SendRequest(path, request), QByteArray("1\n"));
            QTest::qWait(20);
            QVERIFY2(!dlg.isVisible(), request.constData());
        }
        for (const QByteArray& request : {QByteArray("1\n"), QByteArray("9\n")}) {
            hide();
            QCOMPARE(SendRequest(path, request), QByteArray("1\n"));
            QTRY_VERIFY(dlg.isVisible());
        }
    }

    void aSecondListenerLeavesTheRunningOneAlone() {
        CShowWindowListener first;
        QVERIFY(first.Listen());
        CShowWindowListener second;
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
        CShowWindowListener third;
        QVERIFY(third.Listen());
        QCOMPARE(SendRequest(third.ServerPath(), "1\n"), QByteArray("1\n"));
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
