#pragma once
// A private certificate authority made at test time, the server certificates it issues, and
// server contexts for TLS peers in tests and benchmarks.
//
//   TTestCa& ca = TrustedTestCa();       // trusted by the client from now on (SSL_CERT_FILE)
//   TTestCert cert = ca.Issue({"localhost"}, {"127.0.0.1"});
//   cert.CertFile, cert.KeyFile          // PEM files, e.g. for nginx or an httplib SSLServer
//   SSL_CTX* ctx = NewServerContext(cert);   // the caller frees it (SSL_CTX_free)
//
// Keys are P-256, so making a CA and its certificates takes milliseconds.
#include <string>
#include <vector>

#include "tests/support/tempdir.h"

typedef struct ssl_ctx_st SSL_CTX;
typedef struct evp_pkey_st EVP_PKEY;
typedef struct x509_st X509;

struct TTestCert {
  std::string CertPem, KeyPem;
  std::string CertFile, KeyFile;  // the same, written into the CA's folder
};

class TTestCa {
 public:
  explicit TTestCa(const std::string& commonName = "Varnolt Test CA");
  ~TTestCa();
  TTestCa(const TTestCa&) = delete;
  TTestCa& operator=(const TTestCa&) = delete;

  // A server certificate for the DNS names and IP addresses, valid from validFrom to validTo
  // seconds from now (already expired with both negative).
  TTestCert Issue(const std::vector<std::string>& dnsNames, const std::vector<std::string>& ips,
                  long validFrom = -3600, long validTo = 30L * 86400);
  const std::string& CertPem() const { return certPem_; }
  const std::string& CertFile() const { return certFile_; }

 private:
  TempDir dir_;
  EVP_PKEY* key_ = nullptr;
  X509* cert_ = nullptr;
  std::string certPem_, certFile_;
  int issued_ = 0;
};

// The CA the client trusts in this process: made at the first call, which puts its
// certificate file into SSL_CERT_FILE. The client reads its trust store once, at its first
// TLS connection, so a test calls this before any.
TTestCa& TrustedTestCa();

struct TServerTlsOptions {
  int MaxVersion = 0;  // e.g. TLS1_1_VERSION for a server of the old protocols only; 0: any
};

// A server context presenting cert (with the key), as a TLS test peer uses it.
SSL_CTX* NewServerContext(const TTestCert& cert, const TServerTlsOptions& options = {});
