#pragma once
// A Display slider: a QSlider whose value / 255 is the opacity of the drawables it
// drives (one image, or the four drawables of a curve set); moving it repaints the view.
// It owns none of the opacities. GUI thread only.

#include <array>

#include <QSlider>

class q_slider_change_alpha : public QSlider {
  Q_OBJECT

 public:
  float* target = nullptr;                // one opacity to drive, or null
  std::array<float*, 4> targets{};        // the opacities of a curve set, or all null

  using QSlider::QSlider;
  ~q_slider_change_alpha() override = default;

  // Drive one opacity; the slider's current value is written into it at once.
  void set_target(float* p);
  // Drive the four opacities of a curve set ("_1", "_2", "_3", "_node"), written at once.
  void set_targets(const std::array<float*, 4>& p);
  // Connects valueChanged(int) to the slot of each kind of target that is set.
  void reconnect();

 public slots:
  void on_alpha_change(int value);
  void on_alpha_change2(int value);
};
