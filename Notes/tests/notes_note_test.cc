#include <gtest/gtest.h>

#include "Notes/ClassNameTransformer.h"
#include "Notes/NoteTextArchive.h"
#include "Notes/NTSettings.h"
#include "Notes/tests/NotesTestStore.h"
#include "Platform/Foundation/KeyedArchiveRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/StringUtf16.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ParagraphStyle.h"
#include "Platform/UIKit/TextAttachment.h"

namespace notes::testing {
namespace {

std::string repeat(const std::string& s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

TEST(NoteTitleTest, FirstLineTrimmedAndCutAtSixtyUnits) {
  const std::string emoji = "\U0001F600";  // two UTF-16 units
  struct Case {
    const char* name;
    std::optional<std::string> text;
    std::string title;
  };
  const std::vector<Case> cases = {
      {"nil text", std::nullopt, "New Note"},
      {"empty", "", "New Note"},
      {"only white space and breaks", " \n\t\r\n\u2029 ", "New Note"},
      {"one line", "Shopping", "Shopping"},
      {"trimmed at both ends", "  \n Shopping list \n", "Shopping list"},
      {"keeps the line break before a second line", "a\nb", "a\n"},
      {"CRLF kept whole", "a\r\nb", "a\r\n"},
      {"paragraph separator ends a line", "a\u2029b", "a\u2029"},
      {"line separator ends a line", "a\u2028b", "a\u2028"},
      {"100 characters", repeat("x", 100), repeat("x", 60)},
      {"60 characters and a break", repeat("y", 60) + "\nmore", repeat("y", 60)},
      {"59 characters and a break", repeat("y", 59) + "\nmore", repeat("y", 59) + "\n"},
      {"emoji straddling the cut", repeat("z", 59) + emoji + "tail", repeat("z", 59)},
      {"emoji ending at the cut", repeat("z", 58) + emoji + "tail", repeat("z", 58) + emoji},
      {"all emoji", repeat(emoji, 40), repeat(emoji, 30)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<ns::AttributedString> text;
    if (c.text) text = ns::AttributedString(*c.text);
    std::string title = NTNote::titleFromNoteText(text ? &*text : nullptr);
    EXPECT_EQ(title, c.title);
    EXPECT_LE(ns::utf16Length(title), NTNote::kMaxTitleLength);
    // Never half a surrogate pair.
    EXPECT_EQ(ns::toUtf8(ns::toUtf16(title)), title);
  }
}

class NoteTextTest : public NotesStoreTest {};

TEST_F(NoteTextTest, SetTextWithoutDateKeepsTheStamp) {
  auto note = NTData::insertNewNoteAtIndex(ctx(), 0, nullptr);
  ns::Date stamp(123456);
  ns::AttributedString first("First\nline");
  note->setText(&first, stamp);
  ns::AttributedString second("Second");
  note->setText(&second, std::nullopt);
  EXPECT_EQ(note->timeStamp(), stamp);
  EXPECT_EQ(note->string(), "Second");
  EXPECT_EQ(note->title(), "Second");
  EXPECT_EQ(note->text(), second);
}

ns::AttributedString richText() {
  auto font = ui::Font::withName(NTSettings::kDefaultFontFamilyName, 21);
  auto bold = ui::Font::boldSystemFont(15);
  auto style = std::make_shared<ui::ParagraphStyle>();
  style->setLineSpacing(4);
  style->setAlignment(ui::TextAlignment::Center);
  ns::Data png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 1, 2, 3};
  std::u16string text = u"Title \U0001F600\nbody ";
  text.push_back(ns::kAttachmentCharacter);
  return ns::AttributedString::withRuns(
      text, {{9, {{ns::kFontAttributeName, ns::AttributeValue(font)},
                  {ns::kForegroundColorAttributeName, ns::AttributeValue(ui::Color::withRGBA(0.1, 0.2, 0.3, 0.5))}}},
             {5, {{ns::kFontAttributeName, ns::AttributeValue(bold)},
                  {ns::kParagraphStyleAttributeName, ns::AttributeValue(std::shared_ptr<const ui::ParagraphStyle>(style))},
                  {ns::kUnderlineStyleAttributeName, ns::AttributeValue(1)}}},
             {1, {{ns::kAttachmentAttributeName, ns::AttributeValue(ui::TextAttachment::withPNG(png))}}}});
}

TEST_F(NoteTextTest, RichTextSurvivesSaveAndReopen) {
  ns::AttributedString text = richText();
  auto note = NTData::insertNewNoteAtIndex(ctx(), 0, nullptr);
  note->setText(&text);
  ASSERT_TRUE(NTData::saveContext(ctx()));
  stack_.reset();

  auto fresh = reopen();
  auto notes = NTData::fetchSortedNotesInFolder(*fresh->context, nullptr);
  ASSERT_EQ(notes.size(), 1u);
  ASSERT_TRUE(notes[0]->text().has_value());
  EXPECT_EQ(*notes[0]->text(), text);
  EXPECT_EQ(notes[0]->title(), "Title \U0001F600\n");
  EXPECT_TRUE(dvcr_testing::DodevadarudCallRecorder::shared().recordedErrors().empty());
}

// A class that refuses secure coding, as old archives may hold.
class LegacyMark : public ns::Coding {
 public:
  std::string className() const override { return "QBLegacyMark"; }
  bool supportsSecureCoding() const override { return false; }
  void encodeWithCoder(ns::KeyedArchiver&) const override {}
};

class LegacyText : public ns::Coding {
 public:
  std::string className() const override { return "QBLegacyText"; }
  bool supportsSecureCoding() const override { return false; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override {
    coder.encodeString("old", "NSString");
  }
};

TEST_F(NoteTextTest, TransformerFallsBackToInsecureDecoding) {
  ClassNameTransformer transformer;
  ns::KeyedArchiveRegistry::shared().registerClass(
      {.name = "QBLegacyMark", .decode = [](ns::KeyedUnarchiver&) { return std::make_shared<LegacyMark>(); },
       .supportsSecureCoding = false});

  // Plain text archived without secure coding: opens on the first try.
  ns::AttributedString plain("written long ago");
  auto insecure = NoteTextArchive::archivedData(plain, false, nullptr);
  ASSERT_TRUE(insecure);
  EXPECT_EQ(std::any_cast<ns::AttributedString>(transformer.reverseTransformedValue(*insecure)), plain);
  EXPECT_TRUE(dvcr_testing::DodevadarudCallRecorder::shared().recordedErrors().empty());

  // An attribute of a class outside the allowed ones: refused securely,
  // reported, then opened by the older call.
  auto marked = ns::AttributedString::withRuns(
      u"marked", {{6, {{"QBMark", ns::AttributeValue(ns::Value(1))}}}});
  auto data = NoteTextArchive::archivedData(marked, false, nullptr);
  ASSERT_TRUE(data);
  // Swap the plain attribute for the insecure object: re-archive by hand.
  ns::KeyedArchiver archiver(false);
  class MarkedText : public ns::Coding {
   public:
    std::string className() const override { return "NSAttributedString"; }
    bool supportsSecureCoding() const override { return false; }
    void encodeWithCoder(ns::KeyedArchiver& coder) const override {
      coder.encodeString("marked", "NSString");
      coder.encodeObject(ns::Value(ns::Array{ns::Value(6)}), "NSRunLengths");
      coder.encodeObject(ns::KeyedArchiveObject::array({ns::KeyedArchiveObject::dictionary(
                             {{"QBMark", std::make_shared<LegacyMark>()}})}),
                         "NSRunAttributes");
    }
  };
  archiver.encodeObject(std::make_shared<MarkedText>(), ns::KeyedArchiver::kRootKey);
  auto hostile = archiver.encodedData(nullptr);
  ASSERT_TRUE(hostile);
  std::any back = transformer.reverseTransformedValue(*hostile);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(std::any_cast<ns::AttributedString>(back).string(), "marked");
  EXPECT_EQ(dvcr_testing::DodevadarudCallRecorder::shared().recordedErrors().size(), 1u);

  // Not an archive at all: nil, never a crash.
  EXPECT_FALSE(transformer.reverseTransformedValue(ns::Data{'x', 'y'}).has_value());
  EXPECT_FALSE(transformer.reverseTransformedValue(std::any()).has_value());
  EXPECT_FALSE(transformer.transformedValue(std::any()).has_value());
}

TEST_F(NoteTextTest, ArchiveIsAKeyedArchiveOthersCanRead) {
  auto data = NoteTextArchive::archivedData(richText(), true, nullptr);
  ASSERT_TRUE(data);
  std::string path = device_.path("text.plist");
  FILE* f = fopen(path.c_str(), "wb");
  fwrite(data->data(), 1, data->size(), f);
  fclose(f);
  std::string command = "python3 -c \"import plistlib,sys; a=plistlib.load(open(sys.argv[1],'rb')); "
                        "assert a['\\$archiver']=='NSKeyedArchiver'; "
                        "print([o for o in a['\\$objects'] if isinstance(o,str) and o.startswith('Title')][0])\" " +
                        path;
  FILE* p = popen(command.c_str(), "r");
  char buffer[256] = {};
  size_t n = fread(buffer, 1, sizeof(buffer) - 1, p);
  EXPECT_EQ(pclose(p), 0);
  EXPECT_EQ(std::string(buffer, n), "Title \U0001F600\nbody \uFFFC\n");
}

}  // namespace
}  // namespace notes::testing
