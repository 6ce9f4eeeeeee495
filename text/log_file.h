// The run's log file. Every record is the port's instance id, ": " and the
// caller's text, written in text mode (each LF stored as CR LF, so a "\r\n"
// from the caller becomes CR CR LF, as in logs of the original station).
// The file is opened for appending and closed again for every record, so
// it is complete after each call. Records are written under a mutex with
// one write each, so records of different ports never interleave inside a
// record.
//
// Nothing is lost silently. Every write is checked to the last byte (short
// writes, a full disk, I/O errors, errors reported at close, and at the end
// of a run the flush to disk, Sync). The first record that cannot be
// written is said once through the Prompter — the station text
// "recordIncomplete", the file's name and the system's reason — and the
// log counts as incomplete from then on (problem()); later records are
// still tried, so a disk that gets room again keeps what follows. A path
// shorter than 4 characters (no log file could be created) shows
// "日志文件名为空，无法创建日志!" once, or, when start-up gave the reason
// (Reset with a reason), the incomplete message naming the log folder; in
// both cases the run keeps no log and says so once, not once per record.
//
// The Prompter is called without the log's mutex held, so a Prompter that
// writes its text to this log (the console one) never deadlocks; that
// write is dropped quietly once the log is known to be incomplete.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace flashery {

class Prompter;
class TextTable;

class LogFile {
 public:
  LogFile() = default;
  LogFile(std::string path, Prompter* prompter) : path_(std::move(path)), prompter_(prompter) {}
  // A new log (the failure state is cleared). `texts` words the failure
  // message (null: English); `unwritable`/`reason`, when given with an empty
  // path, name the folder that could not take the log and why.
  void Reset(std::string path, Prompter* prompter, const TextTable* texts = nullptr,
             std::string unwritable = {}, std::string reason = {});

  void Write(std::string_view instanceId, std::string_view text);
  // A line of the station itself (no port): the text and "\r\n".
  void WriteLine(std::string_view text);
  // Flushes the file to its disk; a failure makes the log incomplete (and
  // is said, once). True when the log is complete.
  bool Sync();
  std::string path() const;
  // Empty while every record reached the file; otherwise the message said
  // (file and reason).
  std::string problem() const;

 private:
  // Appends under the lock; returns the message to say when this is the
  // first failure (said by the caller, without the lock).
  std::string AppendLocked(const std::string& bytes);
  std::string FailLocked(const std::string& what, const std::string& reason);
  void Say(const std::string& message);

  mutable std::mutex mutex_;
  std::string path_;
  Prompter* prompter_ = nullptr;
  const TextTable* texts_ = nullptr;
  std::string unwritable_, reason_;
  std::string problem_;
};

// The log file name of a run started at `t`: "%Y-%m-%d %Hh%Mm%Ss.txt".
std::string LogFileName(const struct tm& t);

}  // namespace flashery
