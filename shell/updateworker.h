#pragma once
#include <string>

// The update-check worker: started once at start-up, it saves the maker's version file
// as config.ini and makes one further request. It runs on a thread of its own, touches
// no window, swallows every error and deletes itself when its body ends.
class checkupdate {
 public:
  // Starts the worker at once; the object frees itself, so callers keep no pointer.
  checkupdate();
  checkupdate(const checkupdate&) = delete;
  checkupdate& operator=(const checkupdate&) = delete;

  // Fetches url as text and saves it, as CR LF lines, as name in the settings directory.
  // Every error is swallowed; after a failure the earlier file stays unchanged.
  static void fetchfile(const std::string& url, const std::string& name);
  // Fetches url and discards the reply; every error is swallowed.
  static void fetchpage(const std::string& url);

  // Waits until no worker runs any more; false when timeoutMs passed first.
  static bool WaitForAll(int timeoutMs);

 private:
  ~checkupdate() = default;
  void Execute();
};
