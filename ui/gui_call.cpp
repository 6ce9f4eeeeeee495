#include "ui/gui_call.h"

#include <QThread>
#include <memory>

namespace flashery {

bool GuiCall::Run(std::function<void()> fn) {
  if (QThread::currentThread() == context_->thread()) {
    if (closed()) return false;
    fn();
    return true;
  }
  auto done = std::make_shared<bool>(false);
  std::unique_lock lock(mutex_);
  if (closed_) return false;
  // Queued to the context object: if it is destroyed first, Qt drops the
  // call with it.
  QMetaObject::invokeMethod(
      context_,
      [this, fn = std::move(fn), done] {
        if (closed()) return;
        fn();
        std::lock_guard ranLock(mutex_);
        *done = true;
        ran_.notify_all();
      },
      Qt::QueuedConnection);
  ran_.wait(lock, [&] { return *done || closed_; });
  return *done;
}

void GuiCall::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  ran_.notify_all();
}

bool GuiCall::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace flashery
