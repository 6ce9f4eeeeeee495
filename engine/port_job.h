// PortJob: the whole download of one port — open the handset, write the
// selected images, wait until the handset has stored them, and, when file
// sets follow or the package is for the T745, restart the handset twice
// into its storage stage, prepare its storage, copy the file sets and wait
// for it to finish. Every step goes to the port's status line and the log;
// the end goes to the view (JobEnded, then the progress bar back to 0) and
// to the port's record (state finished).
//
// The job runs on a thread of its own in window mode (up to eight at once)
// or on the calling thread in the unattended mode; it holds one unit of
// the station's job semaphore from its first step to its last. It reads
// the selection and the package only through the snapshots it was started
// with, so a reconfiguration while it runs never changes what it writes;
// the package's own path names the file its images are read from. The
// port record is read as whole copies (each new PortDevice is built from a
// fresh copy, which after a restart carries the handset's new path) and
// its attached flag is polled while the handset restarts.
//
// The job's start time is portStartTime in the station's own clock
// (Clock::NowMs when the start was decided); elapsed times are read from
// that clock, never from the job's own, which may run out waits that a
// stop skipped, and are shown as "%H:%M:%S".
//
// A stop of the operator (window closed, SIGINT/SIGTERM) reaches the job
// as `stopped`, set once its transport refuses commands and its waits
// return at once. From then on the job runs no further step, shows no
// message box, sends no AbortImage, and its status and log stay quiet
// (status.h), since whatever would follow never happened on the wire. It
// ends with one line instead of its failure ending: the station text
// "stoppedByOperator" and the real elapsed time (" %s; "), reported
// (status, log, line end) in either mode. A job that had nothing left to
// send when the stop came keeps its success ending.
//
// A handset gone from the bus (gone_watch.h) ends the job at once: from then
// on the job is cut off from it as by a stop, and it ends failed with the
// station text "handsetRemoved" when the removal decided the outcome (the
// job was going well, or its first failure came with the removal), else
// with its first failure's text. A job whose selection writes nothing to
// the handset (no image planned, no file set wanted) fails before it opens
// the handset, with the station text "nothingToWrite": a job that wrote
// nothing never ends as a success.
//
// A failure before the restart stays a failure: in the unattended mode the
// restart runs whatever happened before it, but a restart that succeeds
// after a failed image does not turn the job into a success.
//
// Images are written only from the package file that was verified: when the
// file at the package's path is no longer that file (package_identity.h),
// a job with images to write fails at once, before it opens the handset,
// with the station text "package changed". An image that finds the package
// changed while it is sent (image_transfer.h) is aborted and not repeated.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <semaphore>
#include <stop_token>

#include "config/settings.h"
#include "device/port_record.h"
#include "device/transport.h"
#include "engine/gone_watch.h"
#include "engine/job_plan.h"
#include "package/qfm_package.h"
#include "platform/codepage.h"
#include "text/job_listener.h"

namespace flashery {

class Clock;
class LogFile;
class PortView;
class Prompter;
class TextTable;

using JobSemaphore = std::counting_semaphore<8>;

struct PortJobContext {
  int portIndex = 0;  // 0..7 (port 1 is 0)
  PortRecordTable& records;
  const TextTable& texts;
  Prompter& prompter;  // the unattended mode's message boxes
  Clock& clock;
  JobSemaphore& semaphore;
  // Makes the transport a PortDevice opens its handset with.
  std::function<std::unique_ptr<Transport>()> newTransport;
  std::shared_ptr<const DownloadSelection> selection;
  std::shared_ptr<const QfmPackage> package;
  bool commandLineMode = false;
  uint64_t startTimeMs = 0;         // portStartTime, Clock::NowMs
  PortView* view = nullptr;         // window mode: end notifications and status
  JobListener* listener = nullptr;  // the job event stream
  LogFile* log = nullptr;
  std::stop_token stopped{};        // the operator's stop, in effect
  Clock* stationClock = nullptr;    // start and elapsed times; null: clock
  Codepage codepage = Codepage::Gbk;  // the station's legacy code page (file-set names)
  uint64_t plannedBytes = 0;        // image and file bytes planned (for listeners)
  // The unattended mode writes the file sets too (--file-sets): from the
  // end of the images on, the job runs as the window's does (FinishImages,
  // the restart into storage, the file sets, the completion); what it says
  // and how it stops stay the unattended mode's.
  bool commandLineFileSets = false;
  // A handset off the bus this long (station time) outside a restart the
  // job asked for ends the job (gone_watch.h); 0: never.
  uint64_t goneFailMs = uint64_t{kDefaultGoneFailSeconds} * 1000;
};

// What the job reads from its snapshots.
JobInputs MakeJobInputs(const DownloadSelection* selection, const QfmPackage* package,
                        bool commandLineMode);

// Runs the job; returns whether the download succeeded (the same outcome
// the view and the log are told).
bool PortJob(const PortJobContext& context);

}  // namespace flashery
