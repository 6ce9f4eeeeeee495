// GuiCall: how a worker thread has something done on the GUI thread and
// waits until it is done — the carrier of the PortView, PanelUpdater and
// Prompter seams. A call made on the GUI thread itself runs directly (a
// worker-style wait for one's own thread would never end).
//
// Close() (GUI thread) ends every wait at once and makes later calls return
// without running anything, so the GUI thread may then join workers that
// are still reporting. A call that was queued but not run yet is dropped.
// The object must outlive every worker that may call it.
#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace flashery {

class GuiCall {
 public:
  // Calls run on the thread of `context`, which owns this object.
  explicit GuiCall(QObject* context) : context_(context) {}
  GuiCall(const GuiCall&) = delete;
  GuiCall& operator=(const GuiCall&) = delete;

  // Runs `fn` on the GUI thread and returns once it has run: true, or false
  // when it did not run (closed).
  bool Run(std::function<void()> fn);
  void Close();
  bool closed() const;

 private:
  QObject* context_;
  mutable std::mutex mutex_;
  std::condition_variable ran_;
  bool closed_ = false;
};

}  // namespace flashery
