// The listing box: a plain text box without scroll bars whose view never
// moves past the last line of text, so that no click or key (Ctrl+End, Down
// onto the empty line after the listing) can scroll the first line out of
// sight with no visible way back. The user may still type into it.
#ifndef RFSPLITTER_UI_LISTING_BOX_H_
#define RFSPLITTER_UI_LISTING_BOX_H_

#include <QPlainTextEdit>

namespace rfsplitter {

class ListingBox : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit ListingBox(QWidget* parent = nullptr);

 private:
  void KeepTextInView();
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_LISTING_BOX_H_
