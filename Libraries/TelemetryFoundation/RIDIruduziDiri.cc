#include "Libraries/TelemetryFoundation/RIDIruduziDiri.h"

#include "Platform/Foundation/StringUtf16.h"
#include "Platform/Network/Reachability.h"

namespace {

// The host whose reachability stands for the device's; never contacted.
constexpr const char* kProbedHost = "www.example.com";

net::ReachabilityRef sharedReachability() {
  static net::ReachabilityRef reachability = net::reachabilityCreateWithName(kProbedHost);
  return reachability;
}

}  // namespace

const net::TelephonyNetworkInfo& RIDIruduziDiri::getNetworkInfo() {
  static const net::TelephonyNetworkInfo* info = new net::TelephonyNetworkInfo;
  return *info;
}

std::optional<std::string> RIDIruduziDiri::getNetworkMobileCountryCode() {
  auto provider = getNetworkInfo().subscriberCellularProvider();
  return provider ? provider->mobileCountryCode : std::nullopt;
}

std::optional<std::string> RIDIruduziDiri::getNetworkMobileNetworkCode() {
  auto provider = getNetworkInfo().subscriberCellularProvider();
  return provider ? provider->mobileNetworkCode : std::nullopt;
}

std::optional<std::string> RIDIruduziDiri::formatMcc(const std::optional<std::string>& mcc,
                                                     const std::optional<std::string>& mnc) {
  if (!mcc && !mnc) return std::nullopt;
  // Lengths count characters as the platform does (UTF-16 units).
  const size_t mccLength = mcc ? ns::utf16Length(*mcc) : 0;
  const size_t mncLength = mnc ? ns::utf16Length(*mnc) : 0;
  if (mccLength != 3 || mncLength < 2 || mncLength > 3) return std::nullopt;
  std::string code = *mcc + *mnc;
  if (code.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return code;
}

int32_t RIDIruduziDiri::getNetworkType() {
  net::ReachabilityRef reachability = sharedReachability();
  net::ReachabilityFlags flags = 0;
  if (!reachability || !net::reachabilityGetFlags(reachability, &flags)) return -1;
  if (!(flags & net::kReachabilityFlagReachable)) return -1;
  return (flags & net::kReachabilityFlagIsWWAN) ? 0 : 1;
}

std::optional<std::string> RIDIruduziDiri::getNetworkRadioType() {
  return getNetworkInfo().currentRadioAccessTechnology();
}
