#include "tests/support/sessionbus.h"

#include <dbus/dbus.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>

extern char** environ;

SessionBus::SessionBus() {
  const std::string config = dir_.File("bus.conf").Bytes();
  {
    std::ofstream out(config);
    out << "<busconfig><type>session</type><listen>unix:dir=" << dir_.Path().Bytes() << "</listen>"
        << "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
        << "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
  }
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> args = {"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  const int rc = posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    throw std::runtime_error("cannot start dbus-daemon");
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (address_.find('\n') == std::string::npos) {
    const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
    pollfd p{out[0], POLLIN, 0};
    char buf[256];
    ssize_t n = 0;
    if (left <= 0 || poll(&p, 1, left) <= 0 || (n = read(out[0], buf, sizeof buf)) <= 0) {
      close(out[0]);
      StopProcess(pid_);
      throw std::runtime_error("dbus-daemon gave no address: " + address_);
    }
    address_.append(buf, size_t(n));
  }
  close(out[0]);
  address_.resize(address_.find('\n'));
}

SessionBus::~SessionBus() { StopProcess(pid_); }

NotificationService::NotificationService(const std::string& address) {
  DBusError error;
  dbus_error_init(&error);
  bus_ = dbus_connection_open_private(address.c_str(), &error);
  if (!bus_ || !dbus_bus_register(bus_, &error) ||
      dbus_bus_request_name(bus_, "org.freedesktop.Notifications", DBUS_NAME_FLAG_DO_NOT_QUEUE, &error) !=
          DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
    const std::string why = error.message ? error.message : "no reason";
    dbus_error_free(&error);
    if (bus_) {
      dbus_connection_close(bus_);
      dbus_connection_unref(bus_);
    }
    throw std::runtime_error("notification service: " + why);
  }
  dbus_connection_set_exit_on_disconnect(bus_, FALSE);
  thread_ = std::thread([this] { Serve(); });
}

NotificationService::~NotificationService() {
  stop_ = true;
  thread_.join();
  dbus_connection_close(bus_);
  dbus_connection_unref(bus_);
}

std::vector<ShownNotification> NotificationService::Received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void NotificationService::Serve() {
  dbus_uint32_t next = 1;
  while (!stop_ && dbus_connection_read_write(bus_, 50)) {
    while (DBusMessage* m = dbus_connection_pop_message(bus_)) {
      if (dbus_message_is_method_call(m, "org.freedesktop.Notifications", "Notify")) {
        ShownNotification n;
        DBusMessageIter it;
        dbus_message_iter_init(m, &it);
        // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout
        for (int arg = 0;; ++arg) {
          const int type = dbus_message_iter_get_arg_type(&it);
          if (type == DBUS_TYPE_STRING) {
            const char* s = nullptr;
            dbus_message_iter_get_basic(&it, &s);
            if (arg == 0) n.appName = s;
            if (arg == 3) n.summary = s;
            if (arg == 4) n.body = s;
          } else if (type == DBUS_TYPE_ARRAY && arg == 6) {
            DBusMessageIter hints, entry, value;
            dbus_message_iter_recurse(&it, &hints);
            for (; dbus_message_iter_get_arg_type(&hints) == DBUS_TYPE_DICT_ENTRY; dbus_message_iter_next(&hints)) {
              dbus_message_iter_recurse(&hints, &entry);
              const char* key = nullptr;
              dbus_message_iter_get_basic(&entry, &key);
              dbus_message_iter_next(&entry);
              dbus_message_iter_recurse(&entry, &value);
              if (std::string(key) == "desktop-entry" && dbus_message_iter_get_arg_type(&value) == DBUS_TYPE_STRING) {
                const char* s = nullptr;
                dbus_message_iter_get_basic(&value, &s);
                n.desktopEntry = s;
              }
            }
          }
          if (!dbus_message_iter_next(&it)) break;
        }
        {
          std::lock_guard<std::mutex> lock(mutex_);
          received_.push_back(n);
        }
        DBusMessage* reply = dbus_message_new_method_return(m);
        const dbus_uint32_t id = next++;
        dbus_message_append_args(reply, DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID);
        dbus_connection_send(bus_, reply, nullptr);
        dbus_message_unref(reply);
      }
      dbus_message_unref(m);
    }
  }
}
