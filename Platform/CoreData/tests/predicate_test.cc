#include <gtest/gtest.h>

#include "Platform/CoreData/TextMatching.h"
#include "Platform/CoreData/tests/TestModel.h"

namespace cd::testing {
namespace {

using Op = Predicate::Operator;

// The same predicate must give the same answer from SQL in the store, from
// memory for changed objects, and from evaluate().
class PredicateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Stack s(makeModel(), path);
    auto work = insertFolder(*s.context, "Work", 0);
    insertFolder(*s.context, "Empty", 1);
    auto home = insertFolder(*s.context, "Home", 2);
    struct Row {
      const char* title;
      const char* string;  // nullptr: nil
      int order;
      double reminder;     // 0: nil
      std::shared_ptr<ManagedObject> folder;
    };
    const Row rows[] = {
        {"cafe", "Meet at the Café Müller", 0, 100, work},
        {"empty", "", 1, 0, work},
        {"nil", nullptr, 2, 300, home},
        {"upper", "CAFE SOCIETY", 3, 0, home},
        {"loose", "no folder", -1, 200, nullptr},
    };
    for (const Row& r : rows) {
      auto note = insertNote(*s.context, r.title, r.order, r.folder);
      if (r.string) note->setValue("string", ns::Value(r.string));
      if (r.reminder) note->setValue("reminderDate", ns::Value(ns::Date(r.reminder)));
    }
    ASSERT_TRUE(s.context->save(nullptr));
  }

  TemporaryDirectory dir;
  std::string path = dir.file("Notes.sqlite");
};

TEST_F(PredicateTest, StoreMemoryAndEvaluateAgree) {
  Stack s(makeModel(), path);
  auto folders = *s.context->executeFetchRequest(FetchRequest("Folder"), nullptr);
  auto folder = [&](const std::string& title) {
    for (auto& f : folders) {
      if (f->value("title").stringValue() == title) return f;
    }
    return std::shared_ptr<ManagedObject>();
  };
  auto notes = *s.context->executeFetchRequest(FetchRequest("Note"), nullptr);
  auto note = [&](const std::string& title) {
    for (auto& n : notes) {
      if (n->value("title").stringValue() == title) return n;
    }
    return std::shared_ptr<ManagedObject>();
  };
  const unsigned cd = Predicate::CaseInsensitive | Predicate::DiacriticInsensitive;
  struct Case {
    std::string name;
    PredicatePtr predicate;
    std::vector<std::string> expected;  // sorted by title
  };
  const std::vector<Case> cases = {
      {"title == cafe", Predicate::compare("title", Op::EqualTo, ns::Value("cafe")), {"cafe"}},
      {"title == CAFE (exact)", Predicate::compare("title", Op::EqualTo, ns::Value("CAFE")), {}},
      {"string == nil", Predicate::compare("string", Op::EqualTo, ns::Value()), {"nil"}},
      {"string != nil", Predicate::compare("string", Op::NotEqualTo, ns::Value()), {"cafe", "empty", "loose", "upper"}},
      {"string != '' keeps nil", Predicate::compare("string", Op::NotEqualTo, ns::Value("")),
       {"cafe", "loose", "nil", "upper"}},
      {"displayOrder >= 0", Predicate::compare("displayOrder", Op::GreaterThanOrEqualTo, ns::Value(0)),
       {"cafe", "empty", "nil", "upper"}},
      {"displayOrder <= 1.5", Predicate::compare("displayOrder", Op::LessThanOrEqualTo, ns::Value(1.5)),
       {"cafe", "empty", "loose"}},
      {"reminderDate <= date excludes nil",
       Predicate::compare("reminderDate", Op::LessThanOrEqualTo, ns::Value(ns::Date(200))), {"cafe", "loose"}},
      {"reminderDate > date", Predicate::compare("reminderDate", Op::GreaterThan, ns::Value(ns::Date(200))), {"nil"}},
      {"folder == Work", Predicate::compare("folder", Op::EqualTo, folder("Work")), {"cafe", "empty"}},
      {"folder == nil", Predicate::compare("folder", Op::EqualTo, std::shared_ptr<ManagedObject>()), {"loose"}},
      {"folder != nil (literal)", Predicate::compare("folder", Op::NotEqualTo, nullptr), {"cafe", "empty", "nil", "upper"}},
      {"reminderDate != nil (literal)", Predicate::compare("reminderDate", Op::NotEqualTo, nullptr),
       {"cafe", "loose", "nil"}},
      {"folder != Work", Predicate::compare("folder", Op::NotEqualTo, folder("Work")), {"loose", "nil", "upper"}},
      {"folder == Empty", Predicate::compare("folder", Op::EqualTo, folder("Empty")), {}},
      {"self == upper", Predicate::self(Op::EqualTo, note("upper")), {"upper"}},
      {"folder.displayOrder == 2", Predicate::compare("folder.displayOrder", Op::EqualTo, ns::Value(2)),
       {"nil", "upper"}},
      {"string CONTAINS[cd] cafe", Predicate::contains("string", "cafe", cd), {"cafe", "upper"}},
      {"string CONTAINS[cd] MULLER", Predicate::contains("string", "MULLER", cd), {"cafe"}},
      {"string CONTAINS[c] cafe", Predicate::contains("string", "cafe", Predicate::CaseInsensitive), {"upper"}},
      {"string CONTAINS Café", Predicate::contains("string", "Café"), {"cafe"}},
      {"string CONTAINS '' matches nothing", Predicate::contains("string", "", cd), {}},
      {"title ==[c] CAFE", Predicate::compare("title", Op::EqualTo, ns::Value("CAFE"), Predicate::CaseInsensitive),
       {"cafe"}},
      {"order >= 0 AND (string == nil OR string == '')",
       Predicate::andPredicate({Predicate::compare("displayOrder", Op::GreaterThanOrEqualTo, ns::Value(0)),
                                Predicate::orPredicate({Predicate::compare("string", Op::EqualTo, ns::Value()),
                                                        Predicate::compare("string", Op::EqualTo, ns::Value(""))})}),
       {"empty", "nil"}},
      {"reminderDate != nil AND reminderDate <= 250",
       Predicate::andPredicate({Predicate::compare("reminderDate", Op::NotEqualTo, ns::Value()),
                                Predicate::compare("reminderDate", Op::LessThanOrEqualTo, ns::Value(ns::Date(250)))}),
       {"cafe", "loose"}},
      {"NOT (displayOrder < 1)", Predicate::notPredicate(Predicate::compare("displayOrder", Op::LessThan, ns::Value(1))),
       {"empty", "nil", "upper"}},
      {"NOT (reminderDate <= date) keeps nil",
       Predicate::notPredicate(Predicate::compare("reminderDate", Op::LessThanOrEqualTo, ns::Value(ns::Date(200)))),
       {"empty", "nil", "upper"}},
      {"NOT (string CONTAINS[cd] cafe)", Predicate::notPredicate(Predicate::contains("string", "cafe", cd)),
       {"empty", "loose", "nil"}},
      {"AND with a key-path part", Predicate::andPredicate({Predicate::compare("folder.title", Op::EqualTo, ns::Value("Home")),
                                                            Predicate::compare("displayOrder", Op::LessThan, ns::Value(3))}),
       {"nil"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fetchTitles(*s.context, "Note", c.predicate), c.expected) << "store: " << c.name;
    std::vector<std::string> evaluated;
    for (const auto& n : notes) {
      if (c.predicate->evaluate(*n)) evaluated.push_back(n->value("title").stringValue());
    }
    std::sort(evaluated.begin(), evaluated.end());
    EXPECT_EQ(evaluated, c.expected) << "evaluate: " << c.name;
  }
  // Every object changed in memory: the same answers come from memory.
  for (auto& n : notes) n->setValue("timeStamp", ns::Value(ns::Date(1)));
  for (const auto& c : cases) {
    EXPECT_EQ(fetchTitles(*s.context, "Note", c.predicate), c.expected) << "memory: " << c.name;
    FetchRequest count("Note");
    count.setPredicate(c.predicate);
    EXPECT_EQ(s.context->countForFetchRequest(count, nullptr), c.expected.size()) << "count: " << c.name;
  }
}

// Folding for matching, also where ASCII meets other text: a mark after an
// ASCII letter composes with it (or is dropped with the accents), and case
// folding that yields ASCII ("ß") or comes from it stays exact.
TEST(TextMatchingTest, FoldsAcrossAsciiAndOtherText) {
  struct Case {
    const char* text;
    bool ci, di;
    const char* folded;
  };
  const Case cases[] = {
      {"Crème BRÛLÉE at the Lighthouse", true, true, "creme brulee at the lighthouse"},
      {"CAFE\u0301 au lait", true, true, "cafe au lait"},
      {"CAFE\u0301 au lait", true, false, "caf\u00e9 au lait"},
      {"Cafe\u0301", false, true, "Cafe"},
      {"A\u030A and a\u030A", false, false, "A\u030A and a\u030A"},
      {"A\u030A and a\u030A", true, false, "\u00e5 and \u00e5"},
      {"x=\u0338y", false, true, "x=y"},
      {"x=\u0338y", true, false, "x\u2260y"},
      {"STRASSE Stra\u00dfe", true, false, "strasse strasse"},
      {"\u00c9t\u00e9 \uD55C\uAE00 ok", true, true, "ete \u1112\u1161\u11ab\u1100\u1173\u11af ok"},
      {"plain ASCII, Mixed Case!", true, true, "plain ascii, mixed case!"},
      {"", true, true, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(foldForMatching(c.text, c.ci, c.di), c.folded) << c.text << " " << c.ci << c.di;
  }
}

// Searching in place agrees with searching the folded copy, for every
// combination of options, ASCII text or not.
TEST(TextMatchingTest, ContainsAgreesWithSearchingTheFoldedText) {
  const char* texts[] = {"Walked to the LIGHTHOUSE and back", "Walked to the lighthouse caf\u00e9", "Lighthouse",
                         "light house", "STRASSE", "cafe\u0301", ""};
  const char* needles[] = {"lighthouse", "LightHouse", "caf\u00e9", "cafe", "stra\u00dfe", "e", "\u0301", "house and"};
  for (const char* text : texts) {
    for (const char* needle : needles) {
      for (bool ci : {false, true}) {
        for (bool di : {false, true}) {
          const std::string folded = foldForMatching(needle, ci, di);
          const bool expected = !folded.empty() && foldForMatching(text, ci, di).find(folded) != std::string::npos;
          EXPECT_EQ(containsForMatching(text, folded, ci, di), expected) << text << " / " << needle << " " << ci << di;
        }
      }
    }
  }
}

TEST_F(PredicateTest, UnknownKeysAreProgrammingErrors) {
  Stack s(makeModel(), path);
  FetchRequest request("Note");
  request.setPredicate(Predicate::compare("nope", Op::EqualTo, ns::Value(1)));
  EXPECT_THROW(s.context->executeFetchRequest(request, nullptr), ns::Exception);
  request.setPredicate(nullptr);
  request.setSortDescriptors({SortDescriptor("folder.nope", true)});
  EXPECT_THROW(s.context->executeFetchRequest(request, nullptr), ns::Exception);
}

TEST_F(PredicateTest, FormatReadsLikeThePredicate) {
  auto p = Predicate::andPredicate(
      {Predicate::compare("displayOrder", Op::GreaterThanOrEqualTo, ns::Value(0)),
       Predicate::orPredicate({Predicate::compare("string", Op::EqualTo, ns::Value()),
                               Predicate::contains("string", "x", Predicate::CaseInsensitive | Predicate::DiacriticInsensitive)})});
  EXPECT_EQ(p->predicateFormat(), "displayOrder >= 0 AND (string == nil OR string CONTAINS[cd] \"x\")");
}

}  // namespace
}  // namespace cd::testing
