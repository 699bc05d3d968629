#pragma once
// The OPS role's certificate: a private CA made at start and a leaf for localhost and
// 127.0.0.1 signed by it, so a client verifies the server as it would the real one.
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

struct TlsIdentity {
  std::unique_ptr<X509, decltype(&X509_free)> leaf{nullptr, X509_free};
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> leafKey{nullptr, EVP_PKEY_free};
  std::string caPem;  // the CA's certificate, for a client's SSL_CERT_FILE
};

// Throws std::runtime_error when OpenSSL fails.
TlsIdentity MakeTlsIdentity();
