#include "download/textlayer.h"

#include <algorithm>

#include "base/errors.h"
#include "base/files.h"
#include "download/downerrors.h"
#include "download/downtexts.h"
#include "recognition/recognise.h"

namespace {

using namespace ocrtext;

// Removes a folder the run made, with what killed runs left in it.
void RemoveTree(const TPath& dir, int depth = 0) {
  for (const DirEntry& e : ListDirectory(dir)) {
    if (e.isDirectory && depth < 2)
      RemoveTree(dir.Entry(e.name), depth + 1);
    else
      DeleteFileAt(dir.Entry(e.name));
  }
  RemoveDir(dir);
}

}  // namespace

struct TOcrRun::TRecordState {
  TRecordPages record;
  Done done;
  TPath dir;                 // the record's work folder, ends with "/"
  int queued = 0;            // pages handed to the pool and not yet through it
  bool converted = false;    // the converted PDF has come
  bool givenUp = false;      // the download failed before the conversion
  std::unique_ptr<TTemporaryFile> convertedPdf;
  std::string error;         // the first failure; the record's later pages are passed over
  std::vector<TPath> layers; // by page
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
    // The next record's page of this number replaces the file: the pool works on a copy.
    const TPath copy = state_->dir + PageFileName(n);
    bool copied = true;
    try {
      WriteFileBytes(copy, ReadFileBytes(file));
    } catch (const EFileError&) {
      copied = false;
    }
    std::lock_guard<std::mutex> lock(run_.mutex_);
    if (!copied) {
      if (state_->error.empty()) state_->error = kPageFailedA + std::to_string(n) + kPageFailedB + kCopyFailed;
      return;
    }
    ++state_->queued;
    run_.queue_.push_back({state_, n});
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

TOcrRun::TOcrRun(const TPath& workRoot, Report report, int threads) : workRoot_(workRoot), report_(std::move(report)) {
  RemoveTree(workRoot_);
  CreateDir(workRoot_);
  if (threads <= 0) threads = int(std::max(1u, std::thread::hardware_concurrency()));
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

TOcrRun::~TOcrRun() {
  WaitAll();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
  }
  for (std::thread& t : threads_) t.join();
  RemoveTree(workRoot_);
}

std::unique_ptr<TRecordFinish> TOcrRun::Record(const TRecordPages& record, Done done) {
  auto state = std::make_shared<TRecordState>();
  state->record = record;
  state->done = std::move(done);
  state->layers.resize(size_t(std::max(0, record.pageCount)));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state->dir = workRoot_ + ("/" + std::to_string(++nextFolder_) + "/");
    ++open_;
  }
  CreateDir(state->dir);
  return std::make_unique<TFinish>(*this, state);
}

void TOcrRun::WaitAll() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return open_ == 0; });
}

void TOcrRun::Work() {
  for (;;) {
    TTask task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      task = queue_.front();
      queue_.pop_front();
      if (task.record->givenUp || !task.record->error.empty()) {
        lock.unlock();
        PageDone(task.record);
        continue;
      }
    }
    TRecordState& r = *task.record;
    const TPath outBase = r.dir + ("text" + std::to_string(task.page));
    std::string error;
    try {
      RecognisePageLayer(r.dir + PageFileName(task.page), outBase);
    } catch (const EOcrError& e) {
      error = kPageFailedA + std::to_string(task.page) + kPageFailedB + e.Message();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!error.empty() && r.error.empty()) r.error = error;
      if (error.empty() && task.page >= 1 && size_t(task.page) <= r.layers.size())
        r.layers[size_t(task.page) - 1] = outBase + ".pdf";
    }
    if (error.empty())
      report_(r.record.number, kPageDoneA + r.record.number + kPageDoneB + std::to_string(task.page) + kPageDoneC +
                                   std::to_string(r.record.pageCount) + kPageDoneD);
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
        for (const TPath& layer : r.layers)
          if (layer.Empty()) throw EConversionError("A page was not recognised");
        TTemporaryFile finished(r.record.pdf.Parent());
        FinishPdf(r.convertedPdf->Path(), finished.Path(), r.record.info, r.record.outline, r.layers);
        if (!finished.MoveTo(r.record.pdf)) throw EConversionError("The PDF could not be put in its place");
      } catch (const EMessageException& e) {
        error = kLayerFailed + e.Message();
      }
    }
    r.convertedPdf.reset();
    if (error.empty()) report_(r.record.number, kLayerDoneA + r.record.number + kLayerDoneB);
    r.done(error);
  }
  RemoveTree(r.dir);
  std::lock_guard<std::mutex> lock(mutex_);
  --open_;
  idle_.notify_all();
}
