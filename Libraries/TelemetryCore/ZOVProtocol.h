// How the telemetry libraries name what they offer each other.
//
// A protocol is an abstract class that names itself:
//
//   class ZOVSessionsProvider {
//    public:
//     static constexpr const char* kZOVProtocolName = "ZOVSessionsProvider";
//     virtual ~ZOVSessionsProvider() = default;
//     ...
//   };
//
// and ZOVProtocol::of<ZOVSessionsProvider>() is its value: the name (the
// component registry's key) and a conformance check (a dynamic cast), kept
// together so that the registry can test any instance it is handed.
//
// Every instance a component builds derives from ZOVComponentInstance (and
// from the protocols it conforms to), so the registry holds them all alike.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

class ZOVComponentInstance {
 public:
  virtual ~ZOVComponentInstance() = default;
};

class ZOVProtocol {
 public:
  using ConformanceCheck = std::function<bool(const ZOVComponentInstance&)>;

  ZOVProtocol(std::string name, ConformanceCheck conforms) : name_(std::move(name)), conforms_(std::move(conforms)) {}

  template <class P>
  static ZOVProtocol of() {
    return ZOVProtocol(P::kZOVProtocolName,
                       [](const ZOVComponentInstance& instance) { return dynamic_cast<const P*>(&instance) != nullptr; });
  }

  const std::string& name() const { return name_; }
  bool isConformedToBy(const ZOVComponentInstance& instance) const { return conforms_ && conforms_(instance); }

 private:
  std::string name_;
  ConformanceCheck conforms_;
};
