// What the package operations need from their owner, passed by reference:
// the text table for messages, the prompter for message boxes, and the
// legacy code page in which header texts that are not UTF-8 are decoded.
#pragma once

#include "platform/codepage.h"

namespace flashery {

class TextTable;
class Prompter;

struct PackageContext {
  const TextTable& texts;
  Prompter& prompter;
  Codepage legacy = Codepage::Gbk;
};

}  // namespace flashery
