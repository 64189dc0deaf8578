// The window's resources as the ui reads them, without a toolkit: every template, the tray menu
// and the string table, compiled into the program.
#include <gtest/gtest.h>

#include "datafile/ConversionTexts.h"
#include "ui/ControlIds.h"
#include "ui/DialogTemplate.h"
#include "ui/MenuTemplate.h"
#include "ui/ResourceStrings.h"

TEST(ResourcesTest, EveryTemplateLoadsWithItsControls) {
    for (int id : {IDD_ABOUTBOX, IDD_TILLSTREAM_DIALOG, IDD_OUTPUT_OPTION, IDD_INPUT_OPTION,
                   IDD_CLIENT_PROPERTY, IDD_RS232_PROPERTY}) {
        const DialogTemplate dialogTemplate = DialogTemplate::Load(id);
        EXPECT_EQ(dialogTemplate.id, id);
        EXPECT_GT(dialogTemplate.width, 0);
        EXPECT_FALSE(dialogTemplate.controls.empty());
    }
    const DialogTemplate main = DialogTemplate::Load(IDD_TILLSTREAM_DIALOG);
    EXPECT_EQ(main.caption, "Tillstream");
    EXPECT_EQ(main.width, 336);
    EXPECT_EQ(main.height, 340);
    const ControlTemplate* make = main.Control(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    ASSERT_NE(make, nullptr);
    EXPECT_EQ(make->kind, "pushbutton");
    EXPECT_EQ(make->text, "Make Tillstream Data");
    EXPECT_TRUE(make->Has("disabled"));
    EXPECT_EQ(make->rect.x, 240);
    EXPECT_EQ(make->rect.width, 81);
    EXPECT_TRUE(main.Control(IDC_BUTTON_INPUT_START)->Has("hidden"));
    EXPECT_TRUE(main.Control(IDC_LIST_DATA)->Has("ownerdata"));
    EXPECT_TRUE(DialogTemplate::Load(IDD_INPUT_OPTION).Control(1035)->Has("dropdown"));
    EXPECT_TRUE(DialogTemplate::Load(IDD_RS232_PROPERTY).Control(1016)->Has("dropdownlist"));
    EXPECT_EQ(main.Control(4242), nullptr);
}

TEST(ResourcesTest, StringTableAndTrayMenu) {
    EXPECT_EQ(LoadResourceString(IDS_MAKE_TILLSTREAM_DATA), "Make Tillstream Data");
    EXPECT_EQ(LoadResourceString(IDS_RESTORE_FAIL), "Fail, Restore data.");
    EXPECT_EQ(LoadResourceString(101), "&About Tillstream...");
    EXPECT_TRUE(LoadResourceString(999).empty());
    // The window's table and the texts the command line prints never drift apart.
    for (int id = IDS_MAKE_TILLSTREAM_DATA; id <= IDS_FAIL_RESTORE_DATA; ++id) {
        EXPECT_EQ(LoadResourceString(id), ConversionText(id));
    }
    const MenuTemplate menu = MenuTemplate::Load(IDR_TRAY_POPUP);
    ASSERT_EQ(menu.items.size(), 9u);
    EXPECT_EQ(menu.items.front().id, ID_TRAY_OPEN);
    EXPECT_EQ(menu.items.front().text, "Tillstream Open(&O)");
    EXPECT_TRUE(menu.items[1].separator);
    EXPECT_EQ(menu.items[5].id, ID_TRAY_ALWAYS_ON_TOP);
    EXPECT_EQ(menu.items.back().id, ID_TRAY_EXIT);
    EXPECT_TRUE(MenuTemplate::Load(4242).items.empty());
}
