#include "Platform/StoreKit/AdNetwork.h"

#include <atomic>

namespace sk {

namespace {
std::atomic<size_t> registrations{0};
}

void AdNetwork::registerAppForAdNetworkAttribution() { registrations.fetch_add(1); }

size_t AdNetwork::registrationCount() { return registrations.load(); }

}  // namespace sk
