// Rich text: a UTF-16 string with attributes over runs of it, addressed with
// the platform's ranges. One class serves both the immutable and the mutable
// form: copying is the mutable copy. Adjacent runs with equal attributes are
// kept merged, so two texts are equal exactly when their characters and the
// attributes of every character are equal.
//
// Indexes and ranges outside the text are programming errors and throw
// ns::Exception with kRangeException, as the platform does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/AttributeValue.h"
#include "Platform/Foundation/Range.h"

namespace ns {

// Attribute names, as the platform's text keys.
inline constexpr const char* kFontAttributeName = "NSFont";
inline constexpr const char* kForegroundColorAttributeName = "NSColor";
inline constexpr const char* kBackgroundColorAttributeName = "NSBackgroundColor";
inline constexpr const char* kParagraphStyleAttributeName = "NSParagraphStyle";
inline constexpr const char* kUnderlineStyleAttributeName = "NSUnderline";
inline constexpr const char* kStrikethroughStyleAttributeName = "NSStrikethrough";
inline constexpr const char* kAttachmentAttributeName = "NSAttachment";
inline constexpr const char* kLinkAttributeName = "NSLink";

// The character that stands for an attachment in the text.
inline constexpr char16_t kAttachmentCharacter = 0xFFFC;

// The attributes of one character; nil values are never stored.
using TextAttributes = std::map<std::string, AttributeValue, std::less<>>;

// Options of the enumerations.
inline constexpr uint32_t kEnumerationReverse = 1u << 1;
inline constexpr uint32_t kEnumerationLongestEffectiveRangeNotRequired = 1u << 20;

class AttributedString {
 public:
  AttributedString() = default;
  // Text given as UTF-8 (invalid bytes become U+FFFD), all with `attributes`.
  explicit AttributedString(std::string_view utf8, const TextAttributes& attributes = {});
  explicit AttributedString(std::u16string text, const TextAttributes& attributes = {});

  // One stretch of characters with the same attributes.
  struct Run {
    size_t length;
    TextAttributes attributes;
  };
  // Text with its runs given in order (readers of documents and archives
  // build texts this way in one step); the lengths must add up to the
  // text's length, else kInvalidArgumentException. Equal neighbours merge.
  static AttributedString withRuns(std::u16string text, std::vector<Run> runs);

  // Length in UTF-16 code units.
  size_t length() const { return text_.size(); }
  const std::u16string& utf16() const { return text_; }
  std::string string() const;  // the characters as UTF-8

  // The attributes of the character at `index`; `effectiveRange` (when
  // given) receives the whole range over which they are the same.
  TextAttributes attributesAtIndex(size_t index, Range* effectiveRange = nullptr) const;
  // One attribute at `index` (nil when absent); `effectiveRange` receives
  // the longest range around it with the same value.
  AttributeValue attributeAtIndex(std::string_view name, size_t index,
                                  Range* effectiveRange = nullptr) const;
  // The same, with the effective range clipped to `rangeLimit`.
  AttributeValue attributeAtIndex(std::string_view name, size_t index, Range* effectiveRange,
                                  Range rangeLimit) const;

  // Calls `block` for each longest run of `name` within `range`, also the
  // runs where it is absent (nil value). Setting *stop ends the walk. The
  // block may change attributes within the run it was given.
  using AttributeBlock = std::function<void(const AttributeValue& value, Range range, bool* stop)>;
  void enumerateAttribute(std::string_view name, Range range, uint32_t options,
                          const AttributeBlock& block) const;
  // Calls `block` for each run of equal attributes within `range`.
  using AttributesBlock =
      std::function<void(const TextAttributes& attributes, Range range, bool* stop)>;
  void enumerateAttributes(Range range, uint32_t options, const AttributesBlock& block) const;

  AttributedString attributedSubstring(Range range) const;

  // Mutation. Replaced or inserted plain characters take the attributes of
  // the first replaced character, or (for an insertion) of the character
  // before, or after when there is none before.
  void replaceCharacters(Range range, std::string_view utf8);
  void replaceCharacters(Range range, std::u16string_view text);
  void replaceCharacters(Range range, const AttributedString& text);
  void deleteCharacters(Range range) { replaceCharacters(range, std::u16string_view()); }
  void insert(const AttributedString& text, size_t index) {
    replaceCharacters(Range{index, 0}, text);
  }
  void append(const AttributedString& text) { replaceCharacters(Range{length(), 0}, text); }
  void setAttributedString(const AttributedString& text) { *this = text; }

  void setAttributes(const TextAttributes& attributes, Range range);
  void addAttribute(const std::string& name, const AttributeValue& value, Range range);
  void addAttributes(const TextAttributes& attributes, Range range);
  void removeAttribute(std::string_view name, Range range);

  // Bracket a series of changes; nothing observes text here, so these only
  // keep count (they must balance).
  void beginEditing() { ++editing_; }
  void endEditing();
  bool isEditing() const { return editing_ > 0; }

  bool operator==(const AttributedString& other) const;
  // The characters and each run's attributes, for logs and test failures.
  std::string description() const;

 private:
  void checkIndex(size_t index) const;
  void checkRange(Range range) const;
  // Makes a run start at `index` (<= length) and returns that run's index.
  size_t split(size_t index);
  // Merges equal neighbours and drops empty runs among runs [from, to),
  // widened by one on each side (all runs by default).
  void normalize(size_t from = 0, size_t to = SIZE_MAX);
  // Calls `change` on the attributes of every run inside `range`.
  void modify(Range range, const std::function<void(TextAttributes&)>& change);
  // The longest range around `index` over which `name` has the same value.
  Range attributeRange(std::string_view name, size_t index, const AttributeValue& value,
                       Range limit) const;

  std::u16string text_;
  std::vector<Run> runs_;  // lengths add up to text_.size()
  int editing_ = 0;
};

}  // namespace ns
