#include "library/watchschedule.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "base/appdir.h"
#include "base/bytes.h"
#include "base/errors.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/tools.h"
#include "library/watchtexts.h"
#include "library/watchunits.h"
#include "search/searchargs.h"

using namespace watchtext;

namespace {

const char kTimer[] = "varnolt-watch.timer";
const char kService[] = "varnolt-watch.service";
// The first line of the units written here, so that only those are ever removed again.
const char kOwnUnitMark[] = "# Written by varnolt-cli watch schedule for a program that is not installed.\n";
const char kWeeklyDropIn[] =
    "# Written by varnolt-cli watch schedule weekly.\n"
    "[Timer]\n"
    "OnCalendar=\n"
    "OnCalendar=weekly\n";
constexpr int kSystemctlTimeoutMs = 60000;

TPath DropInDirectory() { return UserUnitDirectory().Entry(std::string(kTimer) + ".d"); }
TPath DropIn() { return DropInDirectory().Entry("schedule.conf"); }
TPath WantsLink() { return UserUnitDirectory().Entry("timers.target.wants").Entry(kTimer); }
TPath OwnUnit(const char* name) { return UserUnitDirectory().Entry(name); }

// Any entry, a link whose target is gone included.
bool Exists(const TPath& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsOwnUnit(const TPath& path) {
  try {
    return ReadFileBytes(path).rfind(kOwnUnitMark, 0) == 0;
  } catch (const EFileError&) {
    return false;
  }
}

// An argument of an ExecStart line: quoted, its specifiers' "%" doubled.
std::string SystemdWord(const std::string& word) {
  std::string out = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
    if (c == '%') out += '%';
  }
  return out + "\"";
}

// The units for a program not installed: the package's, run by this program's path.
void WriteOwnUnits(const TPath& cli) {
  std::string service = kWatchServiceUnit;
  const std::string byName = "ExecStart=varnolt-cli ";
  const size_t at = service.find(byName);
  if (at != std::string::npos) service.replace(at, byName.size(), "ExecStart=" + SystemdWord(cli.Bytes()) + " ");
  WriteFileBytes(OwnUnit(kService), kOwnUnitMark + service);
  WriteFileBytes(OwnUnit(kTimer), kOwnUnitMark + std::string(kWatchTimerUnit));
}

void RemoveOwnUnits() {
  for (const char* name : {kService, kTimer})
    if (IsOwnUnit(OwnUnit(name))) DeleteFileAt(OwnUnit(name));
}

// systemctl --user with the parameters: "" when it worked, else why not (GBK).
std::string Systemctl(const std::string& params, bool& reached) {
  reached = false;
  const char* tmp = std::getenv("TMPDIR");
  TTemporaryFile output(TPath::FromSystem(tmp && *tmp ? tmp : "/tmp"));
  TToolOptions options;
  options.output = output.Path();
  const int status = RunTool(ToolPath("systemctl"), "--user " + params, kSystemctlTimeoutMs, options);
  if (status == kToolNotStarted) return kNoSystemctl;
  std::string said;
  try {
    said = TrimBytes(ReadFileBytes(output.Path()));
  } catch (const EFileError&) {
  }
  if (status == 0) {
    reached = true;
    return "";
  }
  // The first call that fails to reach a manager says so on its first line.
  reached = said.find("connect to bus") == std::string::npos && said.find("No medium") == std::string::npos;
  return (reached ? std::string(kSystemctlFailed) : std::string(kNoUserManager)) + Utf8ToGbk(said);
}

// The timer's link in timers.target.wants, as systemctl enable makes it.
void LinkTimer(bool enabled) {
  const TPath link = WantsLink();
  DeleteFileAt(link);
  if (!enabled) return;
  const TPath packaged = PackagedWatchTimer();
  const TPath target = packaged.Empty() ? OwnUnit(kTimer) : packaged;
  ForceDirectories(link.Parent());
  if (::symlink(target.c_str(), link.c_str()) != 0) throw EFileError(kCannotLink + link.ShownText());
}

}  // namespace

const char* WatchScheduleName(TWatchSchedule schedule) {
  switch (schedule) {
    case TWatchSchedule::Daily: return "daily";
    case TWatchSchedule::Weekly: return "weekly";
    case TWatchSchedule::Off: break;
  }
  return "off";
}

bool ReadWatchScheduleName(const std::string& name, TWatchSchedule& schedule) {
  for (TWatchSchedule s : {TWatchSchedule::Off, TWatchSchedule::Daily, TWatchSchedule::Weekly})
    if (name == WatchScheduleName(s)) {
      schedule = s;
      return true;
    }
  return false;
}

TPath UserUnitDirectory() { return UserConfigDirectory().Entry("systemd").Entry("user"); }

TPath PackagedWatchTimer() {
  const TPath timer = ProgramDirectory().Parent().Entry("systemd").Entry("user").Entry(kTimer);
  return FileExists(timer) ? timer : TPath();
}

TWatchSchedule ReadWatchSchedule() {
  if (!Exists(WantsLink())) return TWatchSchedule::Off;
  return FileExists(DropIn()) ? TWatchSchedule::Weekly : TWatchSchedule::Daily;
}

TScheduleOutcome SetWatchSchedule(TWatchSchedule schedule, const TPath& cli) {
  TScheduleOutcome outcome;
  const bool on = schedule != TWatchSchedule::Off;
  bool reached = false;
  if (on) {
    ForceDirectories(UserUnitDirectory());
    if (PackagedWatchTimer().Empty()) WriteOwnUnits(cli);
    if (schedule == TWatchSchedule::Weekly) {
      ForceDirectories(DropInDirectory());
      WriteFileBytes(DropIn(), kWeeklyDropIn);
    } else {
      DeleteFileAt(DropIn());
      RemoveDir(DropInDirectory());
    }
    outcome.reason = Systemctl("daemon-reload", reached);
    if (outcome.reason.empty()) outcome.reason = Systemctl(std::string("enable ") + kTimer, reached);
    // restart: a timer already running takes its new calendar.
    if (outcome.reason.empty()) outcome.reason = Systemctl(std::string("restart ") + kTimer, reached);
  } else if (Exists(WantsLink()) || IsOwnUnit(OwnUnit(kTimer))) {
    outcome.reason = Systemctl(std::string("disable --now ") + kTimer, reached);
    DeleteFileAt(DropIn());
    RemoveDir(DropInDirectory());
    RemoveOwnUnits();
    if (reached) {
      bool again = false;
      const std::string reload = Systemctl("daemon-reload", again);
      if (outcome.reason.empty()) outcome.reason = reload;
    }
  } else {
    // Never enabled: nothing to ask of systemd.
    DeleteFileAt(DropIn());
    RemoveDir(DropInDirectory());
    reached = true;
  }
  outcome.applied = outcome.reason.empty();
  // Without a manager to ask, the setting is kept as systemctl would have kept it.
  if (!reached) LinkTimer(on);
  return outcome;
}

std::string WatchCrontabLine(TWatchSchedule schedule, const TPath& cli) {
  if (schedule == TWatchSchedule::Off) return "";
  return std::string(schedule == TWatchSchedule::Weekly ? "0 9 * * 1 " : "0 9 * * * ") +
         ShellWords({cli.Shown(), "watch", "run", "--all", "--notify"});
}
