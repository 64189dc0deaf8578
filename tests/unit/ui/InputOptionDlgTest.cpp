// The Input Option dialog as the user meets it: what each typed text stores, the data-bits
// check, the folder chooser, keys, and that everything not edited passes through unchanged. (Its
// port list is tested with the Output Option dialog's.)
#include "OptionDlgFixture.h"
#include "ui/InputOptionDlg.h"
#include "ui/ViewConstants.h"

namespace {
using Items = std::vector<std::string>;

void Ok(CRecordingView& d) {
    d.Click(IDC_BUTTON_INPUT_OK);
}
}  // namespace

class InputOptionDlgTest : public OptionDlgFixture {
  protected:
    void SetUp() override {
        OptionDlgFixture::SetUp();
        Fresh();
    }
    // The defaults, with a pattern in the reserved bytes so that any spill or loss shows.
    void Fresh() {
        record = MakeDefaultOptionRecord();
        std::memset(record.serialReserved, 0x3C, sizeof(record.serialReserved));
        std::memset(record.tailReserved, 0xC3, sizeof(record.tailReserved));
    }
    int Run(const std::function<void(CRecordingView&)>& action) {
        return OptionDlgFixture::Run<CInputOptionDlg>(action);
    }
    // Runs `edits` and then presses OK.
    int RunOk(const std::function<void(CRecordingView&)>& edits) {
        return Run([&edits](CRecordingView& d) { edits(d), Ok(d); });
    }
    // Types `text` into the field of combo box `nId` of a fresh record and presses OK.
    int TypeAndOk(int nId, const std::string& text) {
        Fresh();
        return RunOk([nId, text](CRecordingView& d) { d.Type(nId, text); });
    }
};

TEST_F(InputOptionDlgTest, ControlsShowTheStoredRecordAndOkWithoutChangeEndsWith1) {
    EXPECT_EQ(RunOk([this](CRecordingView& d) {
                  EXPECT_EQ(d.GetItemText(IDC_EDIT_CAPTURE_FOLDER), CaptureFolderText(record));
                  EXPECT_EQ(d.GetItemText(IDC_COMBO_INPUT_COM_PORT), "COM2");
                  EXPECT_EQ(d.GetItemText(IDC_COMBO_INPUT_BAUD_RATE), "9600");
                  EXPECT_EQ(d.GetItemText(IDC_COMBO_INPUT_PARITY), "NONE");
                  EXPECT_EQ(d.GetItemText(IDC_EDIT_INPUT_DATA_BITS), "8");
                  EXPECT_EQ(d.GetItemText(IDC_COMBO_INPUT_STOP_BITS), "1");
                  // The lists keep the program's order, not an alphabetical one.
                  const Items& rates = d.Item(IDC_COMBO_INPUT_BAUD_RATE).items;
                  EXPECT_EQ(Items(rates.begin(), rates.begin() + 5),
                            (Items{"110", "300", "600", "1200", "2400"}));
                  EXPECT_EQ(d.Item(IDC_COMBO_INPUT_PARITY).items,
                            (Items{"NONE", "ODD", "EVEN", "MARK", "SPACE"}));
                  EXPECT_EQ(d.Item(IDC_COMBO_INPUT_STOP_BITS).items, (Items{"1", "1.5", "2"}));
              }),
              1);
}

TEST_F(InputOptionDlgTest, EvenParityChangesOnlyParity) {
    OptionRecord expected = record;
    expected.inputParity = 2;
    EXPECT_EQ(RunOk([](CRecordingView& d) { d.Select(IDC_COMBO_INPUT_PARITY, 2); }), 2);
    EXPECT_TRUE(SameRecord(record, expected));
}

TEST_F(InputOptionDlgTest, DataBitsText) {
    for (const auto& [text, stored] :
         {std::pair<const char*, int>{"0", 0}, {"7x", 7}, {"42", 42}}) {
        EXPECT_EQ(TypeAndOk(IDC_EDIT_INPUT_DATA_BITS, text), 2) << text;
        EXPECT_EQ(record.inputDataBits, stored) << text;
    }
    EXPECT_TRUE(views.boxes.empty());
}

TEST_F(InputOptionDlgTest, UnreadableDataBitsKeepTheDialogOpen) {
    CInputOptionDlg dialog(views);
    dialog.SetOptionData(record);
    ASSERT_TRUE(dialog.Create(nullptr));
    CRecordingView& d = views.Find(IDD_INPUT_OPTION);
    d.Type(IDC_COMBO_INPUT_COM_PORT, "COM7");
    d.Type(IDC_EDIT_INPUT_DATA_BITS, "abc");
    d.Select(IDC_COMBO_INPUT_STOP_BITS, 2);
    Ok(d);
    EXPECT_FALSE(d.IsEnded());
    ASSERT_EQ(views.boxes.size(), 1u);
    EXPECT_EQ(views.boxes[0].text, "Data bits is not correct");
    EXPECT_EQ(views.boxes[0].caption, "Tillstream");
    // Read before the data bits: kept. After them: not reached.
    OptionRecord edited{};
    dialog.GetOptionData(edited);
    EXPECT_EQ(edited.inputComPort, 7);
    EXPECT_EQ(edited.inputDataBits, 8);
    EXPECT_EQ(edited.inputStopBits, 0);

    // Mended and pressed again, every control is read afresh.
    d.Type(IDC_EDIT_INPUT_DATA_BITS, "6");
    Ok(d);
    EXPECT_EQ(d.Result(), 2);
    dialog.GetOptionData(edited);
    EXPECT_EQ(edited.inputComPort, 7);
    EXPECT_EQ(edited.inputDataBits, 6);
    EXPECT_EQ(edited.inputStopBits, 2);
    EXPECT_EQ(views.boxes.size(), 1u);
}

TEST_F(InputOptionDlgTest, TypedPortBaudParityAndStopBits) {
    // The port is the number after the last M.
    for (const auto& [text, port] :
         {std::pair<const char*, int>{"5", 5}, {"COM5", 5}, {"\\\\.\\COM15", 15}, {"COM", 0}}) {
        EXPECT_EQ(TypeAndOk(IDC_COMBO_INPUT_COM_PORT, text), 2) << text;
        EXPECT_EQ(record.inputComPort, port) << text;
    }
    // The baud rate is parsed without a range check.
    EXPECT_EQ(TypeAndOk(IDC_COMBO_INPUT_BAUD_RATE, "abc"), 2);
    EXPECT_EQ(record.inputBaudRate, 0u);
    EXPECT_EQ(TypeAndOk(IDC_COMBO_INPUT_BAUD_RATE, "31250"), 2);
    EXPECT_EQ(record.inputBaudRate, 31250u);
    // Parity and stop bits need an exact name.
    EXPECT_EQ(TypeAndOk(IDC_COMBO_INPUT_PARITY, "even"), 1);
    EXPECT_EQ(TypeAndOk(IDC_COMBO_INPUT_STOP_BITS, "1.50"), 1);
    EXPECT_EQ(TypeAndOk(IDC_COMBO_INPUT_STOP_BITS, "1.5"), 2);
    EXPECT_EQ(record.inputStopBits, 1);
}

TEST_F(InputOptionDlgTest, StoredValuesWithoutAnEntryShowEmpty) {
    record.inputBaudRate = 12345;
    record.inputParity = 9;
    record.inputStopBits = 5;
    Items shown;
    EXPECT_EQ(RunOk([&](CRecordingView& d) {
                  for (int id : {IDC_COMBO_INPUT_BAUD_RATE, IDC_COMBO_INPUT_PARITY,
                                 IDC_COMBO_INPUT_STOP_BITS}) {
                      shown.push_back(d.GetItemText(id));
                  }
              }),
              2);
    EXPECT_EQ(shown, (Items{"", "", ""}));
    EXPECT_EQ(record.inputBaudRate, 0u);
    EXPECT_EQ(record.inputParity, 9);
    EXPECT_EQ(record.inputStopBits, 5);
}

TEST_F(InputOptionDlgTest, TheFolderChooser) {
    // Cancelled: nothing changes.
    EXPECT_EQ(RunOk([](CRecordingView& d) { d.Click(IDC_BUTTON_BROWSE); }), 1);
    EXPECT_EQ(views.folderTitles, Items{"Select Folder"});

    // A chosen folder is stored.
    views.chosenFolder = home.Path("captures");
    OptionRecord expected = record;
    ASSERT_TRUE(SetCaptureFolder(expected, views.chosenFolder->c_str()));
    EXPECT_EQ(RunOk([](CRecordingView& d) { d.Click(IDC_BUTTON_BROWSE); }), 2);
    EXPECT_TRUE(SameRecord(record, expected));

    // One too long for the record is refused and the shown folder stays.
    const std::string before = CaptureFolderText(record);
    views.chosenFolder = "/" + std::string(255, 'f');
    std::string shown;
    EXPECT_EQ(RunOk([&shown](CRecordingView& d) {
                  d.Click(IDC_BUTTON_BROWSE);
                  shown = d.GetItemText(IDC_EDIT_CAPTURE_FOLDER);
              }),
              1);
    EXPECT_EQ(shown, before);
    ASSERT_EQ(views.boxes.size(), 1u);
    EXPECT_NE(views.boxes[0].text.find("too long"), std::string::npos);

    // 255 bytes is exactly what the record holds.
    views.chosenFolder = "/" + std::string(254, 'f');
    EXPECT_EQ(RunOk([](CRecordingView& d) { d.Click(IDC_BUTTON_BROWSE); }), 2);
    EXPECT_EQ(CaptureFolderText(record).size(), 255u);
    EXPECT_EQ(record.serialReserved[0], static_cast<unsigned char>(0x3C));
}

TEST_F(InputOptionDlgTest, EnterOnTheBrowseButtonRunsOk) {
    views.chosenFolder = "/tmp/elsewhere";
    EXPECT_EQ(Run([](CRecordingView& d) {
                  d.Select(IDC_COMBO_INPUT_PARITY, 1);
                  d.PressKey(kVkReturn, IDC_BUTTON_BROWSE);
              }),
              2);
    EXPECT_TRUE(views.folderTitles.empty());
    EXPECT_EQ(record.inputParity, 1);
}

TEST_F(InputOptionDlgTest, CancelEscapeAndTheCloseBoxEndWith0) {
    const OptionRecord before = record;
    const std::function<void(CRecordingView&)> ends[] = {
        [](CRecordingView& d) { d.Click(IDC_BUTTON_INPUT_CANCEL); },
        [](CRecordingView& d) { d.PressKey(kVkEscape, IDC_COMBO_INPUT_BAUD_RATE); },
        [](CRecordingView& d) { d.Close(); },
        [](CRecordingView& d) { d.PressKey(kVkReturn, IDC_BUTTON_INPUT_CANCEL); },
    };
    for (const auto& end : ends) {
        EXPECT_EQ(Run([&end](CRecordingView& d) {
                      d.Select(IDC_COMBO_INPUT_PARITY, 3);
                      d.Type(IDC_EDIT_INPUT_DATA_BITS, "5");
                      end(d);
                  }),
                  0);
        EXPECT_TRUE(SameRecord(record, before));
    }
}
