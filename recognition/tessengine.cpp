// The recognition module: tesseract's library behind TPageRecogniser (recognition/tessmodule.h).
// It is built as a module of its own and links nothing of the program.
#include <dlfcn.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <type_traits>

#include "recognition/tessmodule.h"

namespace {

struct PixDeleter {
  void operator()(Pix* p) const { pixDestroy(&p); }
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

// Fewer black pixels than this on a page are dust, not text (a character at 300 dpi has
// hundreds).
constexpr l_int32 kBlankInk = 100;

// tesseract's network runs its matrix work in OpenMP teams of its own: beside an engine on
// every core they cost about three times the CPU a page. The calling thread's teams are
// kept to one thread; the OpenMP runtime is the one tesseract loaded, if it has one.
void NoTeamsOnThisThread() {
  static void* const runtime = dlopen("libgomp.so.1", RTLD_LAZY | RTLD_NOLOAD);
  using SetLevels = void (*)(int);
  static const auto set =
      runtime ? reinterpret_cast<SetLevels>(dlsym(runtime, "omp_set_max_active_levels")) : nullptr;
  if (set) set(0);
}

// A line as one engine read it, in the pixels of the image it was given.
struct TReadLine {
  TRecognisedLine line;
  float confidence = 0;
  double x1 = 0, y1 = 0, slope = 0;  // the baseline: through (x1, y1)
};

// A box from its edges, offset by (dx, dy).
TPageBox BoxOf(int left, int top, int right, int bottom, int dx, int dy) {
  return {left + dx, top + dy, right - left, bottom - top};
}

// The lines an engine found in the image it was last given, offset by (dx, dy).
std::vector<TReadLine> ReadLines(tesseract::TessBaseAPI& api, int dx, int dy) {
  std::vector<TReadLine> lines;
  std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
  if (!it) return lines;
  bool lineOpen = false;
  do {
    if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) lineOpen = false;
    if (it->Empty(tesseract::RIL_WORD)) continue;
    if (!lineOpen) {
      TReadLine read;
      TRecognisedLine& line = read.line;
      int l = 0, t = 0, r = 0, b = 0;
      it->BoundingBox(tesseract::RIL_TEXTLINE, &l, &t, &r, &b);
      line.box = BoxOf(l, t, r, b, dx, dy);
      int x1, y1, x2, y2;
      if (it->Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2) && x2 != x1) {
        read.x1 = x1 + dx;
        read.y1 = y1 + dy;
        read.slope = double(y2 - y1) / (x2 - x1);
      } else {
        read.x1 = l + dx;
        read.y1 = b + dy;
      }
      read.confidence = it->Confidence(tesseract::RIL_TEXTLINE);
      lines.push_back(std::move(read));
      lineOpen = true;
    }
    std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
    int l, t, r, b;
    if (!text || !text[0] || !it->BoundingBox(tesseract::RIL_WORD, &l, &t, &r, &b)) continue;
    const int confidence = int(std::lround(std::clamp(it->Confidence(tesseract::RIL_WORD), 0.0f, 100.0f)));
    TRecognisedLine& line = lines.back().line;
    line.words.push_back({text.get(), BoxOf(l, t, r, b, dx, dy), confidence});
    // The line's box holds its words: the engine's line box can fall short of them.
    const TPageBox& w = line.words.back().box;
    const int left = std::min(line.box.left, w.left), top = std::min(line.box.top, w.top);
    const int right = std::max(line.box.left + line.box.width, w.left + w.width);
    const int bottom = std::max(line.box.top + line.box.height, w.top + w.height);
    line.box = {left, top, right - left, bottom - top};
  } while (it->Next(tesseract::RIL_WORD));
  std::erase_if(lines, [](const TReadLine& read) { return read.line.words.empty(); });
  for (TReadLine& read : lines) {
    TRecognisedLine& line = read.line;
    line.baselineLeft = int(std::lround(read.y1 + read.slope * (line.box.left - read.x1)));
    line.baselineRight = int(std::lround(read.y1 + read.slope * (line.box.left + line.box.width - read.x1)));
  }
  return lines;
}

class TTessRecogniser : public TPageRecogniser {
 public:
  explicit TTessRecogniser(const TRecognitionSettings& settings) : settings_(settings) {}
  ~TTessRecogniser() override {
    primary_.End();
    fallback_.End();
  }

  // The models that do not load; none when all did.
  std::vector<std::string> Init() {
    std::vector<std::string> missing;
    if (!Load(primary_, settings_.language)) missing.push_back(settings_.language);
    if (!settings_.fallback.empty() && !Load(fallback_, settings_.fallback)) missing.push_back(settings_.fallback);
    return missing;
  }

  std::string DataPath() const override {
    std::string path = const_cast<tesseract::TessBaseAPI&>(primary_).GetDatapath();
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
  }

  bool Recognise(const std::string& tiff, TPageKind kind, TRecognisedPage& page, std::string& error) override {
    page = TRecognisedPage();
    PixPtr pix(pixReadMemTiff(reinterpret_cast<const l_uint8*>(tiff.data()), tiff.size(), 0));
    if (!pix) {
      error = "the page image does not read";
      return false;
    }
    page.width = int(pixGetWidth(pix.get()));
    page.height = int(pixGetHeight(pix.get()));
    const bool bilevel = pixGetDepth(pix.get()) == 1;
    if (bilevel) {
      l_int32 ink = 0;
      if (pixCountPixels(pix.get(), &ink, nullptr) == 0 && ink < kBlankInk) return true;
    }
    const int dpi = pixGetXRes(pix.get());
    double scale = 1;
    PixPtr reduced;
    if (settings_.dpi > 0 && dpi > settings_.dpi) {
      scale = double(settings_.dpi) / dpi;
      // Bilevel pages go in as grey: strokes thinned by a reduction to black and white
      // lose the characters (recall falls below half).
      if (bilevel && std::abs(scale - 0.5) < 1e-6)
        reduced.reset(pixScaleToGray2(pix.get()));
      else if (bilevel)
        reduced.reset(pixScaleToGray(pix.get(), float(scale)));
      else
        reduced.reset(pixScale(pix.get(), float(scale), float(scale)));
      if (!reduced) {
        error = "the page image does not scale";
        return false;
      }
    }
    Pix* input = reduced ? reduced.get() : pix.get();
    const int inputDpi = dpi > 0 ? int(std::lround(dpi * scale)) : 300;
    NoTeamsOnThisThread();
    primary_.SetPageSegMode(tesseract::PageSegMode(kind == TPageKind::Drawings ? settings_.drawingsSegmentation
                                                                               : settings_.pageSegmentation));
    primary_.SetImage(input);
    primary_.SetSourceResolution(inputDpi);
    if (primary_.Recognize(nullptr) != 0) {
      primary_.Clear();
      error = "the page was not recognised";
      return false;
    }
    std::vector<TReadLine> lines = ReadLines(primary_, 0, 0);
    primary_.Clear();
    if (!settings_.fallback.empty())
      for (TReadLine& read : lines)
        if (read.confidence < settings_.fallbackBelow) ReadAgain(input, inputDpi, read);
    // Boxes back in the pixels of the image as given.
    auto full = [scale](int v) { return int(std::lround(v / scale)); };
    auto fullBox = [&](const TPageBox& b) {
      const int left = full(b.left), top = full(b.top);
      return TPageBox{left, top, full(b.left + b.width) - left, full(b.top + b.height) - top};
    };
    for (TReadLine& read : lines) {
      TRecognisedLine& line = read.line;
      line.box = fullBox(line.box);
      line.baselineLeft = full(line.baselineLeft);
      line.baselineRight = full(line.baselineRight);
      for (TRecognisedWord& word : line.words) word.box = fullBox(word.box);
      page.lines.push_back(std::move(line));
    }
    return true;
  }

 private:
  bool Load(tesseract::TessBaseAPI& api, const std::string& language) {
    std::vector<std::string> names = {"tessedit_do_invert", "debug_file"};
    std::vector<std::string> values = {settings_.invertedRetry ? "1" : "0", "/dev/null"};
    return api.Init(nullptr, language.c_str(), tesseract::OEM_LSTM_ONLY, nullptr, 0, &names, &values, false) == 0;
  }

  // Reads a doubtful line again with the fallback model, and keeps that reading when the
  // model is surer of it.
  void ReadAgain(Pix* input, int dpi, TReadLine& read) {
    const TPageBox& b = read.line.box;
    // A margin around the line: the engine finds a line's ink better with white about it.
    const int pad = std::max(2, b.height / 4);
    const int left = std::max(0, b.left - pad), top = std::max(0, b.top - pad);
    const int right = std::min(int(pixGetWidth(input)), b.left + b.width + pad);
    const int bottom = std::min(int(pixGetHeight(input)), b.top + b.height + pad);
    if (right <= left || bottom <= top) return;
    Box* box = boxCreate(left, top, right - left, bottom - top);
    PixPtr clip(pixClipRectangle(input, box, nullptr));
    boxDestroy(&box);
    if (!clip) return;
    fallback_.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    fallback_.SetImage(clip.get());
    fallback_.SetSourceResolution(dpi);
    if (fallback_.Recognize(nullptr) == 0) {
      std::vector<TReadLine> again = ReadLines(fallback_, left, top);
      if (again.size() == 1 && again[0].confidence > read.confidence) read = std::move(again[0]);
    }
    fallback_.Clear();
  }

  TRecognitionSettings settings_;
  tesseract::TessBaseAPI primary_;
  tesseract::TessBaseAPI fallback_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) TPageRecogniser* VarnoltNewRecogniser(
    const TRecognitionSettings& settings, std::vector<std::string>& missing, std::string& error);
static_assert(std::is_same_v<decltype(&VarnoltNewRecogniser), TNewRecogniser>);

TPageRecogniser* VarnoltNewRecogniser(const TRecognitionSettings& settings, std::vector<std::string>& missing,
                                      std::string& error) {
  // Leptonica's complaints about a bad image reach the caller as the error instead.
  setMsgSeverity(L_SEVERITY_NONE);
  auto recogniser = std::make_unique<TTessRecogniser>(settings);
  missing = recogniser->Init();
  if (missing.empty()) return recogniser.release();
  error = "the models do not load";
  return nullptr;
}
