#include "datadir.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "appdir.h"
#include "bytes.h"
#include "errors.h"
#include "files.h"
#include "gbk.h"
#include "ini.h"

namespace datadir {
namespace {

std::mutex g_mutex;
TPath g_root;

const char kFileUrl[] = "file://";
constexpr size_t kMaxSettingBytes = 2047;  // what the settings reader keeps of a value

bool StartsWithFileUrl(const std::string& value) { return value.rfind(kFileUrl, 0) == 0; }

bool Unreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~' || c == '/';
}

void AppendAddressEscaped(std::string& out, const std::string& gbk) {
  // None of these bytes occurs as the second byte of a GBK character. A quote would end
  // the href that holds the target.
  for (char c : gbk) {
    if (c == '%' || c == '#' || c == '?' || c == '"')
      AppendPercentEscape(out, static_cast<unsigned char>(c));
    else
      out += c;
  }
}

}  // namespace

TPath Root() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_root.Empty()) return g_root;
  }
  return DefaultRoot();
}

void SetRoot(const TPath& root) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_root = root;
}

TPath SettingsFile() { return SettingsDirectory() + "/savefile.ini"; }

namespace {

// The user's documents folder as the desktop names it, else ~/Documents.
TPath DocumentsDirectory() {
  const TPath home = HomeDirectory();
  // user-dirs.dirs holds lines such as XDG_DOCUMENTS_DIR="$HOME/文档".
  const std::string prefix = "XDG_DOCUMENTS_DIR=\"";
  std::vector<std::string> lines;
  try {
    lines = ReadTextLines(UserConfigDirectory() + "/user-dirs.dirs");
  } catch (const EFileError&) {
  }
  for (const std::string& line : lines) {
    if (line.rfind(prefix, 0) != 0) continue;
    std::string value = line.substr(prefix.size());
    value = value.substr(0, value.find('"'));
    if (value.rfind("$HOME/", 0) == 0 && value.size() > 6) return home.Entry(value.substr(6));
    if (!value.empty() && value[0] == '/') return TPath::FromSystem(value);
  }
  return home.Entry("Documents");
}

}  // namespace

TPath DefaultRoot() {
  return ProgramDirectoryWritable() ? ProgramDirectory() : DocumentsDirectory().Entry("Varnolt");
}

TPath RootFromSettings() {
  const TPath file = SettingsFile();
  TPath root;
  if (FileExists(file)) root = RootFromSettingValue(IniReadString(file, "savefile", "savepath", ""));
  return root.Empty() ? DefaultRoot() : root;
}

TPath LoadRootAtStart() {
  TPath root = RootFromSettings();
  // The folder in the user's documents is the program's own choice: it exists from the
  // start, as the program directory does for a program that keeps its data there.
  if (root == DefaultRoot()) ForceDirectories(root);
  SetRoot(root);
  return root;
}

void WriteRootSetting(const TPath& root) {
  // Other settings of the file (the download dialog's) stay.
  IniWriteString(SettingsFile(), "savefile", "savepath", SettingValue(root));
}

std::string SettingValue(const TPath& root) {
  std::string gbk;
  // A line break would end the settings line inside the name: such a root goes as a URL.
  if (Utf8ToGbkExact(root.Bytes(), gbk) && !StartsWithFileUrl(gbk) && TrimBytes(gbk) == gbk &&
      gbk.size() <= kMaxSettingBytes && gbk.find_first_of("\r\n") == std::string::npos)
    return gbk;
  std::string url = kFileUrl;
  for (char c : root.Bytes()) {
    if (Unreserved(static_cast<unsigned char>(c)))
      url += c;
    else
      AppendPercentEscape(url, static_cast<unsigned char>(c));
  }
  return url;
}

TPath RootFromSettingValue(const std::string& value) {
  if (StartsWithFileUrl(value)) return TPath::FromSystem(PercentDecoded(value.substr(sizeof kFileUrl - 1)));
  return TPath::FromText(value);
}

TPath FolderPath(const TPath& root, Folder folder) {
  TPath data = root + (root.EndsWithSeparator() ? "data" : "/data");
  switch (folder) {
    case Folder::Data: return data;
    case Folder::Query: return data + "/query";
    case Folder::Pdf: return data + "/pdf";
    case Folder::Temp: return data + "/temp";
  }
  return data;
}

TPath IndexPagePath(const TPath& root) { return FolderPath(root, Folder::Data) + "/index.html"; }

TPath EnsureFolder(const TPath& root, Folder folder) {
  const TPath data = FolderPath(root, Folder::Data);
  if (!DirectoryExists(data)) CreateDir(data);
  const TPath path = FolderPath(root, folder);
  if (!DirectoryExists(path)) CreateDir(path);
  RemoveStaleTemporaryFiles(path);
  return path;
}

std::string LinkTarget(const TPath& path) {
  // The system reads "//x" as "/x"; a page's link would take x for a network host.
  std::string bytes = path.Bytes();
  while (bytes.size() > 1 && bytes[0] == '/' && bytes[1] == '/') bytes.erase(0, 1);
  std::string out, gbk;
  if (Utf8ToGbkExact(bytes, gbk)) {
    AppendAddressEscaped(out, gbk);
    return out;
  }
  // Character by character: a browser turns a percent escape in a file address back into
  // that byte of the name.
  size_t i = 0;
  while (i < bytes.size()) {
    size_t n = Utf8SequenceAt(bytes.data() + i, bytes.size() - i);
    if (n > 0 && Utf8ToGbkExact(bytes.substr(i, n), gbk)) {
      AppendAddressEscaped(out, gbk);
    } else {
      n = std::max<size_t>(n, 1);
      for (size_t k = i; k < i + n; ++k) AppendPercentEscape(out, static_cast<unsigned char>(bytes[k]));
    }
    i += n;
  }
  return out;
}

std::string StylesheetLine(const TPath& programDir) {
  return "<link rel=\"stylesheet\" type=\"text/css\" href=\"" + LinkTarget(programDir + "/main.css") + "\" />";
}

}  // namespace datadir
