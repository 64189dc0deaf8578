#include "transport/SerialVocabulary.h"

#include "transport/CommThread.h"

std::vector<int> AvailableComPorts(int nConfiguredPort) {
    std::vector<int> ports;
    if (nConfiguredPort < kFirstProbedComPort) {
        ports.push_back(nConfiguredPort);
    }
    for (int port = kFirstProbedComPort; port <= kLastProbedComPort; ++port) {
        if (port == nConfiguredPort || ProbeComPort(ComPortName(port))) {
            ports.push_back(port);
        }
    }
    if (nConfiguredPort > kLastProbedComPort) {
        ports.push_back(nConfiguredPort);
    }
    return ports;
}
