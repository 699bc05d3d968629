#include "scriptserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace {

int ListenLoopback(int& port, int backlog = 16) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, backlog) != 0) {
    ::close(fd);
    throw std::runtime_error("bind/listen");
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  return fd;
}

bool SendAll(int fd, const std::string& data) {
  size_t at = 0;
  while (at < data.size()) {
    ssize_t n = ::send(fd, data.data() + at, data.size() - at, MSG_NOSIGNAL);
    if (n <= 0) return false;
    at += static_cast<size_t>(n);
  }
  return true;
}

// Length of a complete request at the front of text (head plus counted body), 0 if incomplete.
size_t CompleteRequest(const std::string& text) {
  size_t end = text.find("\r\n\r\n");
  if (end == std::string::npos) return 0;
  size_t total = end + 4;
  std::string head = text.substr(0, end);
  for (size_t at = 0; (at = head.find("\r\n", at)) != std::string::npos;) {
    at += 2;
    if (head.compare(at, 16, "Content-Length: ") == 0) total += std::stoul(head.substr(at + 16));
  }
  return text.size() >= total ? total : 0;
}

}  // namespace

TFullListener::TFullListener() {
  listen_ = ListenLoopback(port_, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port_));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // Connect until one no longer completes at once: the queue is full from then on.
  for (int i = 0; i < 16; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    fillers_.push_back(fd);
    ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 200) == 0) return;
  }
  throw std::runtime_error("the accept queue does not fill");
}

TFullListener::~TFullListener() {
  for (int fd : fillers_) ::close(fd);
  ::close(listen_);
}

TScriptServer::TScriptServer(std::vector<TScript> scripts) : scripts_(std::move(scripts)) {
  listen_ = ListenLoopback(port_);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

TScriptServer::~TScriptServer() {
  stop_ = true;
  acceptor_.join();
  for (std::thread& t : workers_) t.join();
  ::close(listen_);
}

std::string TScriptServer::Url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + target;
}

int TScriptServer::Connections() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(received_.size());
}

std::string TScriptServer::Received(size_t i) const {
  std::lock_guard guard(lock_);
  return i < received_.size() ? received_[i] : std::string();
}

bool TScriptServer::WaitClosed(size_t i, int timeoutMs) const {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    {
      std::lock_guard guard(lock_);
      if (i < closed_.size() && closed_[i]) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

void TScriptServer::AcceptLoop() {
  while (!stop_) {
    pollfd p{listen_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    size_t index;
    {
      std::lock_guard guard(lock_);
      index = received_.size();
      received_.emplace_back();
      closed_.push_back(false);
    }
    workers_.emplace_back([this, fd, index] { Serve(fd, index); });
  }
}

void TScriptServer::Append(size_t index, const char* data, size_t size) {
  std::lock_guard guard(lock_);
  received_[index].append(data, size);
}

// Reads until one more complete request has arrived; false when the client closed or
// the server stops first.
bool TScriptServer::ReadRequest(int fd, size_t index, size_t& consumed) {
  for (;;) {
    {
      std::lock_guard guard(lock_);
      size_t n = CompleteRequest(received_[index].substr(consumed));
      if (n > 0) {
        consumed += n;
        return true;
      }
    }
    if (stop_) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    char buf[65536];
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    Append(index, buf, static_cast<size_t>(n));
  }
}

void TScriptServer::Serve(int fd, size_t index) {
  const TScript empty;
  const TScript& script = index < scripts_.size() ? scripts_[index] : empty;
  size_t consumed = 0;
  bool open = true;
  for (const TReply& reply : script) {
    if (reply.WaitForRequest && !ReadRequest(fd, index, consumed)) {
      open = false;
      break;
    }
    SendAll(fd, reply.Bytes);
    for (size_t at = 0; at < reply.Drip.size() && !stop_; at += reply.DripPiece) {
      std::this_thread::sleep_for(std::chrono::milliseconds(reply.DripMs));
      if (!SendAll(fd, reply.Drip.substr(at, reply.DripPiece))) break;
    }
    if (reply.After == TAfter::Reset) {
      linger abort{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
      open = false;
      break;
    }
    if (reply.After == TAfter::Close) {
      open = false;
      break;
    }
    if (reply.After == TAfter::Hang) {
      while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      break;
    }
  }
  // Past the script: record whatever else comes until the client closes.
  while (open && !stop_) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    char buf[65536];
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    Append(index, buf, static_cast<size_t>(n));
  }
  ::close(fd);
  std::lock_guard guard(lock_);
  closed_[index] = true;
}
