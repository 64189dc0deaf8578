#pragma once
// A private, empty home for one test: its own temporary folder, and a settings store that starts
// empty. On Linux HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR point into the folder (child processes
// inherit them). On Windows the store is the registry: a test of this process alone gets a private
// HKEY_CURRENT_USER (the real one is hidden from it), a test of child processes gets the real
// program key, emptied before and after (its test program must not run beside another such
// program). Everything is removed, and the variables restored, afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <string>

class TempHome {
  public:
    enum class StoreScope {
        kThisProcess,        // only this process reads and writes the settings store
        kChildProcessesToo,  // programs started by the test see the same store
    };

    explicit TempHome(StoreScope scope = StoreScope::kThisProcess);
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& Root() const { return m_root; }
    // The Linux store and runtime folders inside the home (unused on Windows).
    std::string ConfigRoot() const { return Path("config"); }
    std::string SettingsFolder() const { return Path("config/VAZ/Tillstream"); }
    std::string RuntimeFolder() const { return Path("run"); }
    // A path inside the temporary folder (nothing is created), with the system's separator.
    std::string Path(const std::string& name) const;
    // The capture folder a new user of this home gets.
    std::string DefaultCaptureFolder() const;

  private:
    struct SavedState;
    std::string m_root;
    std::unique_ptr<SavedState> m_saved;
};

// Base fixture for tests that touch files, settings, ports or sockets.
class TempHomeTest : public ::testing::Test {
  protected:
    TempHome home;
};

// The same for tests that run the programs as processes, which must see the test's settings.
class ProcessHomeTest : public ::testing::Test {
  protected:
    TempHome home{TempHome::StoreScope::kChildProcessesToo};
};

// Small file helpers for tests.
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
