// Byte utilities beside the record files: lower-case hex and digests.
// DVCRHexFromByte, DVCRSafeHexToString and DVCRHexEncodeInChunks write into
// the caller's memory and may run at crash time; the rest allocate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Platform/Foundation/Value.h"

// Two lower-case hex digits into out[0] and out[1].
void DVCRHexFromByte(uint8_t byte, char out[2]);
// `out` holds 2 * length + 1 bytes; it is zeroed, then filled.
void DVCRSafeHexToString(const uint8_t* bytes, size_t length, char* out);
// Hands the hex digits of `bytes` to `chunk` 32 digits (16 bytes) at a time,
// then the rest: 17 bytes give a chunk of 32 digits and one of 2.
using DVCRHexChunkFunction = void (*)(void* context, const char* digits, size_t length);
void DVCRHexEncodeInChunks(const uint8_t* bytes, size_t length, DVCRHexChunkFunction chunk, void* context);

std::string DVCRNSDataToNSString(const ns::Data& data);
// SHA-1 as 40 lower-case hex digits; SHA-256 as 64.
std::string DVCRHashBytes(const void* bytes, size_t length);
std::string DVCRHashNSData(const ns::Data& data);
std::string DVCR256HashBytes(const void* bytes, size_t length);
std::string DVCR256HashNSData(const ns::Data& data);

// Calls `block` with each contiguous range of the data (its bytes, offset
// and length) until it sets *stop. Data here is one range, even when empty.
template <class Block>
void DVCREnumerateByteRangesOfNSDataUsingBlock(const ns::Data& data, Block&& block) {
  bool stop = false;
  block(data.data(), size_t{0}, data.size(), &stop);
}
