// A push button whose caption wraps at word boundaries inside the button, as
// the tall Generate button needs. text() stays the caption as given. Return
// or Enter presses the focused button, as command buttons do on the desktop
// this window comes from; the button is never a default button, so Return in
// an input box still starts nothing.
#ifndef RFSPLITTER_UI_WRAPPING_BUTTON_H_
#define RFSPLITTER_UI_WRAPPING_BUTTON_H_

#include <QPushButton>

namespace rfsplitter {

class WrappingButton : public QPushButton {
  Q_OBJECT

 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_WRAPPING_BUTTON_H_
