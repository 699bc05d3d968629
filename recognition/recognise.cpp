#include "recognition/recognise.h"

#include <dlfcn.h>

#include "base/appdir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "recognition/recognitiontexts.h"
#include "recognition/tessmodule.h"

namespace {

using namespace recognitiontext;

struct TModule {
  TNewRecogniser create = nullptr;
};

// The recognition module beside the program, loaded at the first call. Never closed:
// tesseract's OpenMP runtime keeps threads that outlive a run.
const TModule& Module() {
  static const TModule module = [] {
    TModule m;
    const TPath file = ProgramDirectory() + ("/" + std::string(kRecognitionModule));
    if (void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL))
      m.create = reinterpret_cast<TNewRecogniser>(dlsym(handle, kNewRecogniserSymbol));
    return m;
  }();
  return module;
}

// A new engine, or null with the reason (GBK) why none.
std::unique_ptr<TPageRecogniser> NewRecogniser(const TRecognitionSettings& settings, std::string& reason) {
  const TModule& module = Module();
  // The module loads only with tesseract's library: without it there is no module either.
  if (!module.create) {
    reason = kNoLibrary;
    return nullptr;
  }
  std::vector<std::string> missing;
  std::string error;
  std::unique_ptr<TPageRecogniser> recogniser(module.create(settings, missing, error));
  if (recogniser) return recogniser;
  std::string names;
  for (const std::string& m : missing) names += (names.empty() ? "" : " ") + m;
  reason = names.empty() ? std::string(kToolBroken) : kNoModelA + names + kNoModelB;
  return nullptr;
}

}  // namespace

namespace {

unsigned FirstCodePoint(const std::string& utf8) {
  const size_t n = utf8.empty() ? 0 : Utf8SequenceAt(utf8.data(), utf8.size());
  return n ? Utf8CodePointAt(utf8.data(), n) : 0;
}

unsigned LastCodePoint(const std::string& utf8) {
  size_t at = utf8.size();
  while (at > 0 && (static_cast<unsigned char>(utf8[at - 1]) & 0xC0) == 0x80) --at;
  if (at == 0) return 0;
  --at;
  const size_t n = Utf8SequenceAt(utf8.data() + at, utf8.size() - at);
  return n ? Utf8CodePointAt(utf8.data() + at, n) : 0;
}

}  // namespace

bool WordsJoin(const std::string& left, const std::string& right) {
  return IsCjkCodePoint(LastCodePoint(GbkToUtf8(left))) && IsCjkCodePoint(FirstCodePoint(GbkToUtf8(right)));
}

std::string TRecognisedLine::Text() const {
  std::string text;
  for (size_t i = 0; i < words.size(); ++i)
    text += (i == 0 || WordsJoin(words[i - 1].text, words[i].text) ? "" : " ") + words[i].text;
  return text;
}

std::string TRecognisedPage::Text() const {
  std::string text;
  for (const TRecognisedLine& l : lines) text += l.Text() + "\n";
  return text;
}

std::string OcrUnavailableReason() {
  std::string reason;
  NewRecogniser(TRecognitionSettings(), reason);
  return reason;
}

TRecognitionEngine::TRecognitionEngine() : TRecognitionEngine(TRecognitionSettings()) {}

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
  for (TRecognisedLine& line : page.lines)
    for (TRecognisedWord& word : line.words) word.text = Utf8ToGbkWithReferences(word.text);
  return page;
}

std::string TRecognitionEngine::LayerFont() const {
  try {
    return ReadFileBytes(TPath::FromSystem(recogniser_->DataPath() + "pdf.ttf"));
  } catch (const EFileError&) {
    return {};
  }
}
