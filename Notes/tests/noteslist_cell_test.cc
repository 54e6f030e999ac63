// The list cell's reminder image and the list's date texts.
#include <gtest/gtest.h>

#include "Notes/NoteTableViewCell.h"
#include "Notes/NotesViewController.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using CellTest = ui::testing::InterfaceTest;

TEST_F(CellTest, HidingTheImageSlidesTheTitleOverItsPlaceAndShowingBringsItBack) {
  auto cell = std::make_shared<NoteTableViewCell>();
  cell->noteTitleLabel()->setText("Shopping");
  cell->layoutIfNeeded();
  const double imageX = cell->noteImageView()->frame().minX();
  const double imageRight = cell->noteImageView()->frame().maxX();
  EXPECT_DOUBLE_EQ(cell->noteTitleLabel()->frame().minX(), imageRight + NoteTableViewCell::kImageSpacing);

  cell->setHideImage(true);
  EXPECT_TRUE(cell->hideImage());
  EXPECT_EQ(cell->noteImageView()->alpha(), 0);
  EXPECT_DOUBLE_EQ(cell->noteTitleLabel()->frame().minX(), imageX);

  // Asking again changes nothing, then an animated show ends where it began.
  cell->setHideImage(true, true);
  EXPECT_DOUBLE_EQ(cell->noteTitleLabel()->frame().minX(), imageX);
  cell->setHideImage(false, true);
  advance(NoteTableViewCell::kAnimationDuration);
  cell->layoutIfNeeded();
  EXPECT_FALSE(cell->hideImage());
  EXPECT_EQ(cell->noteImageView()->alpha(), 1);
  EXPECT_DOUBLE_EQ(cell->titleLeadingSpaceToImage(), NoteTableViewCell::kImageSpacing);
  EXPECT_DOUBLE_EQ(cell->noteTitleLabel()->frame().minX(), imageRight + NoteTableViewCell::kImageSpacing);
}

TEST_F(CellTest, TodayShowsTheTimeOtherDaysTheRelativeShortDate) {
  // The virtual clock stands at 2026-05-09 06:13:20 UTC, the device's zone.
  auto list = std::make_shared<NotesViewController>();
  const ns::Date now = ns::Date::now();
  struct Case {
    double secondsAgo;
    std::string expected;
  } cases[] = {
      {0, "6:13\u202FAM"},
      {6 * 3600, "12:13\u202FAM"},          // still today
      {6 * 3600 + 14 * 60, "Yesterday"},  // 23:59 the day before, less than a day ago
      {3 * 86400, "5/6/26"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(list->stringFromDate(now.addingTimeInterval(-c.secondsAgo)), c.expected) << c.secondsAgo;
  }
}

}  // namespace
