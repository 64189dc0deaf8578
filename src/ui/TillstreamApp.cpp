#include "ui/TillstreamApp.h"

#include <filesystem>
#include <system_error>

#include "ui/TillstreamDlg.h"

bool CTillstreamApp::InitInstance(const std::string& loadPath) {
    CTillstreamDlg dlg(m_factory);
    if (!dlg.Create(nullptr)) {
        return false;
    }
    if (!loadPath.empty()) {
        // Runs once the window is up, as the rest of the "..." step after the chooser.
        dlg.View()->Post([&dlg, loadPath] { dlg.LoadChosenFile(loadPath); });
    }
    dlg.DoModal();
    return false;
}

std::string CTillstreamApp::LoadArgument(const std::vector<std::string>& args) {
    std::string name;
    for (std::size_t i = 1; i < args.size() && name.empty(); ++i) {
        if (args[i] == "--load" && i + 1 < args.size()) {
            name = args[i + 1];
        } else if (args[i].rfind("--load=", 0) == 0) {
            name = args[i].substr(7);
        }
    }
    if (name.empty()) {
        return name;
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(name, error);
    return error ? name : absolute.lexically_normal().string();
}
