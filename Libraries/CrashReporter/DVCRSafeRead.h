// Reads of memory that may be unmapped, for crash-time code walking stacks,
// images and strings it cannot trust: a bad address gives false, never a
// fault. Signal-safe: raw system calls, no allocation, no locks.
//
// The bytes are copied by the kernel with `process_vm_readv` on the own
// process. Where a sandbox refuses that call, they are written into a pipe
// instead (which fails cleanly with EFAULT on a bad source) and read back.
#pragma once

#include <cstddef>

// Copies `length` bytes; false for a source below 4,096, a null destination
// or any byte that cannot be read. A length of 0 succeeds.
bool DVCRReadMemory(const void* source, void* destination, size_t length);

// Checks in place that a readable NUL-terminated string starts at `source`
// and that its NUL lies within its first `maxLength` bytes; on success sets
// *string to `source` itself. False for a null `string`, a source below
// 4,096, an unreadable byte before the NUL, or no NUL within `maxLength`
// (so a caller never writes a string whose end was not checked).
bool DVCRReadString(const void* source, const char** string, size_t maxLength);

// The pipe route alone, so that it can be exercised where the kernel route
// works. Same contract as DVCRReadMemory.
bool DVCRReadMemoryThroughPipe(const void* source, void* destination, size_t length);
