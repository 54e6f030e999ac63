// The string methods: the documented cases and departures as one table,
// texts with surrogate pairs and combining marks, the device locale, the
// regular expressions' errors and match limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"
#include "Platform/Foundation/StringUtf16.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace {

using namespace msrptest;

class MSRPStringCommandEvaluatorTest : public ::testing::Test {
 protected:
  // The method's result on the text with the argument values.
  MSRPValueRef call(const std::u16string& text, const std::u16string& method, const MSRPValueList& arguments,
                    ns::Error& error) {
    MSRPHeapActivation activation = runtime_.activateHeap();
    return string(text)->applyWithName(method, arguments, runtime_.getRunScope(), error);
  }
  std::string result(const std::u16string& text, const std::u16string& method, const MSRPValueList& arguments) {
    ns::Error error;
    MSRPValueRef value = call(text, method, arguments, error);
    return errorCode(error) != 0 ? "error " + std::to_string(errorCode(error)) : describe(value);
  }

  MSRPRuntime runtime_;
};

MSRPValueRef undefinedValue() { return MSRPUndefinedValue::sharedInstance(); }

TEST_F(MSRPStringCommandEvaluatorTest, MethodsAndTheirDepartures) {
  struct Case {
    std::u16string text;
    std::u16string method;
    MSRPValueList arguments;
    std::string expected;
  } cases[] = {
      {u"abc", u"charAt", {number(-1)}, "''"},
      {u"abc", u"charAt", {number(3)}, "''"},
      {u"abc", u"charAt", {}, "'a'"},
      {u"abc", u"charAt", {undefinedValue()}, "'a'"},
      {u"abc", u"charAt", {number(1e300)}, "''"},
      {u"abc", u"charAt", {number(-1e300)}, "''"},
      {u"abc", u"charAt", {number(1.9)}, "'b'"},
      {u"abc", u"charAt", {number(1), number(2)}, "error 9"},
      {u"ab", u"concat", {number(1), string(u"c")}, "'ab1c'"},
      {u"abc", u"hasOwnProperty", {string(u"1")}, "true"},
      {u"abc", u"hasOwnProperty", {number(1)}, "true"},
      {u"abc", u"hasOwnProperty", {number(1.5)}, "false"},
      {u"abc", u"hasOwnProperty", {number(3)}, "false"},
      {u"abc", u"hasOwnProperty", {string(u"length")}, "true"},
      {u"abc", u"hasOwnProperty", {string(u"x")}, "false"},
      {u"abcabc", u"indexOf", {string(u"c"), number(-5)}, "2"},
      {u"abcabc", u"indexOf", {string(u"c"), number(3)}, "5"},
      {u"abcabc", u"indexOf", {string(u"c"), number(1e300)}, "-1"},
      {u"abcabc", u"lastIndexOf", {string(u"c"), number(4)}, "2"},
      {u"abcabc", u"lastIndexOf", {string(u"c")}, "5"},
      {u"abcabc", u"lastIndexOf", {string(u"c"), undefinedValue()}, "5"},
      {u"abcabc", u"lastIndexOf", {string(u"a"), number(-3)}, "0"},
      {u"abc", u"indexOf", {string(u"")}, "-1"},
      {u"abc", u"lastIndexOf", {string(u"")}, "-1"},
      {u"an undefined", u"indexOf", {}, "3"},
      // A match ends on whole characters, and canonically equal texts match.
      {u"cafe\u0301", u"indexOf", {string(u"e")}, "-1"},
      {u"cafe\u0301", u"indexOf", {string(u"\u00e9")}, "3"},
      {u"x\U0001F600y\U0001F600", u"lastIndexOf", {string(u"\U0001F600")}, "4"},
      {u"a-b-c", u"replace", {string(u"-"), string(u"+")}, "'a+b-c'"},
      {u"abc", u"replace", {string(u"x"), string(u"y")}, "'abc'"},
      {u"abc", u"replace", {string(u""), string(u"x")}, "'xabc'"},
      {u"abc", u"replace", {string(u"b")}, "'aundefinedc'"},
      {u"a-b", u"replace", {string(u"-"), string(u"$&")}, "'a$&b'"},
      {u"a,b,,c", u"split", {string(u",")}, "['a','b','','c']"},
      {u"a,b,,c", u"split", {string(u","), number(2)}, "['a','b']"},
      {u"a,b,,c", u"split", {string(u","), number(0)}, "[]"},
      {u"a,b,,c", u"split", {string(u","), number(-1)}, "['a','b','','c']"},
      {u"abc", u"split", {string(u"")}, "['a','b','c']"},
      {u"abc", u"split", {string(u""), number(2)}, "['a','b']"},
      {u"abc", u"split", {}, "['abc']"},
      {u"", u"split", {string(u",")}, "['']"},
      {u",a,", u"split", {string(u",")}, "['','a','']"},
      {u"abc", u"substring", {number(2), number(0)}, "'ab'"},
      {u"abc", u"substring", {number(-1e300), number(1e300)}, "'abc'"},
      {u"abc", u"substring", {undefinedValue(), number(1)}, "'a'"},
      {u"abc", u"slice", {number(2), number(0)}, "''"},
      {u"abc", u"slice", {number(-2)}, "'bc'"},
      {u"abc", u"slice", {number(-9), number(-1)}, "'ab'"},
      {u"x1y22", u"match", {string(u"\\d+")}, "['1']"},
      {u"x1y22", u"match", {string(u"(\\d)(\\d)")}, "['22']"},
      {u"abc", u"match", {string(u"z")}, "null"},
      {u"abc", u"match", {}, "['']"},
      {u"a.c", u"match", {string(u".")}, "['a']"},
      {u"abc", u"search", {string(u"c")}, "2"},
      {u"abc", u"search", {string(u"")}, "0"},
      {u"abc", u"search", {string(u"z")}, "-1"},
      {u"is undefined", u"search", {}, "3"},
      {u"A\u00dfi", u"toUpperCase", {}, "'ASSI'"},
      {u"\u0130X", u"toLowerCase", {}, "'i\u0307x'"},
      {u"\u2028 a b\t\n", u"trim", {}, "'a b'"},
      {u"abc", u"toString", {}, "'abc'"},
      {u"abc", u"toString", {number(1)}, "error 9"},
      {u"abc", u"trim", {number(1)}, "error 9"},
      {u"abc", u"indexOf", {string(u"a"), number(0), number(0)}, "error 9"},
      {u"abc", u"padStart", {}, "error 17"},
      {u"abc", u"length", {}, "error 17"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(result(c.text, c.method, c.arguments), c.expected)
        << ns::toUtf8(c.text) << "." << ns::toUtf8(c.method);
  }
}

TEST_F(MSRPStringCommandEvaluatorTest, PositionsCountCodeUnitsAndKeepLoneSurrogates) {
  ns::Error error;
  std::u16string text = u"\U0001F600e\u0301 ";
  auto unitsOf = [](const MSRPValueRef& value) { return std::static_pointer_cast<MSRPStringValue>(value)->value(); };
  EXPECT_EQ(unitsOf(call(text, u"charAt", {number(0)}, error)), std::u16string(1, u'\xD83D'));
  EXPECT_EQ(unitsOf(call(text, u"charAt", {number(3)}, error)), u"\u0301");
  EXPECT_EQ(unitsOf(call(text, u"slice", {number(1), number(-1)}, error)), u"\xDE00" u"e\u0301");
  // A half pair survives trimming, case mapping and splitting.
  std::u16string lone = u" \xDE00x ";
  EXPECT_EQ(unitsOf(call(lone, u"trim", {}, error)), u"\xDE00x");
  EXPECT_EQ(unitsOf(call(lone, u"toUpperCase", {}, error)), u" \xDE00X ");
  EXPECT_EQ(describe(call(u"a\xDE00" u"b", u"split", {string(u"\xDE00")}, error)), "['a','b']");
  EXPECT_EQ(describe(call(text, u"hasOwnProperty", {number(4)}, error)), "true");
  EXPECT_EQ(errorCode(error), 0);
}

TEST_F(MSRPStringCommandEvaluatorTest, TheLocaleFormsFollowTheDevice) {
  ns::DeviceFacts facts;
  facts.localeIdentifier = "tr_TR";
  ns::testing::TemporaryDevice device(facts);
  EXPECT_EQ(result(u"istanbul", u"toLocaleUpperCase", {}), "'\u0130STANBUL'");
  EXPECT_EQ(result(u"ISTANBUL", u"toLocaleLowerCase", {}), "'\u0131stanbul'");
  EXPECT_EQ(result(u"istanbul", u"toUpperCase", {}), "'ISTANBUL'");
}

TEST_F(MSRPStringCommandEvaluatorTest, RegularExpressionFailuresAreThePlatformsErrors) {
  for (std::u16string method : {u"match", u"search"}) {
    SCOPED_TRACE(ns::toUtf8(method));
    ns::Error invalid;
    EXPECT_EQ(call(u"abc", method, {string(u"(")}, invalid), MSRPUndefinedValue::sharedInstance());
    EXPECT_EQ(invalid.domain(), ns::kCocoaErrorDomain);
    EXPECT_EQ(invalid.code(), 2048);

    // Exponential backtracking stops at the match limit: an error, never
    // "no match".
    ns::Error stopped;
    std::u16string text(100, u'a');
    text += u"!";
    EXPECT_EQ(call(text, method, {string(u"(a+)+$")}, stopped), MSRPUndefinedValue::sharedInstance());
    EXPECT_EQ(stopped.domain(), ns::kCocoaErrorDomain);
    EXPECT_EQ(stopped.code(), 2048);
    EXPECT_NE(stopped.userInfo().find("NSLocalizedDescription")->stringValue().find("limit"), std::string::npos);
  }
  // Under the limit a long text is searched whole.
  std::u16string text(1048575, u'a');
  text += u"b";
  EXPECT_EQ(result(text, u"search", {string(u"ab")}), "1048574");
  EXPECT_EQ(result(text, u"match", {string(u"b$")}), "['b']");
}

TEST_F(MSRPStringCommandEvaluatorTest, MadeStringsAreBounded) {
  std::u16string half(MSRPMaxStringLength / 2 + 1, u'a');
  EXPECT_EQ(result(half, u"concat", {string(half)}), "error 20");
  EXPECT_EQ(result(half, u"replace", {string(u"a"), string(half)}), "error 20");
  // "ß" upper-cases to two units, past the cap.
  EXPECT_EQ(result(std::u16string(MSRPMaxStringLength, u'\u00df'), u"toUpperCase", {}), "error 20");
  // A near-match at every position of the longest text is found in one
  // pass (comparing at every position would take minutes).
  std::u16string text(MSRPMaxStringLength, u'a');
  std::u16string pattern(MSRPMaxStringLength / 2 - 1, u'a');
  pattern += u"b";
  EXPECT_EQ(result(text, u"indexOf", {string(pattern)}), "-1");
  EXPECT_EQ(result(text, u"lastIndexOf", {string(pattern)}), "-1");
  EXPECT_EQ(result(text, u"replace", {string(pattern), string(u"")}).size(), MSRPMaxStringLength + 2);
}

}  // namespace
