#include "Notes/NTFolder.h"

#include "Notes/NTNote.h"

int32_t NTFolder::displayOrder() const { return static_cast<int32_t>(value("displayOrder").integerValue()); }

void NTFolder::setDisplayOrder(int32_t order) { setValue("displayOrder", ns::Value(order)); }

std::optional<std::string> NTFolder::title() const {
  ns::Value v = value("title");
  if (!v.isString()) return std::nullopt;
  return v.stringValue();
}

void NTFolder::setTitle(const std::optional<std::string>& title) {
  setValue("title", title ? ns::Value(*title) : ns::Value());
}

std::vector<std::shared_ptr<NTNote>> NTFolder::notes() const {
  std::vector<std::shared_ptr<NTNote>> out;
  for (const auto& object : objects("notes"))
    if (auto note = std::dynamic_pointer_cast<NTNote>(object)) out.push_back(std::move(note));
  return out;
}

size_t NTFolder::countOfNotes() const { return countOfObjects("notes"); }
