// Start-up work the first frame does not need (the sound output, the window icon) waits until that
// frame is drawn, so the window appears as soon as a bare one would.
#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

#include "chart/sound_port.h"

namespace tessel {

// Runs `work` once, from the event loop, right after `window` has been painted for the first time
// and the frame handed to the window system.
inline void afterFirstPaint(QWidget& window, std::function<void()> work) {
  class Watch : public QObject {
   public:
    explicit Watch(std::function<void()> work) : work_(std::move(work)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Paint) {
        watched->removeEventFilter(this);
        // A zero timer fires once the paint pass, which ends by flushing the frame, has returned.
        QTimer::singleShot(0, [work = std::move(work_)] { work(); });
        deleteLater();
      }
      return false;
    }

   private:
    std::function<void()> work_;
  };
  window.installEventFilter(new Watch(std::move(work)));
}

// A sound output made on first need: open() after the first frame, or the first PlayWave if that
// comes sooner, so no request is ever lost.
template <class Player>
class LateSound : public SoundPort {
 public:
  Player& open() {
    if (!player_) player_.emplace();
    return *player_;
  }
  void PlayWave(const std::string& Name) override { open().PlayWave(Name); }
  void warm() override { open().warm(); }

 private:
  std::optional<Player> player_;
};

}  // namespace tessel
