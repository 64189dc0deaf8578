// The one place where an errno value becomes the platform layer's error value.
#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace {
SystemErrorKind KindOfErrno(int code) {
    switch (code) {
        case 0:
            return SystemErrorKind::kNone;
        case ENOENT:
            return SystemErrorKind::kNotFound;
        case ENOTDIR:
        case ELOOP:
            return SystemErrorKind::kPathNotFound;
        // EISDIR: a folder where a file is needed; EROFS, ETXTBSY: a file that may not be
        // written now.
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
        case ETXTBSY:
            return SystemErrorKind::kAccessDenied;
        case EBUSY:
            return SystemErrorKind::kHeldByAnother;
        case EWOULDBLOCK:
#if EAGAIN != EWOULDBLOCK
        case EAGAIN:
#endif
            return SystemErrorKind::kWouldBlock;
        case EINTR:
        case ECANCELED:
            return SystemErrorKind::kInterrupted;
        case EINVAL:
        case EFAULT:
            return SystemErrorKind::kInvalidParameter;
        case EBADF:
        case ENOTSOCK:
            return SystemErrorKind::kBadHandle;
        case EMFILE:
        case ENFILE:
            return SystemErrorKind::kTooManyOpenFiles;
        case ENOMEM:
        case ENOBUFS:
            return SystemErrorKind::kOutOfMemory;
        case ENOSPC:
        case EDQUOT:
            return SystemErrorKind::kDiskFull;
        case EEXIST:
            return SystemErrorKind::kAlreadyExists;
        case ENOTEMPTY:
            return SystemErrorKind::kFolderNotEmpty;
        case ENAMETOOLONG:
            return SystemErrorKind::kNameTooLong;
        case EFBIG:
        case EOVERFLOW:
            return SystemErrorKind::kFileTooLarge;
        case EXDEV:
            return SystemErrorKind::kCrossDevice;
        case EIO:
        case ENXIO:
        case ENODEV:
            return SystemErrorKind::kIoError;
        case EOPNOTSUPP:
            return SystemErrorKind::kNotSupported;
        case ETIMEDOUT:
            return SystemErrorKind::kTimedOut;
        case ECONNREFUSED:
            return SystemErrorKind::kConnectionRefused;
        case ECONNRESET:
            return SystemErrorKind::kConnectionReset;
        case ECONNABORTED:
            return SystemErrorKind::kConnectionAborted;
        case ENOTCONN:
            return SystemErrorKind::kNotConnected;
        case EPIPE:
            return SystemErrorKind::kShutDown;
        case EMSGSIZE:
            return SystemErrorKind::kMessageTooLong;
        case EAFNOSUPPORT:
        case EPROTONOSUPPORT:
            return SystemErrorKind::kAddressFamily;
        case EADDRINUSE:
            return SystemErrorKind::kAddressInUse;
        case EADDRNOTAVAIL:
            return SystemErrorKind::kAddressNotAvailable;
        case ENETDOWN:
            return SystemErrorKind::kNetworkDown;
        case ENETUNREACH:
            return SystemErrorKind::kNetworkUnreachable;
        case EHOSTUNREACH:
        case EHOSTDOWN:
            return SystemErrorKind::kHostUnreachable;
        default:
            return SystemErrorKind::kOther;
    }
}
}  // namespace

SystemError SystemErrorFromCode(std::uint32_t systemCode) {
    return {KindOfErrno(static_cast<int>(systemCode)), systemCode};
}

SystemError LastSystemError() {
    return SystemErrorFromCode(static_cast<std::uint32_t>(errno));
}

std::string SystemErrorText(const SystemError& error) {
    return std::strerror(static_cast<int>(error.number));
}
