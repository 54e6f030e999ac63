#include "Notes/NoteTextArchive.h"

#include <memory>
#include <mutex>

#include "Platform/Foundation/KeyedArchiveRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/StringUtf16.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/FontDescriptor.h"
#include "Platform/UIKit/ParagraphStyle.h"
#include "Platform/UIKit/TextAttachment.h"

namespace NoteTextArchive {
namespace {

// What a text's runs may hold; the text decodes its parts with this list
// itself, so the caller's allowed classes only need to name the text.
const ns::KeyedUnarchiver::ClassNames& partClasses() {
  static const ns::KeyedUnarchiver::ClassNames names = {
      "NSString", "NSNumber", "NSData", "NSDate", "NSArray", "NSDictionary",
      kFontClass, kColorClass, kParagraphStyleClass, kTextAttachmentClass, kFileWrapperClass};
  return names;
}

ns::Error corrupt(const std::string& why) {
  return ns::Error(ns::kCocoaErrorDomain, ns::kCoderReadCorruptError,
                   ns::Dictionary{{"NSDebugDescription", ns::Value(why)}});
}

class FontCoding : public ns::Coding {
 public:
  explicit FontCoding(std::shared_ptr<const ui::Font> font) : font(std::move(font)) {}
  std::string className() const override { return kFontClass; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override {
    coder.encodeObject(ns::Value(font->fontDescriptor().fontAttributes()), "UIFontDescriptorAttributes");
    coder.encodeDouble(font->pointSize(), "UIFontPointSize");
  }
  static std::shared_ptr<ns::Coding> decode(ns::KeyedUnarchiver& coder) {
    double size = coder.decodeDouble("UIFontPointSize");
    ns::KeyedArchiveObject attributes = coder.decodeObjectOfClasses({"NSDictionary", "NSString", "NSNumber"},
                                                                     "UIFontDescriptorAttributes");
    std::shared_ptr<const ui::Font> font;
    if (const ns::Value* v = attributes.value(); v && v->isDictionary())
      if (auto descriptor = ui::FontDescriptor::withFontAttributes(*v->asDictionary()))
        font = ui::Font::withDescriptor(*descriptor, size);
    // A family this machine lacks still gives text of the right size.
    if (!font) font = ui::Font::systemFont(size);
    return std::make_shared<FontCoding>(std::move(font));
  }
  std::shared_ptr<const ui::Font> font;
};

class ColorCoding : public ns::Coding {
 public:
  explicit ColorCoding(std::shared_ptr<const ui::Color> color) : color(std::move(color)) {}
  std::string className() const override { return kColorClass; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override {
    coder.encodeDouble(color->redComponent(), "UIRed");
    coder.encodeDouble(color->greenComponent(), "UIGreen");
    coder.encodeDouble(color->blueComponent(), "UIBlue");
    coder.encodeDouble(color->alpha(), "UIAlpha");
  }
  static std::shared_ptr<ns::Coding> decode(ns::KeyedUnarchiver& coder) {
    return std::make_shared<ColorCoding>(ui::Color::withRGBA(coder.decodeDouble("UIRed"), coder.decodeDouble("UIGreen"),
                                                             coder.decodeDouble("UIBlue"), coder.decodeDouble("UIAlpha")));
  }
  std::shared_ptr<const ui::Color> color;
};

class ParagraphStyleCoding : public ns::Coding {
 public:
  explicit ParagraphStyleCoding(std::shared_ptr<const ui::ParagraphStyle> style) : style(std::move(style)) {}
  std::string className() const override { return kParagraphStyleClass; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override {
    coder.encodeInteger(static_cast<int64_t>(style->alignment()), "NSAlignment");
    coder.encodeDouble(style->lineSpacing(), "NSLineSpacing");
    coder.encodeDouble(style->paragraphSpacing(), "NSParagraphSpacing");
    coder.encodeDouble(style->paragraphSpacingBefore(), "NSParagraphSpacingBefore");
    coder.encodeDouble(style->firstLineHeadIndent(), "NSFirstLineHeadIndent");
    coder.encodeDouble(style->headIndent(), "NSHeadIndent");
    coder.encodeDouble(style->tailIndent(), "NSTailIndent");
  }
  static std::shared_ptr<ns::Coding> decode(ns::KeyedUnarchiver& coder) {
    auto style = std::make_shared<ui::ParagraphStyle>();
    int64_t alignment = coder.decodeInteger("NSAlignment");
    style->setAlignment(alignment >= 0 && alignment <= 4 ? static_cast<ui::TextAlignment>(alignment)
                                                         : ui::TextAlignment::Natural);
    style->setLineSpacing(coder.decodeDouble("NSLineSpacing"));
    style->setParagraphSpacing(coder.decodeDouble("NSParagraphSpacing"));
    style->setParagraphSpacingBefore(coder.decodeDouble("NSParagraphSpacingBefore"));
    style->setFirstLineHeadIndent(coder.decodeDouble("NSFirstLineHeadIndent"));
    style->setHeadIndent(coder.decodeDouble("NSHeadIndent"));
    style->setTailIndent(coder.decodeDouble("NSTailIndent"));
    return std::make_shared<ParagraphStyleCoding>(std::move(style));
  }
  std::shared_ptr<const ui::ParagraphStyle> style;
};

class FileWrapperCoding : public ns::Coding {
 public:
  FileWrapperCoding(ns::Data contents, std::string filename)
      : contents(std::move(contents)), filename(std::move(filename)) {}
  std::string className() const override { return kFileWrapperClass; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override {
    coder.encodeData(contents, "NSFileWrapperContents");
    coder.encodeString(filename, "NSFileWrapperPreferredFilename");
  }
  static std::shared_ptr<ns::Coding> decode(ns::KeyedUnarchiver& coder) {
    return std::make_shared<FileWrapperCoding>(coder.decodeData("NSFileWrapperContents").value_or(ns::Data{}),
                                               coder.decodeString("NSFileWrapperPreferredFilename").value_or(""));
  }
  ns::Data contents;
  std::string filename;
};

class AttachmentCoding : public ns::Coding {
 public:
  explicit AttachmentCoding(std::shared_ptr<const ui::TextAttachment> attachment)
      : attachment(std::move(attachment)) {}
  std::string className() const override { return kTextAttachmentClass; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override {
    coder.encodeString(attachment->fileType(), "NSFileType");
    coder.encodeObject(std::make_shared<FileWrapperCoding>(attachment->contents(), attachment->preferredFilename()),
                       "NSFileWrapper");
  }
  static std::shared_ptr<ns::Coding> decode(ns::KeyedUnarchiver& coder) {
    auto wrapper = coder.decodeObjectOfClass<FileWrapperCoding>(kFileWrapperClass, "NSFileWrapper");
    if (!wrapper) {
      coder.failWithError(corrupt("attachment without file wrapper"));
      return nullptr;
    }
    std::string type = coder.decodeString("NSFileType").value_or("");
    if (type.empty()) type = ui::fileTypeForFilename(wrapper->filename);
    return std::make_shared<AttachmentCoding>(
        std::make_shared<ui::TextAttachment>(wrapper->contents, type, wrapper->filename));
  }
  std::shared_ptr<const ui::TextAttachment> attachment;
};

// The attribute value as an archive node; nil for an object of a kind
// notes do not store.
ns::KeyedArchiveObject encodeAttribute(const ns::AttributeValue& value) {
  if (const ns::Value* plain = value.value()) return ns::KeyedArchiveObject(*plain);
  if (auto font = value.as<ui::Font>()) return std::make_shared<FontCoding>(font);
  if (auto color = value.as<ui::Color>()) return std::make_shared<ColorCoding>(color);
  if (auto style = value.as<ui::ParagraphStyle>()) return std::make_shared<ParagraphStyleCoding>(style);
  if (auto attachment = value.as<ui::TextAttachment>()) return std::make_shared<AttachmentCoding>(attachment);
  return {};
}

ns::AttributeValue decodeAttribute(const ns::KeyedArchiveObject& node) {
  if (const ns::Value* plain = node.value()) return ns::AttributeValue(*plain);
  if (auto font = node.objectAs<FontCoding>()) return ns::AttributeValue(font->font);
  if (auto color = node.objectAs<ColorCoding>()) return ns::AttributeValue(color->color);
  if (auto style = node.objectAs<ParagraphStyleCoding>()) return ns::AttributeValue(style->style);
  if (auto attachment = node.objectAs<AttachmentCoding>()) return ns::AttributeValue(attachment->attachment);
  return {};
}

class TextCoding : public ns::Coding {
 public:
  explicit TextCoding(ns::AttributedString text) : text(std::move(text)) {}
  std::string className() const override { return kAttributedStringClass; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override {
    coder.encodeString(text.string(), "NSString");
    ns::Array lengths;
    ns::KeyedArchiveObject::Array runs;
    text.enumerateAttributes(ns::Range{0, text.length()}, 0,
                             [&](const ns::TextAttributes& attributes, ns::Range range, bool*) {
                               lengths.push_back(ns::Value(static_cast<long long>(range.length)));
                               ns::KeyedArchiveObject::Dictionary entries;
                               for (const auto& [name, value] : attributes)
                                 if (auto node = encodeAttribute(value)) entries.emplace_back(name, std::move(node));
                               runs.push_back(ns::KeyedArchiveObject::dictionary(std::move(entries)));
                             });
    coder.encodeObject(ns::Value(std::move(lengths)), "NSRunLengths");
    coder.encodeObject(ns::KeyedArchiveObject::array(std::move(runs)), "NSRunAttributes");
  }

  static std::shared_ptr<ns::Coding> decode(ns::KeyedUnarchiver& coder) {
    std::u16string characters = ns::toUtf16(coder.decodeString("NSString").value_or(""));
    ns::KeyedArchiveObject lengths = coder.decodeObjectOfClasses(partClasses(), "NSRunLengths");
    ns::KeyedArchiveObject runs = coder.decodeObjectOfClasses(partClasses(), "NSRunAttributes");
    if (coder.error()) return nullptr;
    if (characters.empty() && lengths.isNil() && runs.isNil())
      return std::make_shared<TextCoding>(ns::AttributedString());
    auto lengthItems = lengths.arrayItems();
    auto runItems = runs.arrayItems();
    if (!lengthItems || !runItems || lengthItems->size() != runItems->size()) {
      coder.failWithError(corrupt("attribute runs do not match"));
      return nullptr;
    }
    std::vector<ns::AttributedString::Run> built;
    size_t total = 0;
    for (size_t i = 0; i < runItems->size(); ++i) {
      const ns::Value* length = (*lengthItems)[i].value();
      auto entries = (*runItems)[i].dictionaryEntries();
      if (!length || !length->isInteger() || length->integerValue() < 0 || !entries) {
        coder.failWithError(corrupt("malformed attribute run"));
        return nullptr;
      }
      ns::AttributedString::Run run{static_cast<size_t>(length->integerValue()), {}};
      for (const auto& [name, node] : *entries)
        if (auto value = decodeAttribute(node)) run.attributes[name] = std::move(value);
      total += run.length;
      built.push_back(std::move(run));
    }
    if (total != characters.size()) {
      coder.failWithError(corrupt("attribute runs do not cover the text"));
      return nullptr;
    }
    return std::make_shared<TextCoding>(ns::AttributedString::withRuns(std::move(characters), std::move(built)));
  }

  ns::AttributedString text;
};

}  // namespace

void registerClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto& registry = ns::KeyedArchiveRegistry::shared();
    registry.registerClass({.name = kAttributedStringClass, .decode = TextCoding::decode});
    registry.registerClass({.name = kMutableAttributedStringClass,
                            .superclassNames = {kAttributedStringClass, "NSObject"},
                            .decode = TextCoding::decode});
    registry.registerClass({.name = kFontClass, .decode = FontCoding::decode});
    registry.registerClass({.name = kColorClass, .decode = ColorCoding::decode});
    registry.registerClass({.name = kParagraphStyleClass, .decode = ParagraphStyleCoding::decode});
    registry.registerClass({.name = kMutableParagraphStyleClass,
                            .superclassNames = {kParagraphStyleClass, "NSObject"},
                            .decode = ParagraphStyleCoding::decode});
    registry.registerClass({.name = kTextAttachmentClass, .decode = AttachmentCoding::decode});
    registry.registerClass({.name = kFileWrapperClass, .decode = FileWrapperCoding::decode});
  });
}

std::optional<ns::Data> archivedData(const ns::AttributedString& text, bool requiresSecureCoding, ns::Error* error) {
  registerClasses();
  return ns::KeyedArchiver::archivedDataWithRootObject(std::make_shared<TextCoding>(text), requiresSecureCoding,
                                                       error);
}

std::optional<ns::AttributedString> attributedString(const ns::KeyedArchiveObject& object) {
  if (auto text = object.objectAs<TextCoding>()) return text->text;
  return std::nullopt;
}

}  // namespace NoteTextArchive
