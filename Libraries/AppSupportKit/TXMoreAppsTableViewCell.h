// The kit's strip of the maker's other apps, as a table cell.
//
// Seam: the list of other apps is not built yet, so it is empty and there
// is never a pending badge.
#pragma once

#include <string>

#include "Platform/UIKit/TableViewCell.h"

class TXMoreAppsTableViewCell : public ui::TableViewCell {
 public:
  using ui::TableViewCell::TableViewCell;

  // Whether an app of the list carries a badge the user has not opened yet.
  static bool hasBadge();
  // Whether the list of other apps is empty.
  static bool isEmpty();

  // Where the strip is shown ("Settings"), kept for the list's statistics.
  const std::string& context() const { return context_; }
  void setContext(std::string context) { context_ = std::move(context); }

 private:
  std::string context_;
};
