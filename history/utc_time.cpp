#include "history/utc_time.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace flashery {

int64_t SystemUtcNowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string IsoUtc(int64_t ms) {
  if (ms < 0) ms = 0;
  std::time_t secs = static_cast<std::time_t>(ms / 1000);
  std::tm t{};
  gmtime_r(&secs, &t);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(ms % 1000));
  return buf;
}

std::string LocalDayStartUtc(int64_t ms) {
  std::time_t secs = static_cast<std::time_t>(ms / 1000);
  std::tm t{};
  localtime_r(&secs, &t);
  t.tm_hour = t.tm_min = t.tm_sec = 0;
  t.tm_isdst = -1;
  return IsoUtc(static_cast<int64_t>(std::mktime(&t)) * 1000);
}

std::string NormalizeUtcBound(const std::string& text, bool end) {
  std::string s = text;
  if (!s.empty() && (s.back() == 'Z' || s.back() == 'z')) s.pop_back();
  auto digits = [&](size_t from, size_t n) {
    if (s.size() < from + n) return false;
    for (size_t i = from; i < from + n; ++i)
      if (s[i] < '0' || s[i] > '9') return false;
    return true;
  };
  const bool date = digits(0, 4) && s.size() >= 10 && s[4] == '-' && digits(5, 2) && s[7] == '-' && digits(8, 2);
  if (!date) return {};
  if (s.size() == 10) return s + (end ? "T23:59:59.999Z" : "T00:00:00.000Z");
  if ((s[10] != 'T' && s[10] != ' ') || !digits(11, 2) || s.size() < 16 || s[13] != ':' || !digits(14, 2)) return {};
  s[10] = 'T';
  if (s.size() == 16) return s + (end ? ":59.999Z" : ":00.000Z");
  if (s.size() == 19 && s[16] == ':' && digits(17, 2)) return s + (end ? ".999Z" : ".000Z");
  if (s.size() == 23 && s[16] == ':' && digits(17, 2) && s[19] == '.' && digits(20, 3)) return s + "Z";
  return {};
}

}  // namespace flashery
