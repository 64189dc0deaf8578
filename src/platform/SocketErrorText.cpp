#include "platform/Socket.h"

std::string SocketErrorText(SocketError error) {
    switch (error) {
        case SocketError::kNone:
            return "no error";
        case SocketError::kInterrupted:
            return "cancelled";
        case SocketError::kBadSocket:
            return "the socket is closed";
        case SocketError::kAccessDenied:
            return "permission denied";
        case SocketError::kInvalidArgument:
            return "invalid argument";
        case SocketError::kTooManySockets:
            return "too many open files";
        case SocketError::kWouldBlock:
            return "nothing to take yet";
        case SocketError::kMessageTooLong:
            return "message too long";
        case SocketError::kAddressFamily:
            return "IPv4 is not available";
        case SocketError::kAddressInUse:
            return "the address is already in use";
        case SocketError::kAddressNotAvailable:
            return "no interface of this machine has that address";
        case SocketError::kNetworkDown:
            return "the network is down";
        case SocketError::kNetworkUnreachable:
            return "the network is unreachable";
        case SocketError::kConnectionAborted:
            return "the connection was aborted";
        case SocketError::kConnectionReset:
            return "the connection was reset";
        case SocketError::kNoBuffers:
            return "out of memory";
        case SocketError::kNotConnected:
            return "not connected";
        case SocketError::kShutDown:
            return "the connection was shut down";
        case SocketError::kTimedOut:
            return "timed out";
        case SocketError::kConnectionRefused:
            return "connection refused";
        case SocketError::kHostUnreachable:
            return "no route to host";
        case SocketError::kOther:
            break;
    }
    return "error " + std::to_string(SocketErrorCode(error));
}
