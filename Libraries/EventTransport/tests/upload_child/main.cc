// The upload durability test's child: after the transport's start-up, the
// shared uploader sends target 1001 to the test's server again and again,
// until the test kills it.
//
//   EventTransport_upload_child <device directory> <upload URL>
//
// One byte on standard output says it is ready to upload, and one more
// after each upload round has finished.
#include <unistd.h>

#include "Libraries/EventTransport/ZTCCTUploader.h"
#include "Libraries/EventTransport/ZTCORTransportStartUp.h"
#include "Platform/Foundation/Device.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  ns::Device::boot(argv[1]);
  auto uploader = ZTCCTUploader::sharedInstance();
  auto url = ns::URL::withString(argv[2]);
  if (!url) return 3;
  uploader->setUploadURLForTesting(1001, *url);
  ZTCORTransportStartUp();
  if (::write(STDOUT_FILENO, "r", 1) != 1) return 4;
  for (;;) {
    uploader->uploadTarget(1001, ZTCORUploadConditionWifiData | ZTCORUploadConditionHighPriority);
    uploader->uploadOperationQueue()->waitUntilAllOperationsAreFinished();
    if (::write(STDOUT_FILENO, "u", 1) != 1) return 5;
  }
}
