#include "http/netexceptions.h"

#include <cerrno>
#include <cstdio>
#include <utility>

#include "http/nettexts.h"

namespace {

std::string SocketErrorMessage(int code) {
  char head[64];
  std::snprintf(head, sizeof head, "Socket Error # %d\r\n", code);
  return head + SocketErrorText(code);
}

}  // namespace

ENetSocketError::ENetSocketError(int code) : ENetException(SocketErrorMessage(code)), SocketErrorCode(code) {}

ENetProxyRefused::ENetProxyRefused(const std::string& statusLine, int statusCode)
    : ENetHTTPProtocolException(nettext::kProxyRefused + statusLine, statusCode, std::string()), StatusLine(statusLine) {}

std::string SocketErrorText(int code) {
  switch (code) {
    case 10004: return "Interrupted system call.";
    case 10009: return "Bad file number.";
    case 10013: return "Access denied.";
    case 10014: return "Bad address.";
    case 10022: return "Invalid argument.";
    case 10024: return "Too many open files.";
    case 10035: return "Operation would block. ";
    case 10036: return "Operation now in progress.";
    case 10037: return "Operation already in progress.";
    case 10038: return "Socket operation on non-socket.";
    case 10039: return "Destination address required.";
    case 10040: return "Message too long.";
    case 10041: return "Protocol wrong type for socket.";
    case 10042: return "Bad protocol option.";
    case 10043: return "Protocol not supported.";
    case 10044: return "Socket type not supported.";
    case 10045: return "Operation not supported on socket.";
    case 10046: return "Protocol family not supported.";
    case 10047: return "Address family not supported by protocol family.";
    case 10048: return "Address already in use.";
    case 10049: return "Cannot assign requested address.";
    case 10050: return "Network is down.";
    case 10051: return "Network is unreachable.";
    case 10052: return "Net dropped connection or reset.";
    case 10053: return "Software caused connection abort.";
    case 10054: return "Connection reset by peer.";
    case 10055: return "No buffer space available.";
    case 10056: return "Socket is already connected.";
    case 10057: return "Socket is not connected.";
    case 10058: return "Cannot send or receive after socket is closed.";
    case 10059: return "Too many references, cannot splice.";
    case 10060: return "Connection timed out.";
    case 10061: return "Connection refused.";
    case 10062: return "Too many levels of symbolic links.";
    case 10063: return "File name too long.";
    case 10064: return "Host is down.";
    case 10065: return "No route to host.";
    case 10066: return "Directory not empty";
    case 11001: return "Host not found.";
    default: return "";
  }
}

int SocketErrorFromErrno(int err) {
  static const std::pair<int, int> kMap[] = {
      {EINTR, 10004}, {EBADF, 10009}, {EACCES, 10013}, {EPERM, 10013}, {EFAULT, 10014},
      {EINVAL, 10022}, {EMFILE, 10024}, {ENFILE, 10024}, {EWOULDBLOCK, 10035}, {EINPROGRESS, 10036},
      {EALREADY, 10037}, {ENOTSOCK, 10038}, {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
      {EPROTOTYPE, 10041}, {ENOPROTOOPT, 10042}, {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
      {EOPNOTSUPP, 10045}, {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},
      {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050}, {ENETUNREACH, 10051}, {ENETRESET, 10052},
      {ECONNABORTED, 10053}, {ECONNRESET, 10054}, {EPIPE, 10054}, {ENOBUFS, 10055}, {ENOMEM, 10055},
      {EISCONN, 10056}, {ENOTCONN, 10057}, {ESHUTDOWN, 10058}, {ETOOMANYREFS, 10059},
      {ETIMEDOUT, 10060}, {ECONNREFUSED, 10061}, {ELOOP, 10062}, {ENAMETOOLONG, 10063},
      {EHOSTDOWN, 10064}, {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},
  };
  for (const auto& [posix, windows] : kMap)
    if (posix == err) return windows;
  // No Windows counterpart: the plain errno, which lies below every number of the table,
  // so it can never pick up another error's text.
  return err;
}
