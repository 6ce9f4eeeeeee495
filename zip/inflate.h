// The Deflate decoder (RFC 1951: stored, fixed-Huffman and dynamic-Huffman
// blocks) for zip entries of method 8.
//
// It reads from a ByteSource (decrypted already when the entry is
// encrypted) and writes into an OutputWindow, whose 32 KiB window is both
// the history that back-references reach into and the output buffer.
//
// Hostile streams: a back-reference may reach only bytes this entry has
// produced (never stale window contents of an earlier entry); a stream
// that ends early is an error, never a reason to decode the same bytes
// again; output beyond the window's limit stops the decoder; a dynamic
// block without an end-of-block code, or a length repeat with no length
// before it, is refused. Every loop is bounded by input or output.
#pragma once

#include <cstdint>

namespace flashery {

class ByteSource;
class OutputWindow;

enum InflateResult : int {
  kInflateOk = 0,
  kInflateBadData = 1,      // invalid or incomplete code, bad stored length,
                            // a stream cut short, a distance too far back
  kInflateBadBlock = 2,     // block type 3 or an over-subscribed code
  kInflateNoMemory = 3,     // a decoding table did not fit its storage
  kInflateTooLong = 4,      // more output than the window's limit allows
  kInflateWriteFailed = -1, // the output sink refused bytes
};

// Decodes one whole Deflate stream. On success the window has been
// flushed and the whole bytes read ahead of the stream's end have been
// given back to `in`, so in.consumed() is the stream's length in bytes.
int Inflate(ByteSource& in, OutputWindow& out);

}  // namespace flashery
