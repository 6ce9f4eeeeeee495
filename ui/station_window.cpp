#include "ui/station_window.h"

#include "config/station_line.h"
#include "history/history_recorder.h"

#include "app/package_facts.h"
#include "app/planned_bytes.h"
#include "ui/port_panels_view.h"

namespace flashery {

StationWindow::StationWindow(Application& app, std::unique_ptr<HandsetBus> bus, GuiPrompter* prompter)
    : prompter_(prompter),
      station_(app, std::move(bus)),
      frame_(app, station_.records(), station_.jobs()),
      seams_(frame_.view()) {
  station_.SetSeams(&seams_, &seams_);
  // The window hears every job's events (before any job can start).
  app.jobListeners.Add(&seams_);
  app.jobListeners.Add(&counts_);
  if (prompter_) prompter_->SetOwner(&frame_);
  PortPanelsView* view = frame_.view();
  view->packageFacts = [this] {
    auto package = station_.package();
    return PackageFactsOf(package.get());
  };
  view->onFirstShown = [this] { station_.StartMonitor(); };
  view->SetAutoStart(StationAutoStart(app.appFolder));
  view->shiftCounts = [this] { return counts_.counts(); };
  // Today's counts come from the history store when it is open (its
  // "failed" holds the stopped and interrupted units as well).
  if (app.history) {
    counts_.today = [&app]() -> std::optional<ShiftCounts> {
      auto rows = app.history->CountsToday();
      if (!rows) return std::nullopt;
      ShiftCounts counts;
      for (size_t p = 0; p < rows->size() && p < counts.ports.size(); ++p) {
        counts.ports[p] = Tally{static_cast<uint32_t>((*rows)[p].good), static_cast<uint32_t>((*rows)[p].failed)};
        counts.total.good += counts.ports[p].good;
        counts.total.failed += counts.ports[p].failed;
      }
      return counts;
    };
  }
  view->todayCounts = [this] { return counts_.today ? counts_.today() : std::nullopt; };
  view->resetShiftCounts = [this] { counts_.Reset(); };
  view->writesSomething = [this, &app] { return SelectionWritesSomething(app.selection, station_.package().get()); };
  frame_.stopMonitor = [this] { station_.StopMonitor(); };
  frame_.onWorkersStopped = [this] {
    seams_.Close();
    if (prompter_) prompter_->Close();
  };
}

StationWindow::~StationWindow() {
  seams_.Close();
  if (prompter_) prompter_->Close();
  station_.StopAll();
}

}  // namespace flashery
