#include "options/OptionRecord.h"

#include <string>

#include "platform/UserFolders.h"

std::string DefaultCaptureFolder() {
    std::string folder = UserCaptureFolder();
    return folder.size() < kCaptureFolderSize ? folder : std::string();
}

OptionRecord MakeDefaultOptionRecord() {
    OptionRecord record;
    std::memset(&record, 0, sizeof record);
    record.delayMs = 500;
    record.outputComPort = 1;
    record.outputBaudRate = 9600;
    record.outputDataBits = 8;
    record.inputComPort = 2;
    record.inputBaudRate = 9600;
    record.inputDataBits = 8;
    SetCaptureFolder(record, DefaultCaptureFolder().c_str());
    return record;
}

SerialSettings GetSerialSettings(const OptionRecord& record) {
    SerialSettings settings;
    std::memcpy(&settings, reinterpret_cast<const unsigned char*>(&record) + kSerialSettingsOffset,
                sizeof settings);
    return settings;
}

void SetSerialSettings(OptionRecord& record, const SerialSettings& settings) {
    std::memcpy(reinterpret_cast<unsigned char*>(&record) + kSerialSettingsOffset, &settings,
                sizeof settings);
}

ClientSettings GetClientSettings(const OptionRecord& record) {
    ClientSettings settings;
    std::memcpy(&settings, reinterpret_cast<const unsigned char*>(&record) + kClientSettingsOffset,
                sizeof settings);
    return settings;
}

void SetClientSettings(OptionRecord& record, const ClientSettings& settings) {
    std::memcpy(reinterpret_cast<unsigned char*>(&record) + kClientSettingsOffset, &settings,
                sizeof settings);
}

std::string CaptureFolderText(const OptionRecord& record) {
    // A stored value may fill all 256 bytes without a NUL; the text then ends at the field's end.
    const void* end = std::memchr(record.captureFolder, '\0', kCaptureFolderSize);
    const std::size_t length =
        end ? static_cast<std::size_t>(static_cast<const char*>(end) - record.captureFolder)
            : kCaptureFolderSize;
    return std::string(record.captureFolder, length);
}

bool SetCaptureFolder(OptionRecord& record, const char* folder) {
    const std::size_t length = std::strlen(folder);
    if (length >= kCaptureFolderSize) {
        return false;
    }
    std::memset(record.captureFolder, 0, kCaptureFolderSize);
    std::memcpy(record.captureFolder, folder, length);
    return true;
}
