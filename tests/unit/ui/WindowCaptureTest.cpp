// Capture driven from the window's (hidden) input buttons, with a pseudo-terminal as the port.
#include "PtyPair.h"

#include <filesystem>

#include "WindowFixture.h"
#include "ui/ViewConstants.h"

namespace {
OptionRecord CaptureOptions(int comPort, const std::string& folder) {
    OptionRecord record = MakeDefaultOptionRecord();
    record.inputComPort = comPort;
    SetCaptureFolder(record, folder.c_str());
    return record;
}

// The capture files (*.dat) in `folder`, with their full paths.
std::vector<std::string> CaptureFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".dat") {
            files.push_back(entry.path().string());
        }
    }
    return files;
}
}  // namespace

using WindowCaptureTest = WindowFixture;

TEST_F(WindowCaptureTest, CaptureWritesWhatArrivesUntilStopped) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    pty.LinkAsComPort(2);
    const std::string folder = home.Path("captures/day");  // missing: made by the run
    StoreOptions(CaptureOptions(2, folder));
    Open();

    dlg->OnCommand(IDC_BUTTON_INPUT_START);
    EXPECT_FALSE(Enabled(IDC_BUTTON_INPUT_START));
    EXPECT_TRUE(Enabled(IDC_BUTTON_INPUT_STOP));
    ASSERT_TRUE(WaitFor([&] { return CaptureFiles(folder).size() == 1; }));
    const std::string file = CaptureFiles(folder).front();

    // The port may still be opening (and purging) when the file appears: knock until the first
    // byte gets through, then send what is checked.
    ASSERT_TRUE(WaitFor([&] {
        pty.WriteToMaster(".");
        return !ReadFileBytes(file).empty();
    }));
    pty.WriteToMaster("AB");
    pty.WriteToMaster(std::string("C\0D", 3));
    ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(file).ends_with(std::string("C\0D", 3)); }));

    dlg->OnCommand(IDC_BUTTON_INPUT_STOP);
    EXPECT_TRUE(Enabled(IDC_BUTTON_INPUT_START));
    EXPECT_FALSE(Enabled(IDC_BUTTON_INPUT_STOP));
    ASSERT_TRUE(WaitFor([this] { return !dlg->IsInputRunning(); }));
    const std::string bytes = ReadFileBytes(file);
    const std::size_t knocks = bytes.find_first_not_of('.');
    ASSERT_TRUE(knocks != std::string::npos && knocks > 0);
    EXPECT_EQ(bytes.substr(knocks), std::string("ABC\0D", 5));
    EXPECT_TRUE(views.boxes.empty());
}

TEST_F(WindowCaptureTest, APortThatCannotBeOpenedIsReportedAndTheButtonsGoBack) {
    PtyPair placeholder;  // only to make the ports folder; COM3 is linked to nothing real
    placeholder.LinkAsComPort(4);
    std::filesystem::create_symlink("/nonexistent/tillstream-no-such-port",
                                    home.SettingsFolder() + "/ports/COM3");
    const std::string folder = home.Path("cap");
    StoreOptions(CaptureOptions(3, folder));
    Open();

    dlg->OnCommand(IDC_BUTTON_INPUT_START);
    // The channel's box reaches the user from the capture thread through the window; the failed
    // run then puts the buttons back as Input Stop does.
    ASSERT_TRUE(WaitFor([this] { return views.boxes.size() == 1; }));
    ASSERT_TRUE(WaitFor([this] { return Enabled(IDC_BUTTON_INPUT_START); }));
    EXPECT_FALSE(Enabled(IDC_BUTTON_INPUT_STOP));
    ASSERT_TRUE(WaitFor([this] { return !dlg->IsInputRunning(); }));
    // The capture file was made before the port was tried; it stays, empty.
    const auto files = CaptureFiles(folder);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(files.front()), 0u);
}

TEST_F(WindowCaptureTest, EndingTheWindowDuringCaptureStopsIt) {
    PtyPair pty;
    pty.LinkAsComPort(5);
    const std::string folder = home.Path("cap");
    StoreOptions(CaptureOptions(5, folder));
    CRecordingView& main = Open();
    dlg->OnCommand(IDC_BUTTON_INPUT_START);
    ASSERT_TRUE(WaitFor([&] { return CaptureFiles(folder).size() == 1; }));
    EXPECT_TRUE(dlg->IsInputRunning());
    main.PressKey(kVkEscape, -1);
    EXPECT_TRUE(main.IsEnded());
    EXPECT_FALSE(dlg->IsInputRunning());
    dlg.reset();
}
