#include "tests/support/demosite.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

// The port of the first whole line of text that starts with prefix; -1 when there is none yet.
int PortOfLine(const std::string& text, const std::string& prefix) {
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) return -1;
    if (text.compare(at, prefix.size(), prefix) == 0) return atoi(text.c_str() + at + prefix.size());
    at = end + 1;
  }
  return -1;
}

}  // namespace

DemoSite::DemoSite(std::vector<std::string> extraArgs, bool withLog, bool withOps) : withLog_(withLog) {
  std::string exe = std::string(VARNOLT_APP_DIR) + "/varnolt-demosite";
  std::vector<std::string> args = {exe, "--port", "0", "--stop-on-eof"};
  if (withLog || withOps) dir_.emplace();
  if (withLog) {
    args.push_back("--log");
    args.push_back(dir_->File("requests.log").Bytes());
  }
  if (withOps) {
    for (std::string a : {"--ops-port", "0", "--ca-out"}) args.push_back(a);
    args.push_back(CaFile().Bytes());
  }
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  // stdout brings the listening line; stdin stays open while this object lives, so the
  // site (--stop-on-eof) ends with a test that crashes before the destructor runs.
  int outPipe[2], inPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(inPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, inPipe[0], STDIN_FILENO);
  int rc = posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(inPipe[0]);
  out_ = outPipe[0];
  in_ = inPipe[1];
  if (rc != 0) {
    close(out_);
    close(in_);
    throw std::runtime_error("cannot start " + exe + ": " + strerror(rc));
  }

  // Read stdout until the listening lines; bounded so a broken build cannot hang a test.
  std::string text;
  const std::string prefix = "listening on 127.0.0.1:", opsPrefix = "ops listening on 127.0.0.1:";
  auto deadline = Clock::now() + std::chrono::seconds(20);
  auto complete = [&] { return PortOfLine(text, prefix) > 0 && (!withOps || PortOfLine(text, opsPrefix) > 0); };
  while (!complete()) {
    int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    pollfd p{out_, POLLIN, 0};
    char buf[256];
    ssize_t n = 0;
    if (left <= 0 || poll(&p, 1, left) <= 0 || (n = read(out_, buf, sizeof buf)) <= 0) {
      StopProcess(pid_);
      close(out_);
      close(in_);
      throw std::runtime_error("varnolt-demosite did not report its port; output: " + text);
    }
    text.append(buf, size_t(n));
  }
  port_ = PortOfLine(text, prefix);
  address_ = "127.0.0.1:" + std::to_string(port_);
  if (withOps) {
    opsPort_ = PortOfLine(text, opsPrefix);
    opsAddress_ = "127.0.0.1:" + std::to_string(opsPort_);
  }

  previousHosts_ = Hosts();
  SiteHosts h;
  for (std::string* s : {&h.SearchHost, &h.PortalHost, &h.MakerHost, &h.DictionaryHost, &h.WebSearchHost,
                         &h.OfficeCN, &h.OfficeDerwent, &h.OfficeEP, &h.OfficeJP, &h.OfficeUS, &h.OfficeWIPO})
    *s = address_;
  h.OpsHost = opsAddress_.empty() ? previousHosts_.OpsHost : opsAddress_;
  SetHosts(h);
}

DemoSite::~DemoSite() {
  StopProcess(pid_);
  close(out_);
  close(in_);
  SetHosts(previousHosts_);
}

void DemoSite::WriteHostsIni(const TPath& path) const {
  std::ofstream out(path.Bytes(), std::ios::binary | std::ios::trunc);
  out << "[hosts]\r\n";
  for (const char* key : {"SearchHost", "PortalHost", "MakerHost", "DictionaryHost", "WebSearchHost", "OfficeCN",
                          "OfficeDerwent", "OfficeEP", "OfficeJP", "OfficeUS", "OfficeWIPO"})
    out << key << "=" << address_ << "\r\n";
  if (!opsAddress_.empty()) out << "OpsHost=" << opsAddress_ << "\r\n";
  if (!out.flush()) throw std::runtime_error("cannot write " + path.Bytes());
}

TPath DemoSite::CaFile() const { return dir_ ? dir_->File("ops-ca.pem") : TPath(); }

std::vector<DemoLogEntry> DemoSite::Log() const {
  std::vector<DemoLogEntry> entries;
  if (!withLog_) return entries;
  std::ifstream in(dir_->File("requests.log").Bytes(), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string part;
    while (std::getline(ss, part, '\t')) f.push_back(part);
    if (f.size() != 4 && f.size() != 5) continue;
    entries.push_back({atol(f[0].c_str()), f[1], f[2], f[3] == "-" ? "" : f[3],
                       f.size() == 5 && f[4] != "-" ? f[4] : ""});
  }
  return entries;
}

RawReply DemoSite::RawRequest(const std::string& method, const std::string& target, const std::string& body,
                              const std::string& extraHeaders) const {
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) throw std::runtime_error("socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(uint16_t(port_));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval tv{10, 0};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(s);
    throw std::runtime_error("cannot connect to the demo site");
  }
  std::string req = method + " " + target + " HTTP/1.0\r\nHost: " + address_ + "\r\n" + extraHeaders;
  if (method == "POST")
    req += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  req += "\r\n" + body;
  for (size_t sent = 0; sent < req.size();) {
    ssize_t n = send(s, req.data() + sent, req.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += size_t(n);
  }
  std::string raw;
  char buf[65536];
  for (ssize_t n; (n = recv(s, buf, sizeof buf, 0)) > 0;) raw.append(buf, size_t(n));
  close(s);

  RawReply reply;
  size_t end = raw.find("\r\n\r\n");
  if (end == std::string::npos) return reply;
  size_t lineEnd = raw.find("\r\n");
  std::string statusLine = raw.substr(0, lineEnd);
  size_t sp = statusLine.find(' ');
  if (sp != std::string::npos) reply.status = atoi(statusLine.c_str() + sp + 1);
  reply.headers = raw.substr(lineEnd + 2, end + 2 - (lineEnd + 2));
  reply.body = raw.substr(end + 4);
  return reply;
}
