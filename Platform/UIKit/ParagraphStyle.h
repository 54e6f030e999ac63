// How the lines of a paragraph are laid out: alignment, spacing and indents,
// in points. A text attribute holds a shared immutable style; to change one,
// copy it, set fields and share the copy (the platform's mutable copy).
#pragma once

#include <memory>
#include <string>

#include "Platform/Foundation/AttributeValue.h"

namespace ui {

enum class TextAlignment { Left = 0, Center = 1, Right = 2, Justified = 3, Natural = 4 };

class ParagraphStyle : public ns::AttributeObject {
 public:
  ParagraphStyle() = default;
  // The platform's default style: natural alignment, everything else 0.
  static std::shared_ptr<const ParagraphStyle> defaultParagraphStyle();

  TextAlignment alignment() const { return alignment_; }
  void setAlignment(TextAlignment a) { alignment_ = a; }
  // Extra space between the lines of the paragraph.
  double lineSpacing() const { return lineSpacing_; }
  void setLineSpacing(double v) { lineSpacing_ = v < 0 ? 0 : v; }
  double paragraphSpacing() const { return paragraphSpacing_; }  // after
  void setParagraphSpacing(double v) { paragraphSpacing_ = v < 0 ? 0 : v; }
  double paragraphSpacingBefore() const { return paragraphSpacingBefore_; }
  void setParagraphSpacingBefore(double v) { paragraphSpacingBefore_ = v < 0 ? 0 : v; }
  double firstLineHeadIndent() const { return firstLineHeadIndent_; }
  void setFirstLineHeadIndent(double v) { firstLineHeadIndent_ = v; }
  double headIndent() const { return headIndent_; }
  void setHeadIndent(double v) { headIndent_ = v; }
  double tailIndent() const { return tailIndent_; }
  void setTailIndent(double v) { tailIndent_ = v; }

  bool isDefault() const;
  bool isEqual(const ns::AttributeObject& other) const override;
  size_t hash() const override;
  std::string description() const override;

 private:
  TextAlignment alignment_ = TextAlignment::Natural;
  double lineSpacing_ = 0;
  double paragraphSpacing_ = 0;
  double paragraphSpacingBefore_ = 0;
  double firstLineHeadIndent_ = 0;
  double headIndent_ = 0;
  double tailIndent_ = 0;
};

}  // namespace ui
