#include "Platform/Foundation/KeyedArchiveObject.h"

namespace ns {

KeyedArchiveObject::KeyedArchiveObject(std::shared_ptr<Coding> object) {
  if (object) node_ = std::move(object);
}

KeyedArchiveObject KeyedArchiveObject::array(Array items) {
  KeyedArchiveObject out;
  bool plain = true;
  for (const auto& item : items) plain = plain && item.value();
  if (plain) {
    ns::Array values;
    values.reserve(items.size());
    for (auto& item : items) values.push_back(std::move(std::get<Value>(item.node_)));
    out.node_ = Value(std::move(values));
  } else {
    out.node_ = std::make_shared<const Array>(std::move(items));
  }
  return out;
}

KeyedArchiveObject KeyedArchiveObject::dictionary(Dictionary entries) {
  KeyedArchiveObject out;
  bool plain = true;
  for (const auto& entry : entries) plain = plain && entry.second.value();
  if (plain) {
    ns::Dictionary values;
    for (auto& [key, item] : entries) values.set(key, std::move(std::get<Value>(item.node_)));
    out.node_ = Value(std::move(values));
  } else {
    out.node_ = std::make_shared<const Dictionary>(std::move(entries));
  }
  return out;
}

std::shared_ptr<Coding> KeyedArchiveObject::object() const {
  auto p = std::get_if<std::shared_ptr<Coding>>(&node_);
  return p ? *p : nullptr;
}

const KeyedArchiveObject::Array* KeyedArchiveObject::mixedArray() const {
  auto p = std::get_if<std::shared_ptr<const Array>>(&node_);
  return p ? p->get() : nullptr;
}

const KeyedArchiveObject::Dictionary* KeyedArchiveObject::mixedDictionary() const {
  auto p = std::get_if<std::shared_ptr<const Dictionary>>(&node_);
  return p ? p->get() : nullptr;
}

std::optional<KeyedArchiveObject::Array> KeyedArchiveObject::arrayItems() const {
  if (const Array* a = mixedArray()) return *a;
  const Value* v = value();
  if (!v || !v->isArray()) return std::nullopt;
  Array out;
  for (const auto& item : *v->asArray()) out.emplace_back(item);
  return out;
}

std::optional<KeyedArchiveObject::Dictionary> KeyedArchiveObject::dictionaryEntries() const {
  if (const Dictionary* d = mixedDictionary()) return *d;
  const Value* v = value();
  if (!v || !v->isDictionary()) return std::nullopt;
  Dictionary out;
  for (const auto& [key, item] : *v->asDictionary()) out.emplace_back(key, KeyedArchiveObject(item));
  return out;
}

std::optional<Value> KeyedArchiveObject::toValue() const {
  if (const Value* v = value()) return *v;
  // Mixed collections hold at least one item that is not plain.
  return std::nullopt;
}

}  // namespace ns
