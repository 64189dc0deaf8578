#include "ui/TillstreamDlg.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>
#include <chrono>

#include "datafile/Conversion.h"
#include "datafile/DataFileKind.h"
#include "datafile/FileNames.h"
#include "engine/EngineShutdown.h"
#include "engine/ListPaging.h"
#include "gui_qt/LineListModel.h"
#include "gui_qt/LineListView.h"
#include "gui_qt/Resources.h"
#include "gui_qt/UserPrompts.h"
#include "options/OptionStore.h"
#include "platform/FileSystem.h"
#include "platform/Trace.h"
#include "ui/AboutDlg.h"
#include "ui/DialogTemplate.h"
#include "ui/InputOptionDlg.h"
#include "ui/OptionStatusRows.h"
#include "ui/OutputOptionDlg.h"
#include "ui/ResourceStrings.h"

namespace {
constexpr int kMainTemplate = 102;
constexpr int kDataColumnWidth = 450;
// How long the window's end waits for each engine before it goes on without it.
constexpr std::chrono::milliseconds kEngineEndWait{10000};
constexpr char kThreadStartError[] = "Thread Start Error";

// Paths are 8-bit text as the file system has them; the window shows them decoded.
std::string ToFileName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
}  // namespace

CTillstreamDlg::CTillstreamDlg(QWidget* parent)
    : QDialog(parent),
      m_option(MakeDefaultOptionRecord()),
      m_socketClient(this),
      m_socketServer(this),
      m_messageBox(this),
      m_playbackHost(*this, m_option, m_messageBox),
      m_captureHost(*this, m_messageBox),
      m_outputPlayback(m_playbackHost, m_socketClient),
      m_inputCapture(m_captureHost) {
    EnsureTillstreamResources();
    m_hIcon = QIcon(QStringLiteral(":/icons/tillstream.png"));
    OnInitDialog();
}

CTillstreamDlg::~CTillstreamDlg() {
    if (!Shutdown()) {
        // An engine is still inside a call on the members destroyed below; see CEngineShutdown.
        CEngineShutdown::EndProgramNow(0);
    }
}

void CTillstreamDlg::OnInitDialog() {
    // A fixed-size window with a minimise box and no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    m_widgets.Build(DialogTemplate::Load(kMainTemplate), this);
    m_listOption = m_widgets.ControlAs<QTreeView>(IDC_LIST_OPTION);
    m_progress = m_widgets.ControlAs<QProgressBar>(IDC_PROGRESS);
    m_listData = m_widgets.ControlAs<CLineListView>(IDC_LIST_DATA);
    for (int id : {IDC_BUTTON_SELECT_FILE, IDC_BUTTON_OUTPUT_OPTION, IDC_BUTTON_OUTPUT_START,
                   IDC_BUTTON_OUTPUT_STOP, IDC_BUTTON_INPUT_START, IDC_BUTTON_INPUT_STOP,
                   IDC_BUTTON_INPUT_OPTION, IDC_BUTTON_MAKE_TILLSTREAM_DATA}) {
        if (auto* button = m_widgets.ControlAs<QPushButton>(id)) {
            connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
        }
    }

    // The About entry: on Linux the window manager owns the system menu, so the item goes into
    // the window's context menu, with F1 as its key.
    const QString aboutText = QString::fromStdString(LoadResourceString(IDS_ABOUTBOX));
    if (!aboutText.isEmpty()) {
        auto* separator = new QAction(this);
        separator->setSeparator(true);
        addAction(separator);
        auto* about = new QAction(aboutText, this);
        about->setShortcut(QKeySequence(Qt::Key_F1));
        about->setShortcutContext(Qt::WindowShortcut);
        connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
        addAction(about);
        setContextMenuPolicy(Qt::ActionsContextMenu);
    }

    setWindowIcon(m_hIcon);

    InitData();

    m_pDataModel = new CLineListModel(this);
    m_listData->setModel(m_pDataModel);
    m_listData->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_listData->setColumnWidth(0, kDataColumnWidth);

    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    m_pOptionModel = new QStandardItemModel(0, 4, this);
    m_pOptionModel->setHorizontalHeaderLabels({QStringLiteral("Index"), QStringLiteral("Option"),
                                               QStringLiteral("Value"), QStringLiteral("Etc")});
    for (int column = 0; column < 4; ++column) {
        m_pOptionModel->horizontalHeaderItem(column)->setTextAlignment(Qt::AlignLeft |
                                                                       Qt::AlignVCenter);
    }
    m_listOption->setModel(m_pOptionModel);
    // Column widths are fixed shares of the list's client width, cut to whole pixels.
    const int width = m_listOption->width() - 2 * m_listOption->frameWidth();
    const double shares[4] = {10, 30, 50, 10};
    for (int column = 0; column < 4; ++column) {
        m_listOption->setColumnWidth(column, static_cast<int>(width * 0.01 * shares[column]));
    }

    RefreshOptionStatus();

    m_trayIcon.Create(this, WM_TRAY_NOTIFICATION, windowTitle(), m_hIcon, IDR_TRAY_POPUP,
                      [this](int nCommandId) { OnCommand(nCommandId); });

    connect(&m_showWindowListener, &CShowWindowListener::Restore, this,
            &CTillstreamDlg::RestoreFromTray);
    m_showWindowListener.Listen();
}

void CTillstreamDlg::InitData() {
    OptionRecord record = m_option.Get();
    LoadStoredOptions(record, "CTillstreamDlg::InitData");
    m_option.Set(record);
}

void CTillstreamDlg::RefreshOptionStatus() {
    m_pOptionModel->removeRows(0, m_pOptionModel->rowCount());
    for (const OptionStatusRow& row : MakeOptionStatusRows(m_option.Get())) {
        QList<QStandardItem*> items;
        for (const QString* text : {&row.index, &row.option, &row.value, &row.etc}) {
            auto* item = new QStandardItem(*text);
            item->setEditable(false);
            items.append(item);
        }
        m_pOptionModel->appendRow(items);
    }
}

QString CTillstreamDlg::Caption() const {
    return QString::fromLatin1(kProgramName);
}

void CTillstreamDlg::SetButtonEnabled(int id, bool bEnabled) {
    if (QWidget* control = m_widgets.Control(id)) {
        control->setEnabled(bEnabled);
    }
}

// --- commands --------------------------------------------------------------------------------

void CTillstreamDlg::OnCommand(int nID) {
    switch (nID) {
        case IDC_BUTTON_SELECT_FILE:
            OnButtonSelectFile();
            break;
        case IDC_BUTTON_OUTPUT_OPTION:
            OnButtonOutputOption();
            break;
        case IDC_BUTTON_OUTPUT_START:
            OnButtonOutputStart();
            break;
        case IDC_BUTTON_OUTPUT_STOP:
            OnButtonOutputStop();
            break;
        case IDC_BUTTON_INPUT_START:
            OnButtonInputStart();
            break;
        case IDC_BUTTON_INPUT_STOP:
            OnButtonInputStop();
            break;
        case IDC_BUTTON_INPUT_OPTION:
            OnButtonInputOption();
            break;
        case IDC_BUTTON_MAKE_TILLSTREAM_DATA:
            OnButtonMakeTillstreamData();
            break;
        case ID_TRAY_START:
            // The tray stands for the buttons: it starts only what the button could start now.
            if (Control(IDC_BUTTON_OUTPUT_START)->isEnabled()) {
                OnButtonOutputStart();
            }
            break;
        case ID_TRAY_STOP:
            if (Control(IDC_BUTTON_OUTPUT_STOP)->isEnabled()) {
                OnButtonOutputStop();
            }
            break;
        case ID_TRAY_OPEN:
            RestoreFromTray();
            break;
        case ID_TRAY_EXIT:
            done(QDialog::Rejected);
            break;
        case ID_TRAY_ALWAYS_ON_TOP:
            SetAlwaysOnTop(true);
            break;
        case ID_TRAY_NORMAL:
            SetAlwaysOnTop(false);
            break;
        default:
            break;
    }
}

void CTillstreamDlg::OnSysCommand(unsigned nID) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.exec();
        return;
    }
    if ((nID & 0xFFF0) == SC_MINIMIZE_COMMAND) {
        showMinimized();
        if (m_trayIcon.IsEnabled()) {
            hide();
        }
    }
}

long CTillstreamDlg::OnTrayNotification(unsigned long wParam, long lParam) {
    return m_trayIcon.OnTrayNotification(wParam, lParam);
}

// --- loading -----------------------------------------------------------------------------------

void CTillstreamDlg::OnButtonSelectFile() {
    const QString chosen = ChooseOpenFile(this);
    if (chosen.isEmpty()) {
        return;
    }
    LoadChosenFile(chosen);
}

void CTillstreamDlg::LoadChosenFile(const QString& chosen) {
    const std::string path = ToFileName(chosen);
    // Only a regular file can be a data file: a named pipe would hold this thread in its open,
    // a device such as /dev/zero would never end. Such a file is refused like a missing one.
    FileKind kind = FileKind::Regular;
    if (CheckRegularFile(path, kind) != FileError::None) {
        ShowMessageBox(this, QStringLiteral("ERROR - Can't Open file.\r\n%1").arg(chosen),
                       windowTitle());
        return;
    }
    m_widgets.ControlAs<QLineEdit>(IDC_EDIT_DATA_FILE)->setText(chosen);
    m_bConvertedFile = 0;
    m_strDataFile = path;
    ApplyFileKind(IsTillstreamDataFile(path));
    LoadDataToList(path);
}

void CTillstreamDlg::ApplyFileKind(int r) {
    bool bEnabled = false;
    int captionId = IDS_MAKE_TILLSTREAM_DATA;
    m_bConvertedFile = 0;
    if (r == 1) {
        m_bConvertedFile = 1;
        // A converted file can be restored only while its backup is there.
        if (PathExists(ConversionBackupPath(m_strDataFile))) {
            bEnabled = true;
            captionId = IDS_RESTORE_DATA;
        }
    } else if (r == 0) {
        bEnabled = true;  // a stamped hex log, whatever backup may lie next to it
    }
    auto* button = m_widgets.ControlAs<QPushButton>(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    button->setEnabled(bEnabled);
    button->setText(QString::fromStdString(LoadResourceString(captionId)));
}

int CTillstreamDlg::LoadDataToList(const std::string& path) {
    if (m_pDataModel->rowCount() != 0) {
        m_pDataModel->Clear();
    }
    if (m_pDataModel->Load(path) != 0) {
        return -1;
    }
    m_nLineCount = m_pDataModel->rowCount();
    return 0;
}

// --- conversion --------------------------------------------------------------------------------

void CTillstreamDlg::OnButtonMakeTillstreamData() {
    auto* button = m_widgets.ControlAs<QPushButton>(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    if (button->text() == QString::fromStdString(LoadResourceString(IDS_MAKE_TILLSTREAM_DATA))) {
        const int r = MakeTillstreamDataFile(m_strDataFile);
        if (r < 0) {
            ShowMessageBox(this, QString::fromStdString(LoadResourceString(IDS_MAKE_FAIL)),
                           Caption());
            return;
        }
        button->setText(QString::fromStdString(LoadResourceString(IDS_RESTORE_DATA)));
        ShowMessageBox(this, QString::fromStdString(LoadResourceString(IDS_MAKE_SUCCESS)),
                       Caption());
        m_bConvertedFile = 1;
        LoadDataToList(m_strDataFile);
        return;
    }

    const int r = RestoreDataFile(m_strDataFile);
    if (r == kRestoreBackupMissing) {
        // The backup has gone: the file is what it is, so it is judged again as loading does.
        ShowMessageBox(this, QString::fromStdString(LoadResourceString(IDS_RESTORE_FAIL)),
                       Caption());
        ApplyFileKind(IsTillstreamDataFile(m_strDataFile));
        return;
    }
    if (r < 0) {
        ShowMessageBox(this, QString::fromStdString(LoadResourceString(IDS_RESTORE_FAIL)),
                       Caption());
        return;
    }
    button->setText(QString::fromStdString(LoadResourceString(IDS_MAKE_TILLSTREAM_DATA)));
    ShowMessageBox(this, QString::fromStdString(LoadResourceString(IDS_RESTORE_SUCCESS)),
                   Caption());
    m_bConvertedFile = 0;
    LoadDataToList(m_strDataFile);
}

// --- options -----------------------------------------------------------------------------------

void CTillstreamDlg::OnButtonOutputOption() {
    COutputOptionDlg dlg(this);
    dlg.SetOptionData(m_option.Get());
    if (dlg.DoModal() == 2) {
        OptionRecord record = m_option.Get();
        dlg.GetOptionData(record);
        m_option.Set(record);
        SaveStoredOptions(record, "CTillstreamDlg::OnButtonOutputOption");
        RefreshOptionStatus();
    }
}

void CTillstreamDlg::OnButtonInputOption() {
    CInputOptionDlg dlg(this);
    dlg.SetOptionData(m_option.Get());
    if (dlg.DoModal() == 2) {
        OptionRecord record = m_option.Get();
        dlg.GetOptionData(record);
        m_option.Set(record);
        SaveStoredOptions(record, "CTillstreamDlg::OnButtonInputOption");
    }
}

// --- playback ----------------------------------------------------------------------------------

void CTillstreamDlg::OnButtonOutputStart() {
    const QString path = m_widgets.ControlAs<QLineEdit>(IDC_EDIT_DATA_FILE)->text();
    if (path.isEmpty()) {
        return;
    }
    SetButtonEnabled(IDC_BUTTON_OUTPUT_START, false);
    SetButtonEnabled(IDC_BUTTON_OUTPUT_STOP, true);
    m_listData->setEnabled(false);

    PlaybackRequest request;
    request.path = ToFileName(path);
    request.convertedFile = m_bConvertedFile != 0;
    request.lineCount = m_nLineCount;
    // A run still ending after a stop is not a refusal: the new run waits for it on its own.
    const std::uint64_t runId = m_outputPlayback.Start(request);
    if (runId == 0) {
        ShowMessageBox(this, QString::fromLatin1(kThreadStartError), Caption());
        return;
    }
    m_nOutputRunId = runId;
}

void CTillstreamDlg::OnButtonOutputStop() {
    m_outputPlayback.RequestStop();
    SetButtonEnabled(IDC_BUTTON_OUTPUT_START, true);
    SetButtonEnabled(IDC_BUTTON_OUTPUT_STOP, false);
    m_listData->selectionModel()->clearSelection();
    m_listData->setEnabled(true);
}

int CTillstreamDlg::DataListTopRow() const {
    return m_listData->verticalScrollBar()->value();
}

int CTillstreamDlg::DataListCountPerPage() const {
    if (m_pDataModel->rowCount() == 0) {
        return 0;
    }
    const int rowHeight = m_listData->visualRect(m_pDataModel->index(0, 0)).height();
    if (rowHeight <= 0) {
        return 0;
    }
    // Whole rows only, as a list counts its page.
    return m_listData->viewport()->height() / rowHeight;
}

void CTillstreamDlg::ShowPlaybackStart() {
    m_listData->verticalScrollBar()->setValue(0);
    m_progress->setValue(0);
}

void CTillstreamDlg::ShowPlaybackLine(int index, int percent) {
    if (index >= 0 && index < m_pDataModel->rowCount()) {
        m_listData->selectionModel()->select(
            m_pDataModel->index(index, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const int top = DataListTopRow();
        const int newTop = PageTopForLine(index, DataListCountPerPage(), top);
        if (newTop != top) {
            m_listData->verticalScrollBar()->setValue(newTop);
        }
    }
    m_progress->setValue(percent);
}

void CTillstreamDlg::ShowPlaybackRewind(int lastIndex) {
    if (lastIndex >= 0 && lastIndex < m_pDataModel->rowCount()) {
        m_listData->selectionModel()->select(
            m_pDataModel->index(lastIndex, 0),
            QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    }
    m_progress->setValue(0);
}

void CTillstreamDlg::OnPlaybackEnded(std::uint64_t runId) {
    // Only the run started last may put the buttons back; an earlier run's late notice would
    // otherwise stop the new one.
    if (runId == m_nOutputRunId) {
        OnButtonOutputStop();
    }
}

// --- capture -----------------------------------------------------------------------------------

void CTillstreamDlg::OnButtonInputStart() {
    SetButtonEnabled(IDC_BUTTON_INPUT_START, false);
    SetButtonEnabled(IDC_BUTTON_INPUT_STOP, true);
    const std::uint64_t runId = m_inputCapture.Start(m_option.Get());
    if (runId == 0) {
        ShowMessageBox(this, QString::fromLatin1(kThreadStartError), Caption());
        return;
    }
    m_nInputRunId = runId;
}

void CTillstreamDlg::OnButtonInputStop() {
    SetButtonEnabled(IDC_BUTTON_INPUT_START, true);
    SetButtonEnabled(IDC_BUTTON_INPUT_STOP, false);
    m_inputCapture.RequestStop();
}

void CTillstreamDlg::OnCaptureFailed(std::uint64_t runId) {
    if (runId == m_nInputRunId) {
        OnButtonInputStop();
    }
}

// --- tray and placement ------------------------------------------------------------------------

void CTillstreamDlg::RestoreFromTray() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    raise();
    activateWindow();
}

void CTillstreamDlg::SetAlwaysOnTop(bool bOnTop) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == bOnTop) {
        return;
    }
    // Changing a window flag re-creates the native window; it keeps its place and size.
    const QPoint position = pos();
    const bool bVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, bOnTop);
    move(position);
    if (bVisible) {
        show();
    }
}

void CTillstreamDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_trayIcon.IsEnabled()) {
        // Minimised windows leave the task bar for the tray; hidden later, not inside the
        // state change itself.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && m_trayIcon.IsEnabled()) {
                hide();
            }
        });
    }
}

// --- the window's end --------------------------------------------------------------------------

void CTillstreamDlg::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        // A push button with the keyboard focus is the default button for that moment: Enter
        // presses it. Only from any other control does Enter end the window, as OK would.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget());
            button != nullptr && button->isEnabled() && button->isVisible()) {
            button->click();
            return;
        }
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CTillstreamDlg::done(int r) {
    Shutdown();
    QDialog::done(r);
}

bool CTillstreamDlg::Shutdown() {
    if (m_bShutDown) {
        return m_bEnginesEnded;
    }
    m_bShutDown = true;
    // A worker waiting on a box must not keep the window from ending.
    m_messageBox.Release();
    CEngineShutdown shutdown(kEngineEndWait);
    if (m_outputPlayback.IsRunning()) {
        OnButtonOutputStop();
        shutdown.WaitForEngine("playback", [this](std::chrono::milliseconds limit) {
            return m_outputPlayback.WaitUntilEnded(limit);
        });
    }
    if (m_inputCapture.IsRunning()) {
        OnButtonInputStop();
        shutdown.WaitForEngine("capture", [this](std::chrono::milliseconds limit) {
            return m_inputCapture.WaitUntilEnded(limit);
        });
    }
    m_showWindowListener.Close();
    m_bEnginesEnded = shutdown.AllEnded();
    return m_bEnginesEnded;
}
