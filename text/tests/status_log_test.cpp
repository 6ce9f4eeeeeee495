#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

#include "platform/files.h"
#include "platform/tests/test_dir.h"
#include "text/log_file.h"
#include "text/job_listener.h"
#include "text/port_view.h"
#include "text/prompter.h"
#include "text/status.h"

namespace flashery {
namespace {

struct RecordingView : PortView {
  std::vector<std::string> texts;
  std::vector<uint32_t> positions;
  void SetStatusText(int, const std::string& t) override { texts.push_back(t); }
  void SetProgress(int, uint32_t p) override { positions.push_back(p); }
  void JobEnded(int, bool) override {}
};

TEST(Status, AReportedMessageShowsPlainAndLogsWithPrefixesAndCrCrLf) {
  testing::TempDir dir;
  RecordingPrompter prompter;
  LogFile log(dir / "run.txt", &prompter);
  RecordingView view;
  PortOutput out;
  out.port = 2;
  out.instanceId = "0123456789abcdef";
  out.view = &view;
  out.log = &log;
  ReportMessage(out, "端口就绪");
  ShowStatus(out, "%d%%", 50);
  EXPECT_EQ(view.texts, (std::vector<std::string>{"端口就绪", "50%"}));
  EXPECT_EQ(view.positions, (std::vector<uint32_t>{0, 1}));
  EXPECT_EQ(out.progressPosition, 2u);
  EXPECT_EQ(*ReadWholeFile(dir / "run.txt"), "0123456789abcdef: 端口就绪0123456789abcdef: \r\r\n");
  EXPECT_TRUE(prompter.records().empty());

  // Status texts are cut to 259 bytes, never inside a character.
  ShowStatusText(out, std::string(258, 'a') + "中");
  EXPECT_EQ(view.texts.back(), std::string(258, 'a'));
}

// A port's output wired to a recording view, a listener and a log file.
struct WiredPort {
  struct Listener : JobListener {
    std::vector<std::string> heard;
    void OnStatusText(int, const std::string& t) override { heard.push_back(t); }
  };
  testing::TempDir dir;
  LogFile log{dir / "run.txt", nullptr};
  RecordingView view;
  Listener listener;
  PortOutput out;
  WiredPort() {
    out.instanceId = "id";
    out.view = &view;
    out.listener = &listener;
    out.log = &log;
  }
};

TEST(Status, TheUnattendedModeShowsNothingButLogsTheSameRecords) {
  WiredPort port;
  auto& [dir, log, view, listener, out] = port;
  out.commandLineMode = true;
  for (int i = 0; i < 5; ++i) ReportMessage(out, "m");
  EXPECT_TRUE(view.texts.empty());
  EXPECT_EQ(out.progressPosition, 0u);
  EXPECT_EQ(listener.heard.size(), 5u);
  EXPECT_EQ(ReadWholeFile(dir / "run.txt")->size(), 5u * (5 + 7));
}

TEST(LogFileTest, ALogThatLosesRecordsSaysSoOnceNamingTheFileAndTheReason) {
  testing::TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir / "file", "x"));
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);  // no reader: never waited on
  struct Case {
    std::string path, unwritable, reason;
    std::string said;  // the one message
  } cases[] = {
      {"/dev/full", "", "", "This record could not be written completely: /dev/full (No space left on device)"},
      {dir / "missing/run.txt", "", "",
       "This record could not be written completely: " + (dir / "missing/run.txt") + " (No such file or directory)"},
      {dir / "file/run.txt", "", "", "This record could not be written completely: " + (dir / "file/run.txt") +
                                          " (Not a directory)"},
      {"", dir / "log", "Not a directory", "This record could not be written completely: " + (dir / "log") +
                                               " (Not a directory)"},
      {dir / "pipe", "", "", "This record could not be written completely: " + (dir / "pipe") +
                                  " (No such device or address)"},
      {"", "", "", "日志文件名为空，无法创建日志!"},
  };
  for (const Case& c : cases) {
    RecordingPrompter prompter;
    LogFile log;
    log.Reset(c.path, &prompter, nullptr, c.unwritable, c.reason);
    EXPECT_EQ(log.problem(), "");
    for (int i = 0; i < 72; ++i) log.Write("id", "a record\r\n");
    log.WriteLine("a station line");
    EXPECT_FALSE(log.Sync());
    ASSERT_EQ(prompter.records().size(), 1u) << c.path;
    EXPECT_EQ(prompter.records()[0].text, c.said);
    EXPECT_EQ(prompter.records()[0].caption, "Flashery");
    EXPECT_EQ(log.problem(), c.said);
  }

  // A good log stays quiet and complete; a new log starts complete.
  RecordingPrompter prompter;
  LogFile good(dir / "run.txt", &prompter);
  good.Write("id", "kept");
  EXPECT_TRUE(good.Sync());
  EXPECT_EQ(*ReadWholeFile(dir / "run.txt"), "id: kept");
  EXPECT_TRUE(prompter.records().empty());

  // The console prompter writes its message into the same log: said once
  // on stderr, no deadlock, no second message.
  LogFile full;
  ConsolePrompter console(&full);
  full.Reset("/dev/full", &console);
  ::testing::internal::CaptureStderr();
  for (int i = 0; i < 5; ++i) full.Write("id", "x");
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "Flashery: This record could not be written completely: /dev/full (No space left on device)\n");
}

TEST(Status, NothingIsShownHeardOrLoggedOnceTheStopIsInEffect) {
  WiredPort port;
  auto& [dir, log, view, listener, out] = port;
  std::stop_source stop;
  out.stopped = stop.get_token();
  ReportMessage(out, "before");
  stop.request_stop();
  ReportMessage(out, "after");
  WriteLog(out, "%s", "after");
  EXPECT_EQ(view.texts, std::vector<std::string>{"before"});
  EXPECT_EQ(listener.heard, std::vector<std::string>{"before"});
  EXPECT_EQ(out.progressPosition, 1u);
  EXPECT_EQ(*ReadWholeFile(dir / "run.txt"), "id: beforeid: \r\r\n");
}

TEST(LogFileTest, RecordsOfEightPortsNeverInterleaveInsideARecord) {
  testing::TempDir dir;
  LogFile log(dir / "run.txt", nullptr);
  std::vector<std::thread> threads;
  for (int p = 0; p < 8; ++p)
    threads.emplace_back([&, p] {
      std::string id = "port" + std::to_string(p);
      for (int i = 0; i < 200; ++i) log.Write(id, std::string(40, static_cast<char>('a' + p)) + "\n");
    });
  for (auto& t : threads) t.join();
  std::string all = *ReadWholeFile(dir / "run.txt");
  size_t lines = 0, pos = 0;
  while (pos < all.size()) {
    size_t end = all.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos);
    std::string line = all.substr(pos, end - pos);
    ASSERT_EQ(line.size(), 7u + 40u) << line;
    char c = line[7];
    EXPECT_EQ(line.substr(0, 7), std::string("port") + static_cast<char>('0' + (c - 'a')) + ": ");
    EXPECT_EQ(line.substr(7), std::string(40, c));
    pos = end + 2;
    ++lines;
  }
  EXPECT_EQ(lines, 1600u);
}

TEST(LogFileTest, NamesFollowTheStartTime) {
  std::tm t{};
  t.tm_year = 110, t.tm_mon = 5, t.tm_mday = 1, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 7;
  EXPECT_EQ(LogFileName(t), "2010-06-01 09h05m07s.txt");
}

}  // namespace
}  // namespace flashery
