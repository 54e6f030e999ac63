// Where the app's reports go in the host program. Every failure the app
// reports (QB_REPORT) and every information line (QB_INFO) goes through the
// logging framework; until the kit and the crash reporter attach their own
// loggers, the host attaches the system logger (syslog) at launch, and with
// --log the terminal logger too, which prints each line on standard error;
// --log also sends the telemetry's utilities logger to standard error.
#pragma once

namespace quillbox {

class HostLogging {
 public:
  static void start(bool toStandardError);
  // Writes out the lines still queued; before the queues stop.
  static void finish();
};

}  // namespace quillbox
