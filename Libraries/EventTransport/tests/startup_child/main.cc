// The start-up test's child: runs the transport's start-up in a fresh
// process and prints each registered uploader's target, with "shared" when
// it is the process's ZTCCTUploader.
//
//   EventTransport_startup_child <device directory>
#include <cstdio>

#include "Libraries/EventTransport/ZTCCTUploader.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"
#include "Libraries/EventTransport/ZTCORTransportStartUp.h"
#include "Platform/Foundation/Device.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  ns::Device::boot(argv[1]);
  ZTCORTransportStartUp();
  for (const auto& [target, uploader] : ZTCORRegistrar::sharedInstance()->targetToUploader()) {
    std::printf("%ld %s\n", static_cast<long>(target), uploader == ZTCCTUploader::sharedInstance() ? "shared" : "other");
  }
  return 0;
}
