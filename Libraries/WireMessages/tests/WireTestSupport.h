// What the wire message tests share: running protoc over bytes, catching
// the runtime's texts, making any measurement message by its table, and
// filling every field of a message with values of its own.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "Libraries/WireMessages/MSRPBConfigurationMessages.h"
#include "Libraries/WireMessages/MSRPBExperimentMessages.h"
#include "Libraries/WireMessages/MSRPBFieldRoutines.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Libraries/WireMessages/MSRPBProgramMessages.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"
#include "Platform/SystemLog/SystemLog.h"

namespace wire_testing {

inline std::string schemaFolder() { return std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/WireMessages"; }
inline std::string testSchemaFolder() { return schemaFolder() + "/tests"; }

// A scratch folder of one test, removed with it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "wiremessages.XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }
  std::string path(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct ProtocRun {
  int status = -1;
  std::string output;  // standard output, as bytes
};

// protoc with `arguments`, reading `input` on standard input.
inline ProtocRun runProtoc(const std::string& arguments, const std::string& input) {
  ScratchFolder scratch;
  std::string in = scratch.path("in");
  std::ofstream(in, std::ios::binary).write(input.data(), static_cast<std::streamsize>(input.size()));
  std::string command = std::string(MSRPB_PROTOC) + " " + arguments + " < '" + in + "' 2>/dev/null";
  ProtocRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[65536];
  size_t read;
  while ((read = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.output.append(buffer, read);
  int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

inline std::string asText(const ns::Data& bytes) { return std::string(bytes.begin(), bytes.end()); }
inline ns::Data asData(const std::string& text) { return ns::Data(text.begin(), text.end()); }

// protoc's raw reading of the bytes.
inline ProtocRun decodeRaw(const ns::Data& bytes) { return runProtoc("--decode_raw", asText(bytes)); }
// Collects what the runtime prints (coder output) and logs (system log)
// while it lives.
class CapturedTexts {
 public:
  CapturedTexts() {
    MSRPBSetCoderOutput([this](const std::string& text) {
      std::lock_guard lock(mutex_);
      printed_ += text;
    });
    systemlog::Log::setSinkForTesting([this](int, const std::string& line) {
      std::lock_guard lock(mutex_);
      logged_.push_back(line);
    });
  }
  ~CapturedTexts() {
    MSRPBSetCoderOutput(nullptr);
    systemlog::Log::setSinkForTesting(nullptr);
  }
  std::string printed() const {
    std::lock_guard lock(mutex_);
    return printed_;
  }
  std::vector<std::string> logged() const {
    std::lock_guard lock(mutex_);
    return logged_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    printed_.clear();
    logged_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::string printed_;
  std::vector<std::string> logged_;
};

// The measurement messages by table: a new empty one, one decoded from
// bytes, one made from a record; and the repository's schema file that
// has it.
struct MessageClass {
  const MSRPBMessageTable* table;
  std::string schema;
  std::function<std::shared_ptr<NANOMessageBase>()> make;
  std::function<std::shared_ptr<NANOMessageBase>(const ns::Data&)> decode;
  MSRPBMessageMaker fromInfo;
};

template <class T>
MessageClass classOf(const std::string& schema) {
  return {&T::table(), schema, [] { return std::shared_ptr<NANOMessageBase>(T::initWithBuffer(std::nullopt)); },
          [](const ns::Data& bytes) { return std::shared_ptr<NANOMessageBase>(T::initWithBuffer(bytes)); },
          [](const MSRPBMessageInfo* info) { return std::shared_ptr<NANOMessageBase>(T::initWithMessageInfo(info)); }};
}

// Every measurement message: the upload, configuration, program,
// experiment and SKAdNetwork messages.
inline const std::vector<MessageClass>& allClasses() {
  static const std::string upload = "UploadMessages.proto";
  static const std::string configuration = "ConfigurationMessages.proto";
  static const std::string program = "ProgramMessages.proto";
  static const std::string experiment = "ExperimentMessages.proto";
  static const std::vector<MessageClass> classes = {
      classOf<MSRPBMeasurementBatch>(upload),
      classOf<MSRPBMeasurementBundle>(upload),
      classOf<MSRPBEvent>(upload),
      classOf<MSRPBEventParam>(upload),
      classOf<MSRPBUserAttribute>(upload),
      classOf<MSRPBAudienceLeafFilterResult>(upload),
      classOf<MSRPBResultData>(upload),
      classOf<MSRPBDynamicFilterResultTimestamp>(upload),
      classOf<MSRPBSequenceFilterResultTimestamp>(upload),
      classOf<MSRPBMeasurementConfig>(configuration),
      classOf<MSRPBSetting>(configuration),
      classOf<MSRPBEventConfig>(configuration),
      classOf<MSRPBDataControl>(configuration),
      classOf<MSRPBRegion>(configuration),
      classOf<MSRPBConsentConfig>(configuration),
      classOf<MSRPBConsentDefaultEntry>(configuration),
      classOf<MSRPBConsentDelegationEntry>(configuration),
      classOf<MSRPBCorePlatformServiceEntry>(configuration),
      classOf<MSRPBAudience>(configuration),
      classOf<MSRPBEventFilter>(configuration),
      classOf<MSRPBPropertyFilter>(configuration),
      classOf<MSRPBFilter>(configuration),
      classOf<MSRPBNumberFilter>(configuration),
      classOf<MSRPBStringFilter>(configuration),
      classOf<MSRPBProgram>(program),
      classOf<MSRPBRuntimeEntity>(program),
      classOf<MSRPBOgtActivities>(program),
      classOf<MSRPBOgtActivity>(program),
      classOf<MSRPBExperimentRequest>(experiment),
      classOf<MSRPBAppProperty>(experiment),
      classOf<MSRPBClientProperty>(experiment),
      classOf<MSRPBCustomProperty>(experiment),
      classOf<MSRPBExperimentResponse>(experiment),
      classOf<MSRPBSnapshot>(experiment),
      classOf<MSRPBExperiment>(experiment),
      classOf<MSRPBFlag>(experiment),
      classOf<MSRPBSdkResponse>(experiment),
      classOf<MSRPBSkAdNetworkConversionValueRequest>(experiment),
      classOf<MSRPBSkAdNetworkConversionValueResponse>(experiment),
  };
  return classes;
}

inline const MessageClass& classFor(const MSRPBMessageTable& table) {
  for (const auto& messageClass : allClasses()) {
    if (messageClass.table == &table) return messageClass;
  }
  throw std::logic_error("no class for the table");
}

inline std::shared_ptr<NANOMessageBase> newMessage(const MSRPBMessageTable& table) { return classFor(table).make(); }

// Makes an element of whichever measurement message the record is.
inline std::shared_ptr<NANOMessageBase> anyMessage(const MSRPBMessageInfo* info) {
  for (const auto& messageClass : allClasses()) {
    if (std::string(messageClass.table->name) == info->name) return messageClass.fromInfo(info);
  }
  return nullptr;
}

// The repository's schema file of msrpb.<message>.
inline std::string schemaOf(const std::string& message) {
  for (const auto& messageClass : allClasses()) {
    if (message == messageClass.table->name) return messageClass.schema;
  }
  throw std::logic_error("no schema for " + message);
}

// protoc's reading of the bytes as msrpb.<message> of the repository's schema.
inline ProtocRun decodeText(const std::string& message, const ns::Data& bytes) {
  return runProtoc("-I'" + schemaFolder() + "' --decode=msrpb." + message + " " + schemaOf(message), asText(bytes));
}
// protoc's encoding of text format for msrpb.<message>, of the repository's
// schema or of a test schema beside the tests.
inline ProtocRun encodeText(const std::string& message, const std::string& text,
                            const std::string& testSchema = "") {
  if (!testSchema.empty()) {
    return runProtoc("-I'" + testSchemaFolder() + "' --encode=" + message + " " + testSchema, text);
  }
  return runProtoc("-I'" + schemaFolder() + "' --encode=msrpb." + message + " " + schemaOf(message), text);
}

// Values of their own for field `index` of a message: numbers grow with the
// index, strings read "~v<index>" (the "~" keeps protoc from taking them
// for messages).
inline int32_t int32For(int32_t index) { return 1000 + index; }
inline int64_t int64For(int32_t index) { return 5000000000LL + index; }
inline double doubleFor(int32_t index) { return index + 0.25; }
inline float floatFor(int32_t index) { return static_cast<float>(index) + 0.5f; }
inline std::string stringFor(int32_t index) { return "~v" + std::to_string(index); }

// Sets every field of the message: scalars and strings to their index's
// value, repeated numbers and strings to two elements, message fields to
// filled messages (`levels` more levels of them; none below).
inline void fillMessage(NANOMessageBase* message, int levels) {
  const MSRPBMessageTable& table = message->messageTable();
  for (int32_t index = 0; index < table.fieldCount; ++index) {
    const MSRPBFieldEntry& entry = table.fields[index];
    int32_t type = MSRPBKindType(entry.kind);
    if (entry.kind & MSRPBKindRepeated) {
      MSRPBArray elements;
      for (int32_t n = 0; n < 2; ++n) {
        if (type == MSRPBKindString) {
          elements.push_back(ns::Value(stringFor(index) + "." + std::to_string(n)));
        } else if (type == MSRPBKindMessage) {
          if (levels == 0) break;
          auto element = newMessage(*entry.element);
          fillMessage(element.get(), levels - 1);
          elements.push_back(element);
        } else if (type == MSRPBKindUInt32 || type == MSRPBKindInt32 || type == MSRPBKindEnum) {
          elements.push_back(ns::Value(int32For(index) + n));
        } else {
          elements.push_back(ns::Value(static_cast<long long>(int64For(index) + n)));
        }
      }
      MSRPBMessageSetArray(message, index, elements);
      continue;
    }
    switch (type) {
      case MSRPBKindBool: MSRPBMessageSetBool(message, index, true); break;
      case MSRPBKindEnum:
      case MSRPBKindInt32: MSRPBMessageSetInt32(message, index, int32For(index)); break;
      case MSRPBKindInt64: MSRPBMessageSetInt64(message, index, int64For(index)); break;
      case MSRPBKindDouble: MSRPBMessageSetDouble(message, index, doubleFor(index)); break;
      case MSRPBKindString: MSRPBMessageSetString(message, index, stringFor(index)); break;
      case MSRPBKindFloat:  // no accessor: straight into the record
        MSRPBFieldSetFloat(&message->messageInfo()->fields[index], floatFor(index));
        break;
      case MSRPBKindMessage:
        if (levels > 0) {
          auto nested = newMessage(*entry.element);
          fillMessage(nested.get(), levels - 1);
          MSRPBMessageSetMessage(message, index, *nested);
        }
        break;
    }
  }
}

// The varint of `value` appended to `out`.
inline void appendVarint(ns::Data& out, uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<uint8_t>(value));
}

// `inner` as the length-delimited field of `tag`.
inline ns::Data delimitedField(uint32_t tag, const ns::Data& inner) {
  ns::Data outer;
  appendVarint(outer, (uint64_t{tag} << 3) | 2);
  appendVarint(outer, inner.size());
  outer.insert(outer.end(), inner.begin(), inner.end());
  return outer;
}

// `innermost` nested `levels` times in the length-delimited field of `tag`
// of a message of its own type. Built back to front, so a chain of a
// hundred thousand levels costs no more than its length.
inline ns::Data selfNestedChain(uint32_t tag, const ns::Data& innermost, int levels) {
  ns::Data reversed(innermost.rbegin(), innermost.rend());
  for (int level = 0; level < levels; ++level) {
    ns::Data header;
    appendVarint(header, (uint64_t{tag} << 3) | 2);
    appendVarint(header, reversed.size());
    reversed.insert(reversed.end(), header.rbegin(), header.rend());
  }
  return ns::Data(reversed.rbegin(), reversed.rend());
}

// The tags of the top level of protoc's raw text, in order.
inline std::vector<uint32_t> topLevelTags(const std::string& raw) {
  std::vector<uint32_t> tags;
  int depth = 0;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find('\n', start);
    if (end == std::string::npos) end = raw.size();
    std::string line = raw.substr(start, end - start);
    start = end + 1;
    size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    if (line[first] == '}') {
      --depth;
      continue;
    }
    if (depth == 0) tags.push_back(static_cast<uint32_t>(std::stoul(line.substr(first))));
    if (line.back() == '{') ++depth;
  }
  return tags;
}

}  // namespace wire_testing
