// What the wire message tests share: running protoc over bytes, catching
// the runtime's texts, making any upload message by its table, and
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

#include "Libraries/WireMessages/MSRPBFieldRoutines.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
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
// protoc's reading of the bytes as msrpb.<message> of the repository's schema.
inline ProtocRun decodeText(const std::string& message, const ns::Data& bytes) {
  return runProtoc("-I'" + schemaFolder() + "' --decode=msrpb." + message + " UploadMessages.proto", asText(bytes));
}
// protoc's encoding of text format for msrpb.<message>, of the repository's
// schema or of a test schema beside the tests.
inline ProtocRun encodeText(const std::string& message, const std::string& text,
                            const std::string& testSchema = "") {
  if (!testSchema.empty()) {
    return runProtoc("-I'" + testSchemaFolder() + "' --encode=" + message + " " + testSchema, text);
  }
  return runProtoc("-I'" + schemaFolder() + "' --encode=msrpb." + message + " UploadMessages.proto", text);
}

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

// The upload messages by table: a new empty one, one decoded from bytes,
// one made from a record.
struct MessageClass {
  const MSRPBMessageTable* table;
  std::function<std::shared_ptr<NANOMessageBase>()> make;
  std::function<std::shared_ptr<NANOMessageBase>(const ns::Data&)> decode;
  MSRPBMessageMaker fromInfo;
};

template <class T>
MessageClass classOf() {
  return {&T::table(), [] { return std::shared_ptr<NANOMessageBase>(T::initWithBuffer(std::nullopt)); },
          [](const ns::Data& bytes) { return std::shared_ptr<NANOMessageBase>(T::initWithBuffer(bytes)); },
          [](const MSRPBMessageInfo* info) { return std::shared_ptr<NANOMessageBase>(T::initWithMessageInfo(info)); }};
}

inline const std::vector<MessageClass>& uploadClasses() {
  static const std::vector<MessageClass> classes = {
      classOf<MSRPBMeasurementBatch>(),
      classOf<MSRPBMeasurementBundle>(),
      classOf<MSRPBEvent>(),
      classOf<MSRPBEventParam>(),
      classOf<MSRPBUserAttribute>(),
      classOf<MSRPBAudienceLeafFilterResult>(),
      classOf<MSRPBResultData>(),
      classOf<MSRPBDynamicFilterResultTimestamp>(),
      classOf<MSRPBSequenceFilterResultTimestamp>(),
  };
  return classes;
}

inline const MessageClass& classFor(const MSRPBMessageTable& table) {
  for (const auto& messageClass : uploadClasses()) {
    if (messageClass.table == &table) return messageClass;
  }
  throw std::logic_error("no class for the table");
}

inline std::shared_ptr<NANOMessageBase> newMessage(const MSRPBMessageTable& table) { return classFor(table).make(); }

// Makes an element of whichever upload message the record is.
inline std::shared_ptr<NANOMessageBase> anyMessage(const MSRPBMessageInfo* info) {
  for (const auto& messageClass : uploadClasses()) {
    if (std::string(messageClass.table->name) == info->name) return messageClass.fromInfo(info);
  }
  return nullptr;
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
