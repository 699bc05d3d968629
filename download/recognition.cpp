#include "download/recognition.h"

#include <dlfcn.h>

#include <mutex>

#include "base/appdir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "download/downerrors.h"
#include "download/downtexts.h"

namespace {

using namespace ocrtext;

struct TModule {
  TNewRecogniser create = nullptr;
  std::string failure;  // why it did not load (the loader's words)
};

const TModule& Module() {
  static const TModule module = [] {
    TModule m;
    const TPath file = ProgramDirectory() + ("/" + std::string(kRecognitionModule));
    // Never closed: tesseract's OpenMP runtime keeps threads that outlive a run.
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = dlerror();
      m.failure = why ? why : "cannot load";
      return m;
    }
    m.create = reinterpret_cast<TNewRecogniser>(dlsym(handle, kNewRecogniserSymbol));
    if (!m.create) m.failure = "no entry";
    return m;
  }();
  return module;
}

// A new engine, or the reason (GBK) why none.
std::unique_ptr<TPageRecogniser> NewRecogniser(const TRecognitionSettings& settings, std::string& reason) {
  const TModule& module = Module();
  if (!module.create) {
    reason = kNoLibrary;
    return nullptr;
  }
  std::vector<std::string> missing;
  std::string error;
  std::unique_ptr<TPageRecogniser> recogniser(module.create(settings, missing, error));
  if (recogniser) return recogniser;
  if (!missing.empty()) {
    std::string names;
    for (const std::string& m : missing) names += (names.empty() ? "" : " ") + m;
    reason = kNoModelA + names + kNoModelB;
  } else {
    reason = kToolBroken;
  }
  return nullptr;
}

}  // namespace

std::string RecognitionUnavailableReason(const TRecognitionSettings& settings) {
  std::string reason;
  NewRecogniser(settings, reason);
  return reason;
}

TRecognitionEngine::TRecognitionEngine(const TRecognitionSettings& settings) {
  std::string reason;
  recogniser_ = NewRecogniser(settings, reason);
  if (!recogniser_) throw EOcrError(reason);
}

TRecognitionEngine::TRecognitionEngine(std::unique_ptr<TPageRecogniser> recogniser)
    : recogniser_(std::move(recogniser)) {}

TRecognitionEngine::~TRecognitionEngine() = default;

TRecognisedPage TRecognitionEngine::Recognise(const std::string& tiff, TPageKind kind) {
  TRecognisedPage page;
  std::string error;
  if (!recogniser_->Recognise(tiff, kind, page, error)) throw EOcrError(kRecognitionFailed + error);
  return page;
}

std::string TRecognitionEngine::LayerFont() const {
  try {
    return ReadFileBytes(TPath::FromSystem(recogniser_->DataPath() + "pdf.ttf"));
  } catch (const EFileError&) {
    return {};
  }
}
