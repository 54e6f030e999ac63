// LKLogMessage: one log record, built on the logging thread and afterwards
// only read, by the core and by every logger it reaches.
//
// The format is expanded when the record is built, so arguments are read on
// the caller's thread. The thread, queue and time of the building code are
// captured at that moment too.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/Value.h"

// Log flags; a record carries exactly one, a logger's level is a mask of them.
enum LKLogFlag : uint64_t {
  LKLogFlagError = 1,
  LKLogFlagWarning = 2,
  LKLogFlagInfo = 4,
  LKLogFlagDebug = 8,
  LKLogFlagVerbose = 16,
};

// Levels: masks of flags.
inline constexpr uint64_t LKLogLevelOff = 0;
inline constexpr uint64_t LKLogLevelError = 1;
inline constexpr uint64_t LKLogLevelWarning = 3;
inline constexpr uint64_t LKLogLevelInfo = 7;
inline constexpr uint64_t LKLogLevelDebug = 15;
inline constexpr uint64_t LKLogLevelVerbose = 31;
inline constexpr uint64_t LKLogLevelAll = UINT64_MAX;

// Option bits of a record. Strings are always values here, so the copy
// options only travel with the record.
enum LKLogMessageOptions : int64_t {
  LKLogMessageCopyFile = 1,
  LKLogMessageCopyFunction = 2,
  LKLogMessageDontCopyMessage = 4,
};

// Quality-of-service classes of the building thread.
enum LKQualityOfService : uint64_t {
  LKQualityOfServiceUnspecified = 0,
  LKQualityOfServiceBackground = 9,
  LKQualityOfServiceUtility = 17,
  LKQualityOfServiceDefault = 21,
  LKQualityOfServiceUserInitiated = 25,
  LKQualityOfServiceUserInteractive = 33,
};

// The object a caller attaches to a record; compared by value.
using LKLogTag = std::shared_ptr<const ns::Value>;

class LKLogMessage {
 public:
  // An empty record.
  LKLogMessage() = default;
  // A ready text `formatted`, expanded from `format`. A timestamp of none
  // means now.
  LKLogMessage(std::string format, std::string formatted, uint64_t level, uint64_t flag, int64_t context,
               std::string file, std::optional<std::string> function, uint64_t line, LKLogTag tag,
               int64_t options, std::optional<ns::Date> timestamp);
  // A ready text that serves as both format and message.
  static LKLogMessage withMessage(std::string message, uint64_t level, uint64_t flag, int64_t context,
                                  std::string file, std::optional<std::string> function, uint64_t line,
                                  LKLogTag tag, int64_t options, std::optional<ns::Date> timestamp);
  // Expands `format` with `args` here, on the calling thread; the record
  // carries LKLogMessageDontCopyMessage in its options.
  template <class... Args>
  static LKLogMessage withFormat(std::string format, uint64_t level, uint64_t flag, int64_t context,
                                 std::string file, std::optional<std::string> function, uint64_t line,
                                 LKLogTag tag, int64_t options, std::optional<ns::Date> timestamp,
                                 const Args&... args) {
    std::string text = ns::format(format, args...);
    return LKLogMessage(std::move(format), std::move(text), level, flag, context, std::move(file),
                        std::move(function), line, std::move(tag), options | LKLogMessageDontCopyMessage,
                        timestamp);
  }

  const std::string& message() const { return message_; }
  const std::string& messageFormat() const { return messageFormat_; }
  uint64_t level() const { return level_; }
  uint64_t flag() const { return flag_; }
  int64_t context() const { return context_; }
  const std::string& file() const { return file_; }
  const std::string& fileName() const { return fileName_; }
  const std::optional<std::string>& function() const { return function_; }
  uint64_t line() const { return line_; }
  const LKLogTag& tag() const { return representedObject_; }
  const LKLogTag& representedObject() const { return representedObject_; }
  int64_t options() const { return options_; }
  // Absent only in an empty record.
  const std::optional<ns::Date>& timestamp() const { return timestamp_; }
  const std::string& threadID() const { return threadID_; }
  // The thread's name where the queue label does not name the place (no
  // queue, or a global one); else empty.
  const std::string& threadName() const { return threadName_; }
  const std::string& queueLabel() const { return queueLabel_; }
  uint64_t qos() const { return qos_; }

  // A record equal to this one with another message (what a chain of
  // formatters hands on).
  LKLogMessage withReplacedMessage(std::string message) const;

  // Equal when every field but fileName, threadName and options matches.
  bool operator==(const LKLogMessage& other) const;
  size_t hash() const;

  // The last path component of `file`, cut before its last ".".
  static std::string fileNameFromPath(const std::string& file);

 private:
  friend class LKLog;
  // The core keeps spent records and fills them again, so that a record's
  // strings keep their storage from one use to the next and a caller that
  // logs allocates nothing once its lines have been seen. The message
  // text is written by the core itself.
  void refill(std::string_view format, uint64_t level, uint64_t flag, int64_t context, std::string_view file,
              std::string_view function, uint64_t line, LKLogTag tag, int64_t options);
  // Lets go of what a spent record holds that is not plain storage (its
  // tag), and of storage too large to keep.
  void release();
  // The building thread, its queue and the file name, taken now.
  void captureCaller();
  // Exchanges every field, storage and all, without a third record.
  void swapWith(LKLogMessage& other) noexcept;

  std::string message_;
  std::string messageFormat_;
  uint64_t level_ = 0;
  uint64_t flag_ = 0;
  int64_t context_ = 0;
  std::string file_;
  std::string fileName_;
  std::optional<std::string> function_;
  uint64_t line_ = 0;
  LKLogTag representedObject_;
  int64_t options_ = 0;
  std::optional<ns::Date> timestamp_;
  std::string threadID_;
  std::string threadName_;
  std::string queueLabel_;
  uint64_t qos_ = 0;
};
