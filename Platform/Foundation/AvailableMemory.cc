#include "Platform/Foundation/AvailableMemory.h"

#include <fstream>
#include <string>

namespace ns {

std::optional<uint64_t> availableMemory() {
  // "MemAvailable:  123456 kB": free memory plus what the page cache would give back.
  std::ifstream meminfo("/proc/meminfo");
  std::string key, unit;
  uint64_t kilobytes = 0;
  while (meminfo >> key >> kilobytes) {
    std::getline(meminfo, unit);
    if (key == "MemAvailable:") return kilobytes * 1024;
  }
  return std::nullopt;
}

}  // namespace ns
