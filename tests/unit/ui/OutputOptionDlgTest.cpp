// The Output Option dialog as the user meets it: results, delay checks, the two pages, the
// layout rule, keys, and the port list built from real pseudo-terminals.
#include "PtyPair.h"

#include "OptionDlgFixture.h"
#include "platform/SerialPort.h"
#include "ui/InputOptionDlg.h"
#include "ui/OutputOptionDlg.h"
#include "ui/ViewConstants.h"

namespace {
using Items = std::vector<std::string>;
}

class OutputOptionDlgTest : public OptionDlgFixture {
  protected:
    int Run(const std::function<void(CRecordingView&)>& action) {
        return OptionDlgFixture::Run<COutputOptionDlg>(action);
    }
    CRecordingView& ClientPage() { return views.Find(IDD_CLIENT_PROPERTY); }
    CRecordingView& SerialPage() { return views.Find(IDD_RS232_PROPERTY); }
    static void Ok(CRecordingView& dialog) { dialog.Click(IDC_BUTTON_OUTPUT_OK); }
    // Runs `edits` and then presses OK.
    int RunOk(const std::function<void(CRecordingView&)>& edits) {
        return Run([&edits](CRecordingView& d) { edits(d), Ok(d); });
    }
};

TEST_F(OutputOptionDlgTest, OkWithoutChangeEndsWith1WhicheverInterface) {
    for (int outputInterface : {kInterfaceTcpClient, kInterfaceUdpClient, kInterfaceRs232}) {
        record.outputInterface = outputInterface;
        const OptionRecord before = record;
        EXPECT_EQ(Run(Ok), 1) << outputInterface;
        EXPECT_TRUE(SameRecord(record, before));
    }
}

TEST_F(OutputOptionDlgTest, LoopIsNormalisedAndToggleBackIsNoChange) {
    record.loopEnabled = 5;
    bool bShownTicked = false;
    EXPECT_EQ(RunOk([&](CRecordingView& d) { bShownTicked = d.IsItemChecked(IDC_CHECK_LOOP); }), 2);
    EXPECT_TRUE(bShownTicked);
    EXPECT_EQ(record.loopEnabled, 1);

    EXPECT_EQ(RunOk([](CRecordingView& d) {
                  d.Click(IDC_CHECK_LOOP);
                  d.Click(IDC_CHECK_LOOP);
              }),
              1);
}

TEST_F(OutputOptionDlgTest, DelayTexts) {
    EXPECT_EQ(RunOk([](CRecordingView& d) {
                  EXPECT_EQ(d.GetItemText(IDC_EDIT_DELAY), "500");
                  d.Type(IDC_EDIT_DELAY, "1000");
              }),
              2);
    EXPECT_EQ(record.delayMs, 1000u);

    // Read as the dialogs read numbers: "0" itself, digits up to the first other character.
    for (const auto& [text, delay] : {std::pair<const char*, uint32_t>{"0", 0u},
                                      {"250abc", 250u},
                                      {"4294967295", 4294967295u}}) {
        EXPECT_EQ(RunOk([text = text](CRecordingView& d) { d.Type(IDC_EDIT_DELAY, text); }), 2);
        EXPECT_EQ(record.delayMs, delay) << text;
    }
    EXPECT_TRUE(views.boxes.empty());

    // Everything else is refused and the dialog stays open with the record as it was.
    const OptionRecord before = record;
    for (const char* text :
         {"", "00", "abc", " 5", "-5", "-0", "4294967296", "99999999999999999999"}) {
        views.boxes.clear();
        EXPECT_EQ(RunOk([text](CRecordingView& d) { d.Type(IDC_EDIT_DELAY, text); }), kStillOpen)
            << text;
        ASSERT_EQ(views.boxes.size(), 1u) << text;
        EXPECT_EQ(views.boxes[0].text, "Delay Time Data is not correct!");
        EXPECT_EQ(views.boxes[0].caption, "Tillstream");
        EXPECT_TRUE(SameRecord(record, before));
    }
}

TEST_F(OutputOptionDlgTest, TcpToUdpKeepsTheSamePage) {
    record.remoteAddress = 0x0A000001;  // 10.0.0.1
    record.remotePort = 9100;
    bool bSamePage = false;
    EXPECT_EQ(RunOk([&](CRecordingView& d) {
                  CRecordingView* before = &ClientPage();
                  d.Click(IDC_RADIO_UDP_CLIENT);
                  bSamePage = &ClientPage() == before && ClientPage().IsVisible() &&
                              !SerialPage().IsVisible() &&
                              ClientPage().GetAddress(IDC_IPADDRESS_REMOTE) == 0x0A000001 &&
                              ClientPage().GetItemText(IDC_EDIT_REMOTE_PORT) == "9100";
              }),
              2);
    EXPECT_TRUE(bSamePage);
    EXPECT_EQ(record.outputInterface, kInterfaceUdpClient);
    EXPECT_EQ(record.remoteAddress, 0x0A000001u);
    EXPECT_EQ(record.remotePort, 9100);
}

TEST_F(OutputOptionDlgTest, APageIsReadBackAsAWholeSliceAndTheOtherPageIsDropped) {
    std::memset(record.clientReserved, 0x5A, sizeof(record.clientReserved));
    OptionRecord expected = record;
    expected.remoteAddress = 0xC0A80000;
    expected.remotePort = 4001;
    EXPECT_EQ(RunOk([this](CRecordingView&) {
                  ClientPage().SetAddress(IDC_IPADDRESS_REMOTE, 0xC0A80000);
                  ClientPage().Type(IDC_EDIT_REMOTE_PORT, "4001");
              }),
              2);
    EXPECT_TRUE(SameRecord(record, expected));

    // Edits on the client page, then RS-232 chosen: only the RS-232 page is read.
    EXPECT_EQ(RunOk([this](CRecordingView& d) {
                  ClientPage().SetAddress(IDC_IPADDRESS_REMOTE, 0xAC000001);
                  ClientPage().Type(IDC_EDIT_REMOTE_PORT, "77");
                  d.Click(IDC_RADIO_RS232);
              }),
              2);
    EXPECT_EQ(record.outputInterface, kInterfaceRs232);
    EXPECT_EQ(record.remoteAddress, 0xC0A80000u);
    EXPECT_EQ(record.remotePort, 4001);

    // The serial page carries the input settings, folder and reserved bytes through unchanged.
    std::memset(record.serialReserved, 0xA5, sizeof(record.serialReserved));
    record.inputBaudRate = 12345;
    expected = record;
    expected.outputBaudRate = 115200;
    expected.outputParity = 2;
    expected.outputDataBits = 7;
    expected.outputStopBits = 2;
    EXPECT_EQ(RunOk([this](CRecordingView&) {
                  SerialPage().Select(IDC_COMBO_BAUD_RATE, 12);
                  SerialPage().Select(IDC_COMBO_PARITY, 2);
                  SerialPage().Type(IDC_EDIT_DATA_BITS, "7");
                  SerialPage().Select(IDC_COMBO_STOP_BITS, 2);
              }),
              2);
    EXPECT_TRUE(SameRecord(record, expected));
}

TEST_F(OutputOptionDlgTest, CancelEscapeAndTheCloseBoxEndWith0) {
    const OptionRecord before = record;
    const std::function<void(CRecordingView&)> ends[] = {
        [](CRecordingView& d) { d.Click(IDC_BUTTON_OUTPUT_CANCEL); },
        [](CRecordingView& d) { d.PressKey(kVkEscape, IDC_EDIT_DELAY); },
        [](CRecordingView& d) { d.PressKey(kVkEscape, IDC_EDIT_DATA_BITS); },  // on a page
        [](CRecordingView& d) { d.Close(); },
        [](CRecordingView& d) { d.PressKey(kVkReturn, IDC_BUTTON_OUTPUT_CANCEL); },
    };
    for (const auto& end : ends) {
        EXPECT_EQ(Run([this, &end](CRecordingView& d) {
                      d.Type(IDC_EDIT_DELAY, "1234");
                      ClientPage().SetAddress(IDC_IPADDRESS_REMOTE, 0x01000000);
                      d.Click(IDC_RADIO_RS232);
                      end(d);
                  }),
                  0);
        EXPECT_TRUE(SameRecord(record, before));
    }
}

TEST_F(OutputOptionDlgTest, EnterActsAsOkWhereverTheFocusIs) {
    for (int focus :
         {IDC_EDIT_DELAY, IDC_EDIT_REMOTE_PORT, IDC_IPADDRESS_REMOTE, IDC_BUTTON_OUTPUT_OK, -1}) {
        record.delayMs = 500;
        EXPECT_EQ(Run([focus](CRecordingView& d) {
                      d.Type(IDC_EDIT_DELAY, "1000");
                      d.PressKey(kVkReturn, focus);
                  }),
                  2)
            << focus;
        EXPECT_EQ(record.delayMs, 1000u);
    }
}

TEST_F(OutputOptionDlgTest, ThePageHangsUnderTheInterfaceGroup) {
    COutputOptionDlg dialog(views);
    dialog.SetOptionData(record);
    ASSERT_TRUE(dialog.Create(nullptr));
    CRecordingView& d = views.Find(IDD_OUTPUT_OPTION);
    const DialogTemplate& t = d.Template();
    // The template's pixels, as the view made them.
    CRecordingView fresh(views, t, nullptr);
    const ViewRect templateWindow = fresh.GetWindowRect();
    const ViewRect ok = fresh.GetItemRect(IDC_BUTTON_OUTPUT_OK);
    const ViewRect cancel = fresh.GetItemRect(IDC_BUTTON_OUTPUT_CANCEL);
    const ViewRect marker = fresh.GetItemRect(IDC_STATIC_PAGE_MARKER);
    const int clientHeight = ClientPage().GetWindowRect().height;
    const int serialHeight = SerialPage().GetWindowRect().height;
    ASSERT_NE(clientHeight, serialHeight);

    auto expectPage = [&](CRecordingView& shown, CRecordingView& hidden, int height) {
        EXPECT_TRUE(shown.IsVisible());
        EXPECT_FALSE(hidden.IsVisible());
        EXPECT_EQ(shown.GetWindowRect().x, marker.x);
        EXPECT_EQ(shown.GetWindowRect().y, marker.y);
        EXPECT_EQ(d.GetWindowRect().width, templateWindow.width);
        EXPECT_EQ(d.GetWindowRect().height, templateWindow.height + height + 10);
        EXPECT_EQ(d.GetItemRect(IDC_BUTTON_OUTPUT_OK).y, ok.y + height + 10);
        EXPECT_EQ(d.GetItemRect(IDC_BUTTON_OUTPUT_CANCEL).y, cancel.y + height + 10);
        EXPECT_EQ(d.GetItemRect(IDC_BUTTON_OUTPUT_OK).x, ok.x);
    };
    expectPage(ClientPage(), SerialPage(), clientHeight);
    dialog.OnRadioRS232();
    expectPage(SerialPage(), ClientPage(), serialHeight);
    dialog.OnRadioTcpClient();
    dialog.OnRadioUdpClient();
    expectPage(ClientPage(), SerialPage(), clientHeight);
}

TEST_F(OutputOptionDlgTest, AnUnknownInterfaceShowsNoPage) {
    record.outputInterface = 7;
    EXPECT_EQ(RunOk([this](CRecordingView& d) {
                  CRecordingView fresh(views, d.Template(), nullptr);
                  EXPECT_EQ(d.GetWindowRect().height, fresh.GetWindowRect().height);
                  EXPECT_EQ(d.GetItemRect(IDC_BUTTON_OUTPUT_OK).y,
                            fresh.GetItemRect(IDC_BUTTON_OUTPUT_OK).y);
                  EXPECT_FALSE(ClientPage().IsVisible() || SerialPage().IsVisible());
                  for (int id : {IDC_RADIO_TCP_CLIENT, IDC_RADIO_UDP_CLIENT, IDC_RADIO_RS232}) {
                      EXPECT_FALSE(d.IsItemChecked(id));
                  }
              }),
              1);
    EXPECT_EQ(RunOk([](CRecordingView& d) { d.Click(IDC_RADIO_TCP_CLIENT); }), 2);
    EXPECT_EQ(record.outputInterface, kInterfaceTcpClient);
}

TEST_F(OutputOptionDlgTest, TheSerialPageOffersTheVocabularyInOrder) {
    record.outputInterface = kInterfaceRs232;
    EXPECT_EQ(RunOk([this](CRecordingView&) {
                  CRecordingView& page = SerialPage();
                  EXPECT_EQ(
                      page.Item(IDC_COMBO_BAUD_RATE).items,
                      (Items{"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                             "38400", "56000", "57600", "115200", "128000", "256000"}));
                  EXPECT_EQ(page.GetItemText(IDC_COMBO_BAUD_RATE), "9600");
                  EXPECT_EQ(page.Item(IDC_COMBO_PARITY).items,
                            (Items{"NONE", "ODD", "EVEN", "MARK", "SPACE"}));
                  EXPECT_EQ(page.Item(IDC_COMBO_STOP_BITS).items, (Items{"1", "1.5", "2"}));
                  EXPECT_EQ(page.GetItemText(IDC_EDIT_DATA_BITS), "8");
              }),
              1);

    // A stored value without an entry leaves its list unselected; OK stores 0 for the port and
    // the rate and keeps the codes.
    record.outputComPort = 40;
    record.outputBaudRate = 12345;
    record.outputParity = 9;
    record.outputStopBits = 7;
    EXPECT_EQ(RunOk([this](CRecordingView&) {
                  for (int id : {IDC_COMBO_COM_PORT, IDC_COMBO_BAUD_RATE, IDC_COMBO_PARITY,
                                 IDC_COMBO_STOP_BITS}) {
                      EXPECT_EQ(SerialPage().Item(id).curSel, -1) << id;
                  }
              }),
              2);
    EXPECT_EQ(record.outputComPort, 0);
    EXPECT_EQ(record.outputBaudRate, 0u);
    EXPECT_EQ(record.outputParity, 9);
    EXPECT_EQ(record.outputStopBits, 7);
}

TEST_F(OutputOptionDlgTest, AnAbsentConfiguredPortIsStillOffered) {
    record.outputInterface = kInterfaceRs232;
    record.outputComPort = 12;
    EXPECT_EQ(RunOk([this](CRecordingView&) {
                  EXPECT_EQ(SerialPage().Item(IDC_COMBO_COM_PORT).items, Items{"\\\\.\\COM12"});
                  EXPECT_EQ(SerialPage().GetItemText(IDC_COMBO_COM_PORT), "\\\\.\\COM12");
              }),
              1);

    // With nothing present and port 1 configured, port 1 is all there is.
    record.outputComPort = 1;
    EXPECT_EQ(RunOk([this](CRecordingView&) {
                  EXPECT_EQ(SerialPage().Item(IDC_COMBO_COM_PORT).items, Items{"COM1"});
              }),
              1);
}

TEST_F(OutputOptionDlgTest, BothDialogsOfferPresentPortsAndTheConfiguredOne) {
    PtyPair free3;
    PtyPair held5;
    PtyPair free14;
    ASSERT_TRUE(free3.IsOpen() && held5.IsOpen() && free14.IsOpen());
    free3.LinkAsComPort(3);
    held5.LinkAsComPort(5);
    free14.LinkAsComPort(14);
    CSerialPort other;  // another program holding port 5
    ASSERT_EQ(other.Open(SerialDevicePath("COM5")), 0u);
    // A held port cannot be opened, so it is not offered; Wine lets it be opened all the same.
    const Items held = PtyPair::OpensAreExclusive() ? Items{} : Items{"COM5"};
    const auto with = [&held](Items items) {
        items.insert(items.begin() + 2, held.begin(), held.end());
        return items;
    };

    record.outputInterface = kInterfaceRs232;
    record.outputComPort = 1;
    EXPECT_EQ(RunOk([&](CRecordingView&) {
                  EXPECT_EQ(SerialPage().Item(IDC_COMBO_COM_PORT).items,
                            with({"COM1", "COM3", "\\\\.\\COM14"}));
                  EXPECT_EQ(SerialPage().Item(IDC_COMBO_COM_PORT).curSel, 0);
              }),
              1);
    // The configured port is offered even while someone else holds it.
    record.outputComPort = 5;
    EXPECT_EQ(RunOk([this](CRecordingView&) {
                  EXPECT_EQ(SerialPage().Item(IDC_COMBO_COM_PORT).items,
                            (Items{"COM3", "COM5", "\\\\.\\COM14"}));
                  SerialPage().Select(IDC_COMBO_COM_PORT, 2);
              }),
              2);
    EXPECT_EQ(record.outputComPort, 14);

    // The Input Option dialog's list is made the same way from its own port.
    record.inputComPort = 2;  // absent
    EXPECT_EQ(OptionDlgFixture::Run<CInputOptionDlg>([&](CRecordingView& d) {
                  EXPECT_EQ(d.Item(IDC_COMBO_INPUT_COM_PORT).items,
                            with({"COM2", "COM3", "\\\\.\\COM14"}));
                  d.Click(IDC_BUTTON_INPUT_CANCEL);
              }),
              0);
    record.inputComPort = 5;  // held
    EXPECT_EQ(OptionDlgFixture::Run<CInputOptionDlg>([](CRecordingView& d) {
                  EXPECT_EQ(d.GetItemText(IDC_COMBO_INPUT_COM_PORT), "COM5");
                  d.Click(IDC_BUTTON_INPUT_CANCEL);
              }),
              0);
}
