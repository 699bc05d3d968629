// The recognition module: tesseract's library behind TPageRecogniser (download/tessmodule.h).
// It is built as a module of its own and links nothing of the program.
#include <dlfcn.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <cmath>
#include <memory>
#include <type_traits>

#include "download/tessmodule.h"

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

class TTessRecogniser : public TPageRecogniser {
 public:
  explicit TTessRecogniser(const TRecognitionSettings& settings) : settings_(settings) {}
  ~TTessRecogniser() override { api_.End(); }

  // False when the models do not load.
  bool Init() {
    std::vector<std::string> names = {"tessedit_do_invert", "debug_file"};
    std::vector<std::string> values = {settings_.invertedRetry ? "1" : "0", "/dev/null"};
    return api_.Init(nullptr, settings_.languages.c_str(), tesseract::OEM_LSTM_ONLY, nullptr, 0, &names, &values,
                     false) == 0;
  }

  std::string DataPath() const override {
    std::string path = const_cast<tesseract::TessBaseAPI&>(api_).GetDatapath();
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
    NoTeamsOnThisThread();
    api_.SetPageSegMode(tesseract::PageSegMode(kind == TPageKind::Drawings ? settings_.drawingsSegmentation
                                                                           : settings_.pageSegmentation));
    api_.SetImage(reduced ? reduced.get() : pix.get());
    api_.SetSourceResolution(dpi > 0 ? int(std::lround(dpi * scale)) : 300);
    if (api_.Recognize(nullptr) != 0) {
      api_.Clear();
      error = "the page was not recognised";
      return false;
    }
    Collect(scale, page);
    api_.Clear();
    return true;
  }

 private:
  // The lines and words of the recognised page, in the pixels of the image as given.
  void Collect(double scale, TRecognisedPage& page) {
    auto full = [scale](double v) { return int(std::lround(v / scale)); };
    std::unique_ptr<tesseract::ResultIterator> it(api_.GetIterator());
    if (!it) return;
    bool lineOpen = false;
    do {
      if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) lineOpen = false;
      if (it->Empty(tesseract::RIL_WORD)) continue;
      if (!lineOpen) {
        TRecognisedLine line;
        int l = 0, t = 0, r = 0, b = 0;
        it->BoundingBox(tesseract::RIL_TEXTLINE, &l, &t, &r, &b);
        line.box = {full(l), full(t), full(r), full(b)};
        int x1, y1, x2, y2;
        if (it->Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2) && x2 != x1) {
          const double slope = double(y2 - y1) / (x2 - x1);
          line.baselineLeft = full(y1 + slope * (l - x1));
          line.baselineRight = full(y1 + slope * (r - x1));
        } else {
          line.baselineLeft = line.baselineRight = line.box.bottom;
        }
        page.lines.push_back(std::move(line));
        lineOpen = true;
      }
      std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
      int l, t, r, b;
      if (!text || !text[0] || !it->BoundingBox(tesseract::RIL_WORD, &l, &t, &r, &b)) continue;
      page.lines.back().words.push_back({text.get(), {full(l), full(t), full(r), full(b)}});
    } while (it->Next(tesseract::RIL_WORD));
    std::erase_if(page.lines, [](const TRecognisedLine& line) { return line.words.empty(); });
  }

  TRecognitionSettings settings_;
  tesseract::TessBaseAPI api_;
};

// The languages of a "+" list whose models do not load on their own.
std::vector<std::string> MissingModels(const std::string& languages) {
  std::vector<std::string> missing;
  for (size_t start = 0; start <= languages.size();) {
    size_t end = languages.find('+', start);
    if (end == std::string::npos) end = languages.size();
    const std::string language = languages.substr(start, end - start);
    tesseract::TessBaseAPI probe;
    if (!language.empty() && probe.Init(nullptr, language.c_str(), tesseract::OEM_LSTM_ONLY) != 0)
      missing.push_back(language);
    probe.End();
    start = end + 1;
  }
  return missing;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) TPageRecogniser* VarnoltNewRecogniser(
    const TRecognitionSettings& settings, std::vector<std::string>& missing, std::string& error);
static_assert(std::is_same_v<decltype(&VarnoltNewRecogniser), TNewRecogniser>);

TPageRecogniser* VarnoltNewRecogniser(
    const TRecognitionSettings& settings, std::vector<std::string>& missing, std::string& error) {
  // Leptonica's complaints about a bad image reach the caller as the error instead.
  setMsgSeverity(L_SEVERITY_NONE);
  auto recogniser = std::make_unique<TTessRecogniser>(settings);
  if (recogniser->Init()) return recogniser.release();
  missing = MissingModels(settings.languages);
  if (missing.empty()) error = "the models of " + settings.languages + " do not load";
  return nullptr;
}
