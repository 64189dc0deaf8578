#include "gui_qt/QtDialogView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>

#include "gui_qt/IpAddressCtrl.h"
#include "gui_qt/LineListModel.h"
#include "gui_qt/LineListView.h"
#include "gui_qt/UserPrompts.h"
#include "platform/ShowWindowListener.h"
#include "ui/ViewConstants.h"

namespace {
QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}

std::string FromQ(const QString& text) {
    return text.toStdString();
}

Qt::Alignment ColumnAlignment(int nAlign) {
    return (nAlign == kColumnCenter ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
}

ViewRect ToViewRect(const QRect& rect) {
    return ViewRect{rect.x(), rect.y(), rect.width(), rect.height()};
}
}  // namespace

CQtDialogView::CQtDialogView(const DialogTemplate& dialogTemplate, CQtDialogView* pOwner,
                             CViewEvents& events)
    : QDialog(pOwner), m_pEvents(&events), m_bMainWindow(dialogTemplate.Has("appwindow")) {
    if (dialogTemplate.Has("minimizebox")) {
        // A fixed-size window with a minimise box and no maximise box.
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                       Qt::WindowCloseButtonHint);
    } else {
        setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
    }
    m_widgets.Build(dialogTemplate, this);
    for (const ControlTemplate& control : dialogTemplate.controls) {
        if (auto* button = m_widgets.ControlAs<QAbstractButton>(control.id)) {
            connect(button, &QAbstractButton::clicked, this,
                    [this, id = control.id] { m_pEvents->OnCommand(id); });
        }
    }
    // Enter, Escape and F1 must reach the ui whichever control has the focus, including a page's
    // controls, the address fields and push buttons, which would otherwise use them.
    qApp->installEventFilter(this);
}

CQtDialogView::CQtDialogView(const DialogTemplate& pageTemplate, CQtDialogView& parent,
                             int nInsertAfterId)
    : QDialog(&parent), m_pEvents(parent.m_pEvents), m_bPage(true) {
    setWindowFlags(Qt::Widget);
    m_widgets.Build(pageTemplate, this);
    hide();
    move(0, 0);
    // The page's controls take their place in the parent's tab order.
    QWidget* previous = parent.Control(nInsertAfterId);
    for (QWidget* control : m_widgets.TabStops()) {
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, control);
        }
        previous = control;
    }
}

CQtDialogView::~CQtDialogView() {
    if (!m_bPage) {
        qApp->removeEventFilter(this);
    }
    // The notifier goes before the descriptor it watches.
    delete m_pListenerNotifier;
    m_pListener.reset();
}

void CQtDialogView::Post(std::function<void()> work) {
    // Queued to this window: dropped, never run, when the window is gone before it is handled.
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

// --- events -----------------------------------------------------------------------------------

bool CQtDialogView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !m_bPage) {
        auto* widget = static_cast<QWidget*>(watched);
        int nVirtualKey = 0;
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                nVirtualKey = kVkReturn;
                break;
            case Qt::Key_Escape:
                nVirtualKey = kVkEscape;
                break;
            case Qt::Key_F1:
                nVirtualKey = kVkF1;
                break;
            default:
                break;
        }
        if (nVirtualKey != 0 && (widget == this || isAncestorOf(widget))) {
            event->accept();
            m_pEvents->OnKeyDown(nVirtualKey, CTemplateWidgets::ControlIdOf(widget));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CQtDialogView::closeEvent(QCloseEvent* event) {
    // The close box is a command like any other: the ui decides whether the window ends.
    event->ignore();
    m_pEvents->OnSysCommand(kScClose);
}

void CQtDialogView::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !m_bPage && isMinimized() && isVisible()) {
        // The window manager minimised the window: the ui hears it as the minimise command,
        // after the state change itself has run its course.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && isVisible()) {
                m_pEvents->OnSysCommand(kScMinimize);
            }
        });
    }
}

// --- controls -----------------------------------------------------------------------------------

void CQtDialogView::SetItemText(int nId, const std::string& text) {
    QWidget* control = Control(nId);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(ToQ(text));
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (combo->isEditable()) {
            combo->setEditText(ToQ(text));
        } else {
            combo->setCurrentIndex(combo->findText(ToQ(text)));
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(ToQ(text));
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(ToQ(text));
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(ToQ(text));
    }
}

std::string CQtDialogView::GetItemText(int nId) const {
    QWidget* control = Control(nId);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        return FromQ(edit->text());
    }
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        return FromQ(combo->currentText());
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        return FromQ(button->text());
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return FromQ(label->text());
    }
    if (auto* group = qobject_cast<QGroupBox*>(control)) {
        return FromQ(group->title());
    }
    return std::string();
}

void CQtDialogView::EnableItem(int nId, bool bEnable) {
    if (QWidget* control = Control(nId)) {
        control->setEnabled(bEnable);
    }
}

bool CQtDialogView::IsItemEnabled(int nId) const {
    QWidget* control = Control(nId);
    return control != nullptr && control->isEnabled();
}

void CQtDialogView::ShowItem(int nId, bool bShow) {
    if (QWidget* control = Control(nId)) {
        control->setVisible(bShow);
    }
}

bool CQtDialogView::IsItemShown(int nId) const {
    const QWidget* control = Control(nId);
    return control != nullptr && !control->isHidden();
}

int CQtDialogView::GetFocus() const {
    // The focus widget of the window is kept while another window is active, as the dialog
    // manager keeps the control that had the focus.
    const QWidget* focus = window()->focusWidget();
    return focus != nullptr && isAncestorOf(focus) ? CTemplateWidgets::ControlIdOf(focus) : -1;
}

void CQtDialogView::GotoDlgCtrl(int nId) {
    if (QWidget* control = Control(nId)) {
        control->setFocus(Qt::TabFocusReason);
    }
}

void CQtDialogView::CheckItem(int nId, bool bCheck) {
    if (auto* button = m_widgets.ControlAs<QAbstractButton>(nId)) {
        button->setChecked(bCheck);
    }
}

bool CQtDialogView::IsItemChecked(int nId) const {
    auto* button = m_widgets.ControlAs<QAbstractButton>(nId);
    return button != nullptr && button->isChecked();
}

void CQtDialogView::ResetContent(int nId) {
    if (auto* combo = m_widgets.ControlAs<QComboBox>(nId)) {
        combo->clear();
        if (combo->isEditable()) {
            combo->clearEditText();
        }
    }
}

void CQtDialogView::AddString(int nId, const std::string& text) {
    if (auto* combo = m_widgets.ControlAs<QComboBox>(nId)) {
        combo->addItem(ToQ(text));
    }
}

void CQtDialogView::SetCurSel(int nId, int nIndex) {
    if (auto* combo = m_widgets.ControlAs<QComboBox>(nId)) {
        combo->setCurrentIndex(nIndex);
        if (nIndex < 0 && combo->isEditable()) {
            combo->setEditText(QString());
        }
    }
}

void CQtDialogView::SetAddress(int nId, std::uint32_t dwAddress) {
    if (auto* address = m_widgets.ControlAs<CIpAddressCtrl>(nId)) {
        address->SetAddress(dwAddress);
    }
}

std::uint32_t CQtDialogView::GetAddress(int nId) const {
    auto* address = m_widgets.ControlAs<CIpAddressCtrl>(nId);
    return address != nullptr ? address->GetAddress() : 0;
}

// --- lists
// ----------------------------------------------------------------------------------------

QStandardItemModel* CQtDialogView::RowModel(int nId) {
    auto* view = m_widgets.ControlAs<QTreeView>(nId);
    if (view == nullptr) {
        return nullptr;
    }
    QStandardItemModel*& model = m_rowModels[nId];
    if (model == nullptr) {
        model = new QStandardItemModel(0, 0, view);
        view->setModel(model);
    }
    return model;
}

CLineListModel* CQtDialogView::VirtualModel(int nId) {
    auto* view = m_widgets.ControlAs<CLineListView>(nId);
    if (view == nullptr) {
        return nullptr;
    }
    auto* model = qobject_cast<CLineListModel*>(view->model());
    if (model == nullptr) {
        model = new CLineListModel(view);
        view->setModel(model);
        view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    }
    return model;
}

int CQtDialogView::GetListClientWidth(int nId) const {
    auto* view = m_widgets.ControlAs<QAbstractItemView>(nId);
    return view != nullptr ? view->width() - 2 * view->frameWidth() : 0;
}

void CQtDialogView::InsertListColumn(int nId, int nColumn, const std::string& heading, int nWidth,
                                     int nAlign) {
    if (auto* view = m_widgets.ControlAs<CLineListView>(nId)) {
        // A virtual list has its one column.
        if (CLineListModel* model = VirtualModel(nId)) {
            model->SetHeading(ToQ(heading), ColumnAlignment(nAlign));
        }
        view->setColumnWidth(0, nWidth);
        return;
    }
    QStandardItemModel* model = RowModel(nId);
    if (model == nullptr) {
        return;
    }
    model->insertColumn(nColumn);
    auto* item = new QStandardItem(ToQ(heading));
    item->setTextAlignment(ColumnAlignment(nAlign));
    model->setHorizontalHeaderItem(nColumn, item);
    m_widgets.ControlAs<QTreeView>(nId)->setColumnWidth(nColumn, nWidth);
}

void CQtDialogView::DeleteAllListItems(int nId) {
    if (QStandardItemModel* model = RowModel(nId)) {
        model->removeRows(0, model->rowCount());
    }
}

void CQtDialogView::AddListRow(int nId, const std::vector<std::string>& texts) {
    QStandardItemModel* model = RowModel(nId);
    if (model == nullptr) {
        return;
    }
    QList<QStandardItem*> items;
    for (const std::string& text : texts) {
        auto* item = new QStandardItem(ToQ(text));
        item->setEditable(false);
        items.append(item);
    }
    model->appendRow(items);
}

void CQtDialogView::SetListSource(int nId, const CListSource* pSource) {
    if (CLineListModel* model = VirtualModel(nId)) {
        model->SetSource(pSource);
    }
}

void CQtDialogView::SetListItemCount(int nId, int nCount) {
    if (CLineListModel* model = VirtualModel(nId)) {
        model->SetRowCount(nCount);
    }
}

void CQtDialogView::SetListItemSelected(int nId, int nIndex, bool bSelected) {
    auto* view = m_widgets.ControlAs<QAbstractItemView>(nId);
    if (view == nullptr || view->selectionModel() == nullptr) {
        return;
    }
    if (nIndex < 0) {
        if (bSelected) {
            view->selectAll();
        } else {
            view->selectionModel()->clearSelection();
        }
        return;
    }
    const QModelIndex index = view->model()->index(nIndex, 0);
    if (!index.isValid()) {
        return;
    }
    // One item's state, the others left as they are; only a single-selection list lets go of
    // the item selected before.
    QItemSelectionModel::SelectionFlags flags =
        bSelected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect;
    if (bSelected && view->selectionMode() == QAbstractItemView::SingleSelection) {
        flags = QItemSelectionModel::ClearAndSelect;
    }
    view->selectionModel()->select(index, flags | QItemSelectionModel::Rows);
}

int CQtDialogView::GetListTopIndex(int nId) const {
    auto* view = m_widgets.ControlAs<QAbstractItemView>(nId);
    return view != nullptr ? view->verticalScrollBar()->value() : 0;
}

int CQtDialogView::GetListCountPerPage(int nId) const {
    auto* view = m_widgets.ControlAs<CLineListView>(nId);
    if (view == nullptr) {
        return 0;
    }
    // Whole rows only, as a list counts its page.
    const int rowHeight = view->verticalHeader()->defaultSectionSize();
    return rowHeight > 0 ? view->viewport()->height() / rowHeight : 0;
}

void CQtDialogView::SetListTopIndex(int nId, int nTop) {
    if (auto* view = m_widgets.ControlAs<QAbstractItemView>(nId)) {
        view->verticalScrollBar()->setValue(nTop);
    }
}

void CQtDialogView::SetProgressRange(int nId, int nLower, int nUpper) {
    if (auto* bar = m_widgets.ControlAs<QProgressBar>(nId)) {
        bar->setRange(nLower, nUpper);
    }
}

void CQtDialogView::SetProgressPos(int nId, int nPos) {
    if (auto* bar = m_widgets.ControlAs<QProgressBar>(nId)) {
        bar->setValue(nPos);
    }
}

ViewRect CQtDialogView::GetItemRect(int nId) const {
    QWidget* control = Control(nId);
    return control != nullptr ? ToViewRect(control->geometry()) : ViewRect{};
}

void CQtDialogView::MoveItem(int nId, int x, int y) {
    if (QWidget* control = Control(nId)) {
        control->move(x, y);
    }
}

// --- the window -------------------------------------------------------------------------------

ViewRect CQtDialogView::GetWindowRect() const {
    return ToViewRect(geometry());
}

ViewRect CQtDialogView::GetWorkArea() const {
    const QScreen* shown = screen();
    return shown != nullptr ? ToViewRect(shown->availableGeometry()) : ViewRect{};
}

void CQtDialogView::SetWindowSize(int nWidth, int nHeight) {
    setFixedSize(nWidth, nHeight);
}

void CQtDialogView::MoveWindow(int x, int y) {
    move(x, y);
}

void CQtDialogView::ShowWindow(int nCmdShow) {
    switch (nCmdShow) {
        case kSwHide:
            hide();
            break;
        case kSwMinimize:
            showMinimized();
            break;
        case kSwShowNormal:
            setWindowState(windowState() & ~Qt::WindowMinimized);
            showNormal();
            break;
        default:
            show();
            break;
    }
}

void CQtDialogView::SetForegroundWindow() {
    activateWindow();
}

void CQtDialogView::BringToFront() {
    raise();
    activateWindow();
}

void CQtDialogView::SetTopMost(bool bTopMost) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == bTopMost) {
        return;
    }
    // Changing a window flag re-creates the native window; it keeps its place and size.
    const QPoint position = pos();
    const bool bVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, bTopMost);
    move(position);
    if (bVisible) {
        show();
    }
}

void CQtDialogView::AppendSystemMenuItem(unsigned nId, const std::string& text) {
    // The window manager's menu takes no items from the program.
    (void)nId;
    (void)text;
}

void CQtDialogView::AppendContextMenuItem(unsigned nId, const std::string& text) {
    auto* action = new QAction(this);
    if (text.empty()) {
        action->setSeparator(true);
    } else {
        action->setText(ToQ(text));
        connect(action, &QAction::triggered, this, [this, nId] { m_pEvents->OnSysCommand(nId); });
    }
    addAction(action);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CQtDialogView::AcceptShowWindowRequests() {
    delete m_pListenerNotifier;
    m_pListenerNotifier = nullptr;
    m_pListener = std::make_unique<CShowWindowListener>(
        [this](long lParam) { return m_pEvents->OnShowWindowRequest(lParam); });
    if (!m_pListener->Listen()) {
        m_pListener.reset();  // another instance has the requests; this one runs without
        return;
    }
    m_pListenerNotifier =
        new QSocketNotifier(m_pListener->EventDescriptor(), QSocketNotifier::Read, this);
    connect(m_pListenerNotifier, &QSocketNotifier::activated, this, [this] {
        // Off while the requests are handled, so that a loop run by a handler does not take
        // the same events again.
        m_pListenerNotifier->setEnabled(false);
        m_pListener->HandleEvents();
        m_pListenerNotifier->setEnabled(true);
    });
}

// --- modal run --------------------------------------------------------------------------------

int CQtDialogView::RunModal() {
    if (m_bEnded) {
        return m_nResult;
    }
    if (!m_bMainWindow) {
        return exec();
    }
    // The main window runs as the program's window rather than in a modal loop of its own: a
    // hidden modal dialog would end its loop, and minimising to the tray hides the window.
    show();
    QEventLoop loop;
    m_pLoop = &loop;
    const int result = loop.exec();
    m_pLoop = nullptr;
    return result;
}

void CQtDialogView::EndDialog(int nResult) {
    m_bEnded = true;
    m_nResult = nResult;
    done(nResult);
    if (m_pLoop != nullptr) {
        m_pLoop->exit(nResult);
    }
}

// --- prompts ----------------------------------------------------------------------------------

int CQtDialogView::ShowMessageBox(const std::string& text, const std::string& caption,
                                  unsigned nFlags) {
    return ::ShowMessageBox(this, ToQ(text), ToQ(caption), nFlags);
}

bool CQtDialogView::ChooseOpenFile(const std::string& filter, std::string& path) {
    const QString chosen = ::ChooseOpenFile(this, ToQ(filter));
    if (chosen.isEmpty()) {
        return false;
    }
    path = QFile::encodeName(chosen).toStdString();
    return true;
}

bool CQtDialogView::ChooseFolder(const std::string& title, std::string& folder) {
    const QString chosen = ::ChooseFolder(this, ToQ(title));
    if (chosen.isEmpty()) {
        return false;
    }
    folder = QFile::encodeName(chosen).toStdString();
    return true;
}
