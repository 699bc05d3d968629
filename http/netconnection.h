#pragma once
#include <chrono>
#include <memory>
#include <string>

#include "http/bytesource.h"
#include "http/tls.h"

// How a connection is made: a TCP connection, then a tunnel through a proxy, then TLS, each
// as the plan asks, all of it within one time limit.
struct TConnectPlan {
  std::string Host;        // where the TCP connection goes: the server, or the proxy
  int Port = 0;
  std::string TunnelHead;  // a CONNECT request for the proxy; empty: no tunnel
  std::string TlsHost;     // non-empty: TLS towards this host, its certificate checked for it
  std::string TlsPort;
  int TimeoutMs = 0;       // 0 waits for good
  size_t MaxLine = 16384;  // longest line of the proxy's reply
};

// One connection: the byte source of its replies, and the sending of requests. Over TLS the
// socket is non-blocking and every wait goes through the same bounds as a plain receive.
class TNetConnection : public TByteSource, private TNetLink {
 public:
  TNetConnection() = default;
  ~TNetConnection() override { Close(); }
  TNetConnection(const TNetConnection&) = delete;
  TNetConnection& operator=(const TNetConnection&) = delete;

  // Makes the connection the plan describes and empties the input buffer. A time limit met
  // raises ENetConnectTimeout; a proxy's refusal ENetProxyRefused; TLS the ENetTlsError family.
  void Open(const TConnectPlan& plan);
  // Sends close_notify over TLS where the connection is sound, then closes.
  void Close();
  bool Connected() const { return fd_ >= 0; }
  // Before reusing a kept connection: true when it is still usable. A close (or stray
  // bytes) from the server meanwhile means the next reply could not be told apart.
  bool StillUsable();
  // Whether the TLS session of the last Open was resumed.
  bool Resumed() const { return resumed_; }
  // Whether the last TLS connection ended by the transport's close without close_notify.
  bool EndedUncleanly() const { return unclean_; }

  void Send(const char* data, size_t size);
  void Send(const std::string& data) { Send(data.data(), data.size()); }

  // Bounds on the receives from now on, in ms; 0 waits for good. A limit on each single
  // wait would let a server that drips a byte now and then hold the caller for days, so
  // the bounds are on progress. Whole: everything must arrive within ms in all (a header
  // block). Paced: every ms must bring at least kPaceBytes (a body, which may be long but
  // must keep coming). A wait past the bound raises ENetReadTimeout. Over TLS the sends
  // wait within the same bounds.
  void BoundWhole(int ms);
  void BoundPace(int ms);
  static constexpr size_t kPaceBytes = 1024;

 protected:
  // One receive after waiting within the bound; 0 on close (the socket is then closed).
  // Raises ENetReadTimeout when nothing comes in time, and the receive errors.
  size_t Receive(char* into, size_t size) override;

 private:
  using TClock = std::chrono::steady_clock;
  void ConnectTcp(const std::string& host, int port);
  // What is left of the connect time limit, for poll; -1 without a limit.
  int ConnectWaitMs() const;
  void Bound(int ms, bool paced);
  // Waits for events within the connect deadline while connecting, else within the bound.
  void WaitFor(short events);
  void CountProgress(size_t n);

  ptrdiff_t RecvSome(char* into, size_t size, int& error) noexcept override;
  ptrdiff_t SendSome(const char* data, size_t size, int& error) noexcept override;
  void Wait(bool write) override;

  int fd_ = -1;
  std::unique_ptr<TTlsLayer> tls_;
  bool resumed_ = false;
  bool unclean_ = false;
  bool connecting_ = false;
  bool connectBounded_ = false;
  TClock::time_point connectDeadline_;
  int boundMs_ = 0;
  bool paced_ = false;
  TClock::time_point deadline_;
  size_t paceBytes_ = 0;  // moved since the paced window began
};
