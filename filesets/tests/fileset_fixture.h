// Shared pieces of the file-set tests: building folders and reading lists.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"

namespace flashery::testing {

// Writes `bytes` at base/relative, making the folders on the way.
inline void PutFile(const std::string& base, const std::string& relative, const std::string& bytes) {
  std::string path = base + "/" + relative;
  MakeDirectories(path.substr(0, path.rfind('/')));
  WriteWholeFile(path, bytes);
}

inline void PutFolder(const std::string& base, const std::string& relative) {
  MakeDirectories(base + "/" + relative);
}

inline std::string Slurp(const std::string& path) { return ReadWholeFile(path).value_or("<missing>"); }

// UTF-8 text as GBK bytes (what a list made on the original platform holds).
inline std::string Gbk(const std::string& utf8) { return EncodeFromUtf8(utf8, Codepage::Gbk).value_or("<unmappable>"); }

// LF lines as the original platform's text mode wrote them.
inline std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace flashery::testing
