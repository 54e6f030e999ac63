#include "Platform/Foundation/KeyedArchiver.h"

#include "Platform/Foundation/KeyedArchiveRegistry.h"
#include "Platform/Foundation/PropertyList.h"

namespace ns {
namespace {

// Deeper graphs are refused: the archive is built recursively.
constexpr int kMaxDepth = 512;

// Keys of the archive's own ("$class", ...) start with "$"; a caller's key
// that does gets one more, which the unarchiver strips.
std::string escapedKey(std::string_view key) {
  std::string out;
  if (!key.empty() && key[0] == '$') out += '$';
  out += key;
  return out;
}

Error invalidValue(const std::string& reason) {
  return Error(kCocoaErrorDomain, kCoderInvalidValueError,
               Dictionary{{kLocalizedDescriptionKey,
                           Value("The data couldn\u2019t be written because it isn\u2019t in the correct format.")},
                          {"NSDebugDescription", Value(reason)}});
}

}  // namespace

KeyedArchiver::KeyedArchiver(bool requiresSecureCoding) : requiresSecureCoding_(requiresSecureCoding) {
  objects_.push_back(Value("$null"));
}

std::optional<Data> KeyedArchiver::archivedDataWithRootObject(const KeyedArchiveObject& root,
                                                              bool requiresSecureCoding, Error* error) {
  KeyedArchiver archiver(requiresSecureCoding);
  archiver.encodeObject(root, kRootKey);
  return archiver.encodedData(error);
}

Value KeyedArchiver::reference(uint64_t uid) const {
  return Value(Dictionary{{kPropertyListUIDKey, Value(static_cast<int64_t>(uid))}});
}

void KeyedArchiver::failWithError(Error error) {
  if (!error_) error_ = std::move(error);
}

void KeyedArchiver::setField(std::string_view key, Value value) {
  if (error_) return;
  Dictionary& fields = frames_.empty() ? top_ : *frames_.back();
  fields.set(escapedKey(key), std::move(value));
}

void KeyedArchiver::encodeObject(const KeyedArchiveObject& object, std::string_view key) {
  if (error_) return;
  uint64_t uid = encodeNode(object);
  setField(key, reference(uid));
}

void KeyedArchiver::encodeBool(bool value, std::string_view key) { setField(key, Value(value)); }
void KeyedArchiver::encodeInt64(int64_t value, std::string_view key) { setField(key, Value(value)); }
void KeyedArchiver::encodeDouble(double value, std::string_view key) { setField(key, Value(value)); }
void KeyedArchiver::encodeBytes(const Data& bytes, std::string_view key) { setField(key, Value(bytes)); }

uint64_t KeyedArchiver::append(Value value) {
  objects_.push_back(std::move(value));
  return objects_.size() - 1;
}

uint64_t KeyedArchiver::classReference(const std::string& name, const std::vector<std::string>& lineage) {
  if (auto it = classes_.find(name); it != classes_.end()) return it->second;
  Array names;
  for (const auto& n : lineage) names.emplace_back(n);
  uint64_t uid = append(Value(Dictionary{{"$classes", Value(std::move(names))}, {"$classname", Value(name)}}));
  classes_.emplace(name, uid);
  return uid;
}

uint64_t KeyedArchiver::finishContainer(uint64_t slot, const char* className, Dictionary fields) {
  fields.set("$class", reference(classReference(className, KeyedArchiveRegistry::shared().lineage(className))));
  objects_[slot] = Value(std::move(fields));
  return slot;
}

uint64_t KeyedArchiver::encodeArray(size_t count, const std::function<uint64_t(size_t)>& item) {
  uint64_t slot = append(Value());
  Array refs;
  for (size_t i = 0; i < count && !error_; ++i) refs.push_back(reference(item(i)));
  return finishContainer(slot, "NSArray", Dictionary{{"NS.objects", Value(std::move(refs))}});
}

uint64_t KeyedArchiver::encodeDictionary(const std::vector<std::string>& keys,
                                         const std::function<uint64_t(size_t)>& item) {
  uint64_t slot = append(Value());
  Array keyRefs, objectRefs;
  for (const auto& key : keys) keyRefs.push_back(reference(encodeValue(Value(key))));
  for (size_t i = 0; i < keys.size() && !error_; ++i) objectRefs.push_back(reference(item(i)));
  return finishContainer(slot, "NSDictionary",
                         Dictionary{{"NS.keys", Value(std::move(keyRefs))}, {"NS.objects", Value(std::move(objectRefs))}});
}

uint64_t KeyedArchiver::encodeNode(const KeyedArchiveObject& object) {
  if (error_ || object.isNil()) return 0;
  if (depth_ >= kMaxDepth) {
    failWithError(invalidValue("object graph nested too deeply"));
    return 0;
  }
  ++depth_;
  uint64_t uid = 0;
  if (const Value* v = object.value()) {
    uid = encodeValue(*v);
  } else if (auto coding = object.object()) {
    uid = encodeCodingObject(coding);
  } else if (const auto* items = object.mixedArray()) {
    uid = encodeArray(items->size(), [&](size_t i) {
      if ((*items)[i].isNil()) failWithError(invalidValue("nil inside an array"));
      return encodeNode((*items)[i]);
    });
  } else if (const auto* entries = object.mixedDictionary()) {
    std::vector<std::string> keys;
    for (const auto& e : *entries) keys.push_back(e.first);
    uid = encodeDictionary(keys, [&](size_t i) {
      if ((*entries)[i].second.isNil()) failWithError(invalidValue("nil inside a dictionary"));
      return encodeNode((*entries)[i].second);
    });
  }
  --depth_;
  return uid;
}

uint64_t KeyedArchiver::encodeValue(const Value& value) {
  if (error_) return 0;
  if (depth_ >= kMaxDepth) {
    failWithError(invalidValue("object graph nested too deeply"));
    return 0;
  }
  switch (value.type()) {
    case Value::Type::Null: return finishContainer(append(Value()), "NSNull", Dictionary{});
    case Value::Type::Bool:
    case Value::Type::Integer:
    case Value::Type::Real:
    case Value::Type::Data: return append(value);
    case Value::Type::String: {
      // Equal strings are stored once.
      const std::string& s = *value.asString();
      if (auto it = strings_.find(s); it != strings_.end()) return it->second;
      uint64_t uid = append(value);
      strings_.emplace(s, uid);
      return uid;
    }
    case Value::Type::Date:
      return finishContainer(append(Value()), "NSDate",
                             Dictionary{{"NS.time", Value(value.asDate()->timeIntervalSinceReferenceDate())}});
    case Value::Type::Array: {
      const Array& items = *value.asArray();
      ++depth_;
      uint64_t uid = encodeArray(items.size(), [&](size_t i) { return encodeValue(items[i]); });
      --depth_;
      return uid;
    }
    case Value::Type::Dictionary: {
      const Dictionary& dict = *value.asDictionary();
      ++depth_;
      const auto keys = dict.keys();
      uint64_t uid = encodeDictionary(keys, [&](size_t i) { return encodeValue(*dict.find(keys[i])); });
      --depth_;
      return uid;
    }
  }
  return 0;
}

uint64_t KeyedArchiver::encodeCodingObject(const std::shared_ptr<Coding>& object) {
  const Coding* key = object.get();
  if (auto it = encoded_.find(key); it != encoded_.end()) return it->second;
  std::string name = object->className();
  if (requiresSecureCoding_ && !object->supportsSecureCoding()) {
    failWithError(invalidValue("This coder requires that archived classes support secure coding. Class '" + name +
                               "' does not."));
    return 0;
  }
  if (inProgress_.count(key)) {
    failWithError(invalidValue("object of class '" + name + "' refers back to itself"));
    return 0;
  }
  uint64_t slot = append(Value());
  inProgress_.insert(key);
  Dictionary fields;
  frames_.push_back(&fields);
  object->encodeWithCoder(*this);
  frames_.pop_back();
  inProgress_.erase(key);
  std::vector<std::string> lineage{name};
  for (auto& n : object->superclassNames()) lineage.push_back(std::move(n));
  Dictionary stored{{"$class", reference(classReference(name, lineage))}};
  for (auto& [k, v] : fields) stored.set(k, v);
  objects_[slot] = Value(std::move(stored));
  encoded_.emplace(key, slot);
  return slot;
}

std::optional<Data> KeyedArchiver::encodedData(Error* error) {
  if (error_) {
    setError(error, *error_);
    return std::nullopt;
  }
  Value archive(Dictionary{
      {"$version", Value(100000)},
      {"$archiver", Value("NSKeyedArchiver")},
      {"$top", Value(top_)},
      {"$objects", Value(objects_)},
  });
  return dataFromPropertyList(archive, PropertyListFormat::Binary, error, {.uidDictionaries = true});
}

}  // namespace ns
