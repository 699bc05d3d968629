#include "tests/support/nginx.h"

#include "tests/support/testca.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool Accepts(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

std::string NginxBinary() {
  std::vector<std::string> dirs;
  if (const char* path = std::getenv("PATH")) {
    std::stringstream list(path);
    for (std::string dir; std::getline(list, dir, ':');)
      if (!dir.empty()) dirs.push_back(dir);
  }
  dirs.push_back("/usr/sbin");
  for (const std::string& dir : dirs)
    if (::access((dir + "/nginx").c_str(), X_OK) == 0) return dir + "/nginx";
  return {};
}

NginxPeer::NginxPeer(const std::string& root, const TTestCert* tls) {
  // Workers of an nginx started by root read as another user: the files must be readable.
  ::chmod(dir_.Path().c_str(), 0755);
  ::chmod(root.c_str(), 0755);
  // The port is free when picked but may be taken before nginx binds it: try again then.
  for (int attempt = 0; attempt < 3; ++attempt)
    if (Start(root, tls)) return;
  throw std::runtime_error("nginx did not start:\n" + ReadWholeFile(dir_.File("error.log").Bytes()));
}

bool NginxPeer::Start(const std::string& root, const TTestCert* tls) {
  port_ = UnusedLoopbackPort();
  tlsPort_ = tls ? UnusedLoopbackPort() : 0;
  const std::string& d = dir_.Path().Bytes();
  std::ofstream conf(dir_.File("nginx.conf").Bytes(), std::ios::trunc);
  conf << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
       << "pid " << d << "/nginx.pid;\nerror_log " << d << "/error.log warn;\n"
       << "events { worker_connections 64; }\n"
       << "http {\n"
       << "  log_format peer '$connection $connection_requests \"$request\" $status $body_bytes_sent';\n"
       << "  access_log " << d << "/access.log peer;\n"
       << "  client_body_temp_path " << d << "/body;\n  proxy_temp_path " << d << "/proxy;\n"
       << "  fastcgi_temp_path " << d << "/fastcgi;\n  uwsgi_temp_path " << d << "/uwsgi;\n"
       << "  scgi_temp_path " << d << "/scgi;\n"
       << "  default_type application/octet-stream;\n  sendfile on;\n"
       << "  keepalive_requests 1000000;\n  keepalive_timeout 120s;\n"
       << "  server {\n    listen 127.0.0.1:" << port_ << ";\n    root " << root << ";\n";
  if (tls)
    conf << "    listen 127.0.0.1:" << tlsPort_ << " ssl;\n    ssl_certificate " << tls->CertFile
         << ";\n    ssl_certificate_key " << tls->KeyFile << ";\n";
  conf << "  }\n"
       << "}\n";
  conf.close();

  std::string exe = NginxBinary();
  std::string errorLog = dir_.File("error.log").Bytes();
  std::string confPath = dir_.File("nginx.conf").Bytes();
  std::vector<std::string> args = {exe, "-e", errorLog, "-p", d + "/", "-c", confPath};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, exe.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + exe);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    if (Accepts(port_) && (!tls || Accepts(tlsPort_))) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  StopProcess(pid_);
  pid_ = -1;
  return false;
}

NginxPeer::~NginxPeer() { StopProcess(pid_); }

std::string NginxPeer::Url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + target;
}

std::string NginxPeer::TlsUrl(const std::string& target) const {
  return "https://127.0.0.1:" + std::to_string(tlsPort_) + target;
}

std::string NginxPeer::AccessLog() const { return ReadWholeFile(dir_.File("access.log").Bytes()); }
