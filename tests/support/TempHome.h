#pragma once
// A private, empty home for one test: its own temporary folder with HOME, XDG_CONFIG_HOME
// and XDG_RUNTIME_DIR pointing into it, removed (and the variables restored) afterwards.
#include <gtest/gtest.h>

#include <string>

class TempHome {
  public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& Root() const { return m_root; }
    std::string ConfigRoot() const { return m_root + "/config"; }
    std::string SettingsFolder() const { return m_root + "/config/VAZ/Tillstream"; }
    std::string RuntimeFolder() const { return m_root + "/run"; }
    // A path inside the temporary folder (nothing is created).
    std::string Path(const std::string& name) const { return m_root + "/" + name; }

  private:
    std::string m_root;
    std::string m_saved[3];
    bool m_had[3] = {};
};

// Base fixture for tests that touch files, settings, ports or sockets.
class TempHomeTest : public ::testing::Test {
  protected:
    TempHome home;
};

// Small file helpers for tests.
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
