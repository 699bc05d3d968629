#include "demosite/tlscert.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <stdexcept>

namespace {

using Cert = std::unique_ptr<X509, decltype(&X509_free)>;
using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("OpenSSL could not ") + what);
}

Key NewKey() {
  Key key(EVP_EC_gen("P-256"), EVP_PKEY_free);
  Check(key != nullptr, "make a key");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  Check(ext != nullptr && X509_add_ext(cert, ext, -1) == 1, "add a certificate extension");
  X509_EXTENSION_free(ext);
}

// A certificate of `key` named `commonName`, valid from an hour ago for a year; self-signed
// when issuer is null (then its extensions name itself).
Cert NewCert(EVP_PKEY* key, const char* commonName, X509* issuer) {
  Cert cert(X509_new(), X509_free);
  Check(cert != nullptr && X509_set_version(cert.get(), 2) == 1, "start a certificate");
  unsigned char serial[16];
  Check(RAND_bytes(serial, sizeof serial) == 1, "draw a serial number");
  serial[0] &= 0x7F;  // positive
  BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
  Check(bn && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get())), "set a serial number");
  BN_free(bn);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 365L * 24 * 3600);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Varnolt demo"), -1,
                             -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1,
                             0);
  Check(X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : name) == 1, "name the issuer");
  Check(X509_set_pubkey(cert.get(), key) == 1, "set the public key");
  return cert;
}

}  // namespace

TlsIdentity MakeTlsIdentity() {
  Key caKey = NewKey();
  Cert ca = NewCert(caKey.get(), "Varnolt demo CA", nullptr);
  AddExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
  AddExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash");
  Check(X509_sign(ca.get(), caKey.get(), EVP_sha256()) > 0, "sign the CA certificate");

  TlsIdentity id;
  id.leafKey = NewKey();
  id.leaf = NewCert(id.leafKey.get(), "localhost", ca.get());
  AddExtension(id.leaf.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(id.leaf.get(), ca.get(), NID_key_usage, "critical,digitalSignature");
  AddExtension(id.leaf.get(), ca.get(), NID_ext_key_usage, "serverAuth");
  AddExtension(id.leaf.get(), ca.get(), NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
  AddExtension(id.leaf.get(), ca.get(), NID_subject_key_identifier, "hash");
  AddExtension(id.leaf.get(), ca.get(), NID_authority_key_identifier, "keyid:always");
  Check(X509_sign(id.leaf.get(), caKey.get(), EVP_sha256()) > 0, "sign the server certificate");

  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
  Check(bio && PEM_write_bio_X509(bio.get(), ca.get()) == 1, "write the CA certificate");
  char* data = nullptr;
  long n = BIO_get_mem_data(bio.get(), &data);
  id.caPem.assign(data, size_t(n));
  return id;
}
