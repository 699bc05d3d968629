#pragma once
// A desktop notification, as the freedesktop.org Notifications service on the session bus
// shows it (every Linux desktop has one). Spoken to with libdbus, the bus's reference
// library that every desktop already has: no tool to start, no shell, no text format to
// quote the message into.
#include <string>

// Shows summary and body (UTF-8) under the application's name. False, with nothing shown,
// when there is no session bus ($DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus; never
// a bus started for the purpose) or nobody on it shows notifications; waits at most a few
// seconds; never throws.
bool DesktopNotify(const std::string& summary, const std::string& body);
