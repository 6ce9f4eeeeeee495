#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

#include "app/exit_status.h"
#include "app/json_text.h"
#include "app/live_table.h"
#include "app/run_record.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"
#include "text/prompter.h"

namespace flashery {
namespace {

TEST(ExitStatus, ReflectsTheOutcome) {
  EXPECT_EQ(UnattendedExitStatus(true, {true, true}, false), 0);
  EXPECT_EQ(UnattendedExitStatus(true, {true, false, true}, false), 1);
  EXPECT_EQ(UnattendedExitStatus(true, {true}, true), 1);
  EXPECT_EQ(UnattendedExitStatus(false, {}, false), 2);
  EXPECT_EQ(UnattendedExitStatus(true, {}, false), 2);
  // An incomplete log or run record fails a good run, and only a good one.
  struct Case {
    int status;
    bool complete;
    int expected;
  } cases[] = {{0, true, 0}, {0, false, 1}, {1, false, 1}, {2, false, 2}};
  for (const Case& c : cases) EXPECT_EQ(WithRecordsKept(c.status, c.complete), c.expected) << c.status;
}

TEST(JsonText, AlwaysGivesAValidStringLiteral) {
  EXPECT_EQ(JsonQuote("a\"b\\c\r\n\x01"), "\"a\\\"b\\\\c\\r\\n\\u0001\"");
  EXPECT_EQ(JsonQuote("端口"), "\"端口\"");
  EXPECT_EQ(JsonQuote("\xB6\xCB"), "\"\\u00b6\\u00cb\"");  // not UTF-8: escaped byte by byte
}

TEST(LiveTable, ColumnsLineUpWithWideCharactersAndLongSteps) {
  EXPECT_EQ(DisplayWidth("ab中文"), 6);
  EXPECT_EQ(FitToWidth("中文字", 5), "中文 ");
  EXPECT_EQ(FitToWidth("abc", 5), "abc  ");
  std::vector<PortProgress> rows(2);
  rows[0].port = 0;
  rows[0].handset = "SIM0001";
  rows[0].step = std::string(200, 'x');
  rows[0].bytes = 50'000'000;
  rows[0].plannedBytes = 100'000'000;
  rows[0].startSeconds = 0;
  rows[0].result = PortResult::Running;
  rows[1].port = 7;
  rows[1].handset = "SIM0008";
  rows[1].step = "端口已完成";
  rows[1].bytes = 100'000'000;
  rows[1].plannedBytes = 100'000'000;
  rows[1].startSeconds = 0;
  rows[1].endSeconds = 4;
  rows[1].result = PortResult::Succeeded;
  auto lines = RenderTable(rows, 10, 100);
  ASSERT_EQ(lines.size(), 3u);
  for (const auto& l : lines) EXPECT_LE(DisplayWidth(l), 100) << l;
  EXPECT_EQ(DisplayWidth(lines[1].substr(0, lines[1].rfind(' '))), DisplayWidth(lines[2].substr(0, lines[2].rfind(' '))));
  EXPECT_NE(lines[1].find(" 50.0 "), std::string::npos);
  EXPECT_NE(lines[1].find("     5.0 running"), std::string::npos);  // 50 MB in 10 s
  EXPECT_NE(lines[2].find("    25.0 OK"), std::string::npos);       // 100 MB in 4 s, stopped at the end
}

TEST(LiveOutput, PlainOutputAndTheRunRecordHoldOneLinePerStep) {
  testing::TempDir dir;
  FakeClock clock;
  RunRecord record;
  ASSERT_TRUE(record.Open(dir / "run.json"));
  std::FILE* out = std::fopen((dir / "out.txt").c_str(), "w");
  ASSERT_NE(out, nullptr);
  {
    LiveOutput live(clock, out, false, 80);
    RunRecordListener writer(record, clock);
    JobListeners both;
    both.Add(&live);
    both.Add(&writer);
    live.AddPort(2, "SIM3", 1000);
    live.AddPort(4, "SIM5", 1000);
    both.OnJobStarted(JobStart{2, "SIM3", "1-1.3", 1000, clock.NowMs()});
    both.OnJobStarted(JobStart{4, "SIM5", "", 1000, clock.NowMs()});
    both.OnStep(2, JobStep::Open, "");
    for (int i = 1; i <= 50; ++i) both.OnStatusText(2, "Kernel 写入 (" + std::to_string(i * 2) + ".0%) ...");
    both.OnStep(2, JobStep::Image, "Kernel");
    both.OnBytes(2, 1000);
    clock.Advance(1500);
    both.OnStep(2, JobStep::WaitStored, "");
    both.OnStep(5, JobStep::Open, "not a port of this run");
    clock.Advance(500);
    both.OnJobEnded(JobEnd{2, "SIM3", JobResult::Ok, JobStep::WaitStored, "", 1000, 2000});
    both.OnJobEnded(JobEnd{4, "SIM5", JobResult::Stopped, JobStep::Open, "Stopped by the operator", 0, 2000});
  }
  std::fclose(out);
  EXPECT_EQ(*ReadWholeFile(dir / "out.txt"),
            "port 3: handset SIM3\n"
            "port 5: handset SIM5\n"
            "port 3: open\n"
            "port 3: image Kernel\n"
            "port 3: wait-stored\n"
            "port 3: OK (SIM3, 2.0 s, 0.0 MB)\n"
            "port 5: STOPPED: Stopped by the operator (SIM5, 2.0 s, 0.0 MB)\n");
  std::string json = *ReadWholeFile(dir / "run.json");
  for (const char* line : {
           "{\"type\":\"step\",\"port\":3,\"instanceId\":\"SIM3\",\"step\":\"image\",\"item\":\"Kernel\","
           "\"text\":\"image Kernel\",\"bytes\":0,\"seconds\":0.000}\n",
           "{\"type\":\"step\",\"port\":3,\"instanceId\":\"SIM3\",\"step\":\"wait-stored\",\"item\":\"\","
           "\"text\":\"wait-stored\",\"bytes\":1000,\"seconds\":1.500}\n",
           "{\"type\":\"summary\",\"port\":3,\"instanceId\":\"SIM3\",\"result\":\"ok\",\"socket\":\"1-1.3\","
           "\"bytes\":1000,\"seconds\":2.000}\n",
           "{\"type\":\"summary\",\"port\":5,\"instanceId\":\"SIM5\",\"result\":\"stopped\","
           "\"reason\":\"Stopped by the operator\",\"socket\":\"\",\"bytes\":0,\"seconds\":2.000}\n"})
    EXPECT_NE(json.find(line), std::string::npos) << line << json;
  size_t lines = 0;
  for (char c : json) lines += c == '\n';
  EXPECT_EQ(lines, 5u);  // three steps of port 3 and two summaries; nothing of port 6, which ran no job

}

TEST(RunRecord, ARecordThatCannotBeWrittenWholeSaysSoOnceAndStopsAtItsLastWholeLine) {
  testing::TempDir dir;
  RecordingPrompter prompter;
  RunRecord record;
  std::string why;
  EXPECT_FALSE(record.Open(dir / "missing/run.json", &why));
  EXPECT_EQ(why, "No such file or directory");
  // A named pipe where the record belongs is refused at once, never waited on.
  ASSERT_EQ(::mkfifo((dir / "pipe.json").c_str(), 0644), 0);
  EXPECT_FALSE(record.Open(dir / "pipe.json", &why));
  EXPECT_EQ(why, "No such device or address");

  // A full disk: nothing is written, one message names the file and why.
  ASSERT_TRUE(record.Open("/dev/full"));
  record.SetReporter(&prompter, nullptr);
  record.Start(8, "p.QFM", "2026-01-01 00:00:00");
  for (int i = 0; i < 50; ++i) record.Step(1, "SIM1", "open", "", 0, 0);
  record.End(0, "every download succeeded");
  EXPECT_FALSE(record.Close());
  ASSERT_EQ(prompter.records().size(), 1u);
  const std::string said = "This record could not be written completely: /dev/full (No space left on device)";
  EXPECT_EQ(prompter.records()[0].text, said);
  EXPECT_EQ(record.problem(), said);

  // A good record is complete and closed whole.
  ASSERT_TRUE(record.Open(dir / "run.json"));
  record.Start(1, "p.QFM", "t");
  record.End(0, "ok");
  EXPECT_TRUE(record.Close());
  EXPECT_EQ(record.problem(), "");
  EXPECT_EQ(*ReadWholeFile(dir / "run.json"),
            "{\"type\":\"start\",\"ports\":1,\"package\":\"p.QFM\",\"time\":\"t\"}\n"
            "{\"type\":\"end\",\"status\":0,\"reason\":\"ok\"}\n");
  EXPECT_EQ(prompter.records().size(), 1u);
}

}  // namespace
}  // namespace flashery
