// What the package operations need from their owner, passed by reference:
// the text table for messages, the prompter for message boxes, the legacy
// code page in which header texts that are not UTF-8 are decoded, and a
// stop request (SIGINT/SIGTERM, a closing window) that ends a verification
// within one read piece, without a message of its own.
#pragma once

#include <stop_token>

#include "platform/codepage.h"

namespace flashery {

class TextTable;
class Prompter;

struct PackageContext {
  const TextTable& texts;
  Prompter& prompter;
  Codepage legacy = Codepage::Gbk;
  std::stop_token stop = {};
};

}  // namespace flashery
