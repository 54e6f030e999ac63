// Every seed of the evaluator's fuzzer, inputs it once found faults with
// among them, run as the fuzzer runs them: none may crash, leak past the
// sanitizers' eyes or leave an engine over the live size cap.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "Libraries/Measurement/EventEditing/testing/MSRPEventEditingFuzzing.h"

namespace {

TEST(MSRPEventEditingFuzzSeedsTest, EverySeedRunsAndMostLoad) {
  std::filesystem::path folder = std::filesystem::path(QUILLBOX_SOURCE_DIR) / "fuzz" / "seeds" / "evaluator";
  size_t seeds = 0;
  size_t loaded = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().filename().string());
    ++seeds;
    if (MSRPEventEditingFuzzOneInput(bytes.data(), bytes.size())) ++loaded;
  }
  ASSERT_GT(seeds, 0u);
  // The seeds are the conformance cases, most of which load: a decoder
  // that read none of them would leave the fuzzer nothing to work from.
  EXPECT_GT(loaded, seeds / 2);
}

}  // namespace
