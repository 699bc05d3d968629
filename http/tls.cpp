#include "http/tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>
#include <deque>
#include <mutex>
#include <unordered_map>

#include "base/bytes.h"
#include "http/netexceptions.h"
#include "http/nettexts.h"

namespace {

// OpenSSL reads as much as this holds in one receive (read-ahead), so a body of full records
// costs one receive for several of them instead of two for each.
constexpr long kReadBufferBytes = 64 * 1024;
// The certificate chain a server may send. Real chains are a few KiB; a larger one is
// refused as soon as its length is read instead of being taken in.
constexpr long kMaxCertChainBytes = 100 * 1024;
// Sessions kept per host:port, and hosts kept.
constexpr size_t kSessionsPerServer = 4;
constexpr size_t kMaxServers = 256;

bool IsIpLiteral(const std::string& host) {
  unsigned char addr[16];
  return inet_pton(AF_INET, host.c_str(), addr) == 1 || inet_pton(AF_INET6, host.c_str(), addr) == 1;
}

// The sessions servers gave, by host:port. TLS 1.3 tickets are taken out when used (one
// ticket, one resumption, as the protocol asks); a TLS 1.2 session may serve again.
class TSessionCache {
 public:
  void Put(const std::string& key, SSL_SESSION* session) {
    std::lock_guard guard(lock_);
    // Past that many servers the cache starts afresh: a run talks to a handful.
    if (sessions_.size() >= kMaxServers && !sessions_.count(key)) {
      for (auto& [k, list] : sessions_) Free(list);
      sessions_.clear();
    }
    auto& list = sessions_[key];
    list.push_front(session);
    while (list.size() > kSessionsPerServer) {
      SSL_SESSION_free(list.back());
      list.pop_back();
    }
  }

  // A session to resume with (the caller owns one reference), or null.
  SSL_SESSION* Take(const std::string& key) {
    std::lock_guard guard(lock_);
    auto it = sessions_.find(key);
    if (it == sessions_.end()) return nullptr;
    auto& list = it->second;
    while (!list.empty()) {
      SSL_SESSION* session = list.front();
      if (!SSL_SESSION_is_resumable(session)) {
        list.pop_front();
        SSL_SESSION_free(session);
        continue;
      }
      if (SSL_SESSION_get_protocol_version(session) >= TLS1_3_VERSION)
        list.pop_front();
      else
        SSL_SESSION_up_ref(session);
      return session;
    }
    return nullptr;
  }

 private:
  static void Free(std::deque<SSL_SESSION*>& list) {
    for (SSL_SESSION* s : list) SSL_SESSION_free(s);
  }
  std::mutex lock_;
  std::unordered_map<std::string, std::deque<SSL_SESSION*>> sessions_;
};

int OnNewSession(SSL* ssl, SSL_SESSION* session);

// What every layer shares: made once, at the first TLS connection of the process, and kept
// to its end. OpenSSL 3 lets any thread use one context at once.
struct TShared {
  SSL_CTX* Context = nullptr;
  BIO_METHOD* Method = nullptr;
  TSessionCache Sessions;
};

TShared& Shared();

}  // namespace

// The BIO through which OpenSSL reaches a layer's link.
struct TLinkBio {
  static TTlsLayer& Layer(BIO* bio) { return *static_cast<TTlsLayer*>(BIO_get_data(bio)); }

  static int Read(BIO* bio, char* into, int size) {
    TTlsLayer& layer = Layer(bio);
    BIO_clear_retry_flags(bio);
    ptrdiff_t n = layer.link_.RecvSome(into, static_cast<size_t>(std::max(size, 0)), layer.linkError_);
    if (n > 0) return static_cast<int>(n);
    if (n == 0) {
      layer.linkEof_ = true;
      return 0;
    }
    if (n == -1) BIO_set_retry_read(bio);
    return -1;
  }

  static int Write(BIO* bio, const char* data, int size) {
    TTlsLayer& layer = Layer(bio);
    BIO_clear_retry_flags(bio);
    ptrdiff_t n = layer.link_.SendSome(data, static_cast<size_t>(std::max(size, 0)), layer.linkError_);
    if (n > 0) return static_cast<int>(n);
    if (n == -1) BIO_set_retry_write(bio);
    return -1;
  }

  static long Ctrl(BIO* bio, int cmd, long, void*) {
    switch (cmd) {
      case BIO_CTRL_FLUSH: return 1;
      // Tells OpenSSL that a read of 0 was the transport's end, not a failure.
      case BIO_CTRL_EOF: return Layer(bio).linkEof_ ? 1 : 0;
      default: return 0;
    }
  }

  static int Create(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
  }
};

namespace {

TShared& Shared() {
  static TShared* shared = [] {
    auto* s = new TShared;
    s->Method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "varnolt link");
    BIO_meth_set_read(s->Method, TLinkBio::Read);
    BIO_meth_set_write(s->Method, TLinkBio::Write);
    BIO_meth_set_ctrl(s->Method, TLinkBio::Ctrl);
    BIO_meth_set_create(s->Method, TLinkBio::Create);
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    // A missing store leaves it empty: every server then fails as of an unknown CA.
    SSL_CTX_set_default_verify_paths(ctx);
    SSL_CTX_set_max_cert_list(ctx, kMaxCertChainBytes);
    SSL_CTX_set_read_ahead(ctx, 1);
    SSL_CTX_set_default_read_buffer_len(ctx, kReadBufferBytes);
    // Sessions go to our cache, keyed by host:port; OpenSSL's own is for servers.
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(ctx, OnNewSession);
    // A transport's end without close_notify reads as an end, and the layer tells it apart
    // by the link's own end: OpenSSL would otherwise take it for an attack and spoil the
    // session, so that every kept connection a server drops would cost a full handshake.
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    s->Context = ctx;
    return s;
  }();
  return *shared;
}

int OnNewSession(SSL* ssl, SSL_SESSION* session) {
  const auto* layer = static_cast<const TTlsLayer*>(SSL_get_app_data(ssl));
  Shared().Sessions.Put(layer->SessionKey(), session);
  return 1;  // the cache keeps the reference
}

bool IsUnknownIssuer(long verify) {
  switch (verify) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
      return true;
    default:
      return false;
  }
}

}  // namespace

TTlsLayer::TTlsLayer(TNetLink& link, const std::string& host, const std::string& port)
    : link_(link), server_(host + ":" + port), key_(LowerAscii(host) + ":" + port) {
  TShared& shared = Shared();
  ssl_ = SSL_new(shared.Context);
  BIO* bio = ssl_ ? BIO_new(shared.Method) : nullptr;
  if (!bio) {
    SSL_free(ssl_);
    throw ENetTlsHandshakeFailed(nettext::kWith + server_ + nettext::kHandshakeFailed + "out of memory");
  }
  BIO_set_data(bio, this);
  SSL_set_bio(ssl_, bio, bio);
  SSL_set_app_data(ssl_, this);
  SSL_set_connect_state(ssl_);
  X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
  bool named;
  if (IsIpLiteral(host)) {
    named = X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1;
  } else {
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    named = X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size()) == 1 &&
            SSL_set_tlsext_host_name(ssl_, LowerAscii(host).c_str()) == 1;
  }
  if (!named) {
    // A name no certificate can carry (a NUL, 256 bytes): nothing to verify against.
    SSL_free(ssl_);
    ERR_clear_error();
    throw ENetTlsHostMismatch(server_ + nettext::kCertHostMismatch, X509_V_ERR_HOSTNAME_MISMATCH);
  }
  if (SSL_SESSION* session = shared.Sessions.Take(key_)) {
    SSL_set_session(ssl_, session);
    SSL_SESSION_free(session);
  }
}

TTlsLayer::~TTlsLayer() {
  // OpenSSL spoils the session of a connection freed without close_notify. A server's bare
  // close of a kept connection (or a cut reply) says nothing against the session, and losing
  // it would make every reconnect a full handshake; only a failure of TLS itself should.
  if (!broken_) SSL_set_shutdown(ssl_, SSL_get_shutdown(ssl_) | SSL_SENT_SHUTDOWN);
  SSL_free(ssl_);
}

bool TTlsLayer::Resumed() const { return SSL_session_reused(ssl_) == 1; }

std::string TTlsLayer::ReasonText(int sslError) const {
  unsigned long e = ERR_peek_error();
  if (ERR_GET_LIB(e) == ERR_LIB_SSL && ERR_GET_REASON(e) == SSL_R_UNEXPECTED_EOF_WHILE_READING)
    return nettext::kServerClosed;
  if (e != 0) {
    const char* reason = ERR_reason_error_string(e);
    if (reason) return reason;
  }
  if (sslError == SSL_ERROR_SYSCALL || sslError == SSL_ERROR_ZERO_RETURN || linkEof_) return nettext::kServerClosed;
  return "SSL error " + std::to_string(sslError);
}

void TTlsLayer::Handshake() {
  for (;;) {
    ERR_clear_error();
    int rc = SSL_connect(ssl_);
    if (rc == 1) return;
    int err = SSL_get_error(ssl_, rc);
    if (err == SSL_ERROR_WANT_READ) {
      link_.Wait(false);
    } else if (err == SSL_ERROR_WANT_WRITE) {
      link_.Wait(true);
    } else {
      broken_ = true;
      RaiseHandshakeFailure(err);
    }
  }
}

void TTlsLayer::RaiseHandshakeFailure(int sslError) {
  unsigned long e = ERR_peek_error();
  int reason = ERR_GET_LIB(e) == ERR_LIB_SSL ? ERR_GET_REASON(e) : 0;
  std::string reasonText = ReasonText(sslError);
  ERR_clear_error();
  if (sslError == SSL_ERROR_SYSCALL && linkError_ != 0) throw ENetSocketError(linkError_);
  long verify = SSL_get_verify_result(ssl_);
  if (reason == SSL_R_CERTIFICATE_VERIFY_FAILED && verify != X509_V_OK) {
    if (verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH)
      throw ENetTlsHostMismatch(server_ + nettext::kCertHostMismatch, verify);
    if (verify == X509_V_ERR_CERT_HAS_EXPIRED) throw ENetTlsCertificateExpired(server_ + nettext::kCertExpired, verify);
    if (IsUnknownIssuer(verify)) throw ENetTlsUnknownCA(server_ + nettext::kCertUnknownCa, verify);
    throw ENetTlsCertificateError(server_ + nettext::kCertInvalid + X509_verify_cert_error_string(verify), verify);
  }
  // Either side may notice first: the server alerts, or its hello names an older version.
  if (reason == SSL_R_UNSUPPORTED_PROTOCOL || reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION)
    throw ENetTlsOldProtocol(server_ + nettext::kOldProtocol);
  throw ENetTlsHandshakeFailed(nettext::kWith + server_ + nettext::kHandshakeFailed + reasonText);
}

void TTlsLayer::RaiseBroken(int sslError) {
  broken_ = true;
  std::string reasonText = ReasonText(sslError);
  ERR_clear_error();
  if (sslError == SSL_ERROR_SYSCALL && linkError_ != 0) throw ENetSocketError(linkError_);
  throw ENetTlsError(nettext::kWith + server_ + nettext::kTlsBroken + reasonText);
}

size_t TTlsLayer::Read(char* into, size_t size) {
  if (ended_ || broken_) return 0;
  for (;;) {
    ERR_clear_error();
    int n = SSL_read(ssl_, into, static_cast<int>(std::min<size_t>(size, INT_MAX)));
    if (n > 0) return static_cast<size_t>(n);
    int err = SSL_get_error(ssl_, n);
    if (err == SSL_ERROR_WANT_READ) {
      link_.Wait(false);
      continue;
    }
    if (err == SSL_ERROR_WANT_WRITE) {
      link_.Wait(true);
      continue;
    }
    if (err == SSL_ERROR_ZERO_RETURN || (err == SSL_ERROR_SYSCALL && linkError_ == 0)) {
      // close_notify is a record: behind it the transport's end is not read. An end read
      // first came without one.
      ended_ = true;
      unclean_ = linkEof_;
      return 0;
    }
    RaiseBroken(err);
  }
}

void TTlsLayer::Write(const char* data, size_t size) {
  while (size > 0) {
    if (broken_ || ended_) throw ENetSocketError(10058);
    ERR_clear_error();
    size_t written = 0;
    int rc = SSL_write_ex(ssl_, data, size, &written);
    if (rc == 1) {
      data += written;
      size -= written;
      continue;
    }
    int err = SSL_get_error(ssl_, rc);
    if (err == SSL_ERROR_WANT_WRITE) {
      link_.Wait(true);
    } else if (err == SSL_ERROR_WANT_READ) {
      link_.Wait(false);
    } else if (err == SSL_ERROR_ZERO_RETURN) {
      ended_ = true;
      throw ENetSocketError(10058);
    } else {
      RaiseBroken(err);
    }
  }
}

bool TTlsLayer::Idle() {
  if (ended_ || broken_ || SSL_pending(ssl_) > 0) return false;
  char byte;
  ERR_clear_error();
  int n = SSL_peek(ssl_, &byte, 1);
  if (n > 0) return false;
  int err = SSL_get_error(ssl_, n);
  ERR_clear_error();
  if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) return true;
  if (err != SSL_ERROR_ZERO_RETURN) broken_ = true;
  ended_ = true;
  unclean_ = linkEof_;
  return false;
}

void TTlsLayer::Shutdown() {
  // Not after a failure, nor towards a transport already closed; once.
  if (broken_ || linkEof_ || shutDown_ || !SSL_is_init_finished(ssl_)) return;
  shutDown_ = true;
  ERR_clear_error();
  SSL_shutdown(ssl_);
  ERR_clear_error();
}
