#include "checkupdate.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "base/appdir.h"
#include "http/httpclient.h"
#include "shell/updatecheck.h"

namespace {
std::mutex g_mutex;
std::condition_variable g_idle;
int g_running = 0;
}  // namespace

checkupdate::checkupdate() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_running;
  }
  std::thread([this] {
    Execute();
    delete this;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (--g_running == 0) g_idle.notify_all();
  }).detach();
}

void checkupdate::Execute() {
  fetchfile(updatecheck::VersionFileAddress(), "config.ini");
  fetchpage(updatecheck::SecondAddress());
}

void checkupdate::fetchfile(const std::string& url, const std::string& name) {
  try {
    THttpClient client;
    std::string body = client.HttpGetText(url);
    updatecheck::SaveFetchedText(body, ProgramDirectory() + "/" + name);
  } catch (...) {
    // No network, no file on the server or a failed write: the old file stays.
  }
}

void checkupdate::fetchpage(const std::string& url) {
  try {
    THttpClient client;
    client.HttpGetText(url);
  } catch (...) {
  }
}

bool checkupdate::WaitForAll(int timeoutMs) {
  std::unique_lock<std::mutex> lock(g_mutex);
  return g_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] { return g_running == 0; });
}
