#pragma once
// Test helpers around the demo search site (build/app/varnolt-demosite).
//
//   DemoSite site;                       // started on a free port; Hosts() point at it
//   DemoSite site({"--fail", "recid=CN02123456"}, true);   // extra options, request log
//   site.Address()                       // "127.0.0.1:PORT"
//   site.Log()                           // the requests so far (needs withLog)
//   DemoSite ops({"--ops-revoke-after", "5"}, true, true);   // with its OPS role (HTTPS)
//   ops.OpsAddress(), ops.CaFile()       // "127.0.0.1:PORT"; the CA to trust (SSL_CERT_FILE)
//
// The site's options and its fixed records are listed at the top of demosite/main.cpp
// and in demosite/README.md.
#include <optional>
#include <string>
#include <vector>

#include "base/hosts.h"
#include "tests/support/tempdir.h"

// One line of the site's request log.
struct DemoLogEntry {
  long connection = 0;  // the same number for requests on one TCP connection
  std::string method;
  std::string target;   // raw, as received (GBK bytes stay bytes)
  std::string cookie;   // the Cookie header; empty when none was sent
  // OPS requests: the Authorization scheme, for a token with the number the site gave it
  // ("Bearer 2"; "Bearer ?" for one it never gave); empty when none was sent and on the
  // search site's requests.
  std::string authorization;
};

// The answer of a request made by RawRequest: status code, header block, body.
struct RawReply {
  int status = 0;
  std::string headers;  // the header lines as received, CR LF included
  std::string body;
};

// Runs varnolt-demosite for the lifetime of the object. The constructor starts it on
// port 0 with the given extra options (and "--log" when withLog; with withOps its OPS role
// on a free port too, its CA written to CaFile()), waits at most 20 s for "listening on
// 127.0.0.1:PORT" (and "ops listening on 127.0.0.1:PORT"), and sets every host of
// SetHosts() to the site's address; it throws std::runtime_error when the site does not
// come up. The destructor stops the process (SIGTERM, then SIGKILL after 5 s) and
// restores the hosts of before.
class DemoSite {
 public:
  // The OPS role's credentials unless --ops-key / --ops-secret say otherwise.
  static constexpr const char* kOpsKey = "demo-key";
  static constexpr const char* kOpsSecret = "demo-secret";

  explicit DemoSite(std::vector<std::string> extraArgs = {}, bool withLog = false, bool withOps = false);
  ~DemoSite();
  DemoSite(const DemoSite&) = delete;
  DemoSite& operator=(const DemoSite&) = delete;

  const std::string& Address() const { return address_; }
  int Port() const { return port_; }
  // The OPS role (withOps): "127.0.0.1:PORT", its port, and the PEM file of its private CA.
  const std::string& OpsAddress() const { return opsAddress_; }
  int OpsPort() const { return opsPort_; }
  TPath CaFile() const;
  // Writes a hosts.ini ([hosts], every key = Address(), with the OPS role OpsHost =
  // OpsAddress(), CR LF lines) for a program started as a separate process, e.g.
  // varnolt-cli in a copied program directory.
  void WriteHostsIni(const TPath& path) const;

  // The request log, read afresh on every call; empty without withLog.
  std::vector<DemoLogEntry> Log() const;

  // Sends one HTTP/1.0 request over a new connection and reads the reply to its end
  // (10 s limit); the request line's target goes out byte for byte. For checks of the
  // site itself, independent of the program's HTTP client.
  RawReply RawRequest(const std::string& method, const std::string& target,
                      const std::string& body = "", const std::string& extraHeaders = "") const;

 private:
  pid_t pid_ = -1;
  int out_ = -1;  // the site's stdout
  int in_ = -1;   // the site's stdin, open while this object lives
  int port_ = 0;
  std::string address_;
  int opsPort_ = 0;
  std::string opsAddress_;
  bool withLog_ = false;
  std::optional<TempDir> dir_;  // the log and the CA file
  SiteHosts previousHosts_;
};
