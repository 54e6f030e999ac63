#include "Platform/UIKit/ParagraphStyle.h"

#include <cmath>
#include <cstdio>

namespace ui {

namespace {
bool same(double a, double b) { return std::fabs(a - b) < 1e-6; }
}  // namespace

std::shared_ptr<const ParagraphStyle> ParagraphStyle::defaultParagraphStyle() {
  static const auto style = std::make_shared<const ParagraphStyle>();
  return style;
}

bool ParagraphStyle::isDefault() const { return isEqual(ParagraphStyle()); }

bool ParagraphStyle::isEqual(const ns::AttributeObject& other) const {
  auto* s = dynamic_cast<const ParagraphStyle*>(&other);
  return s && alignment_ == s->alignment_ && same(lineSpacing_, s->lineSpacing_) &&
         same(paragraphSpacing_, s->paragraphSpacing_) &&
         same(paragraphSpacingBefore_, s->paragraphSpacingBefore_) &&
         same(firstLineHeadIndent_, s->firstLineHeadIndent_) && same(headIndent_, s->headIndent_) &&
         same(tailIndent_, s->tailIndent_);
}

size_t ParagraphStyle::hash() const {
  return static_cast<size_t>(alignment_) * 31 + static_cast<size_t>(std::lround(lineSpacing_ * 8));
}

std::string ParagraphStyle::description() const {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer,
                "Alignment %d, LineSpacing %g, ParagraphSpacing %g, ParagraphSpacingBefore %g, "
                "HeadIndent %g, TailIndent %g, FirstLineHeadIndent %g",
                static_cast<int>(alignment_), lineSpacing_, paragraphSpacing_,
                paragraphSpacingBefore_, headIndent_, tailIndent_, firstLineHeadIndent_);
  return buffer;
}

}  // namespace ui
