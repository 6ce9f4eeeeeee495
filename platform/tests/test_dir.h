// A fresh temporary folder per test, removed afterwards.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/files.h"

namespace flashery::testing {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/flashery-test-XXXXXX";
    const char* made = ::mkdtemp(tmpl);
    path_ = made ? made : "/tmp";
  }
  ~TempDir() {
    if (path_ != "/tmp") RemoveTree(path_);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace flashery::testing
