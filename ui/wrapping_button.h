// A push button whose caption wraps at word boundaries inside the button, as
// the tall Generate button needs. text() stays the caption as given.
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
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_WRAPPING_BUTTON_H_
