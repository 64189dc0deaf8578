// The option record in the per-user store, as the program loads and saves it and as another
// program sees it there (the registry value on Windows, the file on Linux).
#include <algorithm>
#include <string>
#include <vector>

#include "StoreAccess.h"
#include "TempHome.h"
#include "options/OptionRecord.h"
#include "options/OptionStore.h"
#include "options/Registry.h"

namespace {

class OptionStoreTest : public TempHomeTest {
  protected:
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

    static std::string Stored(bool* pIsBinary = nullptr) {
        return ReadStoredValue(pIsBinary).value_or("(no value)");
    }
};

TEST_F(OptionStoreTest, FirstRunKeepsEveryDefault) {
    int32_t result = 0;
    const OptionRecord record = Load(&result);
    EXPECT_EQ(result, -1);  // no key yet
    EXPECT_EQ(record.loopEnabled, 0);
    EXPECT_EQ(record.delayMs, 500u);
    EXPECT_EQ(record.outputInterface, kInterfaceTcpClient);
    EXPECT_EQ(record.outputComPort, 1);
    EXPECT_EQ(record.outputBaudRate, 9600u);
    EXPECT_EQ(record.outputParity, 0);
    EXPECT_EQ(record.outputDataBits, 8);
    EXPECT_EQ(record.outputStopBits, 0);
    EXPECT_EQ(record.inputComPort, 2);
    EXPECT_EQ(record.inputBaudRate, 9600u);
    EXPECT_EQ(record.inputParity, 0);
    EXPECT_EQ(record.inputDataBits, 8);
    EXPECT_EQ(record.inputStopBits, 0);
    EXPECT_EQ(CaptureFolderText(record), home.DefaultCaptureFolder());
    EXPECT_EQ(record.remoteAddress, 0u);
    EXPECT_EQ(record.remotePort, 0);
    // Everything else is zero, the rest of the folder field included.
    const std::string bytes = Bytes(record);
    const std::size_t folderEnd = 52 + CaptureFolderText(record).size();
    EXPECT_TRUE(std::all_of(bytes.begin() + static_cast<long>(folderEnd), bytes.begin() + 1332,
                            [](char c) { return c == 0; }));
    EXPECT_TRUE(std::all_of(bytes.begin() + 1340, bytes.end(), [](char c) { return c == 0; }));
    EXPECT_FALSE(StoredKeyExists()) << "reading must not create the key";
}

TEST_F(OptionStoreTest, KeyWithoutValueKeepsDefaults) {
    CreateStoredKey();
    int32_t result = 0;
    const OptionRecord record = Load(&result);
    EXPECT_EQ(result, -2);
    EXPECT_EQ(Bytes(record), Bytes(MakeDefaultOptionRecord()));
}

TEST_F(OptionStoreTest, ShortValueReplacesOnlyTheStart) {
    // loopEnabled 1, delayMs 1000, outputInterface 2, and nothing more.
    WriteStoredValue(std::string("\x01\0\0\0\xE8\x03\0\0\x02\0\0\0", 12));
    int32_t result = -7;
    const OptionRecord record = Load(&result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(record.loopEnabled, 1);
    EXPECT_EQ(record.delayMs, 1000u);
    EXPECT_EQ(record.outputInterface, kInterfaceRs232);
    OptionRecord expected = MakeDefaultOptionRecord();
    expected.loopEnabled = 1;
    expected.delayMs = 1000;
    expected.outputInterface = kInterfaceRs232;
    EXPECT_EQ(Bytes(record), Bytes(expected));
}

TEST_F(OptionStoreTest, OverlongValueIsRefusedWhole) {
    WriteStoredValue(std::string(2893, '\x7f'));
    int32_t result = 0;
    const OptionRecord record = Load(&result);
    EXPECT_EQ(result, -2);
    EXPECT_EQ(Bytes(record), Bytes(MakeDefaultOptionRecord()));
}

TEST_F(OptionStoreTest, EveryStoredLengthLoadsByTheRules) {
    const OptionRecord defaults = MakeDefaultOptionRecord();
    // Every length a field can end at, or stop part-way through, and past the record's end.
    for (std::size_t length = 0; length <= 3000; ++length) {
        std::string stored(length, '\0');
        for (std::size_t i = 0; i < length; ++i) {
            stored[i] = static_cast<char>(i * 7 + 1 + length);
        }
        WriteStoredValue(stored);
        int32_t result = 0;
        const std::string loaded = Bytes(Load(&result));
        if (length > kOptionRecordSize) {
            EXPECT_EQ(result, -2) << length;
            EXPECT_EQ(loaded, Bytes(defaults)) << length;
        } else {
            EXPECT_EQ(result, 0) << length;
            EXPECT_EQ(loaded.substr(0, length), stored) << length;
            EXPECT_EQ(loaded.substr(length), Bytes(defaults).substr(length)) << length;
        }
    }
}

TEST_F(OptionStoreTest, SaveWritesTheWholeRecordAndReservedBytesSurvive) {
    OptionRecord stored = MakeDefaultOptionRecord();
    stored.serialReserved[0] = 0xA5;
    stored.serialReserved[1023] = 0x5A;
    stored.clientReserved[11] = 0x11;
    stored.tailReserved[0] = 0x22;
    stored.tailReserved[1539] = 0x33;
    WriteStoredValue(Bytes(stored));

    OptionRecord record = Load();
    record.delayMs = 750;  // one field changed
    ASSERT_EQ(SaveStoredOptions(record, "test"), 0);

    const std::string onDisk = Stored();
    ASSERT_EQ(onDisk.size(), kOptionRecordSize);
    stored.delayMs = 750;
    EXPECT_EQ(onDisk, Bytes(stored));
}

TEST_F(OptionStoreTest, FirstSaveCreatesTheKeyWithExactly2892Bytes) {
    OptionRecord record = MakeDefaultOptionRecord();
    record.remoteAddress = 0xC0A8000A;  // 192.168.0.10
    ASSERT_EQ(SaveStoredOptions(record, "test"), 0);
    bool bBinary = false;
    const std::string onDisk = Stored(&bBinary);
    EXPECT_TRUE(bBinary) << "the value's type is REG_BINARY";
    ASSERT_EQ(onDisk.size(), kOptionRecordSize);
    EXPECT_EQ(onDisk.substr(1332, 4), std::string("\x0A\x00\xA8\xC0", 4));
}

TEST_F(OptionStoreTest, KeyThatCannotBeOpenedWithFullAccessCountsAsMissing) {
    std::string whyNot;
    if (!BlockStoredKey(whyNot)) {
        GTEST_SKIP() << whyNot;
    }
    int32_t result = 0;
    const OptionRecord record = Load(&result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Bytes(record), Bytes(MakeDefaultOptionRecord()));
    EXPECT_EQ(SaveStoredOptions(record, "test"), -1);
}

TEST_F(OptionStoreTest, ValueOfAnotherTypeLoadsAsRecordBytes) {
    // Neither the type nor the length is tested: text stored by someone else is taken as the first
    // bytes of the record, its terminating NUL included.
    if (!WriteStoredTextValue("hello")) {
        GTEST_SKIP() << "this store keeps bytes without a type";
    }
    int32_t result = -7;
    const OptionRecord record = Load(&result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Bytes(record).substr(0, 6), std::string("hello\0", 6));
    EXPECT_EQ(Bytes(record).substr(6), Bytes(MakeDefaultOptionRecord()).substr(6));
    bool bBinary = true;
    EXPECT_EQ(Stored(&bBinary), std::string("hello\0", 6));
    EXPECT_FALSE(bBinary);
}

TEST(OptionRecordTest, CaptureFolderThatDoesNotFitIsRefused) {
    OptionRecord record = MakeDefaultOptionRecord();
    const std::string before = CaptureFolderText(record);
    EXPECT_FALSE(SetCaptureFolder(record, std::string(256, 'a').c_str()));
    EXPECT_EQ(CaptureFolderText(record), before);
    EXPECT_TRUE(SetCaptureFolder(record, std::string(255, 'b').c_str()));
    EXPECT_EQ(CaptureFolderText(record), std::string(255, 'b'));
    EXPECT_EQ(record.serialReserved[0], 0);
}

TEST(OptionRecordTest, SlicesCopyTheirBytesWhole) {
    OptionRecord record = MakeDefaultOptionRecord();
    record.serialReserved[5] = 9;
    record.clientReserved[3] = 4;
    SerialSettings serial = GetSerialSettings(record);
    ClientSettings client = GetClientSettings(record);
    EXPECT_EQ(serial.serialReserved[5], 9);
    EXPECT_EQ(serial.inputComPort, 2);
    EXPECT_EQ(client.clientReserved[3], 4);
    serial.outputBaudRate = 115200;
    client.remotePort = 9100;
    OptionRecord copy = MakeDefaultOptionRecord();
    SetSerialSettings(copy, serial);
    SetClientSettings(copy, client);
    EXPECT_EQ(copy.outputBaudRate, 115200u);
    EXPECT_EQ(copy.remotePort, 9100);
    EXPECT_EQ(copy.serialReserved[5], 9);
    EXPECT_EQ(copy.clientReserved[3], 4);
    EXPECT_EQ(copy.delayMs, 500u);
}

}  // namespace
