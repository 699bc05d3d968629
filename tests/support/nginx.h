#pragma once
// nginx as a real HTTP peer for tests and benchmarks.
//
//   if (NginxBinary().empty()) GTEST_SKIP() << "nginx is not installed";
//   TempDir root;  ... write files into root.Path() ...
//   NginxPeer nginx(root.Path());
//   nginx.Url("/big.bin")        // "http://127.0.0.1:PORT/big.bin"
//   NginxPeer tls(root.Path(), &cert);  // also over TLS with a certificate of testca.h:
//   tls.TlsUrl("/big.bin")       // "https://127.0.0.1:TLSPORT/big.bin"
//   nginx.AccessLog()            // one line per request: connection serial, request count
//                                // on that connection, "request line", status, body bytes
//
// nginx runs in the foreground as one process, on a free loopback port, with its
// configuration, pid file, logs and temp paths in a temporary directory of its own.
#include <sys/types.h>

#include <string>

#include "tests/support/tempdir.h"

struct TTestCert;

// The nginx executable (PATH first, then /usr/sbin), empty when none is installed.
std::string NginxBinary();

class NginxPeer {
 public:
  // Serves the directory root, and with tls over TLS as well. Throws std::runtime_error
  // (with nginx's error log) when it does not come up within 10 s.
  explicit NginxPeer(const std::string& root, const TTestCert* tls = nullptr);
  ~NginxPeer();
  NginxPeer(const NginxPeer&) = delete;
  NginxPeer& operator=(const NginxPeer&) = delete;

  int Port() const { return port_; }
  std::string Url(const std::string& target) const;
  std::string TlsUrl(const std::string& target) const;
  std::string AccessLog() const;

 private:
  bool Start(const std::string& root, const TTestCert* tls);

  TempDir dir_;
  pid_t pid_ = -1;
  int port_ = 0;
  int tlsPort_ = 0;
};
