#include "http/netconnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/bytes.h"
#include "http/netexceptions.h"
#include "http/nettexts.h"
#include "http/proxy.h"

namespace {

in_addr Resolve(const std::string& host) {
  in_addr addr{};
  std::string name = SameTextNoCase(host, "localhost") ? std::string("127.0.0.1") : host;
  if (inet_pton(AF_INET, name.c_str(), &addr) == 1) return addr;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  int rc = getaddrinfo(name.c_str(), nullptr, &hints, &result);
  // Every failed lookup reads as "Host not found.", whatever the resolver's reason.
  if (rc != 0 || result == nullptr) throw ENetSocketError(11001);
  addr = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
  freeaddrinfo(result);
  return addr;
}

int PollOnce(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int wait = timeoutMs <= 0 ? timeoutMs : static_cast<int>(std::max<int64_t>(0,
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count()));
    int rc = ::poll(&p, 1, wait);
    if (rc < 0 && errno == EINTR) continue;
    return rc;
  }
}

}  // namespace

void TNetConnection::Open(const TConnectPlan& plan) {
  Close();
  ClearBuffer();
  resumed_ = unclean_ = false;
  connecting_ = true;
  connectBounded_ = plan.TimeoutMs > 0;
  connectDeadline_ = TClock::now() + std::chrono::milliseconds(std::max(plan.TimeoutMs, 0));
  try {
    ConnectTcp(plan.Host, plan.Port);
    if (!plan.TunnelHead.empty()) {
      Send(plan.TunnelHead);
      ReadTunnelReply(*this, plan.MaxLine);
      // Nothing may come before our hello: such bytes are neither the proxy's nor the server's.
      if (Buffered() > 0) throw ENetProxyError(nettext::kProxyExtraBytes);
      if (fd_ < 0) throw ENetConnClosedGracefully();
    }
    if (!plan.TlsHost.empty()) {
      ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
      TNetLink& link = *this;
      tls_ = std::make_unique<TTlsLayer>(link, plan.TlsHost, plan.TlsPort);
      tls_->Handshake();
      resumed_ = tls_->Resumed();
    }
  } catch (...) {
    connecting_ = false;
    Close();
    throw;
  }
  connecting_ = false;
}

int TNetConnection::ConnectWaitMs() const {
  if (!connectBounded_) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(connectDeadline_ - TClock::now()).count();
  return static_cast<int>(std::max<int64_t>(left, 0));
}

void TNetConnection::ConnectTcp(const std::string& host, int port) {
  in_addr addr = Resolve(host);
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw ENetException("Cannot allocate socket.");
  sockaddr_in local{};
  local.sin_family = AF_INET;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    int err = errno;
    ::close(fd);
    throw ENetSocketError(SocketErrorFromErrno(err));
  }
  int nodelay = 0;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &nodelay, sizeof nodelay);

  // Non-blocking only for the connect, so that it can be bounded.
  int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(static_cast<uint16_t>(port));
  remote.sin_addr = addr;
  int err = 0;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    err = errno;
    if (err == EINPROGRESS || err == EINTR) {
      int rc = PollOnce(fd, POLLOUT, ConnectWaitMs());
      if (rc == 0) {
        ::close(fd);
        throw ENetConnectTimeout();
      }
      socklen_t len = sizeof err;
      err = 0;
      if (rc < 0)
        err = errno;
      else
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    }
  }
  if (err != 0) {
    ::close(fd);
    throw ENetSocketError(SocketErrorFromErrno(err));
  }
  ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  fd_ = fd;
}

void TNetConnection::Close() {
  if (tls_) {
    unclean_ = tls_->EndedUncleanly();
    if (fd_ >= 0) tls_->Shutdown();
    tls_.reset();
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool TNetConnection::StillUsable() {
  if (fd_ < 0) return false;
  if (Buffered() == 0 && (tls_ ? tls_->Idle() : PollOnce(fd_, POLLIN, 0) == 0)) return true;
  Close();
  return false;
}

void TNetConnection::Send(const char* data, size_t size) {
  if (fd_ < 0) throw ENetNotConnected();
  try {
    if (tls_) {
      tls_->Write(data, size);
      return;
    }
    while (size > 0) {
      ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw ENetSocketError(SocketErrorFromErrno(errno));
      }
      data += n;
      size -= static_cast<size_t>(n);
    }
  } catch (const ENetSocketError& e) {
    if (e.SocketErrorCode == 10053 || e.SocketErrorCode == 10054 || e.SocketErrorCode == 10058) Close();
    throw;
  }
}

void TNetConnection::BoundWhole(int ms) { Bound(ms, false); }

void TNetConnection::BoundPace(int ms) { Bound(ms, true); }

void TNetConnection::Bound(int ms, bool paced) {
  boundMs_ = std::max(ms, 0);
  paced_ = paced;
  paceBytes_ = 0;
  deadline_ = TClock::now() + std::chrono::milliseconds(boundMs_);
}

void TNetConnection::WaitFor(short events) {
  if (connecting_) {
    int rc = PollOnce(fd_, events, ConnectWaitMs());
    if (rc == 0) throw ENetConnectTimeout();
    if (rc < 0) throw ENetSocketError(SocketErrorFromErrno(errno));
    return;
  }
  int wait = -1;
  if (boundMs_ > 0) {
    // Bytes already waiting are taken even at the deadline: they came in time.
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - TClock::now()).count();
    wait = static_cast<int>(std::clamp<int64_t>(left, 0, boundMs_));
  }
  int rc = PollOnce(fd_, events, wait);
  if (rc == 0) throw ENetReadTimeout();
  if (rc < 0) throw ENetSocketError(SocketErrorFromErrno(errno));
}

void TNetConnection::Wait(bool write) { WaitFor(write ? POLLOUT : POLLIN); }

void TNetConnection::CountProgress(size_t n) {
  // Each kPaceBytes received (or, over TLS, sent) opens a new window of the paced bound.
  if (paced_ && (paceBytes_ += n) >= kPaceBytes) {
    paceBytes_ = 0;
    deadline_ = TClock::now() + std::chrono::milliseconds(boundMs_);
  }
}

ptrdiff_t TNetConnection::RecvSome(char* into, size_t size, int& error) noexcept {
  for (;;) {
    ssize_t n = ::recv(fd_, into, size, MSG_DONTWAIT);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return -1;
    error = SocketErrorFromErrno(errno);
    // An abort after data arrived ends the data like a close would.
    if ((error == 10053 || error == 10058) && Buffered() > 0) return 0;
    return -2;
  }
}

ptrdiff_t TNetConnection::SendSome(const char* data, size_t size, int& error) noexcept {
  for (;;) {
    ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      CountProgress(static_cast<size_t>(n));
      return n;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return -1;
    error = SocketErrorFromErrno(errno);
    return -2;
  }
}

size_t TNetConnection::Receive(char* into, size_t size) {
  if (fd_ < 0) return 0;
  size_t n;
  if (tls_) {
    n = tls_->Read(into, size);
  } else {
    for (;;) {
      WaitFor(POLLIN);
      int error = 0;
      ptrdiff_t got = RecvSome(into, size, error);
      if (got == -2) throw ENetSocketError(error);
      if (got >= 0) {
        n = static_cast<size_t>(got);
        break;
      }
    }
  }
  if (n == 0) {
    Close();
    return 0;
  }
  CountProgress(n);
  return n;
}
