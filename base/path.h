#pragma once
#include <iosfwd>
#include <string>

// A file-system path as the system's own bytes. What the system gave (the program's
// location, a chosen folder, a directory listing, a command-line argument) stays byte for
// byte what it was, whatever it holds: a name GBK cannot write ("Jörg", "数据✓") or bytes
// that are not UTF-8. Only text-born pieces (an expression, a title, a number, the
// program's fixed names) are converted, from GBK to UTF-8, as they are appended.
class TPath {
 public:
  TPath() = default;
  // Bytes exactly as the system gave them.
  static TPath FromSystem(std::string bytes);
  // A path written as GBK text (typed, or read from a settings file written in GBK).
  static TPath FromText(const std::string& gbk);

  // Appends GBK text converted to the system's encoding; "/" stays "/", so
  // root + "/data/query/" + name works as plain concatenation does on text.
  TPath operator+(const std::string& gbkText) const;
  TPath& operator+=(const std::string& gbkText);
  // The entry `name` (bytes from a directory listing) inside this directory.
  TPath Entry(const std::string& systemName) const;
  // The folder that holds this entry: all before the last "/" ("/" for an entry of the
  // root, "." for a bare name).
  TPath Parent() const;

  const std::string& Bytes() const { return bytes_; }
  const char* c_str() const { return bytes_.c_str(); }
  bool Empty() const { return bytes_.empty(); }
  bool EndsWithSeparator() const { return !bytes_.empty() && bytes_.back() == '/'; }

  // As a file manager shows it: UTF-8, bytes that are not UTF-8 as U+FFFD.
  std::string Shown() const;
  // For a GBK message: Shown() with "?" for what GBK cannot hold.
  std::string ShownText() const;

  friend bool operator==(const TPath& a, const TPath& b) { return a.bytes_ == b.bytes_; }
  friend bool operator<(const TPath& a, const TPath& b) { return a.bytes_ < b.bytes_; }

 private:
  explicit TPath(std::string bytes) : bytes_(std::move(bytes)) {}
  std::string bytes_;
};

std::ostream& operator<<(std::ostream& out, const TPath& path);

// A name or path in system bytes as a file manager shows it (see TPath::Shown).
std::string ShownName(const std::string& systemBytes);

// A name or path in system bytes as text of a GBK page: GBK where GBK holds the
// character, a character reference ("&#128512;") where it does not.
std::string PageTextOf(const std::string& systemBytes);
