#include "Platform/Runtime/Runtime.h"

#include <gtest/gtest.h>

namespace {

class Greeter {
 public:
  virtual ~Greeter() = default;
  virtual std::string greeting() const = 0;
};

class Farewell {
 public:
  virtual ~Farewell() = default;
};

class RTTestGreeter : public rt::Class, public Greeter {
 public:
  explicit RTTestGreeter(std::string text) : rt::Class("RTTestGreeter", {"greeting"}), text_(std::move(text)) {}
  std::string greeting() const override { return text_; }

 private:
  std::string text_;
};

TEST(RuntimeTest, ClassesAreFoundByNameAndAnswerForTheirProtocolsAndOperations) {
  EXPECT_EQ(rt::classFromString("RTTestGreeter"), nullptr);
  rt::registerClass(nullptr);
  rt::registerClass(std::make_shared<RTTestGreeter>("hello"));

  std::shared_ptr<rt::Class> found = rt::classFromString("RTTestGreeter");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name(), "RTTestGreeter");
  EXPECT_TRUE(rt::conformsToProtocol<Greeter>(*found));
  EXPECT_FALSE(rt::conformsToProtocol<Farewell>(*found));
  EXPECT_EQ(rt::classAs<Farewell>(found), nullptr);
  ASSERT_TRUE(rt::classAs<Greeter>(found));
  EXPECT_EQ(rt::classAs<Greeter>(found)->greeting(), "hello");

  EXPECT_TRUE(found->respondsToSelector("greeting"));
  EXPECT_FALSE(found->respondsToSelector("greeting:"));
  EXPECT_FALSE(found->respondsToSelector(""));

  // A later class of the same name replaces the first.
  rt::registerClass(std::make_shared<RTTestGreeter>("again"));
  EXPECT_EQ(rt::classAs<Greeter>(rt::classFromString("RTTestGreeter"))->greeting(), "again");
}

}  // namespace
