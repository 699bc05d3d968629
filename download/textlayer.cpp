#include "download/textlayer.h"

#include <algorithm>

#include "base/errors.h"
#include "base/files.h"
#include "download/downerrors.h"
#include "download/downtexts.h"

namespace {

using namespace ocrtext;

}  // namespace

struct TOcrRun::TRecordState {
  TRecordPages record;
  Done done;
  int queued = 0;            // pages handed to the pool and not yet through it
  bool converted = false;    // the converted PDF has come
  bool givenUp = false;      // the download failed before the conversion
  std::unique_ptr<TTemporaryFile> convertedPdf;
  std::string error;         // the first failure; the record's later pages are passed over
  std::vector<TRecognisedPage> pages;
  std::vector<bool> recognised;  // by page
};

class TOcrRun::TFinish : public TRecordFinish {
 public:
  TFinish(TOcrRun& run, std::shared_ptr<TRecordState> state) : run_(run), state_(std::move(state)) {}
  ~TFinish() override {
    if (converted_) return;
    bool ready;
    {
      std::lock_guard<std::mutex> lock(run_.mutex_);
      state_->givenUp = true;
      ready = state_->queued == 0;
    }
    if (ready) run_.Complete(state_);
  }

  void PageFetched(int n, const TPath& file) override {
    // Read now: the next record's page of this number replaces the file.
    std::string image;
    bool read = true;
    try {
      image = ReadFileBytes(file);
    } catch (const EFileError&) {
      read = false;
    }
    std::lock_guard<std::mutex> lock(run_.mutex_);
    if (!read) {
      if (state_->error.empty()) state_->error = kPageFailedA + std::to_string(n) + kPageFailedB + kPageUnreadable;
      return;
    }
    ++state_->queued;
    ++run_.counts_.fetched;
    run_.queue_.push_back({state_, n, std::move(image)});
    run_.wake_.notify_one();
  }

  void Converted(std::unique_ptr<TTemporaryFile> converted) override {
    converted_ = true;
    bool ready;
    {
      std::lock_guard<std::mutex> lock(run_.mutex_);
      state_->converted = true;
      state_->convertedPdf = std::move(converted);
      ready = state_->queued == 0;
    }
    if (ready) run_.Complete(state_);
  }

 private:
  TOcrRun& run_;
  std::shared_ptr<TRecordState> state_;
  bool converted_ = false;
};

TOcrRun::TOcrRun(std::unique_ptr<TRecognitionEngine> first, Report report, int threads, Engines engines)
    : report_(std::move(report)), engines_(std::move(engines)), layerFont_(first->LayerFont()) {
  if (!engines_) engines_ = [] { return std::make_unique<TRecognitionEngine>(); };
  // One engine a core: a third one on two cores recognises fewer pages a minute, and
  // tesseract's own threads cost about three times the CPU a page.
  if (threads <= 0) threads = int(std::max(1u, std::thread::hardware_concurrency()));
  threads_.emplace_back([this, engine = std::move(first)]() mutable { Work(std::move(engine)); });
  for (int i = 1; i < threads; ++i) threads_.emplace_back([this] { Work(nullptr); });
}

TOcrRun::~TOcrRun() {
  WaitAll();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
  }
  for (std::thread& t : threads_) t.join();
}

std::unique_ptr<TRecordFinish> TOcrRun::Record(const TRecordPages& record, Done done) {
  auto state = std::make_shared<TRecordState>();
  state->record = record;
  state->done = std::move(done);
  state->pages.resize(size_t(std::max(0, record.pageCount)));
  state->recognised.resize(state->pages.size());
  std::lock_guard<std::mutex> lock(mutex_);
  ++open_;
  return std::make_unique<TFinish>(*this, state);
}

TOcrRun::TCounts TOcrRun::Counts() {
  std::lock_guard<std::mutex> lock(mutex_);
  return counts_;
}

void TOcrRun::WaitAll() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return open_ == 0; });
}

void TOcrRun::Work(std::unique_ptr<TRecognitionEngine> engine) {
  // The models load on the thread that uses them, beside the other threads' loading.
  std::string engineFailure;
  if (!engine) {
    try {
      engine = engines_();
    } catch (const EOcrError& e) {
      // The first engine loaded: this one's failure is the system's, said with the pages.
      engineFailure = e.Message();
    }
  }
  for (;;) {
    TTask task;
    TCounts counts;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      task = std::move(queue_.front());
      queue_.pop_front();
      if (task.record->givenUp || !task.record->error.empty()) {
        ++counts_.recognised;
        lock.unlock();
        PageDone(task.record);
        continue;
      }
    }
    TRecordState& r = *task.record;
    const size_t at = size_t(task.page) - 1;
    const TPageKind kind = at < r.record.pageKinds.size() ? r.record.pageKinds[at] : TPageKind::Text;
    TRecognisedPage page;
    std::string error = engineFailure;
    if (error.empty()) {
      try {
        page = engine->Recognise(task.image, kind);
      } catch (const EOcrError& e) {
        error = e.Message();
      }
    }
    if (!error.empty()) error = kPageFailedA + std::to_string(task.page) + kPageFailedB + error;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++counts_.recognised;
      counts = counts_;
      if (!error.empty() && r.error.empty()) r.error = error;
      if (error.empty() && task.page >= 1 && at < r.pages.size()) {
        r.pages[at] = std::move(page);
        r.recognised[at] = true;
      }
    }
    if (error.empty())
      report_(r.record.number, kPageDoneA + r.record.number + kPageDoneB + std::to_string(task.page) + kPageDoneC +
                                   std::to_string(r.record.pageCount) + kPageDoneD + std::to_string(counts.recognised) +
                                   kPageDoneE + std::to_string(counts.fetched) + kPageDoneF);
    PageDone(task.record);
  }
}

void TOcrRun::PageDone(const std::shared_ptr<TRecordState>& record) {
  bool ready;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready = --record->queued == 0 && (record->converted || record->givenUp);
  }
  if (ready) Complete(record);
}

void TOcrRun::Complete(const std::shared_ptr<TRecordState>& record) {
  TRecordState& r = *record;
  // Every page has been through the pool and nothing touches the state any more.
  if (!r.givenUp) {
    std::string error = r.error;
    if (error.empty()) {
      try {
        if (std::find(r.recognised.begin(), r.recognised.end(), false) != r.recognised.end())
          throw EConversionError("A page was not recognised");
        TTemporaryFile finished(r.record.pdf.Parent());
        FinishPdf(r.convertedPdf->Path(), finished.Path(), r.record.info, r.record.outline, r.pages, layerFont_);
        if (!finished.MoveTo(r.record.pdf)) throw EConversionError("The PDF could not be put in its place");
      } catch (const EMessageException& e) {
        error = kLayerFailed + e.Message();
      }
    }
    r.convertedPdf.reset();
    r.pages.clear();
    if (error.empty()) report_(r.record.number, kLayerDoneA + r.record.number + kLayerDoneB);
    r.done(error);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  --open_;
  idle_.notify_all();
}
