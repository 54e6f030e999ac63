// Symbolication of crafted report files against this test program (linked
// with exported symbols) and the C library, each image recorded at a base
// other than its current one: every name must be the one `nm -D -C` gives
// for the translated address (and `addr2line -f -C` for our non-inlined
// functions), with its offset and library.
#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "Libraries/CrashReporter/DVCRBinaryImage.h"
#include "Libraries/CrashReporter/DVCRDemangleOperation.h"
#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRProcessReportOperation.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"
#include "Libraries/CrashReporter/tests/SymbolicationFunctions.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Loader/Loader.h"

namespace {

using dvcr_testing::CrashReporterTest;

// An image loaded now, and where the crafted report says it was.
struct RecordedImage {
  std::string path;
  std::string uuid;
  uint64_t base = 0;      // now
  intptr_t slide = 0;     // now
  uint64_t size = 0;
  uint64_t recordedBase = 0;

  uint64_t recorded(uint64_t address) const { return address - base + recordedBase; }
};

RecordedImage imageHolding(const void* address, uint64_t recordedBase) {
  for (const auto& image : loader::loadedImages()) {
    DVCRBinaryImageDetails details{};
    if (!DVCRBinaryImageFillInImageDetails({image.header, image.slide, image.path.c_str()}, &details)) continue;
    auto value = reinterpret_cast<uint64_t>(address);
    if (value >= details.node.baseAddress && value - details.node.baseAddress < details.node.size)
      return {image.path, details.uuidString, details.node.baseAddress, image.slide, details.node.size, recordedBase};
  }
  ADD_FAILURE() << "no image holds " << address;
  return {};
}

// A dynamic symbol as `nm -D -C -S` lists it.
struct NmSymbol {
  uint64_t start;
  uint64_t size;
};

class SymbolicationTest : public CrashReporterTest {
 protected:
  // Names of the defined dynamic symbols holding the file address (2 bytes
  // earlier when a symbol starts there), with their start and the address
  // looked up; aliases share a start.
  std::tuple<std::set<std::string>, uint64_t, uint64_t> nmSymbolsHolding(const std::string& file, uint64_t address) {
    auto& table = nmTables_[file];
    if (table.empty()) {
      std::istringstream lines(run("nm -D -C -S --defined-only '" + file + "'"));
      std::string line;
      while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string start, size, type, name;
        if (!(fields >> start >> size >> type) || type.size() != 1) continue;
        std::getline(fields >> std::ws, name);
        name = name.substr(0, name.find('@'));  // "getpid@@GLIBC_2.2.5"
        table.emplace_back(name, NmSymbol{std::stoull(start, nullptr, 16), std::stoull(size, nullptr, 16)});
      }
    }
    // A return address at a symbol's first byte belongs to the call before.
    for (const auto& entry : table) {
      if (entry.second.start == address) {
        address -= 2;
        break;
      }
    }
    std::set<std::string> names;
    uint64_t start = 0;
    for (const auto& [name, symbol] : table) {
      if (address >= symbol.start && address < symbol.start + symbol.size) {
        names.insert(name);
        start = symbol.start;
      }
    }
    return {names, start, address};
  }

  std::string addr2lineFunction(const std::string& file, uint64_t address) {
    std::string out = run(ns::format("addr2line -f -C -e '%@' 0x%llx", file, static_cast<unsigned long long>(address)));
    return out.substr(0, out.find('\n'));
  }

  void writeBinaryImages(const std::string& folder, const std::vector<RecordedImage>& images,
                         const std::string& extraLines = "") {
    std::string text;
    for (const auto& image : images) {
      text += ns::format("{\"load\":{\"path\":\"%@\",\"uuid\":\"%@\",\"base\":%llu,\"size\":%llu}}\n", image.path,
                         image.uuid, static_cast<unsigned long long>(image.recordedBase),
                         static_cast<unsigned long long>(image.size));
    }
    writeAll(folder + "/binary_images.dvrecord", text + extraLines);
  }

  static std::string threadsLine(const std::vector<std::vector<uint64_t>>& threads) {
    std::string text = "{\"threads\":[";
    for (size_t t = 0; t < threads.size(); ++t) {
      text += t ? ",{\"stacktrace\":[" : "{\"stacktrace\":[";
      for (size_t f = 0; f < threads[t].size(); ++f)
        text += (f ? "," : "") + std::to_string(threads[t][f]);
      text += "]}";
    }
    return text + "]}\n";
  }

  // The symbolicated file's threads, as read back.
  static ns::Array readThreads(const std::string& path) {
    auto sections = DVCRFileReadSections(path.c_str(), false);
    EXPECT_TRUE(sections && sections->size() == 1) << path;
    if (!sections || sections->empty() || !sections->front().find("threads")) return {};
    return *sections->front().find("threads")->asArray();
  }

  std::map<std::string, std::vector<std::pair<std::string, NmSymbol>>> nmTables_;
};

TEST_F(SymbolicationTest, EveryFrameCarriesTheSymbolNmHoldsForItsTranslatedAddress) {
  RecordedImage program = imageHolding(reinterpret_cast<void*>(&dvcr_symbols::firstCallee), 0x5550000000);
  void* getpidAddress = dlsym(RTLD_DEFAULT, "getpid");
  RecordedImage libc = imageHolding(getpidAddress, 0x7770000000);
  ASSERT_EQ(std::filesystem::path(program.path), std::filesystem::canonical("/proc/self/exe"));
  ASSERT_EQ(program.uuid.size(), 32u);

  std::string folder = path("report");
  std::filesystem::create_directories(folder);
  // A null base (an image whose load address was lost) matches nothing.
  writeBinaryImages(folder, {program, libc},
                    "{\"load\":{\"path\":\"/lost.so\",\"uuid\":\"00112233445566778899aabbccddeeff\","
                    "\"base\":null,\"size\":18446744073709551615}}\n");

  auto address = [](auto function) { return reinterpret_cast<uint64_t>(function); };
  uint64_t first = address(&dvcr_symbols::firstCallee);
  uint64_t second = address(&dvcr_symbols::secondCallee);
  uint64_t apply = address(&dvcr_symbols::Wrapper<int>::apply);
  uint64_t getpidStart = address(getpidAddress);
  // Current addresses of the frames: inside functions, and one at the
  // first byte of secondCallee, which belongs to the call before it.
  std::vector<uint64_t> programFrames = {first + 2, second + 5, apply + 1, second};
  std::vector<std::vector<uint64_t>> threads = {
      {program.recorded(programFrames[0]), program.recorded(programFrames[1]), libc.recorded(getpidStart + 4)},
      {program.recorded(programFrames[2]), program.recorded(programFrames[3]), 0x1234},
      {}};
  writeAll(folder + "/signal.dvrecord", "{\"signal\":{\"number\":11}}\n" + threadsLine(threads));

  DVCRProcessReportOperation(DVCRInternalReport::reportWithPath(folder, "0123"), std::make_shared<DVCRSymbolResolver>())
      .start();
  ns::Array out = readThreads(folder + "/signal.dvrecord.symbolicated");
  ASSERT_EQ(out.size(), 3u);
  ASSERT_EQ(out[0].asArray()->size(), 3u);
  ASSERT_EQ(out[1].asArray()->size(), 3u);
  EXPECT_TRUE(out[2].asArray()->empty());

  struct Expected {
    const ns::Value& frame;
    const RecordedImage& image;
    uint64_t current;
    bool ourFunction;
  };
  std::vector<Expected> cases = {{(*out[0].asArray())[0], program, programFrames[0], true},
                                 {(*out[0].asArray())[1], program, programFrames[1], true},
                                 {(*out[0].asArray())[2], libc, getpidStart + 4, false},
                                 {(*out[1].asArray())[0], program, programFrames[2], true},
                                 {(*out[1].asArray())[1], program, programFrames[3], true}};
  for (const auto& c : cases) {
    uint64_t fileAddress = c.current - static_cast<uint64_t>(c.image.slide);
    auto [names, start, lookedUp] = nmSymbolsHolding(c.image.path, fileAddress);
    fileAddress = lookedUp;
    ASSERT_FALSE(names.empty()) << std::hex << fileAddress;
    std::string symbol = c.frame.find("symbol")->stringValue();
    EXPECT_TRUE(names.contains(symbol)) << symbol << " at 0x" << std::hex << fileAddress;
    EXPECT_EQ(c.frame.find("offset")->unsignedValue(), fileAddress - start) << symbol;
    EXPECT_EQ(c.frame.find("library")->stringValue(), std::filesystem::path(c.image.path).filename().string());
    if (c.ourFunction) {
      EXPECT_EQ(addr2lineFunction(c.image.path, fileAddress), symbol);
    }
    // The mangled name is kept beside a demangled one.
    const ns::Value* raw = c.frame.find("raw_symbol");
    if (raw) {
      EXPECT_EQ(DVCRDemangleOperation::demangleSymbol(raw->stringValue().c_str()), symbol);
    }
  }
  // secondCallee's first byte: firstCallee, 2 bytes before its end.
  EXPECT_EQ((*out[1].asArray())[1].find("symbol")->stringValue(), "dvcr_symbols::firstCallee(int)");
  EXPECT_EQ((*out[1].asArray())[1].find("offset")->unsignedValue(), second - 2 - first);
  EXPECT_NE((*out[0].asArray())[0].find("raw_symbol"), nullptr);
  EXPECT_EQ((*out[0].asArray())[2].find("raw_symbol"), nullptr);  // a C name needs no demangling
  // Outside every recorded image: the raw address only.
  const ns::Value& outside = (*out[1].asArray())[2];
  EXPECT_TRUE(outside.find("symbol")->isNull());
  EXPECT_TRUE(outside.find("library")->isNull());
  EXPECT_EQ(outside.find("offset")->unsignedValue(), 0u);
}

TEST_F(SymbolicationTest, ImagesAndFilesThatResolveNothing) {
  std::string folder = path("report");
  std::filesystem::create_directories(folder);
  RecordedImage program = imageHolding(reinterpret_cast<void*>(&dvcr_symbols::firstCallee), 0x5550000000);
  RecordedImage unknown = program;
  unknown.uuid = "ffffffffffffffffffffffffffffffff";
  unknown.recordedBase = 0x9990000000;
  writeBinaryImages(folder, {program, unknown},
                    "{\"load\":{\"path\":\"/n.so\",\"uuid\":\"" + program.uuid + "\",\"base\":null,\"size\":10}}\n"
                    "{\"unload\":{\"base\":1}}\n");
  DVCRSymbolResolver resolver;
  ASSERT_TRUE(resolver.loadBinaryImagesFromFile(folder + "/binary_images.dvrecord"));
  EXPECT_EQ(resolver.binaryImages().size(), 2u);
  EXPECT_EQ(resolver.loadedBinaryImageForPC(0x5550000000)->find("base")->unsignedValue(), 0x5550000000u);
  EXPECT_EQ(resolver.loadedBinaryImageForPC(0x5550000000 + program.size), nullptr);
  EXPECT_EQ(resolver.loadedBinaryImageForPC(5), nullptr);

  // An image that is not loaded now leaves its frame untouched.
  ZOVStackFrame frame = ZOVStackFrame::stackFrameWithAddress(0x9990000010);
  EXPECT_FALSE(resolver.updateStackFrame(frame));
  EXPECT_EQ(frame, ZOVStackFrame::stackFrameWithAddress(0x9990000010));
  DVCRBinaryImageDetails details{};
  EXPECT_FALSE(DVCRSymbolResolver::fillInImageDetails(&details, std::nullopt));

  // A crash file whose threads are empty gives a "threads" array of empty
  // arrays; a crash file without threads and a missing one give nothing.
  writeAll(folder + "/exception.dvrecord", "{\"exception\":{\"type\":\"c++\"}}\n{\"threads\":[[],{\"stacktrace\":[]}]}\n");
  writeAll(folder + "/mach_exception.dvrecord", "{\"mach_exception\":{\"time\":5}}\n");
  DVCRProcessReportOperation(DVCRInternalReport::reportWithPath(folder, "0123"), std::make_shared<DVCRSymbolResolver>())
      .start();
  EXPECT_EQ(readAll(folder + "/exception.dvrecord.symbolicated"), "{\"threads\":[[],[]]}\n");
  EXPECT_FALSE(std::filesystem::exists(folder + "/mach_exception.dvrecord.symbolicated"));
  EXPECT_FALSE(std::filesystem::exists(folder + "/signal.dvrecord.symbolicated"));

  // Without the binary-image file nothing is symbolicated.
  std::filesystem::remove(folder + "/binary_images.dvrecord");
  std::filesystem::remove(folder + "/exception.dvrecord.symbolicated");
  DVCRProcessReportOperation(DVCRInternalReport::reportWithPath(folder, "0123"), std::make_shared<DVCRSymbolResolver>())
      .start();
  EXPECT_FALSE(std::filesystem::exists(folder + "/exception.dvrecord.symbolicated"));
}

// A report left by a real crash (an uncaught exception in the report child),
// symbolicated by the child's next launch: every frame as nm and addr2line
// name its address in the image the crash recorded.
TEST_F(SymbolicationTest, AReportOfARealCrashIsSymbolicatedAtTheNextLaunch) {
  int status = 0;
  std::string device = device_->directory();
  ns::testing::runCommand(std::string("'") + DVCR_REPORT_CHILD + "' '" + device + "' crash 2>/dev/null", &status);
  // Dead of the abort that follows the recorded exception (through the shell or not).
  ASSERT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) ||
              (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGABRT))
      << status;
  run(std::string("'") + DVCR_REPORT_CHILD + "' '" + device + "' symbolicate");
  std::string folder;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(device)) {
    if (entry.path().filename() == "report-child-execution") folder = entry.path().string();
  }
  ASSERT_FALSE(folder.empty());

  // The images as the crash recorded them.
  struct Loaded {
    uint64_t base, size;
    std::string path;
  };
  std::vector<Loaded> images;
  auto imageSections = DVCRFileReadSections((folder + "/binary_images.dvrecord").c_str(), false);
  ASSERT_TRUE(imageSections);
  for (const auto& section : *imageSections) {
    const ns::Value* load = section.find("load");
    if (!load || !load->find("path") || !load->find("path")->isString()) continue;
    images.push_back({load->find("base")->unsignedValue(), load->find("size")->unsignedValue(),
                      load->find("path")->stringValue()});
  }
  ASSERT_FALSE(images.empty());

  size_t named = 0;
  bool sawThrower = false;
  for (const char* file : {"exception.dvrecord", "signal.dvrecord"}) {
    SCOPED_TRACE(file);
    ns::Array recorded;
    auto crashSections = DVCRFileReadSections((folder + "/" + file).c_str(), false);
    ASSERT_TRUE(crashSections);
    for (const auto& section : *crashSections) {
      if (const ns::Value* threads = section.find("threads")) {
        recorded = *threads->asArray();
        break;
      }
    }
    ns::Array out = readThreads(folder + "/" + file + ".symbolicated");
    ASSERT_EQ(out.size(), recorded.size());
    ASSERT_FALSE(out.empty());
    for (size_t t = 0; t < out.size(); ++t) {
      const ns::Array& addresses = *recorded[t].find("stacktrace")->asArray();
      const ns::Array& frames = *out[t].asArray();
      ASSERT_EQ(frames.size(), addresses.size());
      for (size_t f = 0; f < frames.size(); ++f) {
        uint64_t address = addresses[f].unsignedValue();
        const ns::Value& frame = frames[f];
        auto image = std::find_if(images.begin(), images.end(),
                                  [&](const Loaded& i) { return address >= i.base && address - i.base < i.size; });
        if (image == images.end()) {
          EXPECT_TRUE(frame.find("library")->isNull());
          continue;
        }
        // Position-independent images start at address 0 of their file.
        auto [names, start, lookedUp] = nmSymbolsHolding(image->path, address - image->base);
        EXPECT_EQ(frame.find("library")->stringValue(), std::filesystem::path(image->path).filename().string());
        if (names.empty()) {
          EXPECT_TRUE(frame.find("symbol")->isNull()) << frame.find("symbol")->stringValue();
          continue;
        }
        std::string symbol = frame.find("symbol")->stringValue();
        EXPECT_TRUE(names.contains(symbol)) << symbol << " at 0x" << std::hex << lookedUp;
        EXPECT_EQ(frame.find("offset")->unsignedValue(), lookedUp - start) << symbol;
        ++named;
        if (symbol.starts_with("dvcrReportChild")) {
          sawThrower = true;
          EXPECT_EQ(addr2lineFunction(image->path, lookedUp), symbol);
        }
      }
    }
  }
  EXPECT_GT(named, 10u);
  EXPECT_TRUE(sawThrower);
}

TEST(DemangleTest, CppAndBlockNames) {
  struct Case {
    const char* name;
    std::optional<std::string> readable;
  };
  const Case cases[] = {
      {"_ZN12dvcr_symbols11firstCalleeEi", "dvcr_symbols::firstCallee(int)"},
      {"__ZN12dvcr_symbols11firstCalleeEi_block_invoke_2", "dvcr_symbols::firstCallee(int)_block_invoke_2"},
      {"__ZN3Foo3barEv_block_invoke", "Foo::bar()_block_invoke"},
      {"__Z_block_invoke", std::nullopt},     // "_block_invoke" at index 3
      {"__ZN3Foo3barEv", std::nullopt},       // a block name without "_block_invoke"
      {"__Zq_block_invoke", std::nullopt},    // not a C++ name before it
      {"_Znot a name", std::nullopt},
      {"getpid", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(DVCRDemangleOperation::demangleSymbol(c.name), c.readable) << c.name;
  EXPECT_EQ(DVCRDemangleOperation::demangleSymbol(nullptr), std::nullopt);

  auto threads = std::make_shared<DVCRThreadArray>(DVCRThreadArray{
      {ZOVStackFrame::stackFrameWithSymbol("_ZN3Foo3barEv"), ZOVStackFrame::stackFrameWithSymbol("main")}});
  DVCRDemangleOperation(threads).start();
  EXPECT_EQ((*threads)[0][0].symbol, "Foo::bar()");
  EXPECT_EQ((*threads)[0][0].rawSymbol, "_ZN3Foo3barEv");
  EXPECT_EQ((*threads)[0][1].symbol, "main");
}

TEST(ThreadArrayOperationTest, CancellingLeavesTheRestOfTheCurrentThread) {
  auto threads = std::make_shared<DVCRThreadArray>(DVCRThreadArray{
      {ZOVStackFrame::stackFrameWithAddress(1), ZOVStackFrame::stackFrameWithAddress(2)},
      {ZOVStackFrame::stackFrameWithAddress(3), ZOVStackFrame::stackFrameWithAddress(4)}});
  DVCRDemangleOperation operation(threads);
  std::vector<uint64_t> seen;
  operation.enumerateFramesWithBlock([&](ZOVStackFrame& frame) {
    seen.push_back(frame.address);
    if (frame.address == 1) operation.cancel();
  });
  EXPECT_EQ(seen, (std::vector<uint64_t>{1, 3}));
}

}  // namespace
