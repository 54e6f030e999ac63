// The root split view: the floating add button and the masking view.
#include <gtest/gtest.h>

#include "Notes/FoldersViewController.h"
#include "Notes/MainStoryboard.h"
#include "Notes/NTData.h"
#include "Notes/NTAppearance.h"
#include "Notes/SplitViewController.h"
#include "Notes/tests/launch_fixture.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/SystemColors.h"
#include "Platform/UIKit/TableViewHeaderFooterView.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

class SplitTest : public notes::testing::LaunchTest {
 protected:
  explicit SplitTest(ns::UserInterfaceIdiom idiom = ns::UserInterfaceIdiom::Phone) : LaunchTest(idiom) {
    launch();
    split_ = std::dynamic_pointer_cast<SplitViewController>(window_->rootViewController());
  }

  // The add button's distances to the window's right and bottom edges.
  std::pair<double, double> addButtonMargins() const {
    auto container = split_->floatingAddButtonView();
    ui::Rect frame = container->convertRectTo(container->bounds(), nullptr);
    ui::Rect window = window_->bounds();
    return {window.maxX() - frame.maxX(), window.maxY() - frame.maxY()};
  }

  std::shared_ptr<SplitViewController> split_;
};

class PadSplitTest : public SplitTest {
 protected:
  PadSplitTest() : SplitTest(ns::UserInterfaceIdiom::Pad) {}
};

TEST_F(SplitTest, AddButtonSitsInTheCornerWithItsThreeLayersAndTheMaskAbove) {
  EXPECT_EQ(SplitViewController::instance(), split_.get());
  auto container = split_->floatingAddButtonView();
  EXPECT_EQ(addButtonMargins(), std::make_pair(14.0, 8.0));
  EXPECT_FLOAT_EQ(container->alpha(), 0.8f);
  ASSERT_EQ(container->subviews().size(), 3u);
  EXPECT_EQ(container->subviews()[0]->accessibilityIdentifier(), "AddButton-Shadow");
  auto* button = dynamic_cast<ui::Button*>(container->subviews()[1].get());
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(container->subviews()[2]->accessibilityIdentifier(), "AddButton-Plus");
  // The ball is a template: it takes the tint.
  ASSERT_TRUE(button->currentImage());
  EXPECT_EQ(button->currentImage()->renderingMode(), ui::ImageRenderingMode::AlwaysTemplate);
  EXPECT_EQ(container->bounds().size, button->currentImage()->size());
  EXPECT_TRUE(split_->view()->tintColor()->isEqual(*NTAppearance::tintColor()));

  auto mask = split_->maskingView();
  EXPECT_TRUE(mask->isHidden());
  EXPECT_EQ(mask->frame(), split_->view()->bounds());
  const auto& layers = split_->view()->subviews();
  auto maskAt = std::find(layers.begin(), layers.end(), mask);
  auto buttonAt = std::find(layers.begin(), layers.end(), container);
  EXPECT_LT(buttonAt, maskAt);
  EXPECT_EQ(maskAt, layers.end() - 1);
}

TEST_F(PadSplitTest, AddButtonKeepsItsMarginsWhenTheScreenTurnsOrTheWindowResizes) {
  auto facts = ns::Device::current().facts();
  facts.orientation = ns::DeviceOrientation::LandscapeLeft;
  ns::Device::current().setFacts(facts);
  ui::Application::shared().screenBoundsDidChange();
  ASSERT_GT(window_->bounds().width(), window_->bounds().height());
  EXPECT_EQ(addButtonMargins(), std::make_pair(14.0, 8.0));

  window_->setFrame(ui::Rect(0, 0, 507, 700));  // a narrow window beside another app
  EXPECT_EQ(addButtonMargins(), std::make_pair(14.0, 8.0));
}

TEST_F(SplitTest, HidingAndShowingTwiceEndsAtTheSameAlpha) {
  auto container = split_->floatingAddButtonView();
  for (int round = 0; round < 2; ++round) {
    split_->hideFloatingAddButton();
    advance(0.5);
    EXPECT_EQ(container->alpha(), 0);
  }
  for (int round = 0; round < 2; ++round) {
    split_->showFloatingAddButton();
    advance(0.5);
    EXPECT_FLOAT_EQ(container->alpha(), 0.8f);
  }
  // Interleaved without waiting for the fades.
  split_->hideFloatingAddButton();
  split_->showFloatingAddButton();
  split_->hideFloatingAddButton();
  split_->showFloatingAddButton();
  advance(1);
  EXPECT_FLOAT_EQ(container->alpha(), 0.8f);
}

TEST_F(SplitTest, AddButtonAddsToTheFolderOnScreenElseToTheDefaultFolder) {
  auto& ctx = context();
  auto work = NTData::insertNewFolderAtIndex(ctx, 1);
  work->setTitle("Work");
  NTData::saveContext(ctx);
  auto* folders = FoldersViewController::instance();
  folders->showFolder(work, false);
  ui::Input::settle();

  ASSERT_TRUE(ui::Input::tap("AddButton")) << ui::Input::lastFailure();
  auto inWork = NTData::fetchSortedNotesInFolder(ctx, work);
  ASSERT_EQ(inWork.size(), 1u);
  EXPECT_EQ(NTData::countTotalNotes(ctx), 2u);

  // Back on the folder list (the untouched new note goes as the editor
  // leaves): the default folder takes the next one.
  auto* master = dynamic_cast<ui::NavigationController*>(split_->viewControllers()[0].get());
  master->popToRootViewController(false);
  ui::Input::settle();
  EXPECT_EQ(NTData::fetchSortedNotesInFolder(ctx, work).size(), 0u);
  ASSERT_TRUE(ui::Input::tap("AddButton")) << ui::Input::lastFailure();
  auto inDefault = NTData::fetchSortedNotesInFolder(ctx, NTData::defaultFolder(ctx));
  ASSERT_EQ(inDefault.size(), 2u);
  EXPECT_EQ(inDefault[0]->string().value_or(""), "");
  EXPECT_EQ(NTData::fetchSortedNotesInFolder(ctx, work).size(), 0u);
}

TEST_F(SplitTest, TableHeadersTakeTheAppsLooksWhenTheyEnterAWindow) {
  auto header = std::make_shared<ui::TableViewHeaderFooterView>();
  auto& label = header->textLabel();
  auto loose = std::make_shared<ui::Label>();
  split_->view()->addSubview(header);
  split_->view()->addSubview(loose);
  EXPECT_TRUE(header->tintColor()->isEqual(*ui::Color::systemGray()->withAlphaComponent(0.1)));
  EXPECT_TRUE(label.textColor()->isEqual(*ui::secondaryLabelColor()));
  // Only labels inside headers and footers.
  EXPECT_FALSE(loose->textColor() && loose->textColor()->isEqual(*ui::secondaryLabelColor()));
}

}  // namespace
