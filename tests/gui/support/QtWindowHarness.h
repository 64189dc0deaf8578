#pragma once
// Helpers for the Qt view's tests: a private home, Qt views whose prompts answer at once and are
// recorded, a notification area present or not whatever the display has, the main window made
// as the program makes it (the ui's CTillstreamDlg on these views), and a modal run acted upon
// from inside its own event loop.
#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TempHome.h"
#include "gui_qt/QtDialogView.h"
#include "gui_qt/QtTrayView.h"
#include "gui_qt/QtViewFactory.h"
#include "options/OptionStore.h"
#include "ui/TillstreamDlg.h"

// What the prompts answer, and what they were asked: the file chooser gives the next queued path
// (none left: cancelled), the folder chooser `folderAnswer` (empty: cancelled), a message box OK.
struct CQtPrompts {
    QStringList chosenFiles;
    QStringList texts;
    QStringList captions;
    std::vector<unsigned> flags;
    QStringList chooserTitles;
    QString folderAnswer;
};

// A Qt view whose prompts answer from `prompts` instead of waiting for a user.
class CAnsweringQtView : public CQtDialogView {
  public:
    CAnsweringQtView(CQtPrompts& prompts, const DialogTemplate& dialogTemplate,
                     CQtDialogView* pOwner, CViewEvents& events)
        : CQtDialogView(dialogTemplate, pOwner, events), m_prompts(prompts) {}

    int ShowMessageBox(const std::string& text, const std::string& caption,
                       unsigned nFlags) override {
        m_prompts.texts.append(QString::fromStdString(text));
        m_prompts.captions.append(QString::fromStdString(caption));
        m_prompts.flags.push_back(nFlags);
        return kIdOk;
    }
    bool ChooseOpenFile(const std::string&, std::string& path) override {
        if (m_prompts.chosenFiles.isEmpty()) {
            return false;
        }
        path = m_prompts.chosenFiles.takeFirst().toStdString();
        return true;
    }
    bool ChooseFolder(const std::string& title, std::string& folder) override {
        m_prompts.chooserTitles.append(QString::fromStdString(title));
        folder = m_prompts.folderAnswer.toStdString();
        return !folder.empty();
    }

  private:
    CQtPrompts& m_prompts;
};

// A tray view on a desktop that has a notification area, or has none.
class CTestTrayView : public CQtTrayView {
  public:
    CTestTrayView(CQtDialogView& owner, bool bAvailable)
        : CQtTrayView(owner), m_bAvailable(bAvailable) {}

  protected:
    bool HasNotificationArea() const override { return m_bAvailable; }

  private:
    bool m_bAvailable;
};

// The program's Qt views with answering prompts; the offscreen display has no notification area
// unless `bTrayAvailable` says there is one.
class CTestQtViewFactory : public CQtViewFactory {
  public:
    explicit CTestQtViewFactory(CQtPrompts& prompts, bool bTrayAvailable = false)
        : m_prompts(prompts), m_bTrayAvailable(bTrayAvailable) {}

    std::unique_ptr<CDialogView> CreateDialogView(const DialogTemplate& dialogTemplate,
                                                  CDialogView* pOwner,
                                                  CViewEvents& events) override {
        return std::make_unique<CAnsweringQtView>(m_prompts, dialogTemplate,
                                                  dynamic_cast<CQtDialogView*>(pOwner), events);
    }
    std::unique_ptr<CTrayView> CreateTrayView(CDialogView& owner) override {
        return std::make_unique<CTestTrayView>(dynamic_cast<CQtDialogView&>(owner),
                                               m_bTrayAvailable);
    }

  private:
    CQtPrompts& m_prompts;
    bool m_bTrayAvailable;
};

// The main window on the Qt views, made (not yet run) as the program's start makes it.
class CQtWindow {
  public:
    explicit CQtWindow(CQtPrompts& prompts, bool bTrayAvailable = false)
        : factory(prompts, bTrayAvailable), dlg(factory) {
        dlg.Create(nullptr);
    }

    CQtDialogView& View() const { return dynamic_cast<CQtDialogView&>(*dlg.View()); }
    QWidget* Control(int id) const { return View().Control(id); }
    template <class T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }

    CTestQtViewFactory factory;
    CTillstreamDlg dlg;
};

// Runs `action` on the view that is run modally next, from inside its event loop. A view the
// action left open is ended with kStillOpen.
inline constexpr int kStillOpen = 99;
inline void WhenModal(const std::function<void(CQtDialogView&)>& action) {
    QTimer::singleShot(0, [action] {
        auto* view = dynamic_cast<CQtDialogView*>(QApplication::activeModalWidget());
        if (view == nullptr) {
            qWarning("no modal view opened");
            return;
        }
        action(*view);
        if (view->isVisible()) {
            view->EndDialog(kStillOpen);
        }
    });
}

inline QString QPath(const std::string& path) {
    return QString::fromStdString(path);
}
