// The note editor's text view. Pasting takes only the pasteboard's plain
// text, so pasted content never brings its own fonts, colours or images;
// a pasteboard without text pastes nothing.
#pragma once

#include "Platform/UIKit/TextView.h"

class NTTextView : public ui::TextView {
 public:
  using ui::TextView::TextView;
  void paste() override;
};
