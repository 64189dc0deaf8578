// A private home on Windows: a temporary folder, and the registry as the settings store. A test
// of this process alone gets its own HKEY_CURRENT_USER (RegOverridePredefKey to a fresh key), so
// that test programs running side by side never see each other's settings. A test of child
// processes must use the real key, which it finds empty and leaves empty.
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "TempHome.h"

namespace {
constexpr char kProgramKey[] = "SOFTWARE\\VAZ\\Tillstream";
constexpr char kPrivateKeys[] = "Software\\TillstreamTests";

// The private roots in force, innermost last: a home made inside another hands the outer one's
// root back when it ends.
std::vector<HKEY>& PrivateRoots() {
    static std::vector<HKEY> roots;
    return roots;
}

void ClearProgramKey() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kProgramKey);
}
}  // namespace

struct TempHome::SavedState {
    StoreScope scope = StoreScope::kThisProcess;
    HKEY privateRoot = nullptr;
    std::string privateKey;
};

TempHome::TempHome(StoreScope scope) : m_saved(std::make_unique<SavedState>()) {
    static std::atomic<unsigned> counter{0};
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string name = "tillstream-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(counter.fetch_add(1)) + "-" +
                             std::to_string(GetTickCount64());
    m_root = std::string(temp) + name;
    if (!CreateDirectoryA(m_root.c_str(), nullptr)) {
        throw std::runtime_error("cannot make " + m_root);
    }
    m_saved->scope = scope;
    if (scope == StoreScope::kChildProcessesToo) {
        ClearProgramKey();
        return;
    }
    // The override hides the real current-user key from this process only; the private key is
    // made in the real one before that.
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    m_saved->privateKey = std::string(kPrivateKeys) + "\\" + name;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, m_saved->privateKey.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &m_saved->privateRoot, nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, m_saved->privateRoot) != ERROR_SUCCESS) {
        throw std::runtime_error("cannot make a private registry for the test");
    }
    PrivateRoots().push_back(m_saved->privateRoot);
}

TempHome::~TempHome() {
    if (m_saved->scope == StoreScope::kChildProcessesToo) {
        ClearProgramKey();
    } else {
        std::vector<HKEY>& roots = PrivateRoots();
        roots.pop_back();
        RegOverridePredefKey(HKEY_CURRENT_USER, roots.empty() ? nullptr : roots.back());
        // Everything the test stored goes; the empty key itself can be named (and deleted) only
        // once the real key is in force again.
        RegDeleteTreeA(m_saved->privateRoot, nullptr);
        RegCloseKey(m_saved->privateRoot);
        if (roots.empty()) {
            RegDeleteKeyA(HKEY_CURRENT_USER, m_saved->privateKey.c_str());
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

std::string TempHome::DefaultCaptureFolder() const {
    return "C:\\Tillstream";
}
