#pragma once
// The option dialogs under test: a private home where every COM port is absent unless a test
// links a pseudo-terminal to it, and a modal run on a record acted upon as a user would.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "PtyPair.h"
#include "RecordingView.h"
#include "TempHome.h"
#include "options/OptionRecord.h"
#include "platform/UserFolders.h"
#include "ui/ControlIds.h"

class OptionDlgFixture : public TempHomeTest {
  protected:
    void SetUp() override {
        // Every port the program probes (0 to 31) names a device that does not exist, so that
        // the machine's own serial lines never appear in a list.
        PtyPair::MakeComPortsAbsent(0, 31);
        record = MakeDefaultOptionRecord();
    }

    // Runs a fresh `Dialog` on `record` as the window does: SetOptionData, the modal run with
    // `action`, and on a result of 2 the edited record copied back into `record`. A dialog the
    // action left open gives kStillOpen.
    template <class Dialog>
    int Run(const std::function<void(CRecordingView&)>& action) {
        Dialog dialog(views);
        dialog.SetOptionData(record);
        views.OnModal(dialog.Template().id, action);
        const int result = dialog.DoModal();
        if (result == 2) {
            dialog.GetOptionData(record);
        }
        return result;
    }

    static bool SameRecord(const OptionRecord& a, const OptionRecord& b) {
        return std::memcmp(&a, &b, sizeof(OptionRecord)) == 0;
    }

    CRecordingFactory views;
    OptionRecord record{};
};
