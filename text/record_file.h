// Checked writes of the station's own records (the run's log, the run
// record): every write is checked to the last byte, and a failure comes
// back as the errno that stopped it, so the caller can say once which file
// lost records and why. Nothing here retries or hides a failure.
//
// A descriptor is opened with O_NONBLOCK, so a named pipe put where a
// record belongs fails at once (ENXIO without a reader) instead of
// blocking the station; regular files and devices behave as usual.
#pragma once

#include <string>
#include <string_view>

namespace flashery {

class TextTable;

// Writes all of `bytes` to `fd` (short writes continued, EINTR repeated).
// 0, or the errno that stopped it (EIO for a write that wrote nothing).
int WriteAllChecked(int fd, std::string_view bytes);
// Opens `path` for appending (created 0644 when missing), writes all of
// `bytes`, closes it; a close error counts. 0 or the errno.
int AppendChecked(const std::string& path, std::string_view bytes);
// Flushes an existing file to its disk (fsync); 0 or the errno.
int SyncChecked(const std::string& path);
// The system's words for an errno ("No space left on device").
std::string ErrorText(int error);
// What the station says once about a record that lost records: the
// station text, the file's name and the reason. `texts` may be null (the
// English text is used).
std::string RecordIncompleteMessage(const TextTable* texts, const std::string& path, const std::string& reason);

}  // namespace flashery
