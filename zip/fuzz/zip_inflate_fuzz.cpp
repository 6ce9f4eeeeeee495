// libFuzzer target: the Deflate decoder on arbitrary bytes. Besides
// memory safety (the sanitizers watch), it compares with zlib: every
// stream zlib decodes completely must decode to the same bytes here.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "zip/byte_source.h"
#include "zip/inflate.h"
#include "zip/output_window.h"

namespace {

constexpr uint64_t kLimit = 1u << 20;

// zlib's output, or nothing when it does not reach the stream's end.
bool ZlibInflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = const_cast<uint8_t*>(data);
  z.avail_in = static_cast<uInt>(size);
  uint8_t chunk[65536];
  int r = Z_OK;
  while (r == Z_OK && out.size() <= kLimit) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    r = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
    if (r == Z_BUF_ERROR && z.avail_in == 0) break;
  }
  inflateEnd(&z);
  return r == Z_STREAM_END && out.size() <= kLimit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace flashery;
  MemoryFeed feed(data, size);
  ByteSource source(feed);
  VectorSink sink;
  OutputWindow window(sink, kLimit);
  int result = Inflate(source, window);
  if (result == kInflateOk && source.consumed() > size) std::abort();

  std::vector<uint8_t> reference;
  if (ZlibInflate(data, size, reference)) {
    if (result != kInflateOk || sink.bytes != reference) std::abort();
  }
  return 0;
}
