#pragma once
#include <cstddef>
#include <string>

#include "base/path.h"

// Where a streamed body goes: written piece by piece as it arrives.
class TStream {
 public:
  virtual ~TStream() = default;
  virtual void Write(const char* data, size_t size) = 0;
};

// A file created for writing, replacing a file of that name. The constructor
// throws EFileError when the file cannot be created; Write throws when it cannot write.
class TFileStream : public TStream {
 public:
  explicit TFileStream(const TPath& path);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  void Write(const char* data, size_t size) override;
  void Close();  // idempotent; throws EFileError when the final flush fails

 private:
  TPath path_;
  int fd_ = -1;
};

// A body kept in memory.
class TStringStream : public TStream {
 public:
  void Write(const char* data, size_t size) override { data_.append(data, size); }
  const std::string& Data() const { return data_; }

 private:
  std::string data_;
};
