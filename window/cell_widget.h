// A kana cell of the real window: the invisible click target over one kana of the chart, which
// also answers the keyboard while the chart has the focus.
//
// The chart is one stop in the window's Tab order: of the 96 cells only the one that last had the
// focus takes it by Tab (the window moves that role as the arrows move the focus), and none takes
// it by a click, so a mouse user never sees a focus ring. Space, Return and Enter press the cell
// as the primary button does: the same press, release and click signals reach the same handlers,
// so the cell is framed while the key is held and speaks once on release; a held key's repeats
// are ignored. The focus ring lies inside the pressed frame, in the highlight colour, so both show
// at once and neither is mistaken for the other.
#pragma once

#include <QString>
#include <optional>

#include "chart/chart_steps.h"
#include "form/kana_cells.h"
#include "window/qt_controls.h"

namespace tessel {

class CellWidget : public ImageWidget {
  Q_OBJECT
 public:
  CellWidget(QWidget* parent, const KanaCell& cell, ClickTracker& clicks);

  std::int16_t index() const { return cell_.index; }
  QString spokenName() const;

 signals:
  // An arrow, Home, End, Page Up or Page Down: where the focus should go next.
  void stepRequested(ChartStep step);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  const KanaCell& cell_;
  std::optional<int> heldKey_;  // the key that pressed the cell, until it is released
};

}  // namespace tessel
