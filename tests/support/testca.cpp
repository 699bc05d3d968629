#include "tests/support/testca.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace {

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test CA: ") + what);
}

EVP_PKEY* NewKey() {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  Check(key != nullptr, "key");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  Check(ext != nullptr, "extension");
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

X509* NewCert(const std::string& commonName, EVP_PKEY* key, long serial, long validFrom, long validTo) {
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert), validFrom);
  X509_gmtime_adj(X509_getm_notAfter(cert), validTo);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1,
                             -1, 0);
  return cert;
}

template <typename Write>
std::string Pem(Write&& write) {
  BIO* bio = BIO_new(BIO_s_mem());
  Check(write(bio) == 1, "PEM");
  char* data = nullptr;
  long size = BIO_get_mem_data(bio, &data);
  std::string out(data, static_cast<size_t>(size));
  BIO_free(bio);
  return out;
}

std::string CertPemOf(X509* cert) {
  return Pem([&](BIO* bio) { return PEM_write_bio_X509(bio, cert); });
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  Check(out.good(), "write");
}

}  // namespace

TTestCa::TTestCa(const std::string& commonName) {
  key_ = NewKey();
  cert_ = NewCert(commonName, key_, 1, -86400, 365L * 86400);
  X509_set_issuer_name(cert_, X509_get_subject_name(cert_));
  AddExtension(cert_, cert_, NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(cert_, cert_, NID_key_usage, "critical,keyCertSign,cRLSign");
  AddExtension(cert_, cert_, NID_subject_key_identifier, "hash");
  Check(X509_sign(cert_, key_, EVP_sha256()) > 0, "sign");
  certPem_ = CertPemOf(cert_);
  certFile_ = dir_.File("ca.pem").Bytes();
  WriteText(certFile_, certPem_);
}

TTestCa::~TTestCa() {
  X509_free(cert_);
  EVP_PKEY_free(key_);
}

TTestCert TTestCa::Issue(const std::vector<std::string>& dnsNames, const std::vector<std::string>& ips, long validFrom,
                         long validTo) {
  EVP_PKEY* key = NewKey();
  std::string commonName = dnsNames.empty() ? (ips.empty() ? "server" : ips[0]) : dnsNames[0];
  X509* cert = NewCert(commonName, key, 100 + ++issued_, validFrom, validTo);
  X509_set_issuer_name(cert, X509_get_subject_name(cert_));
  std::string names;
  for (const std::string& dns : dnsNames) names += (names.empty() ? "DNS:" : ",DNS:") + dns;
  for (const std::string& ip : ips) names += (names.empty() ? "IP:" : ",IP:") + ip;
  if (!names.empty()) AddExtension(cert, cert_, NID_subject_alt_name, names);
  AddExtension(cert, cert_, NID_basic_constraints, "CA:FALSE");
  AddExtension(cert, cert_, NID_ext_key_usage, "serverAuth");
  AddExtension(cert, cert_, NID_authority_key_identifier, "keyid");
  Check(X509_sign(cert, key_, EVP_sha256()) > 0, "sign");

  TTestCert out;
  out.CertPem = CertPemOf(cert);
  out.KeyPem = Pem([&](BIO* bio) { return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr); });
  std::string stem = dir_.File("server" + std::to_string(issued_)).Bytes();
  out.CertFile = stem + ".pem";
  out.KeyFile = stem + ".key";
  WriteText(out.CertFile, out.CertPem);
  WriteText(out.KeyFile, out.KeyPem);
  X509_free(cert);
  EVP_PKEY_free(key);
  return out;
}

TTestCa& TrustedTestCa() {
  static TTestCa* ca = [] {
    auto* made = new TTestCa("Varnolt Trusted Test CA");
    ::setenv("SSL_CERT_FILE", made->CertFile().c_str(), 1);
    return made;
  }();
  return *ca;
}

SSL_CTX* NewServerContext(const TTestCert& cert, const TServerTlsOptions& options) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  Check(ctx != nullptr, "context");
  BIO* certBio = BIO_new_mem_buf(cert.CertPem.data(), static_cast<int>(cert.CertPem.size()));
  X509* x509 = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
  BIO_free(certBio);
  BIO* keyBio = BIO_new_mem_buf(cert.KeyPem.data(), static_cast<int>(cert.KeyPem.size()));
  EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
  BIO_free(keyBio);
  Check(x509 && key && SSL_CTX_use_certificate(ctx, x509) == 1 && SSL_CTX_use_PrivateKey(ctx, key) == 1,
        "server certificate");
  X509_free(x509);
  EVP_PKEY_free(key);
  if (options.MaxVersion != 0) {
    SSL_CTX_set_min_proto_version(ctx, 0);
    SSL_CTX_set_max_proto_version(ctx, options.MaxVersion);
    // The old protocols sign with SHA-1, which the default security level refuses.
    SSL_CTX_set_security_level(ctx, 0);
    SSL_CTX_set_cipher_list(ctx, "DEFAULT:@SECLEVEL=0");
  }
  return ctx;
}
