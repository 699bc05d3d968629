#pragma once
// The text layer of a run's PDFs: every page recognised (recognition/recognise.h) by a pool
// of threads as large as the machine has cores, each with an engine of its own, beside
// the downloads, which never wait for it. A record's PDF appears once it holds the text of
// all its pages, or the record fails with the reason.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/pages.h"
#include "recognition/recognise.h"

// The OCR of one download run. Its threads run until it is destroyed; the destructor
// waits for the work handed to it.
class TOcrRun {
 public:
  // One line of progress of a record (GBK).
  using Report = std::function<void(const std::string& number, const std::string& line)>;
  // The end of a record: "" when its PDF is in place with its text, else why not (GBK).
  using Done = std::function<void(const std::string& error)>;
  // An engine for a thread of the pool, made on that thread when it starts.
  using Engines = std::function<std::unique_ptr<TRecognitionEngine>()>;

  // first: an engine already loaded (the one that showed recognition can run), for the
  // first thread; threads 0: one per core; engines: how the other threads get theirs
  // (default: the program's engine).
  TOcrRun(std::unique_ptr<TRecognitionEngine> first, Report report, int threads = 0, Engines engines = {});
  ~TOcrRun();
  TOcrRun(const TOcrRun&) = delete;
  TOcrRun& operator=(const TOcrRun&) = delete;

  // The finish of one record: each fetched page is read and queued for recognition at
  // once; when the converted PDF has come and every page is recognised, the PDF is
  // finished with the text layer and put in place, and done is called (on whichever
  // thread came last). A finish destroyed before Converted gives the record up: its
  // queued pages are passed over and done is never called. `record` is copied.
  std::unique_ptr<TRecordFinish> Record(const TRecordPages& record, Done done);

  // Pages handed over so far, and pages recognised (or passed over) of them.
  struct TCounts {
    int fetched = 0;
    int recognised = 0;
  };
  TCounts Counts();

  // Blocks until every record handed over has been finished or given up.
  void WaitAll();

 private:
  struct TRecordState;
  struct TTask {
    std::shared_ptr<TRecordState> record;
    int page = 0;
    std::string image;  // the page file's bytes
  };
  class TFinish;
  void Work(std::unique_ptr<TRecognitionEngine> engine);
  void PageDone(const std::shared_ptr<TRecordState>& record);
  void Complete(const std::shared_ptr<TRecordState>& record);

  Report report_;
  Engines engines_;
  std::string layerFont_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<TTask> queue_;
  int open_ = 0;  // records handed over and not yet finished or given up
  TCounts counts_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};
