// The main window as a user meets it: the option status rows at start-up, choosing data files of
// each kind, converting and restoring them, the option dialogs' results, the keys and commands
// that end it, the About item, the tray and the show-window requests.
#include <algorithm>

#include "LoopbackServer.h"
#include "WindowFixture.h"
#include "datafile/FileNames.h"
#include "datafile/FilesInPlay.h"
#include "ui/LineListSource.h"
#include "ui/MenuTemplate.h"
#include "ui/ResourceStrings.h"
#include "ui/ViewConstants.h"

namespace {
using Row = std::vector<std::string>;

const char kConverted[] = "[TILLSTREAM_DATA]\r\n0x41 0x42\r\n0x43\r\n0x44 0x45\r\n";
}  // namespace

using TillstreamDlgTest = WindowFixture;

TEST_F(TillstreamDlgTest, StartUpWithoutStoredOptionsShowsTheDefaults) {
    CRecordingView& main = Open();
    EXPECT_EQ(main.Template().caption, "Tillstream");
    EXPECT_EQ(Rows(), (std::vector<Row>{
                          {"1", "Connection Information", "IP: 0.0.0.0, Port: 0", "TCP Client"},
                          {"2", "Loop Option", "OFF", ""},
                          {"3", "Delay Time", "500 msec", ""}}));

    // The option list's columns share its client width 10:30:50:10, cut to whole pixels.
    const auto& options = main.Item(IDC_LIST_OPTION);
    const int width = main.GetListClientWidth(IDC_LIST_OPTION);
    EXPECT_EQ(options.headings, (Row{"Index", "Option", "Value", "Etc"}));
    EXPECT_EQ(options.widths,
              (std::vector<int>{
                  static_cast<int>(width * 0.01 * 10), static_cast<int>(width * 0.01 * 30),
                  static_cast<int>(width * 0.01 * 50), static_cast<int>(width * 0.01 * 10)}));
    EXPECT_EQ(options.aligns, std::vector<int>(4, kColumnLeft));
    const auto& data = main.Item(IDC_LIST_DATA);
    EXPECT_EQ(data.headings, Row{"Content"});
    EXPECT_EQ(data.widths, std::vector<int>{450});
    EXPECT_EQ(data.aligns, std::vector<int>{kColumnCenter});
    EXPECT_EQ(data.count, 0);
    EXPECT_EQ(main.Item(IDC_PROGRESS).lower, 0);
    EXPECT_EQ(main.Item(IDC_PROGRESS).upper, 100);

    EXPECT_TRUE(Enabled(IDC_BUTTON_OUTPUT_START));
    EXPECT_FALSE(Enabled(IDC_BUTTON_OUTPUT_STOP));
    EXPECT_FALSE(Enabled(IDC_BUTTON_MAKE_TILLSTREAM_DATA));
    EXPECT_FALSE(main.Item(IDC_BUTTON_INPUT_START).visible);
    EXPECT_EQ(dlg->LineCount(), 0);
    // The About item after a separator at the end of the system menu, and in the context menu;
    // requests are taken.
    EXPECT_EQ(main.systemMenu, (std::vector<std::pair<unsigned, std::string>>{
                                   {0, ""}, {IDM_ABOUTBOX, "&About Tillstream..."}}));
    EXPECT_EQ(
        main.contextMenu,
        (std::vector<std::pair<unsigned, std::string>>{{IDM_ABOUTBOX, "&About Tillstream..."}}));
    EXPECT_TRUE(main.bShowRequests);
    // The window stands in the middle of the screen's work area.
    const ViewRect area = CRecordingView::kWorkArea;
    const ViewRect window = main.GetWindowRect();
    EXPECT_EQ(window.x, area.x + (area.width - window.width) / 2);
    EXPECT_EQ(window.y, area.y + (area.height - window.height) / 2);
    // The string table the window reads and the texts the command line prints never drift
    // apart; an unknown string or menu reads as nothing.
    for (int id = IDS_MAKE_TILLSTREAM_DATA; id <= IDS_FAIL_RESTORE_DATA; ++id) {
        EXPECT_EQ(LoadResourceString(id), ConversionText(id));
    }
    EXPECT_TRUE(LoadResourceString(999).empty());
    EXPECT_TRUE(MenuTemplate::Load(4242).items.empty());
}

TEST_F(TillstreamDlgTest, StatusRowsFollowTheStoredRecord) {
    OptionRecord record = MakeDefaultOptionRecord();
    record.outputInterface = kInterfaceRs232;
    StoreOptions(record);
    Open();
    EXPECT_EQ(Rows().size(), 3u);
    EXPECT_EQ(Rows()[0],
              (Row{"1", "Port Information",
                   "COM1 (BaudRate: 9600, DataBits: 8, Parity: 0, StopBits: 0", "RS232"}));

    record.outputInterface = kInterfaceUdpClient;
    StoreOptions(record);
    Open();
    EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "Loop Option", "OFF", ""},
                                        {"2", "Delay Time", "500 msec", ""}}));

    record.outputInterface = kInterfaceTcpClient;
    record.remoteAddress = 0x7F000001;
    record.remotePort = 9100;
    record.loopEnabled = 1;
    record.delayMs = 4294967295u;
    StoreOptions(record);
    Open();
    EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "Connection Information", "IP: 127.0.0.1, Port: 9100",
                                         "TCP Client"},
                                        {"2", "Loop Option", "ON", ""},
                                        {"3", "Delay Time", "4294967295 msec", ""}}));
}

TEST_F(TillstreamDlgTest, LoadingSetsCaptionModeAndList) {
    struct Case {
        const char* name;
        std::string bytes;
        bool withBackup;
        const char* caption;
        bool enabled;
        bool converted;
        int count;
        std::string firstLine;
    };
    const Case cases[] = {
        {"stamped hex log", kHexLog, false, "Make Tillstream Data", true, false, 3,
         "[2026-12-06 05:59:12] 0x41 0x42\r"},
        {"stamped hex log, stale backup", kHexLog, true, "Make Tillstream Data", true, false, 3,
         "[2026-12-06 05:59:12] 0x41 0x42\r"},
        {"converted with backup", kConverted, true, "Restore Data", true, true, 3, "0x41 0x42\r"},
        {"converted without backup", kConverted, false, "Make Tillstream Data", false, true, 3,
         "0x41 0x42\r"},
        {"raw", "RECEIPT 1\nTOTAL 2.00\n", false, "Make Tillstream Data", false, false, 2,
         "RECEIPT 1"},
        {"empty", "", false, "Make Tillstream Data", false, false, 0, ""},
    };
    CRecordingView& main = Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = File(std::string(c.name) + ".txt", c.bytes);
        if (c.withBackup) {
            WriteFileBytes(BackupFilePath(path), "old");
        }
        // Something loaded before, so that every field is seen to be set anew.
        Choose(File("before.txt", "x\ny\nz\nw\n"));
        ASSERT_EQ(dlg->LineCount(), 4);

        Choose(path);
        EXPECT_TRUE(views.boxes.empty());
        EXPECT_EQ(main.GetItemText(IDC_EDIT_DATA_FILE), path);
        EXPECT_EQ(dlg->DataFile(), path);
        EXPECT_EQ(main.GetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA), c.caption);
        EXPECT_EQ(Enabled(IDC_BUTTON_MAKE_TILLSTREAM_DATA), c.enabled);
        EXPECT_EQ(dlg->IsConvertedFile(), c.converted);
        EXPECT_EQ(dlg->LineCount(), c.count);
        EXPECT_EQ(main.Item(IDC_LIST_DATA).count, c.count);
        if (c.count > 0) {
            EXPECT_EQ(dlg->DataLines().LineBytes(0), c.firstLine);
        }
    }
    EXPECT_EQ(views.fileFilters.front(), "All Files(*.*)");
}

TEST_F(TillstreamDlgTest, ItemsShowTheLinesAsReadInBinaryModeAndCutShort) {
    CRecordingView& main = Open();
    Choose(File("crlf.txt", "A\r\nB\r\nC\r\n"));
    ASSERT_EQ(dlg->LineCount(), 3);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(dlg->DataLines().LineBytes(row).back(), '\r');
        // The CR is drawn as its visible symbol, not swallowed.
        EXPECT_TRUE(main.ListItemText(IDC_LIST_DATA, row).ends_with("\u240D"));
    }
    Choose(File("noend.txt", "A\nB\nC"));
    EXPECT_EQ(dlg->LineCount(), 3);
    EXPECT_EQ(dlg->DataLines().LineBytes(2), "C");

    // Control bytes are drawn visibly, high bytes as Windows-1252; the line itself is unchanged.
    const std::string bytes(
        "\x00\x1b\r\x7f\x80\x81"
        "A\xe9\t",
        9);
    const std::string shown = "\u2400\u241B\u240D\u2421\u20AC\u0081A\u00E9\u2409";
    EXPECT_EQ(CLineListSource::VisibleText(bytes), shown);
    Choose(File("ctrl.bin", bytes + "\n"));
    EXPECT_EQ(dlg->DataLines().LineBytes(0), bytes);
    EXPECT_EQ(main.ListItemText(IDC_LIST_DATA, 0), shown);

    // A binary capture without line ends: one line of 3 MB, shown cut short.
    std::string capture(3 << 20, '\0');
    for (std::size_t i = 0; i < capture.size(); ++i) {
        capture[i] = static_cast<char>(i % 251 == 10 ? 'x' : i % 251);
    }
    Choose(File("capture.bin", capture));
    ASSERT_EQ(dlg->LineCount(), 1);
    EXPECT_EQ(
        main.ListItemText(IDC_LIST_DATA, 0),
        CLineListSource::VisibleText(capture.substr(0, CLineListSource::kShownBytes)) + "\u2026");
    EXPECT_EQ(dlg->DataLines().LineBytes(0).size(), capture.size());

    // A line exactly as long as what is shown has no ellipsis.
    Choose(File("exact.txt", std::string(CLineListSource::kShownBytes, 'A') + "\n"));
    EXPECT_EQ(main.ListItemText(IDC_LIST_DATA, 0), std::string(CLineListSource::kShownBytes, 'A'));
}

TEST_F(TillstreamDlgTest, ANameThatCannotBeLoadedShowsTheErrorAndKeepsTheFile) {
    ASSERT_TRUE(std::filesystem::create_directory(home.Path("folder")));
    Open();
    ExpectLoadRefused({home.Path("nothing-here.txt"), home.Path("folder")});
    // Cancelling the chooser changes nothing and says nothing.
    const std::string loaded = dlg->DataFile();
    Main().Click(IDC_BUTTON_SELECT_FILE);
    EXPECT_EQ(views.boxes.size(), 1u);
    EXPECT_EQ(dlg->DataFile(), loaded);
}

TEST_F(TillstreamDlgTest, MakeThenRestoreGivesBackTheOriginal) {
    const std::string path = File("log.txt", kHexLog);
    CRecordingView& main = Open();
    Choose(path);

    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    ASSERT_EQ(views.boxes.size(), 1u);
    EXPECT_EQ(views.boxes[0].text, "Success, Make tillstream data.");
    EXPECT_EQ(views.boxes.back().caption, "Tillstream");
    EXPECT_EQ(main.GetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA), "Restore Data");
    EXPECT_TRUE(dlg->IsConvertedFile());
    EXPECT_EQ(dlg->LineCount(), 2);
    EXPECT_EQ(dlg->DataLines().LineBytes(0), "0x41 0x42\r");
    EXPECT_EQ(dlg->DataLines().LineBytes(1), "0x43 0x0D 0x0A\r");
    EXPECT_TRUE(FileExists(BackupFilePath(path)));

    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    EXPECT_EQ(views.boxes.back().text, "Success, Restore data.");
    EXPECT_EQ(ReadFileBytes(path), kHexLog);
    EXPECT_FALSE(FileExists(BackupFilePath(path)));
    EXPECT_EQ(main.GetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA), "Make Tillstream Data");
    EXPECT_TRUE(Enabled(IDC_BUTTON_MAKE_TILLSTREAM_DATA));
    EXPECT_FALSE(dlg->IsConvertedFile());
    EXPECT_EQ(dlg->LineCount(), 3);

    // A second conversion makes the backup anew.
    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    EXPECT_EQ(views.boxes.back().text, "Success, Make tillstream data.");
    EXPECT_EQ(ReadFileBytes(BackupFilePath(path)), kHexLog);
}

TEST_F(TillstreamDlgTest, AConvertedFileWithoutBackupIsJudgedAgain) {
    // Converting a converted file (the button can be pressed in code only) keeps its marker line.
    const std::string conv = File("conv.txt", kConverted);
    CRecordingView& main = Open();
    Choose(conv);
    EXPECT_EQ(main.GetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA), "Make Tillstream Data");
    dlg->OnButtonMakeTillstreamData();
    EXPECT_EQ(views.boxes.back().text, "Success, Make tillstream data.");
    EXPECT_EQ(ReadFileBytes(conv), "[TILLSTREAM_DATA]\r\n");
    EXPECT_EQ(ReadFileBytes(BackupFilePath(conv)), kConverted);
    EXPECT_EQ(dlg->LineCount(), 0);

    // A restore whose backup has gone judges the file again.
    const std::string path = File("log.txt", kHexLog);
    Choose(path);
    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    const std::string converted = ReadFileBytes(path);
    std::filesystem::remove(BackupFilePath(path));

    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    EXPECT_EQ(views.boxes.back().text, "Fail, Restore data.");
    // Still a converted file: played as one, but nothing left to restore.
    EXPECT_TRUE(dlg->IsConvertedFile());
    EXPECT_EQ(main.GetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA), "Make Tillstream Data");
    EXPECT_FALSE(Enabled(IDC_BUTTON_MAKE_TILLSTREAM_DATA));
    EXPECT_EQ(ReadFileBytes(path), converted);
    EXPECT_EQ(dlg->LineCount(), 2);
}

TEST_F(TillstreamDlgTest, FailedConversionsShowTheFailTexts) {
    const std::string path = File("log.txt", kHexLog);
    CRecordingView& main = Open();
    Choose(path);
    // The backup's name holds another file's data: it is kept, and nothing is converted.
    WriteFileBytes(BackupFilePath(path), "someone else's backup\n");
    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    EXPECT_EQ(views.boxes.back().text, "Fail, Make tillstream data.");
    EXPECT_EQ(ReadFileBytes(BackupFilePath(path)), "someone else's backup\n");
    EXPECT_EQ(ReadFileBytes(path), kHexLog);
    std::filesystem::remove(BackupFilePath(path));

    // The temporary file's name is taken by a folder: the conversion cannot write it.
    // (It fails after its backup copy; the next conversion takes that copy as its own.)
    std::filesystem::create_directory(TempFilePath(path));
    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    EXPECT_EQ(views.boxes.back().text, "Fail, Make tillstream data.");
    EXPECT_EQ(main.GetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA), "Make Tillstream Data");
    EXPECT_FALSE(dlg->IsConvertedFile());
    EXPECT_EQ(ReadFileBytes(path), kHexLog);
    std::filesystem::remove(TempFilePath(path));

    // A file in play is neither converted nor restored.
    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    EXPECT_EQ(views.boxes.back().text, "Success, Make tillstream data.");
    const std::string converted = ReadFileBytes(path);
    CFileInPlayGuard inPlay(path);
    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    EXPECT_EQ(views.boxes.back().text, "Fail, Restore data.");
    EXPECT_EQ(main.GetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA), "Restore Data");
    EXPECT_TRUE(dlg->IsConvertedFile());
    EXPECT_EQ(ReadFileBytes(path), converted);
}

TEST_F(TillstreamDlgTest, ConfirmedOptionChangesAreSavedAndShown) {
    CRecordingView& main = Open();
    auto edit = [](bool bConfirm) {
        return [bConfirm](CRecordingView& options) {
            options.Click(IDC_CHECK_LOOP);
            options.Type(IDC_EDIT_DELAY, "250");
            options.Click(bConfirm ? IDC_BUTTON_OUTPUT_OK : IDC_BUTTON_OUTPUT_CANCEL);
        };
    };
    views.OnModal(IDD_OUTPUT_OPTION, edit(false));
    main.Click(IDC_BUTTON_OUTPUT_OPTION);
    EXPECT_EQ(Rows()[1], (Row{"2", "Loop Option", "OFF", ""}));

    views.OnModal(IDD_OUTPUT_OPTION, edit(true));
    main.Click(IDC_BUTTON_OUTPUT_OPTION);
    EXPECT_EQ(Rows()[1], (Row{"2", "Loop Option", "ON", ""}));
    EXPECT_EQ(Rows()[2], (Row{"3", "Delay Time", "250 msec", ""}));
    EXPECT_EQ(dlg->Options().delayMs, 250u);
    // Stored whole: a new window starts with it.
    OptionRecord stored = MakeDefaultOptionRecord();
    ASSERT_EQ(LoadStoredOptions(stored, "test"), 0);
    EXPECT_EQ(stored.loopEnabled, 1);
    EXPECT_EQ(stored.delayMs, 250u);

    // The Input Option dialog's changes are saved too, but show in no row.
    views.OnModal(IDD_INPUT_OPTION, [](CRecordingView& input) {
        input.Type(IDC_EDIT_INPUT_DATA_BITS, "7");
        input.Click(IDC_BUTTON_INPUT_OK);
    });
    const auto rowsBefore = Rows();
    dlg->OnCommand(IDC_BUTTON_INPUT_OPTION);
    EXPECT_EQ(dlg->Options().inputDataBits, 7);
    ASSERT_EQ(LoadStoredOptions(stored, "test"), 0);
    EXPECT_EQ(stored.inputDataBits, 7);
    EXPECT_EQ(Rows(), rowsBefore);
    EXPECT_TRUE(views.boxes.empty());
}

TEST_F(TillstreamDlgTest, EnterEscAndTheCloseBoxEndTheWindow) {
    struct Case {
        int key;
        int focus;
        int result;
    };
    for (const Case c :
         {Case{kVkReturn, IDC_EDIT_DATA_FILE, kIdOk}, Case{kVkReturn, IDC_LIST_DATA, kIdOk},
          Case{kVkEscape, IDC_BUTTON_OUTPUT_START, kIdCancel}, Case{0, -1, kIdCancel}}) {
        SCOPED_TRACE(c.focus);
        CRecordingView& main = Open();
        main.ShowWindow(kSwShow);
        if (c.key == 0) {
            main.Close();
        } else {
            main.PressKey(c.key, c.focus);
        }
        EXPECT_TRUE(main.IsEnded());
        EXPECT_EQ(main.Result(), c.result);
        EXPECT_FALSE(main.IsVisible());
    }
}

TEST_F(TillstreamDlgTest, TheKeyboardAloneStartsAndStopsRunsAndNeverLosesTheFocus) {
    LoopbackTcpServer receiver;
    StoreOptions(TcpOptions(receiver.Port(), 600000, true));  // on until it is stopped
    CRecordingView& main = Open();
    Choose(File("day.txt", "L0\r\nL1\r\n"));

    // Enter presses the focused button; a button that disables itself hands the focus on to
    // the one that undoes it, so Enter again undoes it.
    main.GotoDlgCtrl(IDC_BUTTON_OUTPUT_START);
    main.PressKey(kVkReturn);
    EXPECT_TRUE(dlg->IsOutputRunning());
    EXPECT_EQ(main.GetFocus(), IDC_BUTTON_OUTPUT_STOP);
    ASSERT_TRUE(receiver.WaitForBytes(4));
    EXPECT_EQ(receiver.Received(), "L0\r\n");
    main.PressKey(kVkReturn);
    EXPECT_TRUE(Enabled(IDC_BUTTON_OUTPUT_START));
    EXPECT_EQ(main.GetFocus(), IDC_BUTTON_OUTPUT_START);
    EXPECT_TRUE(receiver.WaitForClosed(1));
    ASSERT_TRUE(WaitFor([this] { return !dlg->IsOutputRunning(); }));

    // A run that ends by itself gives the focus back to Output Start as well.
    StoreOptions(TcpOptions(receiver.Port(), 1));
    dlg->InitData();
    main.PressKey(kVkReturn);
    EXPECT_EQ(main.GetFocus(), IDC_BUTTON_OUTPUT_STOP);
    ASSERT_TRUE(WaitFor([this] { return Enabled(IDC_BUTTON_OUTPUT_START); }));
    EXPECT_EQ(main.GetFocus(), IDC_BUTTON_OUTPUT_START);

    // Started from the tray while the data list has the focus: the list is disabled and the
    // focus goes round the tab order to the next control that can take it, the file's name.
    main.GotoDlgCtrl(IDC_LIST_DATA);
    dlg->OnCommand(ID_TRAY_START);
    EXPECT_EQ(main.GetFocus(), IDC_EDIT_DATA_FILE);
    ASSERT_TRUE(WaitFor([this] { return !dlg->IsOutputRunning(); }));

    // The conversion button disabled under the focus (its backup gone) passes it to the next
    // tab stop.
    const std::string log = File("log.txt", kHexLog);
    Choose(log);
    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    std::filesystem::remove(BackupFilePath(log));
    main.PressKey(kVkReturn);
    EXPECT_EQ(views.boxes.back().text, "Fail, Restore data.");
    EXPECT_FALSE(Enabled(IDC_BUTTON_MAKE_TILLSTREAM_DATA));
    EXPECT_EQ(main.GetFocus(), IDC_BUTTON_OUTPUT_START);

    // Enter on Option... opens its dialog, and the window stays.
    views.OnModal(IDD_OUTPUT_OPTION,
                  [](CRecordingView& options) { options.Click(IDC_BUTTON_OUTPUT_CANCEL); });
    main.PressKey(kVkReturn, IDC_BUTTON_OUTPUT_OPTION);
    EXPECT_FALSE(views.Exists(IDD_OUTPUT_OPTION));
    EXPECT_FALSE(main.IsEnded());
}

TEST_F(TillstreamDlgTest, TheAboutItemOpensTheAboutBox) {
    CRecordingView& main = Open();
    main.MoveWindow(-300, 40);  // partly off the screen: the box still starts on it
    std::string caption;
    std::vector<std::string> texts;
    ViewRect placed;
    views.OnModal(IDD_ABOUTBOX, [&](CRecordingView& about) {
        caption = about.Template().caption;
        for (const ControlTemplate& control : about.Template().controls) {
            texts.push_back(control.text);
        }
        placed = about.GetWindowRect();
        // A minimise command minimises any window, as the system would.
        about.Events().OnSysCommand(kScMinimize);
        EXPECT_TRUE(about.IsMinimized());
        about.Click(IDC_ABOUT_OK);
    });
    main.Events().OnSysCommand(IDM_ABOUTBOX);
    EXPECT_EQ(caption, "About Tillstream");
    // Centred on the main window, but not left of the screen.
    const ViewRect owner = main.GetWindowRect();
    EXPECT_EQ(placed.x, 0);
    EXPECT_EQ(placed.y, owner.y + (owner.height - placed.height) / 2);
    // The version line is the build's.
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Tillstream Version 1.0"), texts.end());
    // Enter, Esc and the close box close it as well.
    for (int how : {kVkReturn, kVkEscape, 0}) {
        views.OnModal(IDD_ABOUTBOX, [how](CRecordingView& about) {
            how == 0 ? about.Close() : about.PressKey(how, IDC_ABOUT_OK);
        });
        main.Events().OnSysCommand(IDM_ABOUTBOX);
    }
    // F1 from any control opens it, and so does the context menu's item.
    views.OnModal(IDD_ABOUTBOX, [](CRecordingView& about) { about.Click(IDC_ABOUT_OK); });
    main.PressKey(kVkF1, IDC_BUTTON_OUTPUT_START);
    views.OnModal(IDD_ABOUTBOX, [](CRecordingView& about) { about.Click(IDC_ABOUT_OK); });
    main.Events().OnSysCommand(main.contextMenu.at(0).first);
    EXPECT_FALSE(main.IsEnded());
}

// --- the tray and window placement ------------------------------------------------------------

TEST_F(TillstreamDlgTest, TheTrayIconRoutesNotificationsAndPlacesTheWindow) {
    CRecordingView& main = Open();
    ASSERT_TRUE(dlg->TrayIcon().IsEnabled());
    EXPECT_EQ(views.trayTip, "Tillstream");
    EXPECT_EQ(views.trayId, IDR_TRAY_POPUP);
    EXPECT_EQ(views.trayCallback, WM_TRAY_NOTIFICATION);

    // Another icon's notification is not ours.
    EXPECT_EQ(dlg->OnTrayNotification(131, kWmRButtonUp), 0);
    // A single click, a button press or a move is taken and does nothing.
    for (long message : {kWmMouseMove, kWmLButtonDown, kWmLButtonUp, kWmRButtonDown}) {
        EXPECT_EQ(dlg->OnTrayNotification(IDR_TRAY_POPUP, message), 1);
    }
    EXPECT_EQ(views.trayPopups, 0);
    // A right click pops the menu up, its first item the default.
    EXPECT_EQ(dlg->OnTrayNotification(IDR_TRAY_POPUP, kWmRButtonUp), 1);
    EXPECT_EQ(views.trayPopups, 1);
    EXPECT_EQ(views.trayDefaultPos, 0);
    EXPECT_EQ(views.trayMenu,
              (Row{"Tillstream Open(&O)", "-", "Start Tillstream", "Stop Tillstream", "-",
                   "Always on top", "Normal", "-", "Exit(&X)"}));

    // Minimising hides the window; a double click runs the menu's first command: it opens again.
    main.ShowWindow(kSwShow);
    main.Events().OnSysCommand(kScMinimize);
    EXPECT_FALSE(main.IsVisible());
    EXPECT_EQ(dlg->OnTrayNotification(IDR_TRAY_POPUP, kWmLButtonDblClk), 1);
    EXPECT_TRUE(main.IsVisible());
    EXPECT_FALSE(main.IsMinimized());
    main.Events().OnSysCommand(kScMinimize);
    dlg->OnCommand(ID_TRAY_OPEN);
    EXPECT_TRUE(main.IsVisible());

    // Always on top and Normal; the window stays where and as large as it is.
    const ViewRect before = main.GetWindowRect();
    dlg->OnCommand(ID_TRAY_ALWAYS_ON_TOP);
    EXPECT_TRUE(main.IsTopMost());
    dlg->OnCommand(ID_TRAY_NORMAL);
    EXPECT_FALSE(main.IsTopMost());
    EXPECT_EQ(main.GetWindowRect().width, before.width);
    EXPECT_EQ(main.GetWindowRect().x, before.x);
    EXPECT_TRUE(main.IsVisible());

    // Without a notification area there is no icon, and a minimised window stays minimised.
    views.trayAvailable = false;
    CRecordingView& other = Open();
    EXPECT_FALSE(dlg->TrayIcon().IsEnabled());
    EXPECT_EQ(dlg->OnTrayNotification(IDR_TRAY_POPUP, kWmLButtonDblClk), 0);
    other.ShowWindow(kSwShow);
    other.Events().OnSysCommand(kScMinimize);
    EXPECT_TRUE(other.IsVisible() && other.IsMinimized());
}

TEST_F(TillstreamDlgTest, StartStopAndExitFromTheTray) {
    LoopbackTcpServer receiver;
    StoreOptions(TcpOptions(receiver.Port(), 600000, true));
    CRecordingView& main = Open();
    Choose(File("tray.txt", "T1\nT2\n"));

    dlg->OnCommand(ID_TRAY_START);
    EXPECT_TRUE(dlg->IsOutputRunning());
    ASSERT_TRUE(receiver.WaitForBytes(3));
    // Start again while playing: nothing new, no error.
    dlg->OnCommand(ID_TRAY_START);
    EXPECT_TRUE(views.boxes.empty());
    dlg->OnCommand(ID_TRAY_STOP);
    EXPECT_TRUE(Enabled(IDC_BUTTON_OUTPUT_START));
    EXPECT_TRUE(WaitFor([this] { return !dlg->IsOutputRunning(); }));

    dlg->OnCommand(ID_TRAY_START);
    ASSERT_TRUE(receiver.WaitForConnections(2));
    dlg->OnCommand(ID_TRAY_EXIT);
    EXPECT_EQ(main.Result(), kIdCancel);
    EXPECT_FALSE(dlg->IsOutputRunning());
    EXPECT_TRUE(receiver.WaitForClosed(2));
    // The icon goes with the window.
    EXPECT_TRUE(views.trayShown);
    dlg.reset();
    EXPECT_FALSE(views.trayShown);
}

TEST_F(TillstreamDlgTest, OnlyOneOrNineBringsTheWindowBackAndEveryRequestIsAnswered) {
    CRecordingView& main = Open();
    main.ShowWindow(kSwShow);
    for (long lParam : {0L, 2L, -1L, 11L, 91L}) {
        main.Events().OnSysCommand(kScMinimize);
        EXPECT_EQ(dlg->OnShowWindowRequest(lParam), 1);
        EXPECT_FALSE(main.IsVisible()) << lParam;
    }
    for (long lParam : {1L, 9L}) {
        main.Events().OnSysCommand(kScMinimize);
        EXPECT_EQ(dlg->OnShowWindowRequest(lParam), 1);
        EXPECT_TRUE(main.IsVisible()) << lParam;
        EXPECT_FALSE(main.IsMinimized());
    }
}
