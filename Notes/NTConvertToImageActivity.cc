#include "Notes/NTConvertToImageActivity.h"

#include <algorithm>
#include <cmath>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Notes/NTLocalized.h"
#include "Platform/UIKit/ActivityViewController.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/GraphicsContext.h"
#include "Platform/UIKit/TextDrawing.h"

namespace {

constexpr double kInset = 3;      // the footer's distance from the card's edges
constexpr double kIconSide = 11;

// A footer line in the system font.
ns::AttributedString footerText(const std::string& text, double size, const std::shared_ptr<const ui::Color>& color) {
  return ns::AttributedString(text, {{ns::kFontAttributeName, ns::AttributeValue(ui::Font::systemFont(size))},
                                     {ns::kForegroundColorAttributeName, ns::AttributeValue(color)}});
}

}  // namespace

std::string NTConvertToImageActivity::activityTitle() const { return NTLocalized("Share as Image"); }

ui::ImagePtr NTConvertToImageActivity::activityImage() const { return ui::Image::named("ConvertToImage"); }

bool NTConvertToImageActivity::canPerform(const ui::ActivityItems& items) const {
  return std::any_of(items.begin(), items.end(),
                     [](const std::any& item) { return item.type() == typeid(NTConvertToImageItem); });
}

void NTConvertToImageActivity::prepare(const ui::ActivityItems& items) {
  for (const auto& item : items) {
    if (auto* found = std::any_cast<NTConvertToImageItem>(&item)) {
      text_ = *found;
      return;
    }
  }
}

ui::Size NTConvertToImageActivity::cardSize(const ns::AttributedString& text) {
  ui::Size measured = ui::boundingSize(text, kTextWidth);
  return ui::Size{std::ceil(float(measured.width)) + 2 * kMargin,
                  std::ceil(float(measured.height)) + 2 * kMargin + kFooterHeight};
}

ui::ImagePtr NTConvertToImageActivity::renderCard(const ns::AttributedString& text) {
  ui::Size size = cardSize(text);
  double w = size.width, h = size.height;
  ui::GraphicsContext::beginImageContext(size, true, 0);
  cg::ImageContext& context = *ui::GraphicsContext::current();

  ui::Rect card(0, 0, w, h);
  context.setFillColor(cg::Rgba::white());
  context.fillRect(card);
  context.setStrokeColor(cg::Rgba::black());
  context.setLineWidth(1);
  context.strokeRect(card);
  ui::drawText(context, text, ui::Rect(kMargin, kMargin, w - 2 * kMargin, h - 2 * kMargin));

  // The footer: "Created with" above the app's name, right-aligned on the
  // longer of the two, with the icon to their left.
  auto caption = footerText(NTLocalized("Created with"), 4.5, ui::Color::lightGray());
  auto name = footerText(TXKit::applicationName(), 5.3, ui::Color::gray());
  double footerWidth = w - kInset - kInset - kIconSide;
  ui::Size captionSize = ui::boundingSize(caption, footerWidth);
  ui::Size nameSize = ui::boundingSize(name, footerWidth);
  double x = w - std::max(nameSize.width, captionSize.width) - kInset;
  ui::drawText(context, name, ui::Rect(x, h - kInset - nameSize.height, nameSize.width + 1, nameSize.height));
  ui::drawText(context, caption,
               ui::Rect(x, h - kInset - nameSize.height - captionSize.height, captionSize.width + 1, captionSize.height));
  if (auto icon = TXKit::applicationIcon()) {
    context.saveState();
    context.setShadow(ui::Point{0, 0.5}, 0, ui::rgba(*ui::Color::gray()));
    context.setBlendMode(cg::BlendMode::Normal);
    context.setAlpha(1);
    icon->draw(context, ui::Rect(x - kIconSide - kInset, h - kIconSide - kInset, kIconSide, kIconSide));
    context.restoreState();
  }
  auto image = ui::GraphicsContext::imageFromCurrentContext();
  ui::GraphicsContext::endImageContext();
  return image;
}

std::shared_ptr<ui::ViewController> NTConvertToImageActivity::activityViewController() {
  if (!text_) return nullptr;
  ui::ActivityItems items{renderCard(text_->text), ui::SimpleTextPrintFormatter{text_->text}};
  return ui::ActivityViewController::make(std::move(items));
}
