#pragma once
// The OPS role: the Open Patent Services requests the program makes (token, search,
// biblio, legal events, image inquiry, page images), answered over HTTPS from the corpus,
// with throttling, quotas and tokens as OPS has them and the switches of OpsOptions.
#include <memory>

#include "demosite/corpus.h"
#include "demosite/hooks.h"
#include "demosite/opsoptions.h"

class OpsRole {
 public:
  // The role keeps references to log and hooks: they must outlive it. pages > 0: every CN
  // document has that many pages.
  OpsRole(const OpsOptions& options, const DemoCorpus& corpus, int pages, RequestLog& log, FailureHooks& hooks);
  ~OpsRole();
  OpsRole(const OpsRole&) = delete;
  OpsRole& operator=(const OpsRole&) = delete;

  // Makes the certificates, writes the CA to options.caOut, binds, prints "ops listening
  // on 127.0.0.1:PORT" and serves on a thread of its own. False, with a message on
  // stderr, when any of it fails.
  bool Start();

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};
