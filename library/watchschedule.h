#pragma once
// When watches run by themselves, the Linux way: a systemd user timer. The package installs
// varnolt-watch.service and varnolt-watch.timer (daily, Persistent=true) in the user unit
// folder of its prefix; a program not installed writes the same units, naming itself, into
// the user's own unit folder. Weekly is a drop-in over the timer. The setting is the files
// in $XDG_CONFIG_HOME/systemd/user (the drop-in, the timer's link in timers.target.wants),
// so it reads back without systemd; systemctl --user makes the running manager follow it.
#include <string>

#include "base/path.h"

enum class TWatchSchedule { Off, Daily, Weekly };

// "off", "daily", "weekly"; and back (false for anything else).
const char* WatchScheduleName(TWatchSchedule schedule);
bool ReadWatchScheduleName(const std::string& name, TWatchSchedule& schedule);

// The user's unit folder ($XDG_CONFIG_HOME/systemd/user).
TPath UserUnitDirectory();
// The timer the package installed beside the program (<prefix>/lib/systemd/user); empty
// when the program is not installed so.
TPath PackagedWatchTimer();

// The schedule the files say: off unless the timer is enabled; weekly with the drop-in.
TWatchSchedule ReadWatchSchedule();

// What setting a schedule came to.
struct TScheduleOutcome {
  bool applied = false;  // systemctl --user did it: the running manager follows
  std::string reason;    // why not (GBK): systemd's user manager unreachable, or what systemctl said
};

// Writes the files of the schedule (the units when not installed, the drop-in, the timer's
// link) and has systemctl --user enable or disable the timer at once. When systemctl cannot
// reach a user manager the files still hold the setting for the next start of one. cli:
// the varnolt-cli that the units written here run. Throws EFileError for a file it cannot
// write.
TScheduleOutcome SetWatchSchedule(TWatchSchedule schedule, const TPath& cli);

// The crontab line that runs the watches on the schedule instead (UTF-8).
std::string WatchCrontabLine(TWatchSchedule schedule, const TPath& cli);
