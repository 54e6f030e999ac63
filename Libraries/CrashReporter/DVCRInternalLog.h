// The crash reporter's internal log, "sdk.log" in the launch's report folder
// (the context's `logPath`). It runs inside signal handlers, so it formats by
// hand and writes with raw `write` calls: nothing is buffered, allocated or
// locked. The file is opened on first use; the open is published with a
// compare-and-swap on `logFd`, never a once-token, which could block a
// signal handler behind an interrupted opener.
//
// Levels: 1 debug, 2 info, 3 warning, 4 error. A message is written when its
// level is at least the context's `logLevel` (1 after set-up). Before the
// context exists nothing is written.
//
// Formats understand printf's conversions as far as crash-time messages use
// them:
//   %d %i  signed, decimal                %u  unsigned, decimal
//   %x     unsigned, lower-case hex       %c  one character
//   %p     "0x" and the pointer in hex    %s  a C string, "(null)" for none
//   %%     a "%"
// with an optional "0" flag, a width (at most 64) and the length modifiers
// hh, h, l, ll, z, j and t, which say the argument's type as for printf.
// Any other conversion is written as it stands and consumes no argument
// ("%q" comes out as "%q"). Use the macros below, which put the level's
// prefix and " [function:line] " in front of the text.
//
// Once the crash gate has been passed (DVCRContextMarkCrashed), a crash
// writes at most kDVCRInternalLogCrashLineLimit lines, of which at most
// kDVCRInternalLogCrashDebugLineLimit debug lines; the rest are dropped.
#pragma once

#include <cstdint>

inline constexpr uint32_t kDVCRInternalLogLevelDebug = 1;
inline constexpr uint32_t kDVCRInternalLogLevelInfo = 2;
inline constexpr uint32_t kDVCRInternalLogLevelWarn = 3;
inline constexpr uint32_t kDVCRInternalLogLevelError = 4;

inline constexpr uint32_t kDVCRInternalLogCrashLineLimit = 1000;
inline constexpr uint32_t kDVCRInternalLogCrashDebugLineLimit = 250;

void DVCRInternalLogWrite(uint32_t level, const char* format, ...);

#define DVCRSDKLogDebug(format, ...) \
  DVCRInternalLogWrite(kDVCRInternalLogLevelDebug, "DEBUG [%s:%d] " format, __func__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define DVCRSDKLogInfo(format, ...) \
  DVCRInternalLogWrite(kDVCRInternalLogLevelInfo, "INFO  [%s:%d] " format, __func__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define DVCRSDKLogWarn(format, ...) \
  DVCRInternalLogWrite(kDVCRInternalLogLevelWarn, "WARN  [%s:%d] " format, __func__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define DVCRSDKLogError(format, ...) \
  DVCRInternalLogWrite(kDVCRInternalLogLevelError, "ERROR [%s:%d] " format, __func__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
