// The run's log file. Every record is the port's instance id, ": " and the
// caller's text, written in text mode (each LF stored as CR LF, so a "\r\n"
// from the caller becomes CR CR LF, as in logs of the original station).
// The file is opened for appending and closed again for every record, so
// it is complete after each call. Records are written under a mutex with
// one write each, so records of different ports never interleave inside a
// record. A path shorter than 4 characters shows "日志文件名为空，无法创建日志!"
// through the Prompter and writes nothing; a file that cannot be opened
// drops the record.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace flashery {

class Prompter;

class LogFile {
 public:
  LogFile() = default;
  LogFile(std::string path, Prompter* prompter) : path_(std::move(path)), prompter_(prompter) {}
  void Reset(std::string path, Prompter* prompter);

  void Write(std::string_view instanceId, std::string_view text);
  // A line of the station itself (no port): the text and "\r\n".
  void WriteLine(std::string_view text);
  std::string path() const;

 private:
  mutable std::mutex mutex_;
  std::string path_;
  Prompter* prompter_ = nullptr;
};

// The log file name of a run started at `t`: "%Y-%m-%d %Hh%Mm%Ss.txt".
std::string LogFileName(const struct tm& t);

}  // namespace flashery
