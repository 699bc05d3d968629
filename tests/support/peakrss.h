#pragma once
// The process's peak resident memory (VmHWM), and resetting it so that the peak of one
// stretch of work can be read on its own.
#include <fstream>
#include <string>

// Starts a new peak at the current resident size; false when the kernel refuses.
inline bool ResetPeakRss() {
  std::ofstream out("/proc/self/clear_refs");
  out << "5";
  out.flush();
  return static_cast<bool>(out);
}

// Peak resident size in KiB since the start or the last reset; -1 when unreadable.
inline long PeakRssKb() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, 6, "VmHWM:") == 0) return std::stol(line.substr(6));
  return -1;
}

// Current resident size in KiB; -1 when unreadable.
inline long CurrentRssKb() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, 6, "VmRSS:") == 0) return std::stol(line.substr(6));
  return -1;
}
