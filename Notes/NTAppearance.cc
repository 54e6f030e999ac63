#include "Notes/NTAppearance.h"

#include "Platform/UIKit/Appearance.h"
#include "Platform/UIKit/AssetCatalog.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/SystemColors.h"
#include "Platform/UIKit/TableViewHeaderFooterView.h"

namespace {
constexpr const char* kBodyImage = "Body";
}

std::shared_ptr<const ui::Color> NTAppearance::tintColor() {
  return ui::Color::withRGBA(0.9411764705882353, 0.24313725490196078, 0.054901960784313725, 1);
}

ui::StatusBarStyle NTAppearance::preferredStatusBarStyle() { return ui::StatusBarStyle::Default; }

std::shared_ptr<const ui::Color> NTAppearance::navigationTintColor() { return tintColor(); }

std::shared_ptr<const ui::Color> NTAppearance::navigationBackgroundColor() { return nullptr; }

std::shared_ptr<const ui::Image> NTAppearance::navigationBackgroundImage() {
  auto body = ui::Image::named(kBodyImage);
  if (!body) return nullptr;
  return body->resizableWithCapInsets(ui::EdgeInsets{1, 0, 0, 0}, ui::ImageResizingMode::Tile);
}

std::shared_ptr<const ui::Color> NTAppearance::masterBackgroundColor() {
  auto body = ui::Image::named(kBodyImage);
  return body ? ui::colorWithPatternImage(body) : ui::systemBackgroundColor();
}

std::shared_ptr<const ui::Color> NTAppearance::detailBackgroundColor() { return masterBackgroundColor(); }

std::shared_ptr<const ui::Color> NTAppearance::selectedCellBackgroundColor() {
  return ui::AssetCatalog::shared().color("SelectedCellColor");
}

std::shared_ptr<const ui::Color> NTAppearance::pinTintColor() { return ui::AssetCatalog::shared().color("PinTintColor"); }

std::shared_ptr<const ui::Color> NTAppearance::pinBackgroundColor() { return masterBackgroundColor(); }

float NTAppearance::floatingAddButtonAlpha() { return 0.8f; }

void NTAppearance::load() {
  auto& appearance = ui::Appearance::shared();
  appearance.add<ui::TableViewHeaderFooterView>(
      [](ui::TableViewHeaderFooterView& v) { v.setTintColor(ui::Color::systemGray()->withAlphaComponent(0.1)); });
  appearance.addWhenContainedIn<ui::Label, ui::TableViewHeaderFooterView>(
      [](ui::Label& label) { label.setTextColor(ui::secondaryLabelColor()); });
}
