// The device's network as the session event reports it, read at each call.
// There is no telephony here: the radio access technology is always absent,
// so the event's mobile subtype is 0; the network type follows the
// utilities' reachability (-1 no route, 0 mobile, 1 other).
#pragma once

#include <cstdint>
#include <string>

class NetworkInfoProtocol {
 public:
  virtual ~NetworkInfoProtocol() = default;
  // -1 no network, 0 mobile data, 1 Wi-Fi (RIDIruduziDiri::getNetworkType).
  virtual int32_t networkType() const = 0;
  // The radio access technology's name; empty when absent.
  virtual std::string mobileSubtype() const = 0;
};

// A stateless front of RIDIruduziDiri.
class NetworkInfo : public NetworkInfoProtocol {
 public:
  int32_t networkType() const override;
  std::string mobileSubtype() const override;
};
