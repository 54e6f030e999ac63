// Keyed archives from outside (a note's rich text in a store or a legacy
// store): decoding, secure or not, fails with an error and never throws or
// crashes, and a note's text that decodes archives and decodes again to the
// same text.
#include <cstdlib>

#include "Notes/ClassNameTransformer.h"
#include "Notes/NoteTextArchive.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NoteTextArchive::registerClasses();
  ns::Data bytes(data, data + size);
  auto secure = ns::KeyedUnarchiver::unarchivedObjectOfClasses(ClassNameTransformer::allowedClasses(), bytes, nullptr);
  auto legacy = ns::KeyedUnarchiver::unarchiveObjectWithData(bytes, nullptr);
  for (const auto* object : {&secure, &legacy}) {
    auto text = NoteTextArchive::attributedString(*object);
    if (!text) continue;
    auto archived = NoteTextArchive::archivedData(*text, true, nullptr);
    if (!archived) continue;  // attributes that cannot be archived securely
    auto again = NoteTextArchive::attributedString(
        ns::KeyedUnarchiver::unarchivedObjectOfClasses(ClassNameTransformer::allowedClasses(), *archived, nullptr));
    if (!again || again->string() != text->string()) std::abort();
  }
  return 0;
}
