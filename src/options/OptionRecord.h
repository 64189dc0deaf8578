#pragma once
// The one settings record: 2892 bytes of plain data, stored byte for byte in the per-user store
// and copied, compared and saved whole. Two contiguous slices of it (SerialSettings and
// ClientSettings) are copied whole by the Output Option dialog's pages.
// Plain data: any thread may copy it; sharing one copy between threads needs CSharedOptions.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

inline constexpr std::size_t kOptionRecordSize = 2892;
inline constexpr std::size_t kCaptureFolderSize = 256;  // 255 characters and the NUL

// Values of outputInterface.
inline constexpr int32_t kInterfaceTcpClient = 0;
inline constexpr int32_t kInterfaceUdpClient = 1;
inline constexpr int32_t kInterfaceRs232 = 2;

struct OptionRecord {
    int32_t loopEnabled;
    uint32_t delayMs;
    int32_t outputInterface;
    // --- SerialSettings: offsets 12 to 1331 ---
    int32_t outputComPort;
    uint32_t outputBaudRate;
    int32_t outputParity;
    int32_t outputDataBits;
    int32_t outputStopBits;
    int32_t inputComPort;
    uint32_t inputBaudRate;
    int32_t inputParity;
    int32_t inputDataBits;
    int32_t inputStopBits;
    char captureFolder[kCaptureFolderSize];
    unsigned char serialReserved[1024];
    // --- ClientSettings: offsets 1332 to 1351 ---
    uint32_t remoteAddress;  // IPv4, host byte order: 192.168.0.10 is 0xC0A8000A
    int32_t remotePort;
    unsigned char clientReserved[12];
    // ---
    unsigned char tailReserved[1540];
};

// The output and input serial fields, the capture folder and the reserved bytes after it.
struct SerialSettings {
    int32_t outputComPort;
    uint32_t outputBaudRate;
    int32_t outputParity;
    int32_t outputDataBits;
    int32_t outputStopBits;
    int32_t inputComPort;
    uint32_t inputBaudRate;
    int32_t inputParity;
    int32_t inputDataBits;
    int32_t inputStopBits;
    char captureFolder[kCaptureFolderSize];
    unsigned char serialReserved[1024];
};

// The remote endpoint of the TCP and UDP clients and the reserved bytes after it.
struct ClientSettings {
    uint32_t remoteAddress;
    int32_t remotePort;
    unsigned char clientReserved[12];
};

inline constexpr std::size_t kSerialSettingsOffset = 12;
inline constexpr std::size_t kClientSettingsOffset = 1332;

// The stored value is the record's memory image, so the layout is the file format.
static_assert(std::endian::native == std::endian::little, "the stored record is little-endian");
static_assert(sizeof(OptionRecord) == kOptionRecordSize);
static_assert(sizeof(SerialSettings) == 1320);
static_assert(sizeof(ClientSettings) == 20);
static_assert(offsetof(OptionRecord, loopEnabled) == 0);
static_assert(offsetof(OptionRecord, delayMs) == 4);
static_assert(offsetof(OptionRecord, outputInterface) == 8);
static_assert(offsetof(OptionRecord, outputComPort) == 12);
static_assert(offsetof(OptionRecord, outputBaudRate) == 16);
static_assert(offsetof(OptionRecord, outputParity) == 20);
static_assert(offsetof(OptionRecord, outputDataBits) == 24);
static_assert(offsetof(OptionRecord, outputStopBits) == 28);
static_assert(offsetof(OptionRecord, inputComPort) == 32);
static_assert(offsetof(OptionRecord, inputBaudRate) == 36);
static_assert(offsetof(OptionRecord, inputParity) == 40);
static_assert(offsetof(OptionRecord, inputDataBits) == 44);
static_assert(offsetof(OptionRecord, inputStopBits) == 48);
static_assert(offsetof(OptionRecord, captureFolder) == 52);
static_assert(sizeof(OptionRecord::captureFolder) == 256);
static_assert(offsetof(OptionRecord, serialReserved) == 308);
static_assert(sizeof(OptionRecord::serialReserved) == 1024);
static_assert(offsetof(OptionRecord, remoteAddress) == 1332);
static_assert(offsetof(OptionRecord, remotePort) == 1336);
static_assert(offsetof(OptionRecord, clientReserved) == 1340);
static_assert(sizeof(OptionRecord::clientReserved) == 12);
static_assert(offsetof(OptionRecord, tailReserved) == 1352);
static_assert(sizeof(OptionRecord::tailReserved) == 1540);
static_assert(offsetof(OptionRecord, captureFolder) - kSerialSettingsOffset ==
              offsetof(SerialSettings, captureFolder));
static_assert(offsetof(OptionRecord, serialReserved) - kSerialSettingsOffset ==
              offsetof(SerialSettings, serialReserved));
static_assert(offsetof(OptionRecord, clientReserved) - kClientSettingsOffset ==
              offsetof(ClientSettings, clientReserved));

// A record zero-filled and then given its defaults: loop off, 500 ms, TCP Client, output COM1
// and input COM2 at 9600 8N1, address 0.0.0.0 port 0, and the capture folder (C:\Tillstream on
// Windows, the folder "Tillstream" in the user's home on Linux).
OptionRecord MakeDefaultOptionRecord();

// The capture folder a new user gets (UserCaptureFolder of the platform layer), or an empty
// text in the unlikely case that it would not fit the 256-byte field.
std::string DefaultCaptureFolder();

// Whole-slice copies, as the option pages make them.
SerialSettings GetSerialSettings(const OptionRecord& record);
void SetSerialSettings(OptionRecord& record, const SerialSettings& settings);
ClientSettings GetClientSettings(const OptionRecord& record);
void SetClientSettings(OptionRecord& record, const ClientSettings& settings);

// The capture folder as text (up to the first NUL; never past the field).
std::string CaptureFolderText(const OptionRecord& record);
// Stores `folder` in the field, the rest cleared. Refused (false, nothing changed) when it does
// not fit with its terminating NUL: nothing may spill into serialReserved.
bool SetCaptureFolder(OptionRecord& record, const char* folder);
