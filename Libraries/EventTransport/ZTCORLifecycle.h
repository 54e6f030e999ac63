// Hears the transport's three notifications (on the posting thread) and
// fans each out, with the shared ZTCORApplication: to the transformer, then
// the upload coordinator, then the registrar (which passes it on to every
// uploader, then every storage).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Libraries/EventTransport/ZTCORApplication.h"

class ZTCORLifecycle {
 public:
  // A component by the name its log lines give it, and which of the three
  // calls it reacts to.
  struct Component {
    std::string name;
    std::shared_ptr<ZTCORLifecycleProtocol> object;
    bool background = true;
    bool foreground = true;
    bool terminate = true;
  };

  // Made once, observing from then on.
  static std::shared_ptr<ZTCORLifecycle> sharedInstance();

  // The shared transformer (terminate only), coordinator and registrar.
  ZTCORLifecycle();
  // For tests: other components, in fan-out order.
  explicit ZTCORLifecycle(std::vector<Component> components,
                          std::shared_ptr<ZTCORApplicationProtocol> application = nullptr);
  ~ZTCORLifecycle();
  ZTCORLifecycle(const ZTCORLifecycle&) = delete;
  ZTCORLifecycle& operator=(const ZTCORLifecycle&) = delete;

  void appWillBackground();
  void appWillForeground();
  void appWillTerminate();

 private:
  void observe();

  std::vector<Component> components_;
  std::shared_ptr<ZTCORApplicationProtocol> application_;
};
