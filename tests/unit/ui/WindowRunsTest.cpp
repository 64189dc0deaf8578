// The window's runs: playing a file to a real loopback receiver (the buttons, the list and the
// bar while a run goes on, stopping it, the window's end during a run), capturing a
// pseudo-terminal into files, and both under faults: a serial device that disappears, Start and
// Stop pressed a thousand times in quick succession.
#include "HangupPty.h"
#include "LoopbackServer.h"
#include "PtyPair.h"
#include "WindowFixture.h"
#include "datafile/FileNames.h"

class WindowRunsTest : public WindowFixture {
  protected:
    std::set<int> Selected() { return Main().Item(IDC_LIST_DATA).selected; }
};

// --- playback -----------------------------------------------------------------------------------

TEST_F(WindowRunsTest, ARunPlaysTheFileAndPutsTheButtonsBack) {
    LoopbackTcpServer receiver;
    StoreOptions(TcpOptions(receiver.Port(), 10));
    CRecordingView& main = Open();
    main.Click(IDC_BUTTON_OUTPUT_START);  // without a file: nothing
    EXPECT_FALSE(dlg->IsOutputRunning());
    EXPECT_FALSE(Enabled(IDC_BUTTON_OUTPUT_STOP));
    Choose(File("day.txt", "L0\r\nL1\r\nL2\r\nL3\r\nL4\r\n"));

    main.Click(IDC_BUTTON_OUTPUT_START);
    EXPECT_FALSE(Enabled(IDC_BUTTON_OUTPUT_START));
    EXPECT_TRUE(Enabled(IDC_BUTTON_OUTPUT_STOP));
    EXPECT_FALSE(Enabled(IDC_LIST_DATA));
    // The file ends with looping off: the run ends and the window goes back to idle.
    ASSERT_TRUE(WaitFor([this] { return Enabled(IDC_BUTTON_OUTPUT_START); }));
    EXPECT_FALSE(Enabled(IDC_BUTTON_OUTPUT_STOP));
    EXPECT_TRUE(Enabled(IDC_LIST_DATA));
    EXPECT_TRUE(Selected().empty());
    ASSERT_TRUE(receiver.WaitForBytes(20));
    EXPECT_EQ(receiver.Received(), "L0\r\nL1\r\nL2\r\nL3\r\nL4\r\n");
    // The bar shows the last line's share and stays there.
    EXPECT_EQ(main.Item(IDC_PROGRESS).pos, 80);
    EXPECT_TRUE(WaitFor([this] { return !dlg->IsOutputRunning(); }));
    EXPECT_TRUE(views.boxes.empty());
}

TEST_F(WindowRunsTest, StopEndsALoopingRunAndStartPlaysAgain) {
    LoopbackTcpServer receiver;
    StoreOptions(TcpOptions(receiver.Port(), 20, true));
    CRecordingView& main = Open();
    Choose(File("loop.txt", "A\nB\nC\n"));

    main.Click(IDC_BUTTON_OUTPUT_START);
    // More than one pass (the run went round), and at every moment at most the line being
    // played selected.
    std::size_t mostSelected = 0;
    ASSERT_TRUE(WaitFor([&] {
        mostSelected = std::max(mostSelected, Selected().size());
        return receiver.ByteCount() >= 3 * 2 * 3;
    }));
    EXPECT_EQ(mostSelected, 1u);
    main.Click(IDC_BUTTON_OUTPUT_STOP);
    EXPECT_TRUE(Enabled(IDC_BUTTON_OUTPUT_START));
    EXPECT_FALSE(Enabled(IDC_BUTTON_OUTPUT_STOP));
    EXPECT_TRUE(receiver.WaitForClosed(1));
    EXPECT_TRUE(WaitFor([this] { return !dlg->IsOutputRunning(); }));
    EXPECT_EQ(receiver.Received().substr(0, 8), "A\nB\nC\nA\n");

    // Start right after a stop, before the old run has told the window it ended: the old run's
    // late notice must not stop the new one.
    main.Click(IDC_BUTTON_OUTPUT_START);
    main.Click(IDC_BUTTON_OUTPUT_STOP);
    main.Click(IDC_BUTTON_OUTPUT_START);
    ASSERT_TRUE(receiver.WaitForConnections(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    main.RunPosted();  // the first run's end notice
    EXPECT_TRUE(dlg->IsOutputRunning());
    EXPECT_TRUE(Enabled(IDC_BUTTON_OUTPUT_STOP));
    EXPECT_FALSE(Enabled(IDC_BUTTON_OUTPUT_START));
    main.Click(IDC_BUTTON_OUTPUT_STOP);
    EXPECT_TRUE(WaitFor([this] { return !dlg->IsOutputRunning(); }));
}

TEST_F(WindowRunsTest, EndingTheWindowStopsAPlayAndACapture) {
    // A pause far longer than any test: only a stop that cuts it short ends the run.
    LoopbackTcpServer receiver;
    OptionRecord record = TcpOptions(receiver.Port(), 600000, true);
    PtyPair pty;
    pty.LinkAsComPort(5);
    record.inputComPort = 5;
    SetCaptureFolder(record, home.Path("cap").c_str());
    StoreOptions(record);
    CRecordingView& main = Open();
    Choose(File("long.txt", "ONE\nTWO\n"));
    main.Click(IDC_BUTTON_OUTPUT_START);
    dlg->OnCommand(IDC_BUTTON_INPUT_START);
    ASSERT_TRUE(receiver.WaitForBytes(4));
    ASSERT_TRUE(WaitFor([this] { return FilesIn(home.Path("cap")).size() == 1; }));

    main.Close();
    EXPECT_TRUE(main.IsEnded());
    EXPECT_FALSE(dlg->IsOutputRunning());
    EXPECT_FALSE(dlg->IsInputRunning());
    EXPECT_TRUE(receiver.WaitForClosed(1));
    EXPECT_EQ(receiver.Received(), "ONE\n");
}

TEST_F(WindowRunsTest, TheFileInPlayIsNeitherConvertedNorRestored) {
    LoopbackTcpServer receiver;
    StoreOptions(TcpOptions(receiver.Port(), 600000, true));
    const std::string path = File("log.txt",
                                  "[2026-12-06 05:59:12] 0x41 0x42\r\n"
                                  "[2026-12-06 05:59:13] 0x43\r\n");
    CRecordingView& main = Open();
    Choose(path);
    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    EXPECT_EQ(views.boxes.back().text, "Success, Make tillstream data.");
    const std::string converted = ReadFileBytes(path);

    main.Click(IDC_BUTTON_OUTPUT_START);
    ASSERT_TRUE(receiver.WaitForBytes(2));
    EXPECT_EQ(receiver.Received(), "AB");  // converted lines go out as bytes
    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    EXPECT_EQ(views.boxes.back().text, "Fail, Restore data.");
    EXPECT_EQ(ReadFileBytes(path), converted);
    EXPECT_TRUE(FileExists(BackupFilePath(path)));

    // Loading the file being played works as ever.
    Choose(path);
    EXPECT_EQ(dlg->LineCount(), 2);
    EXPECT_TRUE(dlg->IsConvertedFile());
    main.Click(IDC_BUTTON_OUTPUT_STOP);
    EXPECT_TRUE(WaitFor([this] { return !dlg->IsOutputRunning(); }));
}

TEST_F(WindowRunsTest, TheLineBeingPlayedIsSelectedAndInView) {
    CRecordingView& main = Open();
    std::string bytes;
    for (int i = 0; i < 100; ++i) {
        bytes += "line " + std::to_string(i) + "\n";
    }
    Choose(File("hundred.txt", bytes));
    dlg->ShowPlaybackStart();
    for (int i = 0; i < 100; ++i) {
        dlg->ShowPlaybackLine(i, i);
        EXPECT_EQ(Selected(), std::set<int>{i});
        const int top = main.Item(IDC_LIST_DATA).top;
        EXPECT_TRUE(top <= i && i < top + CRecordingView::kCountPerPage) << i;
        EXPECT_EQ(main.Item(IDC_PROGRESS).pos, i);
    }
    // After a rewind the first line is brought back into view.
    dlg->ShowPlaybackRewind(99);
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(main.Item(IDC_PROGRESS).pos, 0);
    dlg->ShowPlaybackLine(0, 0);
    EXPECT_EQ(Selected(), std::set<int>{0});
    EXPECT_EQ(main.Item(IDC_LIST_DATA).top, 0);

    // With no delay only some lines are told: the line shown before is unselected all the same,
    // and the next pass's first line, told before the rewind, stays the one selected.
    for (const int line : {3, 40, 97}) {
        dlg->ShowPlaybackLine(line, line);
        EXPECT_EQ(Selected(), std::set<int>{line});
    }
    dlg->ShowPlaybackLine(0, 0);
    dlg->ShowPlaybackRewind(99);
    EXPECT_EQ(Selected(), std::set<int>{0});
    dlg->ShowPlaybackLine(1, 1);
    EXPECT_EQ(Selected(), std::set<int>{1});
    dlg->OnButtonOutputStop();
    EXPECT_TRUE(Selected().empty());
}

// --- capture ------------------------------------------------------------------------------------

TEST_F(WindowRunsTest, CaptureWritesWhatArrivesUntilStopped) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    pty.LinkAsComPort(2);
    const std::string folder = home.Path("captures/day");  // missing: made by the run
    StoreOptions(CaptureOptions(2, folder));
    Open();

    dlg->OnCommand(IDC_BUTTON_INPUT_START);
    EXPECT_FALSE(Enabled(IDC_BUTTON_INPUT_START));
    EXPECT_TRUE(Enabled(IDC_BUTTON_INPUT_STOP));
    ASSERT_TRUE(WaitFor([&] { return FilesIn(folder).size() == 1; }));
    const std::string file = FilesIn(folder).front();
    EXPECT_TRUE(file.ends_with(".dat"));
    // The port may still be opening (and purging) when the file appears: knock until the first
    // byte gets through, then send what is checked.
    ASSERT_TRUE(WaitFor([&] { return pty.WriteToMaster("."), !ReadFileBytes(file).empty(); }));
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

TEST_F(WindowRunsTest, APortThatCannotBeOpenedIsReportedAndTheButtonsGoBack) {
    PtyPair::MakeComPortAbsent(3);
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
    ASSERT_EQ(FilesIn(folder).size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(FilesIn(folder).front()), 0u);
}

// --- faults
// ---------------------------------------------------------------------------------------

TEST_F(WindowRunsTest, ASerialDeviceThatDisappearsLeavesTheWindowUsable) {
    HangupPty device;
    device.LinkAsComPort(3);
    OptionRecord record = SerialOptions(3, 5, true);
    record.outputBaudRate = 115200;
    StoreOptions(record);
    CRecordingView& main = Open();
    Choose(File("day.txt", "ONE\nTWO\nTHREE\n"));

    main.Click(IDC_BUTTON_OUTPUT_START);
    std::string arrived;
    ASSERT_TRUE(WaitFor([&] {
        arrived += device.Read(1, std::chrono::milliseconds(10));
        return arrived.find("TWO\n") != std::string::npos;
    }));
    device.Hangup();
    // The run meets the lost device, line after line.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    WaitFor([&] { return std::chrono::steady_clock::now() >= until; });

    // The window still does what it is asked.
    Choose(File("other.txt", "A\nB\n"));
    EXPECT_EQ(dlg->LineCount(), 2);
    main.Click(IDC_BUTTON_OUTPUT_STOP);
    ASSERT_TRUE(WaitFor([this] { return !dlg->IsOutputRunning(); }));
    EXPECT_TRUE(Enabled(IDC_BUTTON_OUTPUT_START));
    EXPECT_FALSE(Enabled(IDC_BUTTON_OUTPUT_STOP));
    EXPECT_TRUE(Enabled(IDC_LIST_DATA));
    EXPECT_TRUE(views.boxes.empty());
}

TEST_F(WindowRunsTest, AThousandQuickStartsAndStopsNeverOverlapOrHang) {
    CHangWatch watch("a thousand starts and stops", std::chrono::seconds(600));
    LoopbackTcpServer receiver;
    OptionRecord record = TcpOptions(receiver.Port(), 0, true);
    StoreOptions(record);
    CRecordingView& main = Open();
    Choose(File("loop.txt", "A\nB\nC\n"));

    int started = 0;
    for (int n = 0; n < 1000; ++n) {
        const std::size_t connections = receiver.ConnectionCount();
        main.Click(IDC_BUTTON_OUTPUT_START);
        started += Enabled(IDC_BUTTON_OUTPUT_STOP) ? 1 : 0;
        // Now and then a run gets as far as its connection before it is stopped, so that runs
        // that overlapped would show in what the receiver got.
        EXPECT_TRUE(n % 50 != 0 || receiver.WaitForConnections(connections + 1));
        main.RunPosted();
        main.Click(IDC_BUTTON_OUTPUT_STOP);
        main.RunPosted();
    }
    EXPECT_EQ(started, 1000);
    ASSERT_TRUE(
        main.RunPostedUntil([this] { return !dlg->IsOutputRunning(); }, std::chrono::seconds(60)));
    EXPECT_TRUE(Enabled(IDC_BUTTON_OUTPUT_START));
    EXPECT_FALSE(Enabled(IDC_BUTTON_OUTPUT_STOP));
    EXPECT_TRUE(receiver.WaitForClosed(receiver.ConnectionCount()));

    // Two runs at once would share the window's one connection and mix their lines; every
    // connection instead holds one run's lines from the first, in order.
    std::size_t withLines = 0;
    for (const std::string& bytes : receiver.ReceivedPerConnection()) {
        std::string oneRun;
        while (oneRun.size() < bytes.size()) {
            oneRun += "A\nB\nC\n";
        }
        EXPECT_EQ(bytes, oneRun.substr(0, bytes.size()));
        withLines += bytes.empty() ? 0 : 1;
    }
    std::printf("FIGURES: 1000 starts and stops: %zu connections, %zu with lines\n",
                receiver.ConnectionCount(), withLines);

    // And the window still plays a run to its end.
    record.loopEnabled = 0;
    record.delayMs = 1;
    StoreOptions(record);
    dlg->InitData();
    const std::size_t before = receiver.ByteCount();
    main.Click(IDC_BUTTON_OUTPUT_START);
    EXPECT_TRUE(receiver.WaitForBytes(before + 6));
    EXPECT_TRUE(WaitFor([this] { return Enabled(IDC_BUTTON_OUTPUT_START); }));
}
