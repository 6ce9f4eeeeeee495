// PortJobRunner: how the window starts and stops port jobs. One job thread
// per started port; the view marks the port's record as running before it
// asks for the start, and the job reports through the PortView seam.
//
// Stopping: RequestStopAll asks every running job to stop at its next
// command boundary (it never abandons a handset in the middle of a
// command); JoinAll waits until every job thread has ended. The window
// never calls JoinAll on its GUI thread while jobs may still be reporting
// to it.
#pragma once

namespace flashery {

class PortJobRunner {
 public:
  virtual ~PortJobRunner() = default;
  // false when the job could not be started (the caller then undoes the
  // running mark and shows the port as failed).
  virtual bool StartJob(int port) = 0;
  // A job thread of the port has not ended yet.
  virtual bool JobActive(int port) const = 0;
  virtual int ActiveJobs() const = 0;
  virtual void RequestStopAll() = 0;
  // Asks the port's running job alone to stop at its next command
  // boundary; false when no job of the port runs.
  virtual bool RequestStop(int /*port*/) { return false; }
  virtual void JoinAll() = 0;
};

}  // namespace flashery
