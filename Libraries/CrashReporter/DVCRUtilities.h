// Small helpers shared across the crash reporter. DVCRDupString,
// DVCRRedactUUID and DVCRHexCharToValue allocate nothing from the heap and
// are safe at crash time; the rest run in normal operation only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace dispatch {
class Queue;
}

// A copy of `string` in the crash allocator's read-only region, so it is
// locked with the crash context; none for none. Without an allocator the
// copy comes from the heap (the allocator logs that).
const char* DVCRDupString(const char* string);

// True when the file was removed or did not exist.
bool DVCRUnlinkIfExists(const char* path);

// Masks the first parenthesised 36-character identifier in place: every
// character between "(" and the ")" 37 characters later that is not "-"
// becomes "*". Nothing changes for none or when there is no such pair.
void DVCRRedactUUID(char* string);

// A new random UUID, upper-case and hyphenated.
std::string DVCRGenerateUUID();

// 0-15 for a hex digit of either case, 255 for anything else.
uint8_t DVCRHexCharToValue(char character);

// Calls `block` with the symbol name and image file name of `address`
// ("unknown" for a part that is missing), or with two nulls when the address
// lies in no loaded image.
void DVCRDladdrInfo(const void* address, const std::function<void(const char* symbol, const char* image)>& block);

// Queues `block` on `queue` after `seconds`.
void DVCRDispatchAfter(double seconds, const std::shared_ptr<dispatch::Queue>& queue, std::function<void()> block);

// Launch profiling: a mark, and the milliseconds since it.
using DVCRProfileMark = uint64_t;
DVCRProfileMark DVCRProfileStart();
double DVCRProfileEnd(DVCRProfileMark mark);
