#pragma once
// A private session bus for tests (the real dbus-daemon, with a configuration of its own,
// so that nothing of the machine's is activated), and a notification service on it that
// records what it is asked to show, as a desktop's would show it.
//
//   SessionBus bus;                          // dbus-daemon on a socket in a temporary folder
//   NotificationService shown(bus.Address()); // owns org.freedesktop.Notifications
//   ScopedEnv env("DBUS_SESSION_BUS_ADDRESS", bus.Address());
//   ... shown.Received()
#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/tempdir.h"

class SessionBus {
 public:
  // Throws std::runtime_error when dbus-daemon does not come up within 20 s.
  SessionBus();
  ~SessionBus();
  SessionBus(const SessionBus&) = delete;
  SessionBus& operator=(const SessionBus&) = delete;
  const std::string& Address() const { return address_; }

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  std::string address_;
};

struct ShownNotification {
  std::string appName, summary, body, desktopEntry;
};

class NotificationService {
 public:
  // Connects, owns the name and answers Notify calls on a thread of its own. Throws
  // std::runtime_error when it cannot.
  explicit NotificationService(const std::string& address);
  ~NotificationService();
  NotificationService(const NotificationService&) = delete;
  NotificationService& operator=(const NotificationService&) = delete;
  std::vector<ShownNotification> Received() const;

 private:
  void Serve();
  struct DBusConnection* bus_ = nullptr;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<ShownNotification> received_;
  std::thread thread_;
};
