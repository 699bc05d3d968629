#pragma once
// An HTTP proxy on loopback for tests: it carries CONNECT tunnels, byte for byte both ways,
// to the host and port asked for, and records the head of every request it gets.
//
//   TConnectProxy proxy;
//   proxy.RequireAuthorization("Basic dXNlcjpwYXNz");  // else 407
//   proxy.AnswerWith("HTTP/1.1 403 Forbidden\r\n\r\n");  // instead of any tunnel
//   ScopedEnv env("https_proxy", proxy.Url());
//   proxy.Heads(), proxy.Tunnels()
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TConnectProxy {
 public:
  TConnectProxy();
  ~TConnectProxy();
  TConnectProxy(const TConnectProxy&) = delete;
  TConnectProxy& operator=(const TConnectProxy&) = delete;

  int Port() const { return port_; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // Set before the first request: a CONNECT without this Proxy-Authorization value gets 407.
  void RequireAuthorization(const std::string& value);
  // Set before the first request: every request is answered with bytes, then the
  // connection closes (or, with hang, stays silent until the proxy ends).
  void AnswerWith(const std::string& bytes, bool hang = false);
  std::vector<std::string> Heads() const;
  int Tunnels() const;

 private:
  void AcceptLoop();
  void Serve(int fd);
  void Relay(int client, int server);

  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::string authorization_, answer_;
  bool answerSet_ = false, hang_ = false;
  std::thread acceptor_;
  mutable std::mutex lock_;
  std::vector<std::string> heads_;
  int tunnels_ = 0;
  std::vector<std::thread> workers_;
};
