// varnolt-demosite: a local stand-in for the patent search site, the portal and the
// maker's site, serving a fixed synthetic corpus in GBK on one loopback port.
//
//   varnolt-demosite [--port N] [--log FILE] [--fail TEXT]... [--drop TEXT]...
//                    [--busy N:TEXT]... [--no-hit-row TEXT] [--latency MS] [--pages N]
//                    [--update-ver N] [--stop-on-eof]
//
//   --port N        port on 127.0.0.1; 0 (the default) picks a free one. The site prints
//                   "listening on 127.0.0.1:PORT" on stdout once it accepts connections.
//   --log FILE      one line per request: connection id (one per TCP connection, from 1),
//                   method, raw target and the Cookie header ("-" when none), tab-separated.
//   --fail TEXT     any request whose raw target or raw body contains TEXT is answered
//                   "500 Internal Server Error" (repeatable). Deterministic failures:
//                     search, failure on the third record:  --fail <number of record 3>
//                       (its detail page and its legal status both fail; for 名称=(电池)
//                       that is --fail 200620164213)
//                     download, failure on page 2 of 5:      --fail <number>/1/000002.tif
//                     download, detail failure of a number:  --fail recid=CN<number>
//   --drop TEXT     like --fail, but answers "200 OK" with a chunked body and closes the
//                   connection before the first chunk: a transfer cut off by the network.
//   --busy N:TEXT   the first N requests whose raw target or body contains TEXT are answered
//                   "503 Service Unavailable" with "Retry-After: 1", later ones as usual: a
//                   site that is busy for a while (repeatable).
//   --latency MS    every reply is held back MS milliseconds before its first byte, as a
//                   distant site's would be.
//   --pages N       every document has N pages (the batch benchmark's records).
//   --no-hit-row TEXT  a result list without hits holds one row: the row marker, TEXT byte
//                   for byte (CR LF included), "</tr>". With no link in it, a download of
//                   an unknown number takes TEXT plus "<" as its record link.
//   --update-ver N  the "ver" of /trevisk/version.txt (default 20080106, the program's own).
//   --stop-on-eof   exit when standard input reaches its end: a test fixture holds the other
//                   end, so the site never outlives a test that crashed.
//
// The OPS role (HTTPS on a second port; every switch in demosite/README.md):
//   --ops-port N    port on 127.0.0.1 (0: a free one), printed as "ops listening on
//                   127.0.0.1:PORT" after the site's line; --ca-out FILE: the private CA's
//                   certificate (PEM), for a client's SSL_CERT_FILE.
//   --ops-key K --ops-secret S (demo-key, demo-secret)   --ops-token-life S   --ops-revoke-after N
//   --ops-state idle|busy|overloaded   --ops-limit SERVICE=N   --ops-colour SERVICE=COLOUR
//   --ops-black SERVICE:N:MS   --ops-quota hour|week:N   --ops-refuse TEXT   --ops-extra N
//   --ops-missing-page DOC:P   --ops-bad-page DOC:P   --ops-two-page DOC:P   --ops-lie-count DOC:N
//   --ops-today YYYYMMDD   --ops-english-index   --ops-hits publications|applications
//
// What it serves (every page GBK):
//   POST /sipo/zljs/hyjs-jieguo.jsp   result list (recshu, searchword, pg); sets JSESSIONID
//   GET  /sipo/zljs/<page>.jsp?recid=CN<number>.<check>&...   detail page
//   POST /sipo/zljs/FlztResult.jsp    legal status (textfield1 or searchword)
//   GET  /books/<number>/<doc>/<NNNNNN>.tif   page images at 300 dpi with their text (doc 1:
//                                     the document the download reads; doc 2: an earlier
//                                     publication, listed first on granted inventions); sets
//                                     tifsession. With .txt instead of .tif: the text drawn.
//   GET  /trevisk/version.txt, /trevisk.asp, /, /mini.php?q=, /custom?q=,
//        /sipo/zw_left.htm, /sipo/zljs/searchflzt.jsp, /portal/index.html.zh
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <thread>

#include "demosite/opsoptions.h"
#include "demosite/routes.h"

namespace {

int Usage() {
  fprintf(stderr,
          "usage: varnolt-demosite [--port N] [--log FILE] [--fail TEXT]... [--drop TEXT]... [--busy N:TEXT]..."
          " [--no-hit-row TEXT] [--latency MS] [--pages N] [--update-ver N] [--stop-on-eof]\n"
          "       [--ops-port N [--ca-out FILE] [OPS switches, see demosite/README.md]]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  SiteOptions opt;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--port" && hasValue) opt.port = ToInt(argv[++i], -1);
    else if (a == "--log" && hasValue) opt.logPath = argv[++i];
    else if (a == "--fail" && hasValue) opt.fail.push_back(argv[++i]);
    else if (a == "--drop" && hasValue) opt.drop.push_back(argv[++i]);
    else if (a == "--no-hit-row" && hasValue) opt.noHitRow = argv[++i];
    else if (a == "--update-ver" && hasValue) opt.updateVer = argv[++i];
    else if (a == "--latency" && hasValue) opt.latencyMs = ToInt(argv[++i], -1);
    else if (a == "--pages" && hasValue) opt.pages = ToInt(argv[++i], -1);
    else if (a == "--busy" && hasValue && std::string(argv[i + 1]).find(':') != std::string::npos) {
      std::string v = argv[++i];
      opt.busy.emplace_back(ToInt(v.substr(0, v.find(':')), -1), v.substr(v.find(':') + 1));
      if (opt.busy.back().first < 0) return Usage();
    }
    else if (a == "--stop-on-eof") opt.stopOnEof = true;
    else if (int taken = ReadOpsSwitch(argc, argv, i, opt.ops); taken > 0) i += taken - 1;
    else return Usage();
  }
  if (opt.port < 0 || opt.port > 65535 || opt.latencyMs < 0 || opt.pages < 0) return Usage();
  if (opt.stopOnEof) {
    std::thread([] {
      char buf[256];
      while (read(STDIN_FILENO, buf, sizeof buf) > 0) {
      }
      _exit(0);
    }).detach();
  }
  try {
    return RunSite(opt);
  } catch (const std::exception& e) {
    fprintf(stderr, "varnolt-demosite: %s\n", e.what());
    return 1;
  }
}
