// The monitor tests' child: one launch of the app on a device.
//
//   Measurement_monitor_child <device> [argument...]
//     starts a monitor with the given launch arguments, logs one monitored
//     message, waits for the monitor's queue and prints
//     "debug=<0|1> verbose=<0|1> population=<n>", the population being the
//     one the sample in the monitor's suite holds.
#include <cstdio>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRMonitor.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/ProcessInfo.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  ns::Device::boot(argv[1]);
  std::vector<std::string> arguments{"quillbox"};
  for (int i = 2; i < argc; ++i) arguments.push_back(argv[i]);
  ns::ProcessInfo::processInfo().setArguments(arguments);
  int64_t population = -1;
  {
    auto monitor = MSRMonitor::initWithLibraryVersion(101600);
    monitor->logWithLevel(4, 1, "launch");
    monitor->monitorQueue()->sync([] {});
    auto sample = MSRUserDefaults(std::string("com.zorori.zmp.measurement.monitor"))
                      .objectForKey("/zorori/measurement/health_monitor");
    if (sample && sample->asArray() && sample->asArray()->size() == 4) {
      population = sample->asArray()->at(1).integerValue();
    }
    std::printf("debug=%d verbose=%d population=%lld\n", monitor->isDebugModeEnabled() ? 1 : 0,
                monitor->isVerboseLoggingEnabled() ? 1 : 0, static_cast<long long>(population));
  }
  dispatch::shutdown();
  return 0;
}
