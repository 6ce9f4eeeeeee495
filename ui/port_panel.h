// One port's panel of the main form: the group box "第一端口" ...
// "第八端口" with the handset's serial, the coloured status line, a line of
// live detail under it (elapsed time, percent, MB/s, what is being
// written; on a finished panel the time the unit took), the progress bar
// (0 ... 32,700), the port's start and stop buttons, and a large result
// word (PASS / FAIL) on a finished panel, so a result never rests on
// colour alone. The panel only shows what it is told; the view decides.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/view_logic.h"
#include "ui/color_panel.h"

namespace flashery {

class PortPanel : public QGroupBox {
  Q_OBJECT
 public:
  PortPanel(int port, QWidget* parent = nullptr);

  int port() const { return port_; }
  void SetLook(PanelLook look);
  PanelLook look() const { return look_; }

  QLineEdit* serial() const { return serial_; }
  ColorPanel* status() const { return status_; }
  QProgressBar* progress() const { return progress_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* stopButton() const { return stop_; }
  QLabel* detail() const { return detail_; }
  QLabel* resultWord() const { return result_; }
  QLabel* counts() const { return counts_; }
  // The labels and the stop button's text (the active language).
  void SetTexts(const QString& serial, const QString& status, const QString& progress, const QString& stop);
  // The large result word; empty hides it. failed: shown in red.
  void SetResultWord(const QString& word, bool failed);

  // Control ids of the port's controls.
  static int GroupId(int port) { return 1049 + 4 * port; }
  static int SerialId(int port) { return 1006 + port; }
  static int StatusId(int port) { return 1095 + port; }
  static int ProgressId(int port) { return 1087 + port; }
  static int StartId(int port) { return port == 7 ? 1121 : 1014 + port; }

 signals:
  void startClicked(int port);
  void stopClicked(int port);
  // Every SetLook, also one that keeps the look.
  void lookSet(int port, flashery::PanelLook look);

 private:
  int port_;
  PanelLook look_ = PanelLook::NoHandset;
  QLineEdit* serial_;
  ColorPanel* status_;
  QProgressBar* progress_;
  QPushButton* start_;
  QPushButton* stop_;
  QLabel* serialLabel_;
  QLabel* statusLabel_;
  QLabel* progressLabel_;
  QLabel* detail_;
  QLabel* result_;
  QLabel* counts_;
};

}  // namespace flashery
