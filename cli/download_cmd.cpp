// varnolt-cli download [--file PATH] [NUMBER ...]: one download run without a window.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/datadir.h"
#include "base/errors.h"
#include "base/gbk.h"
#include "cli/commands.h"
#include "download/downreport.h"
#include "download/getdown.h"
#include "download/numberlist.h"
#include "shell/shelltexts.h"

namespace {


void Usage(FILE* out) {
  std::fputs(
      "usage: varnolt-cli download [--file PATH] [NUMBER ...]\n"
      "Downloads the full text of patents by application number (6, 8 or 12 digits,\n"
      "without CN and check digit) into PDFs below the data directory of savefile.ini.\n"
      "  --file PATH  take the numbers from a text file, one per line, unchanged\n"
      "Prints the progress lines and, at the end, the path of the download report.\n"
      "Exit codes: 0 done, 1 the run ended early, 2 wrong arguments.\n",
      out);
}

}  // namespace

int RunDownloadCommand(int argc, char** argv) {
  TPath file;
  bool haveFile = false;
  std::vector<std::string> typed;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      Usage(stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--file") == 0) {
      if (i + 1 >= argc) {
        Usage(stderr);
        return 2;
      }
      file = TPath::FromSystem(argv[++i]);
      haveFile = true;
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      Usage(stderr);
      return 2;
    } else {
      typed.push_back(Utf8ToGbk(argv[i]));
    }
  }

  // As in the dialog: a file replaces the list, typed numbers are added to it.
  std::vector<std::string> numbers;
  if (haveFile) {
    try {
      numbers = ImportNumberFile(file);
    } catch (const EBaseException& e) {
      PrintLine(stderr, e.what());
      return 2;
    }
  }
  for (std::string text : typed) {
    std::string error;
    if (!AddTypedNumber(numbers, text, error)) {
      PrintLine(stderr, error);
      return 2;
    }
  }
  if (numbers.empty()) {
    PrintLine(stderr, shelltext::kEmptyNumberList);
    return 2;
  }

  datadir::LoadRootAtStart();
  PrintLine(stdout, shelltext::kRunStartLine);
  DirectHandOver handOver;
  handOver.onProgress = [](const std::string& line) { PrintLine(stdout, line); };
  new getdown(&handOver, NumbersAsText(numbers));
  handOver.WaitForEnd();
  if (handOver.FinishCount() == 0) return 1;
  PrintPath(stdout, DownloadReportPath(datadir::Root()));
  return 0;
}
