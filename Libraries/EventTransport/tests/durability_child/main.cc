// The durability test's child: stores events, makes batches and returns
// some of them, without end, until the test kills it. Each event whose
// store completed with success is logged ("<target> <eventID>" per line)
// only after that completion, so the log never names an event the store
// did not report stored.
//
//   EventTransport_durability_child <device directory> <log file> <seed>
//
// One byte on standard output says it is ready to store, and one more each
// time an event is stored and logged, so the test can kill it after a
// chosen number of stored events. A store that fails ends the child with
// status 5: the test then sees it end on its own.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <random>
#include <string>

#include "Libraries/EventTransport/ZTCOREvent.h"
#include "Libraries/EventTransport/ZTCORFlatFileStorage.h"
#include "Platform/Foundation/Device.h"

namespace {

class Payload : public ZTCOREventDataObject {
 public:
  explicit Payload(ns::Data bytes) : bytes_(std::move(bytes)) {}
  ns::Data transportBytes() const override { return bytes_; }

 private:
  ns::Data bytes_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  ns::Device::boot(argv[1]);
  int log = ::open(argv[2], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (log < 0) return 3;
  std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)));
  auto storage = ZTCORFlatFileStorage::sharedInstance();
  // Tells the test it is ready: the kill moments start from here.
  if (::write(STDOUT_FILENO, "r", 1) != 1) return 4;
  for (uint64_t i = 0;; ++i) {
    ZTCORUploadTargetID target = 1001 + static_cast<ZTCORUploadTargetID>(random() % 3);
    auto event = ZTCOREvent::initWithMappingID(i % 2 ? "1974" : "map/with-dash", target);
    event->setQosTier(static_cast<ZTCOREventQoSTier>(random() % 6));
    event->setDataObject(std::make_shared<Payload>(ns::Data(50 + random() % 250, static_cast<uint8_t>(i))));
    std::promise<bool> stored;
    storage->storeEvent(event, [&](bool written, std::optional<ns::Error>) {
      if (written) {
        std::string line = std::to_string(target) + " " + event->eventID() + "\n";
        if (::write(log, line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::abort();
      }
      stored.set_value(written);
    });
    if (!stored.get_future().get()) std::_Exit(5);
    if (::write(STDOUT_FILENO, "s", 1) != 1) std::_Exit(4);

    if (random() % 5 == 0) {
      std::promise<std::optional<int64_t>> made;
      storage->batchWithEventSelector(ZTCORStorageEventSelector::eventSelectorForTarget(target),
                                      ns::Date::now().addingTimeInterval(3600),
                                      [&](std::optional<int64_t> id, std::optional<ZTCOREventSet>) { made.set_value(id); });
      auto batchID = made.get_future().get();
      if (batchID && random() % 2) {
        std::promise<void> removed;
        storage->removeBatchWithID(*batchID, false, [&] { removed.set_value(); });
        removed.get_future().get();
      }
    }
  }
}
