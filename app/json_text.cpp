#include "app/json_text.h"

#include <cstdio>

#include "platform/codepage.h"

namespace flashery {

std::string JsonQuote(std::string_view text) {
  std::string out = "\"";
  bool valid = IsValidUtf8(text);
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || (c >= 0x80 && !valid)) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace flashery
