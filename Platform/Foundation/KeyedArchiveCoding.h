// The coding interface: what a class implements so that keyed archives can
// carry its objects.
//
// A class derives from ns::Coding, names itself (the "$classname" written
// into the archive), lists its ancestry, and writes its state through the
// archiver in encodeWithCoder(). Reading goes the other way through a decode
// function registered with ns::KeyedArchiveRegistry under the same name.
//
//   class ZTCORClock : public ns::Coding {
//    public:
//     std::string className() const override { return "ZTCORClock"; }
//     void encodeWithCoder(ns::KeyedArchiver& coder) const override {
//       coder.encodeInt64(timeMillis_, "ZTCORClockTimeMillis");
//     }
//     static std::shared_ptr<ns::Coding> initWithCoder(ns::KeyedUnarchiver& coder);
//   };
//
//   // Once, before the first archive is read:
//   ns::KeyedArchiveRegistry::shared().registerClass(
//       {.name = "ZTCORClock", .decode = ZTCORClock::initWithCoder});
//
//   auto data = ns::KeyedArchiver::archivedDataWithRootObject(clock, true, &error);
//   auto back = ns::KeyedUnarchiver::unarchivedObjectOfClass("ZTCORClock", *data, &error)
//                   .objectAs<ZTCORClock>();
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ns {

class KeyedArchiver;

// Error codes of the Cocoa domain for keyed archives.
inline constexpr int64_t kCoderReadCorruptError = 4864;
inline constexpr int64_t kCoderValueNotFoundError = 4865;
inline constexpr int64_t kCoderInvalidValueError = 4866;

class Coding {
 public:
  virtual ~Coding() = default;

  // The name written as "$classname" and looked up when decoding.
  virtual std::string className() const = 0;
  // The superclasses, nearest first, ending in "NSObject"; written after the
  // class name as "$classes".
  virtual std::vector<std::string> superclassNames() const { return {"NSObject"}; }
  // Whether the class may be archived when secure coding is required.
  virtual bool supportsSecureCoding() const { return true; }

  // Writes this object's state as keyed values.
  virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
};

}  // namespace ns
