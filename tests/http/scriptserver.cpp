#include "scriptserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>

#include "tests/support/tempdir.h"

namespace {

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

// How a connection's bytes go: plain, or through TLS.
class TScriptServer::TPeerIo {
 public:
  virtual ~TPeerIo() = default;
  // > 0 bytes; 0 when the client has closed (or failed); -1 when nothing came in a short wait.
  virtual ssize_t Recv(char* buf, size_t size) = 0;
  // Sends data but for its last holdBack bytes on the wire; false once the client is gone.
  virtual bool Send(const std::string& data, size_t holdBack = 0) = 0;
  virtual void CloseNotify() {}
};

namespace {

class TPlainIo : public TScriptServer::TPeerIo {
 public:
  explicit TPlainIo(int fd) : fd_(fd) {}
  ssize_t Recv(char* buf, size_t size) override {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) return -1;
    ssize_t n = ::recv(fd_, buf, size, 0);
    return n < 0 ? 0 : n;
  }
  bool Send(const std::string& data, size_t holdBack) override {
    return SendAll(fd_, data.substr(0, data.size() - std::min(holdBack, data.size())));
  }

 private:
  int fd_;
};

// TLS with the records written to memory first, so that a reply can be torn at any byte.
class TTlsIo : public TScriptServer::TPeerIo {
 public:
  TTlsIo(int fd, SSL_CTX* ctx) : fd_(fd), ssl_(SSL_new(ctx)) {
    // Reads wait at most 20 ms, so that the serving loop sees the server stop.
    timeval wait{0, 20000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    out_ = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl_, BIO_new_socket(fd, BIO_NOCLOSE), out_);
    SSL_set_accept_state(ssl_);
  }
  ~TTlsIo() override { SSL_free(ssl_); }

  bool Handshake(const std::atomic<bool>& stop) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!stop && std::chrono::steady_clock::now() < deadline) {
      int rc = SSL_accept(ssl_);
      bool flushed = Flush(0);
      if (rc == 1) return flushed;
      if (SSL_get_error(ssl_, rc) != SSL_ERROR_WANT_READ || !flushed) return false;
    }
    return false;
  }
  bool Reused() const { return SSL_session_reused(ssl_) == 1; }
  std::string ServerName() const {
    const char* name = SSL_get_servername(ssl_, TLSEXT_NAMETYPE_host_name);
    return name ? name : "";
  }

  ssize_t Recv(char* buf, size_t size) override {
    int n = SSL_read(ssl_, buf, static_cast<int>(size));
    if (!Flush(0)) return 0;
    if (n > 0) return n;
    return SSL_get_error(ssl_, n) == SSL_ERROR_WANT_READ ? -1 : 0;
  }
  bool Send(const std::string& data, size_t holdBack) override {
    if (!data.empty() && SSL_write(ssl_, data.data(), static_cast<int>(data.size())) <= 0) return false;
    return Flush(holdBack);
  }
  void CloseNotify() override {
    SSL_shutdown(ssl_);
    Flush(0);
  }

 private:
  // What TLS wrote goes on the wire, but for the last holdBack bytes, which are dropped.
  bool Flush(size_t holdBack) {
    char* data = nullptr;
    long size = BIO_get_mem_data(out_, &data);
    std::string bytes(data, static_cast<size_t>(std::max(size, 0L)));
    (void)BIO_reset(out_);
    return SendAll(fd_, bytes.substr(0, bytes.size() - std::min(holdBack, bytes.size())));
  }

  int fd_;
  SSL* ssl_;
  BIO* out_;
};

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

TScriptServer::TScriptServer(std::vector<TScript> scripts, SSL_CTX* tls) : scripts_(std::move(scripts)), tls_(tls) {
  if (tls_) SSL_CTX_up_ref(tls_);
  listen_ = ListenLoopback(port_);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

TScriptServer::~TScriptServer() {
  stop_ = true;
  acceptor_.join();
  for (std::thread& t : workers_) t.join();
  ::close(listen_);
  SSL_CTX_free(tls_);
}

std::string TScriptServer::Url(const std::string& target) const {
  return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + target;
}

int TScriptServer::Handshakes() const {
  std::lock_guard guard(lock_);
  return handshakes_;
}

int TScriptServer::Resumed() const {
  std::lock_guard guard(lock_);
  return resumed_;
}

std::string TScriptServer::ServerName(size_t i) const {
  std::lock_guard guard(lock_);
  return i < serverNames_.size() ? serverNames_[i] : std::string();
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
      serverNames_.emplace_back();
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
bool TScriptServer::ReadRequest(TPeerIo& io, size_t index, size_t& consumed) {
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
    char buf[65536];
    ssize_t n = io.Recv(buf, sizeof buf);
    if (n < 0) continue;
    if (n == 0) return false;
    Append(index, buf, static_cast<size_t>(n));
  }
}

void TScriptServer::Serve(int fd, size_t index) {
  const TScript empty;
  const TScript& script = index < scripts_.size() ? scripts_[index] : empty;
  std::unique_ptr<TPeerIo> io;
  if (tls_) {
    auto tls = std::make_unique<TTlsIo>(fd, tls_);
    bool ok = tls->Handshake(stop_);
    std::lock_guard guard(lock_);
    if (ok) {
      ++handshakes_;
      resumed_ += tls->Reused() ? 1 : 0;
      serverNames_[index] = tls->ServerName();
      io = std::move(tls);
    }
  } else {
    io = std::make_unique<TPlainIo>(fd);
  }
  size_t consumed = 0;
  bool open = io != nullptr;
  for (size_t r = 0; open && r < script.size(); ++r) {
    const TReply& reply = script[r];
    if (reply.WaitForRequest && !ReadRequest(*io, index, consumed)) {
      open = false;
      break;
    }
    io->Send(reply.Bytes, reply.After == TAfter::Tear ? reply.TearBytes : 0);
    for (size_t at = 0; at < reply.Drip.size() && !stop_; at += reply.DripPiece) {
      std::this_thread::sleep_for(std::chrono::milliseconds(reply.DripMs));
      if (!io->Send(reply.Drip.substr(at, reply.DripPiece))) break;
    }
    if (reply.After == TAfter::Reset) {
      linger abort{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
      open = false;
    } else if (reply.After == TAfter::CloseNotify) {
      io->CloseNotify();
      open = false;
    } else if (reply.After == TAfter::Close || reply.After == TAfter::Tear) {
      open = false;
    } else if (reply.After == TAfter::Hang) {
      while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      open = false;
    }
  }
  // Past the script: record whatever else comes until the client closes.
  while (open && !stop_) {
    char buf[65536];
    ssize_t n = io->Recv(buf, sizeof buf);
    if (n < 0) continue;
    if (n == 0) break;
    Append(index, buf, static_cast<size_t>(n));
  }
  io.reset();
  ::close(fd);
  std::lock_guard guard(lock_);
  closed_[index] = true;
}
