// The kit's strip of the maker's other apps, as a table cell.
//
// Seam: the list of other apps is not built yet, so there is never a
// pending badge.
#pragma once

#include "Platform/UIKit/TableViewCell.h"

class TXMoreAppsTableViewCell : public ui::TableViewCell {
 public:
  using ui::TableViewCell::TableViewCell;

  // Whether an app of the list carries a badge the user has not opened yet.
  static bool hasBadge();
};
