#pragma once
// The text layer of a run's PDFs: every page recognised (recognition/recognise.h) in a pool
// as large as the machine has cores, beside the downloads. A record's PDF appears once it
// holds the text of all its pages, or the record fails with the reason.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/path.h"
#include "download/pages.h"

// The OCR of one download run. Its threads run until it is destroyed; the destructor
// waits for the work handed to it.
class TOcrRun {
 public:
  // One line of progress of a record (GBK).
  using Report = std::function<void(const std::string& number, const std::string& line)>;
  // The end of a record: "" when its PDF is in place with its text, else why not (GBK).
  using Done = std::function<void(const std::string& error)>;

  // workRoot: a folder of the run's own (removed with what is left in it, and made
  // afresh); threads 0: one per core.
  TOcrRun(const TPath& workRoot, Report report, int threads = 0);
  ~TOcrRun();
  TOcrRun(const TOcrRun&) = delete;
  TOcrRun& operator=(const TOcrRun&) = delete;

  // The finish of one record: each fetched page is copied and queued for recognition at
  // once; when the converted PDF has come and every page is recognised, the PDF is
  // finished with the text layer and put in place, and done is called (on whichever
  // thread came last). A finish destroyed before Converted gives the record up: its
  // queued pages are passed over and done is never called. `record` is copied.
  std::unique_ptr<TRecordFinish> Record(const TRecordPages& record, Done done);

  // Blocks until every record handed over has been finished or given up.
  void WaitAll();

 private:
  struct TRecordState;
  struct TTask {
    std::shared_ptr<TRecordState> record;
    int page = 0;
  };
  class TFinish;
  void Work();
  void PageDone(const std::shared_ptr<TRecordState>& record);
  void Complete(const std::shared_ptr<TRecordState>& record);

  TPath workRoot_;
  Report report_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<TTask> queue_;
  int open_ = 0;  // records handed over and not yet finished or given up
  int nextFolder_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};
