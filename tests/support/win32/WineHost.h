#pragma once
// The Linux side of a Wine run, for the fixtures that need it: Unix paths of Windows paths, and
// shell commands run as Linux processes (socat, ln, kill). Wine starts a Linux program from
// CreateProcess but gives no handle to wait for it, so a command reports its end through a file.
// Test use only.
#include <chrono>
#include <string>

// The Linux path of a Windows path ("C:\\x" to ".../dosdevices/c:/x"); empty when not under Wine.
std::string UnixPathOf(const std::string& windowsPath);
// The Windows path of a Linux path ("/tmp/x" to "Z:\\tmp\\x"); empty when not under Wine.
std::string WindowsPathOf(const std::string& unixPath);
// The prefix's folder of device links (COM ports are the entries comN in it).
std::string DosDevicesFolder();

// Runs `script` with /bin/sh as a Linux process. Waits for its end (at most `timeout`) and
// returns its exit status, or -1 when it did not end in time or could not be started.
int RunLinuxShell(const std::string& script,
                  std::chrono::milliseconds timeout = std::chrono::seconds(20));
// Starts `script` with /bin/sh as a Linux process without waiting; false when it cannot start.
bool StartLinuxShell(const std::string& script);
