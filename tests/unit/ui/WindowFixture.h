#pragma once
// The main window under test: a private home (settings, runtime folder, data files), the option
// record stored before the window reads it, and the window made on a recording view whose
// prompts answer at once.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "RecordingView.h"
#include "RunOptions.h"
#include "TempHome.h"
#include "options/OptionStore.h"
#include "ui/ControlIds.h"
#include "ui/TillstreamDlg.h"

// Ends the test program with a message when the step in its scope has not come back within
// `limit`, so that a step that hangs (a deadlock, an open that never returns) fails the run
// instead of holding it for ever.
class CHangWatch {
  public:
    CHangWatch(std::string what, std::chrono::seconds limit)
        : m_thread([what = std::move(what), limit](std::stop_token stop) {
              std::mutex mutex;
              std::condition_variable_any changed;
              std::unique_lock lock(mutex);
              if (!changed.wait_for(lock, stop, limit, [] { return false; }) &&
                  !stop.stop_requested()) {
                  std::fprintf(stderr, "FAIL: %s did not come back in time\n", what.c_str());
                  std::_Exit(3);
              }
          }) {}

  private:
    std::jthread m_thread;
};

// A stamped hex log of three records, the second of them no hex at all.
inline constexpr char kHexLog[] =
    "[2026-12-06 05:59:12] 0x41 0x42\r\n"
    "[2026-12-06 05:59:13] hello\r\n"
    "[2026-12-06 05:59:14] 0x43 0x0D 0x0A\r\n";

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
    // Options that capture from COM `port` into `folder`.
    static OptionRecord CaptureOptions(int port, const std::string& folder) {
        OptionRecord record = MakeDefaultOptionRecord();
        record.inputComPort = port;
        SetCaptureFolder(record, folder.c_str());
        return record;
    }
    // The files in `folder` (none when it does not exist).
    static std::vector<std::string> FilesIn(const std::string& folder) {
        std::vector<std::string> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            files.push_back(entry.path().string());
        }
        return files;
    }

    // With a file of two lines loaded, chooses each of `names` in turn: each gets the error box
    // and leaves the loaded file as it was. A load that does not come back ends the test program.
    void ExpectLoadRefused(const std::vector<std::string>& names) {
        const std::string loaded = File("kept.txt", "one\ntwo\n");
        Choose(loaded);
        for (const std::string& chosen : names) {
            SCOPED_TRACE(chosen);
            views.boxes.clear();
            {
                CHangWatch watch("loading " + chosen, std::chrono::seconds(30));
                Choose(chosen);
            }
            ASSERT_EQ(views.boxes.size(), 1u);
            EXPECT_EQ(views.boxes[0].text, "ERROR - Can't Open file.\r\n" + chosen);
            EXPECT_EQ(views.boxes[0].caption, "Tillstream");
            EXPECT_EQ(views.boxes[0].flags, kMbOk);
            EXPECT_EQ(dlg->DataFile(), loaded);
            EXPECT_EQ(Main().GetItemText(IDC_EDIT_DATA_FILE), loaded);
            EXPECT_EQ(dlg->LineCount(), 2);
            EXPECT_EQ(Main().Item(IDC_LIST_DATA).count, 2);
        }
    }

    // The option status list's rows.
    std::vector<std::vector<std::string>> Rows() { return Main().Item(IDC_LIST_OPTION).rows; }
    bool Enabled(int nId) { return Main().IsItemEnabled(nId); }
    // Runs the window's posted work until `done` holds (10 s at most).
    bool WaitFor(const std::function<bool()>& done) { return Main().RunPostedUntil(done); }

    CRecordingFactory views;
    std::unique_ptr<CTillstreamDlg> dlg;
};
