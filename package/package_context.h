// What the package operations need from their owner, passed by reference:
// the text table for messages, the prompter for message boxes, the legacy
// code page in which header texts that are not UTF-8 are decoded, and a
// stop request (SIGINT/SIGTERM, a closing window) that ends a verification
// within one read piece, without a message of its own. An optional read
// observer sees every piece the verification reads (package_sha256.h).
#pragma once

#include <stop_token>

#include "platform/codepage.h"

namespace flashery {

class TextTable;
class Prompter;
class PackageReadObserver;

struct PackageContext {
  const TextTable& texts;
  Prompter& prompter;
  Codepage legacy = Codepage::Gbk;
  std::stop_token stop = {};
  PackageReadObserver* readObserver = nullptr;
};

}  // namespace flashery
