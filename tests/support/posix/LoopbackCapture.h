#pragma once
// tcpdump recording what crosses the loopback interface into a pcap file, for tests that need a
// capture taken as people take one. Linux only; needs root and the Debian package tcpdump.
#include <unistd.h>

#include <memory>
#include <string>

#include "ChildProcess.h"

// Starts tcpdump on "lo" writing the packets `filter` selects into `path`, each as it comes, and
// waits until it says it listens. Nothing (and `why` says why) when this machine cannot: not root,
// no tcpdump, or no capture on lo; a tcpdump that could not be started is returned as it is, for
// the test to fail on (Started()). Stop it with Interrupt() and Wait().
inline std::unique_ptr<ChildProcess> StartLoopbackCapture(const std::string& path,
                                                          const std::string& filter,
                                                          std::string& why) {
    if (::geteuid() != 0) {
        why = "capturing on the loopback interface needs root";
        return nullptr;
    }
    std::string tcpdump;
    for (const char* candidate : {"/usr/bin/tcpdump", "/usr/sbin/tcpdump"}) {
        if (::access(candidate, X_OK) == 0) {
            tcpdump = candidate;
        }
    }
    if (tcpdump.empty()) {
        why = "tcpdump is not installed (Debian package tcpdump)";
        return nullptr;
    }
    // -U writes each packet as it comes, --immediate-mode hands it over at once, -Z root keeps
    // the right to write into the test's folder.
    auto capture = std::make_unique<ChildProcess>(
        tcpdump, std::vector<std::string>{"-i", "lo", "-n", "-U", "--immediate-mode", "-Z", "root",
                                          "-s", "0", "-w", path, filter});
    if (capture->Started() && !capture->WaitForStderr("listening on lo")) {
        capture->Kill();
        why = "tcpdump cannot capture on lo here: " + capture->Stderr();
        return nullptr;
    }
    return capture;
}
