#include "cli/ConnectionNotices.h"

#include <cstdint>
#include <utility>

namespace {
std::string Connection(const ListenConnection& connection) {
    return "connection " + std::to_string(connection.nNumber);
}

std::string Lines(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " line" : " lines");
}
}  // namespace

void TellConnections(CLaneListener& listener, std::function<void(const std::string&)> say) {
    listener.SetConnectionNotices(
        [say](const ListenConnection& connection) {
            say(Connection(connection) + " from " + connection.strAddress);
        },
        [say](const ListenConnection& connection) {
            say(Connection(connection) + " closed after " + Lines(connection.nLines));
        },
        [say](const ListenConnection& connection) {
            say(Connection(connection) + " dropped: not reading");
        });
}

std::string FormatConnectionSummary(const ListenConnection& connection) {
    return Connection(connection) + " from " + connection.strAddress + ": " +
           Lines(connection.nLines);
}
