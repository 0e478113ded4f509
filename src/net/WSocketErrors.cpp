#include "WSocketErrors.h"

#include <cerrno>
#include <netdb.h>

QString WSocketErrorDesc(int code) {
    switch (code) {
    case 0:
        return QStringLiteral("No Error");
    case WSAEINTR:
        return QStringLiteral("Interrupted system call");
    case WSAEBADF:
        return QStringLiteral("Bad file number");
    case WSAEACCES:
        return QStringLiteral("Permission denied");
    case WSAEFAULT:
        return QStringLiteral("Bad address");
    case WSAEINVAL:
        return QStringLiteral("Invalid argument");
    case WSAEMFILE:
        return QStringLiteral("Too many open files");
    case WSAEWOULDBLOCK:
        return QStringLiteral("Operation would block");
    case WSAEINPROGRESS:
        return QStringLiteral("Operation now in progress");
    case WSAEALREADY:
        return QStringLiteral("Operation already in progress");
    case WSAENOTSOCK:
        return QStringLiteral("Socket operation on non-socket");
    case WSAEDESTADDRREQ:
        return QStringLiteral("Destination address required");
    case WSAEMSGSIZE:
        return QStringLiteral("Message too long");
    case WSAEPROTOTYPE:
        return QStringLiteral("Protocol wrong type for socket");
    case WSAENOPROTOOPT:
        return QStringLiteral("Protocol not available");
    case WSAEPROTONOSUPPORT:
        return QStringLiteral("Protocol not supported");
    case WSAESOCKTNOSUPPORT:
        return QStringLiteral("Socket type not supported");
    case WSAEOPNOTSUPP:
        return QStringLiteral("Operation not supported on socket");
    case WSAEPFNOSUPPORT:
        return QStringLiteral("Protocol family not supported");
    case WSAEAFNOSUPPORT:
        return QStringLiteral("Address family not supported by protocol family");
    case WSAEADDRINUSE:
        return QStringLiteral("Address already in use");
    case WSAEADDRNOTAVAIL:
        return QStringLiteral("Address not available");
    case WSAENETDOWN:
        return QStringLiteral("Network is down");
    case WSAENETUNREACH:
        return QStringLiteral("Network is unreachable");
    case WSAENETRESET:
        return QStringLiteral("Network dropped connection on reset");
    case WSAECONNABORTED:
        return QStringLiteral("Connection aborted");
    case WSAECONNRESET:
        return QStringLiteral("Connection reset by peer");
    case WSAENOBUFS:
        return QStringLiteral("No buffer space available");
    case WSAEISCONN:
        return QStringLiteral("Socket is already connected");
    case WSAENOTCONN:
        return QStringLiteral("Socket is not connected");
    case WSAESHUTDOWN:
        return QStringLiteral("Can't send after socket shutdown");
    case WSAETOOMANYREFS:
        return QStringLiteral("Too many references: can't splice");
    case WSAETIMEDOUT:
        return QStringLiteral("Connection timed out");
    case WSAECONNREFUSED:
        return QStringLiteral("Connection refused");
    case WSAELOOP:
        return QStringLiteral("Too many levels of symbolic links");
    case WSAENAMETOOLONG:
        return QStringLiteral("File name too long");
    case WSAEHOSTDOWN:
        return QStringLiteral("Host is down");
    case WSAEHOSTUNREACH:
        return QStringLiteral("No route to host");
    case WSAENOTEMPTY:
        return QStringLiteral("Directory not empty");
    case WSAEPROCLIM:
        return QStringLiteral("Too many processes");
    case WSAEUSERS:
        return QStringLiteral("Too many users");
    case WSAEDQUOT:
        return QStringLiteral("Disc quota exceeded");
    case WSAESTALE:
        return QStringLiteral("Stale NFS file handle");
    case WSAEREMOTE:
        return QStringLiteral("Too many levels of remote in path");
    case WSASYSNOTREADY:
        return QStringLiteral("Network sub-system is unusable");
    case WSAVERNOTSUPPORTED:
        return QStringLiteral("WinSock DLL cannot support this application");
    case WSANOTINITIALISED:
        return QStringLiteral("WinSock not initialized");
    case WSAEDISCON:
        return QStringLiteral("Disconnect");
    case WSAHOST_NOT_FOUND:
        return QStringLiteral("Host not found");
    case WSATRY_AGAIN:
        return QStringLiteral("Non-authoritative host not found");
    case WSANO_RECOVERY:
        return QStringLiteral("Non-recoverable error");
    case WSANO_DATA:
        return QStringLiteral("No Data");
    default:
        return QStringLiteral("Not a WinSock error");
    }
}

int WSocketErrorFromErrno(int err) {
    switch (err) {
    case 0:
        return 0;
    case EINTR:
        return WSAEINTR;
    case EBADF:
        return WSAEBADF;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case EAGAIN:
        return WSAEWOULDBLOCK;
    case EINPROGRESS:
        return WSAEINPROGRESS;
    case EALREADY:
        return WSAEALREADY;
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EDESTADDRREQ:
        return WSAEDESTADDRREQ;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EPROTOTYPE:
        return WSAEPROTOTYPE;
    case ENOPROTOOPT:
        return WSAENOPROTOOPT;
    case EPROTONOSUPPORT:
        return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT:
        return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP:
        return WSAEOPNOTSUPP;
    case EPFNOSUPPORT:
        return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT:
        return WSAEAFNOSUPPORT;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case ENETRESET:
        return WSAENETRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE:
        return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EISCONN:
        return WSAEISCONN;
    case ENOTCONN:
        return WSAENOTCONN;
    case ESHUTDOWN:
        return WSAESHUTDOWN;
    case ETOOMANYREFS:
        return WSAETOOMANYREFS;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case ELOOP:
        return WSAELOOP;
    case ENAMETOOLONG:
        return WSAENAMETOOLONG;
    case EHOSTDOWN:
        return WSAEHOSTDOWN;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    case ENOTEMPTY:
        return WSAENOTEMPTY;
    case EUSERS:
        return WSAEUSERS;
    case EDQUOT:
        return WSAEDQUOT;
    case ESTALE:
        return WSAESTALE;
    case EREMOTE:
        return WSAEREMOTE;
    default:
        return err; // keeps the number visible; its text is "Not a WinSock error"
    }
}

int WSocketErrorFromLookup(int gaiError, int savedErrno) {
    switch (gaiError) {
    case 0:
        return 0;
    case EAI_NONAME:
        return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
        return WSATRY_AGAIN;
    case EAI_FAIL:
        return WSANO_RECOVERY;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
        return WSANO_DATA;
#endif
    case EAI_MEMORY:
        return WSAENOBUFS;
    case EAI_SYSTEM:
        return savedErrno ? WSocketErrorFromErrno(savedErrno) : WSANO_RECOVERY;
    default:
        return WSANO_RECOVERY;
    }
}
