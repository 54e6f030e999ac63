// The small platform services the transport stands on: its state
// directory, archives to and from files, atomic file writes, the device
// model and the two reachability flag tests.
//
// Every write here is atomic (a hidden temporary beside the file, then a
// rename), so a reader, or a process started after this one was killed,
// sees the old file or the new one, never part of one. Writes are not
// fsync'ed: the swap survives the process ending, not a power loss, which
// is what the platform's atomic writes promise too. A killed write can
// leave its hidden temporary behind; nothing lists or counts hidden names,
// and the store's sweep removes them.
//
// Failures come back through the ns::Error out-parameter (may be null)
// and a debug line of the console logger; callers decide.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/KeyedArchiveObject.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

// "zorori-sdks-events" in the device's caches directory, computed once per
// process; created (with intermediates, errors ignored) on every call.
ns::URL ZTCORStateDirectoryURL();

// The secure keyed archive of `object`. With a non-empty path, the parent
// directory is created first (failure: nullopt) and the bytes are written
// atomically; the bytes are returned even when that write failed (`error`
// then holds the write error). Nullopt when archiving fails.
std::optional<ns::Data> ZTCORArchiveObject(const std::shared_ptr<ns::Coding>& object, const std::string& path,
                                           ns::Error* error);

// The object of class `className` in the file (nil and the read error for
// a missing or unreadable file), or in the bytes (nil and the error when
// they do not decode as one).
ns::KeyedArchiveObject ZTCORUnarchiveFile(const std::string& className, const std::string& path, ns::Error* error);
ns::KeyedArchiveObject ZTCORUnarchiveData(const std::string& className, const ns::Data& data, ns::Error* error);

// Writes `data` atomically, creating the parent directory. False for an
// empty path (nothing written) and on any failure.
bool ZTCORWriteFileData(const ns::Data& data, const std::string& path, ns::Error* error);

// Creates the directory with its intermediates unless it is one already:
// every store and batch asks for its directories, and a look is far cheaper
// than a mkdir of each component.
bool ZTCORCreateDirectory(const std::string& path, ns::Error* error = nullptr);

// The device's model identifier, computed once per process ("Unknown" when
// the device reports none).
std::string ZTCORDeviceModelString();

// Reachable and no connection required ((flags & 0x6) == 0x2).
bool ZTCORReachabilityIsReachable(uint32_t flags);
// The cellular bit 0x40000. Nothing here is ever cellular.
bool ZTCORReachabilityIsCellular(uint32_t flags);

// For tests: forgets the once-computed state directory and device model, so
// the next call computes them for the current device.
void ZTCORPlatformResetForTesting();
