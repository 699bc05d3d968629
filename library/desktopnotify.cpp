#include "library/desktopnotify.h"

#include <dbus/dbus.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "base/gbk.h"

namespace {

constexpr int kReplyTimeoutMs = 5000;

// A value of a D-Bus address: bytes other than these are %XX.
std::string AddressValue(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '/' || c == '.' || c == '\\' || c == '*') {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// The session bus's address; "" when there is none. libdbus's own lookup would start a bus
// through X11 when none is set, which a background run must never do.
std::string SessionBusAddress() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return address;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return "";
  const std::string socket = std::string(runtime) + "/bus";
  struct stat st {};
  if (::stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return "";
  return "unix:path=" + AddressValue(socket);
}

struct TConnectionEnd {
  void operator()(DBusConnection* c) const {
    dbus_connection_close(c);
    dbus_connection_unref(c);
  }
};
struct TMessageEnd {
  void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
using TMessage = std::unique_ptr<DBusMessage, TMessageEnd>;

bool AppendString(DBusMessageIter* it, const std::string& text) {
  const char* s = text.c_str();
  return dbus_message_iter_append_basic(it, DBUS_TYPE_STRING, &s);
}

// Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout).
TMessage NotifyCall(const std::string& summary, const std::string& body) {
  TMessage m(dbus_message_new_method_call("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                          "org.freedesktop.Notifications", "Notify"));
  if (!m) return nullptr;
  DBusMessageIter it, actions, hints, entry, variant;
  dbus_message_iter_init_append(m.get(), &it);
  const dbus_uint32_t replaces = 0;
  const dbus_int32_t expires = -1;  // the server's default
  bool ok = AppendString(&it, "Varnolt") && dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &replaces) &&
            AppendString(&it, "varnolt") && AppendString(&it, ValidUtf8(summary)) && AppendString(&it, ValidUtf8(body));
  ok = ok && dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "s", &actions) &&
       dbus_message_iter_close_container(&it, &actions);
  // desktop-entry: the desktop groups the notification with the program's menu entry.
  ok = ok && dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "{sv}", &hints) &&
       dbus_message_iter_open_container(&hints, DBUS_TYPE_DICT_ENTRY, nullptr, &entry) &&
       AppendString(&entry, "desktop-entry") &&
       dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, "s", &variant) && AppendString(&variant, "varnolt") &&
       dbus_message_iter_close_container(&entry, &variant) && dbus_message_iter_close_container(&hints, &entry) &&
       dbus_message_iter_close_container(&it, &hints);
  ok = ok && dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &expires);
  return ok ? std::move(m) : nullptr;
}

}  // namespace

bool DesktopNotify(const std::string& summary, const std::string& body) {
  const std::string address = SessionBusAddress();
  if (address.empty()) return false;
  DBusError error;
  dbus_error_init(&error);
  std::unique_ptr<DBusConnection, TConnectionEnd> bus(dbus_connection_open_private(address.c_str(), &error));
  if (!bus) {
    dbus_error_free(&error);
    return false;
  }
  // A bus that goes away must not end the process (libdbus's default for the shared one).
  dbus_connection_set_exit_on_disconnect(bus.get(), FALSE);
  if (!dbus_bus_register(bus.get(), &error)) {
    dbus_error_free(&error);
    return false;
  }
  TMessage call = NotifyCall(summary, body);
  if (!call) return false;
  TMessage reply(dbus_connection_send_with_reply_and_block(bus.get(), call.get(), kReplyTimeoutMs, &error));
  dbus_error_free(&error);
  return reply != nullptr;
}
