#include "Notes/NTTextView.h"

#include "Platform/UIKit/Pasteboard.h"

void NTTextView::paste() {
  if (auto text = ui::Pasteboard::general().string()) insertText(*text);
}
