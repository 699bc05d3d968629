#include "tests/support/connectproxy.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "tests/support/tempdir.h"

namespace {

int ConnectTo(const std::string& host, const std::string& port) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found) return -1;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && ::connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
    ::close(fd);
    fd = -1;
  }
  ::freeaddrinfo(found);
  return fd;
}

}  // namespace

TConnectProxy::TConnectProxy() {
  listen_ = ListenLoopback(port_);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

TConnectProxy::~TConnectProxy() {
  stop_ = true;
  acceptor_.join();
  for (std::thread& t : workers_) t.join();
  ::close(listen_);
}

void TConnectProxy::RequireAuthorization(const std::string& value) { authorization_ = value; }

void TConnectProxy::AnswerWith(const std::string& bytes, bool hang) {
  answer_ = bytes;
  answerSet_ = true;
  hang_ = hang;
}

std::vector<std::string> TConnectProxy::Heads() const {
  std::lock_guard guard(lock_);
  return heads_;
}

int TConnectProxy::Tunnels() const {
  std::lock_guard guard(lock_);
  return tunnels_;
}

void TConnectProxy::AcceptLoop() {
  while (!stop_) {
    pollfd p{listen_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) workers_.emplace_back([this, fd] { Serve(fd); });
  }
}

void TConnectProxy::Serve(int fd) {
  std::string head;
  size_t end = std::string::npos;
  while (!stop_ && (end = head.find("\r\n\r\n")) == std::string::npos && head.size() < 65536) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    char buf[4096];
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    head.append(buf, static_cast<size_t>(n));
  }
  if (end == std::string::npos) {
    ::close(fd);
    return;
  }
  std::string early = head.substr(end + 4);
  head.erase(end + 4);
  {
    std::lock_guard guard(lock_);
    heads_.push_back(head);
  }
  if (answerSet_) {
    SendAll(fd, answer_);
    while (hang_ && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::close(fd);
    return;
  }
  // "CONNECT host:port HTTP/1.1"
  std::string line = head.substr(0, head.find("\r\n"));
  size_t space = line.find(' '), last = line.rfind(' ');
  std::string authority = space != std::string::npos && last > space ? line.substr(space + 1, last - space - 1) : "";
  size_t colon = authority.rfind(':');
  bool authorized = authorization_.empty() || head.find("\r\nProxy-Authorization: " + authorization_ + "\r\n") !=
                                                  std::string::npos;
  if (line.compare(0, 8, "CONNECT ") != 0 || colon == std::string::npos) {
    SendAll(fd, "HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n");
  } else if (!authorized) {
    SendAll(fd, "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"test\"\r\n"
                "Content-Length: 0\r\n\r\n");
  } else if (int server = ConnectTo(authority.substr(0, colon), authority.substr(colon + 1)); server < 0) {
    SendAll(fd, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
  } else {
    {
      std::lock_guard guard(lock_);
      ++tunnels_;
    }
    if (SendAll(fd, "HTTP/1.1 200 Connection established\r\n\r\n") && SendAll(server, early)) Relay(fd, server);
    ::close(server);
  }
  ::close(fd);
}

void TConnectProxy::Relay(int client, int server) {
  pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
  while (!stop_) {
    if (::poll(p, 2, 20) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[65536];
      ssize_t n = ::recv(p[i].fd, buf, sizeof buf, 0);
      if (n <= 0 || !SendAll(p[1 - i].fd, buf, static_cast<size_t>(n))) return;
    }
  }
}
