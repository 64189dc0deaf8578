// The Linux store as files: what a failed, interrupted or killed save leaves behind, folder
// permissions, and the default capture folder's dependence on HOME.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "TempHome.h"
#include "options/OptionRecord.h"
#include "options/OptionStore.h"
#include "options/Registry.h"

namespace {

class OptionStoreFilesTest : public TempHomeTest {
  protected:
    std::string ValuePath() const { return home.SettingsFolder() + "/OptionData"; }

    void StoreRaw(const std::string& bytes) {
        ::mkdir((home.ConfigRoot() + "/VAZ").c_str(), 0700);
        ::mkdir(home.SettingsFolder().c_str(), 0700);
        WriteFileBytes(ValuePath(), bytes);
    }

    static std::string Bytes(const OptionRecord& record) {
        return std::string(reinterpret_cast<const char*>(&record), sizeof record);
    }

    static OptionRecord Load(int32_t* result = nullptr) {
        OptionRecord record = MakeDefaultOptionRecord();
        const int32_t r = LoadStoredOptions(record, "test");
        if (result != nullptr) {
            *result = r;
        }
        return record;
    }
};

TEST_F(OptionStoreFilesTest, ValueThatCannotBeReplacedFailsTheSaveAndKeepsWhatIsThere) {
    // Permissions do not bind the superuser the tests run as, so the value is made unwritable
    // another way: its name is taken by a folder, which a rename cannot replace.
    ::mkdir((home.ConfigRoot() + "/VAZ").c_str(), 0700);
    ::mkdir(home.SettingsFolder().c_str(), 0700);
    ::mkdir(ValuePath().c_str(), 0700);
    WriteFileBytes(ValuePath() + "/keep", "mine");

    OptionRecord record = MakeDefaultOptionRecord();
    record.delayMs = 777;
    record.loopEnabled = 1;
    EXPECT_EQ(SaveStoredOptions(record, "test"), -2);
    // The caller's record is untouched, the folder and its content stay, and no temporary file
    // of the failed save is left beside it.
    EXPECT_EQ(record.delayMs, 777u);
    EXPECT_EQ(record.loopEnabled, 1);
    EXPECT_EQ(ReadFileBytes(ValuePath() + "/keep"), "mine");
    std::size_t entries = 0;
    if (DIR* folder = ::opendir(home.SettingsFolder().c_str())) {
        while (const dirent* entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            entries += name != "." && name != "..";
        }
        ::closedir(folder);
    }
    EXPECT_EQ(entries, 1u) << "only the OptionData folder";

    int32_t result = 0;
    const OptionRecord loaded = Load(&result);
    EXPECT_EQ(result, -2);
    EXPECT_EQ(Bytes(loaded), Bytes(MakeDefaultOptionRecord()));
}

TEST_F(OptionStoreFilesTest, KeyWithoutAccessCountsAsMissing) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not bind the superuser";
    }
    StoreRaw(Bytes(MakeDefaultOptionRecord()));
    ::chmod(home.SettingsFolder().c_str(), 0500);  // readable, not writable
    int32_t result = 0;
    Load(&result);
    EXPECT_EQ(result, -1);
}

TEST_F(OptionStoreFilesTest, InterruptedSaveLeavesThePreviousValue) {
    OptionRecord previous = MakeDefaultOptionRecord();
    previous.delayMs = 1234;
    ASSERT_EQ(SaveStoredOptions(previous, "test"), 0);
    // A save killed after writing its temporary file and before the rename leaves this behind.
    WriteFileBytes(home.SettingsFolder() + "/.OptionData.Ab12Cd", std::string(100, 'x'));
    int32_t result = 0;
    const OptionRecord record = Load(&result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Bytes(record), Bytes(previous));
}

TEST_F(OptionStoreFilesTest, SaveKilledAtAnyMomentLeavesOneWholeRecord) {
    OptionRecord first = MakeDefaultOptionRecord();
    OptionRecord second = MakeDefaultOptionRecord();
    std::fill(std::begin(first.tailReserved), std::end(first.tailReserved), 0x11);
    std::fill(std::begin(second.tailReserved), std::end(second.tailReserved), 0x22);
    second.delayMs = 42;
    ASSERT_EQ(SaveStoredOptions(first, "test"), 0);
    for (int round = 0; round < 20; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                SaveStoredOptions(i % 2 ? first : second, "test");
            }
        }
        ::usleep(static_cast<useconds_t>(2000 + round * 700));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string onDisk = ReadFileBytes(ValuePath());
        EXPECT_TRUE(onDisk == Bytes(first) || onDisk == Bytes(second))
            << "round " << round << ": " << onDisk.size() << " bytes";
    }
}

TEST_F(OptionStoreFilesTest, LongHomeFolderGetsAShortCaptureFolder) {
    const std::string longHome = "/" + std::string(300, 'h');
    ::setenv("HOME", longHome.c_str(), 1);
    const OptionRecord record = MakeDefaultOptionRecord();
    EXPECT_EQ(CaptureFolderText(record), "/tmp/Tillstream");
    EXPECT_EQ(record.serialReserved[0], 0);
}

}  // namespace
