#include "cli/InterfaceCheck.h"

#include <algorithm>
#include <vector>

#include "cli/CommandOutput.h"
#include "platform/LocalAddresses.h"
#include "platform/ReceiveSocket.h"
#include "platform/Socket.h"
#include "platform/SystemError.h"

std::optional<InterfaceRefusal> CheckMulticastInterface(const std::string& given,
                                                        std::uint32_t& dwAddr) {
    std::string error;
    if (!ResolveIPv4Host(given, dwAddr, error)) {
        return InterfaceRefusal{kExitFailure, "cannot resolve '" + given + "': " + error};
    }
    std::vector<std::uint32_t> local;
    if (const SystemError failure = ListLocalIPv4Addresses(local); failure.Failed()) {
        return InterfaceRefusal{kExitFailure,
                                "cannot list this machine's addresses to check --interface: " +
                                    SystemErrorText(failure)};
    }
    if (std::find(local.begin(), local.end(), dwAddr) != local.end()) {
        return std::nullopt;
    }
    // Name the address as it was given, and what a name stood for.
    const std::string dotted = FormatIPv4Address(dwAddr);
    std::string message = "--interface: '" + given + "'";
    if (dotted != given) {
        message += " (" + dotted + ")";
    }
    message += " is not an address of this machine";
    for (std::size_t i = 0; i < local.size(); ++i) {
        message += (i == 0 ? "; its addresses are " : ", ") + FormatIPv4Address(local[i]);
    }
    return InterfaceRefusal{kExitUsage, message};
}
