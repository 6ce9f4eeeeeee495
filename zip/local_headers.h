// The local headers of an archive, checked against its central directory
// before anything is unpacked, so that the station sees exactly the entries
// any other reader sees and each byte of the archive belongs to one entry.
//
// Every central record must find at its offset a local header that agrees
// with it: the same name bytes, the same method and the same flags that
// change how the entry is read (encryption, data descriptor, UTF-8 name).
// CRC-32 and both sizes must be those of the record; when the data
// descriptor flag (bit 3) is set, a writer that did not know them yet may
// leave them 0 in the local header, and 0 is then accepted too. The extra
// fields may differ (archivers commonly store different ones).
//
// An entry occupies its local header, name, extra field and data. No two
// entries may share a byte: several records pointing at one local entry,
// or one entry's data holding another entry (the zip bomb that reuses one
// stream for many entries), are refused, and so is an entry that reaches
// into the central directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashery {

class RangeReader;
struct CentralRecord;

enum class LocalCheck { Good, Unreadable, Missing, Differs, OutsideData, Overlaps };

struct EntrySpan {
  uint64_t begin = 0, end = 0;  // absolute [begin, end)
  size_t record = 0;            // index of its central record
};

// Checks the local header of `record` (archive starting at archiveStart) and
// gives the bytes the entry occupies. directoryStart: absolute offset of the
// central directory; the entry must end at or before it. *why says what
// differs.
LocalCheck CheckLocalHeader(RangeReader& reader, const CentralRecord& record, uint64_t archiveStart,
                            uint64_t directoryStart, EntrySpan& span, std::string* why = nullptr);

// The index (into spans as given) of an entry that shares bytes with
// another, or -1 when every entry has bytes of its own. Sorts spans.
long FindOverlap(std::vector<EntrySpan>& spans);

}  // namespace flashery
