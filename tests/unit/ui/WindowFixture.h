#pragma once
// The main window under test: a private home (settings, runtime folder, data files), the option
// record stored before the window reads it, and the window made on a recording view whose
// prompts answer at once.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RecordingView.h"
#include "TempHome.h"
#include "options/OptionStore.h"
#include "ui/ControlIds.h"
#include "ui/TillstreamDlg.h"

class WindowFixture : public TempHomeTest {
  protected:
    // Makes the main window, as the program's start does, and returns its view.
    CRecordingView& Open() {
        dlg = std::make_unique<CTillstreamDlg>(views);
        EXPECT_TRUE(dlg->Create(nullptr));
        return Main();
    }
    CRecordingView& Main() { return views.Find(IDD_TILLSTREAM_DIALOG); }

    std::string File(const std::string& name, const std::string& bytes) {
        const std::string path = home.Path(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    // Loads `path` as if the user had chosen it with "...".
    void Choose(const std::string& path) {
        views.chosenFiles.push_back(path);
        Main().Click(IDC_BUTTON_SELECT_FILE);
    }
    // Stores `record` as the user's option record, as a confirmed option dialog would.
    static void StoreOptions(const OptionRecord& record) { SaveStoredOptions(record, "test"); }

    // The option status list's rows.
    std::vector<std::vector<std::string>> Rows() { return Main().Item(IDC_LIST_OPTION).rows; }
    bool Enabled(int nId) { return Main().IsItemEnabled(nId); }
    // Runs the window's posted work until `done` holds (10 s at most).
    bool WaitFor(const std::function<bool()>& done) { return Main().RunPostedUntil(done); }

    CRecordingFactory views;
    std::unique_ptr<CTillstreamDlg> dlg;
};
