#pragma once
// Records for the library's tests, reading a library back with plain SQL, and reading an
// export back with Python.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/files.h"
#include "library/library.h"
#include "library/sqlite.h"
#include "tests/support/tempdir.h"

// A record of an invention with two publications, dated, named and classed.
inline TPatentRecord SampleRecord(const std::string& application, const std::string& title) {
  TPatentRecord r;
  r.application = application;
  r.applicationOriginal = "CN" + application + ".X";
  r.title = title;
  r.patentType = "发明";
  r.source = "ops";
  r.applicationDate = application.substr(0, 4) + "0301";
  r.publications = {{"CN1" + application.substr(6) + "A", "2009-01-07"}, {"CN1" + application.substr(6) + "B", ""}};
  r.applicants = {"华为技术有限公司"};
  r.inventors = {"王芳", "李强"};
  r.ipc = {"H01M2/16", "H01M10/05"};
  r.legalStatus = "有效：授权 2011-05-04";
  return r;
}

// The first column of the first row of a query.
inline std::string Scalar(TLibrary& library, const std::string& sql) {
  TStatement q(library.Db(), sql);
  if (!q.Step()) return "";
  std::string v = q.Text(0);
  q.Reset();
  return v;
}

inline long Count(TLibrary& library, const std::string& table) {
  return std::stol(Scalar(library, "SELECT count(*) FROM " + table));
}

// Runs a Python script with Debian's python3 and returns what it prints.
inline std::string Python(const TempDir& dir, const std::string& script) {
  WriteFileBytes(dir.File("read.py"), script);
  const std::string command = "/usr/bin/python3 " + dir.File("read.py").Bytes();
  FILE* p = ::popen(command.c_str(), "r");
  std::string out;
  char buf[4096];
  for (size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  if (p) {
    EXPECT_EQ(::pclose(p), 0) << out;
  }
  return out;
}
