// The quillbox host program. Until the app launches here it tells which
// build it is and which device directory it would use.
#include <cstdio>
#include <string>

#include "Platform/Foundation/Device.h"

int main(int argc, char** argv) {
  std::string device;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--device" && i + 1 < argc) device = argv[++i];
  }
  std::printf("Quillbox %s\n", QUILLBOX_VERSION);
  std::printf("device: %s\n", ns::Device::resolveDirectory(device).c_str());
  return 0;
}
