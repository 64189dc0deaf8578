// Playing a file from the window to a real loopback receiver: the buttons, the list and the bar
// while a run goes on, stopping it, and the window's end during a run.
#include <thread>

#include "LoopbackServer.h"
#include "WindowFixture.h"
#include "datafile/FileNames.h"

namespace {
constexpr std::chrono::seconds kWait{10};

OptionRecord TcpOptions(std::uint16_t port, bool bLoop, std::uint32_t delayMs) {
    OptionRecord record = MakeDefaultOptionRecord();
    record.outputInterface = kInterfaceTcpClient;
    record.remoteAddress = kLoopbackAddress;
    record.remotePort = port;
    record.loopEnabled = bLoop ? 1 : 0;
    record.delayMs = delayMs;
    return record;
}
}  // namespace

class WindowPlaybackTest : public WindowFixture {
  protected:
    std::set<int> Selected() { return Main().Item(IDC_LIST_DATA).selected; }
};

TEST_F(WindowPlaybackTest, ARunPlaysTheFileAndPutsTheButtonsBack) {
    LoopbackTcpServer receiver;
    StoreOptions(TcpOptions(receiver.Port(), false, 10));
    CRecordingView& main = Open();
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
}

TEST_F(WindowPlaybackTest, StopEndsALoopingRunAndStartPlaysAgain) {
    LoopbackTcpServer receiver;
    StoreOptions(TcpOptions(receiver.Port(), true, 20));
    CRecordingView& main = Open();
    Choose(File("loop.txt", "A\nB\nC\n"));

    main.Click(IDC_BUTTON_OUTPUT_START);
    // More bytes than one pass holds: the run went round.
    ASSERT_TRUE(receiver.WaitForBytes(3 * 2 + 1));
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

TEST_F(WindowPlaybackTest, EndingTheWindowDuringARunStopsIt) {
    LoopbackTcpServer receiver;
    // A pause far longer than any test: only a stop that cuts it short ends the run.
    StoreOptions(TcpOptions(receiver.Port(), true, 600000));
    CRecordingView& main = Open();
    Choose(File("long.txt", "ONE\nTWO\n"));
    main.Click(IDC_BUTTON_OUTPUT_START);
    ASSERT_TRUE(receiver.WaitForBytes(4));

    const auto start = std::chrono::steady_clock::now();
    main.Close();
    EXPECT_TRUE(main.IsEnded());
    EXPECT_FALSE(dlg->IsOutputRunning());
    EXPECT_LT(std::chrono::steady_clock::now() - start, kWait);
    EXPECT_TRUE(receiver.WaitForClosed(1));
    EXPECT_EQ(receiver.Received(), "ONE\n");
    dlg.reset();
}

TEST_F(WindowPlaybackTest, TheFileInPlayIsNeitherConvertedNorRestored) {
    LoopbackTcpServer receiver;
    StoreOptions(TcpOptions(receiver.Port(), true, 600000));
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

TEST_F(WindowPlaybackTest, TheLineBeingPlayedIsSelectedAndInView) {
    CRecordingView& main = Open();
    std::string bytes;
    for (int i = 0; i < 100; ++i) {
        bytes += "line " + std::to_string(i) + "\n";
    }
    Choose(File("hundred.txt", bytes));
    const int perPage = CRecordingView::kCountPerPage;

    dlg->ShowPlaybackStart();
    for (int i = 0; i < 100; ++i) {
        dlg->ShowPlaybackLine(i, i);
        EXPECT_EQ(Selected(), std::set<int>{i});
        const int top = main.Item(IDC_LIST_DATA).top;
        EXPECT_TRUE(top <= i && i < top + perPage) << i;
        EXPECT_EQ(main.Item(IDC_PROGRESS).pos, i);
    }
    // After a rewind the first line is brought back into view.
    dlg->ShowPlaybackRewind(99);
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(main.Item(IDC_PROGRESS).pos, 0);
    dlg->ShowPlaybackLine(0, 0);
    EXPECT_EQ(Selected(), std::set<int>{0});
    EXPECT_EQ(main.Item(IDC_LIST_DATA).top, 0);
}

TEST_F(WindowPlaybackTest, StartWithoutAFileDoesNothing) {
    CRecordingView& main = Open();
    main.Click(IDC_BUTTON_OUTPUT_START);
    EXPECT_TRUE(Enabled(IDC_BUTTON_OUTPUT_START));
    EXPECT_FALSE(Enabled(IDC_BUTTON_OUTPUT_STOP));
    EXPECT_FALSE(dlg->IsOutputRunning());
    EXPECT_TRUE(views.boxes.empty());
}
