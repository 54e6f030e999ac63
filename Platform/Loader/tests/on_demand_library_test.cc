// A library opened on first use: nothing is mapped before a function is
// asked for, then the image is opened once (the loader's callbacks hear of
// it), whatever the number of threads asking; a missing library or
// function is an answer with the reason, not a crash.
#include <gtest/gtest.h>
#include <link.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Platform/Loader/Loader.h"
#include "Platform/Loader/OnDemandLibrary.h"

extern "C" int loader_test_image_answer(void);  // declared as its header would; never linked

namespace {

std::atomic<int> imagesAdded{0};
void countTestImage(const loader::Image& image) {
  if (std::strcmp(image.path, LOADER_TEST_IMAGE) == 0) ++imagesAdded;
}

bool mapped(const char* path) {
  std::pair<const char*, bool> wanted{path, false};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* context) {
        auto* wanted = static_cast<std::pair<const char*, bool>*>(context);
        if (info->dlpi_name && std::strcmp(info->dlpi_name, wanted->first) == 0) wanted->second = true;
        return 0;
      },
      &wanted);
  return wanted.second;
}

class OnDemandLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    imagesAdded = 0;
    loader::registerAddedCallback(countTestImage);
  }
  void TearDown() override { loader::unregisterCallback(countTestImage); }
};

TEST_F(OnDemandLibraryTest, OpensOnTheFirstFunctionAskedOnceForEveryThread) {
  loader::OnDemandLibrary library(LOADER_TEST_IMAGE);
  EXPECT_FALSE(mapped(LOADER_TEST_IMAGE));
  EXPECT_EQ(imagesAdded, 0);

  std::atomic<int> answers{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      std::string why;
      auto answer = library.function(&loader_test_image_answer, "loader_test_image_answer", &why);
      if (answer && answer() == 42) ++answers;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(answers, 8);
  EXPECT_TRUE(mapped(LOADER_TEST_IMAGE));
  EXPECT_EQ(imagesAdded, 1);
  EXPECT_TRUE(library.open());
}

TEST_F(OnDemandLibraryTest, AMissingLibraryOrFunctionIsNullWithTheReason) {
  loader::OnDemandLibrary missing("libquillbox-no-such-library.so.1");
  std::string why;
  EXPECT_EQ(missing.function(&loader_test_image_answer, "loader_test_image_answer", &why), nullptr);
  EXPECT_NE(why.find("libquillbox-no-such-library.so.1"), std::string::npos) << why;
  std::string again;
  EXPECT_FALSE(missing.open(&again));
  EXPECT_EQ(again, why);  // the first answer stands

  loader::OnDemandLibrary library(LOADER_TEST_IMAGE);
  why.clear();
  EXPECT_EQ(library.function(&loader_test_image_answer, "loader_test_image_no_such_function", &why), nullptr);
  EXPECT_NE(why.find("loader_test_image_no_such_function"), std::string::npos) << why;
  EXPECT_NE(library.function(&loader_test_image_answer, "loader_test_image_answer"), nullptr);
}

}  // namespace
