// Host facts for crash-time code, gathered once at set-up (page size, the
// Documents directory), and the "host" and "storage" sections of the report
// files. The page size is the host's own: this platform is never translated.
#pragma once

#include <cstddef>

struct DVCRFile;
struct DVCRHostReadOnlyContext;

// The host's page size clamped to 4,096 ... 16,384 (the range the crash
// allocator's layout is made for); 16,384 when it cannot be read (logged).
size_t DVCRHostGetPageSize();
// The clamp alone: up to 4,096 gives 4,096, above 16,384 gives 16,384.
size_t DVCRHostClampPageSize(long reported);
// Always false here.
bool DVCRHostIsRosettaTranslated();

// Set-up: the page size, and the device's Documents directory copied into
// the crash allocator's read-only region (none when there is none).
void DVCRHostInitialize(DVCRHostReadOnlyContext* hostPart);

// Writes the "host" section: "model", "machine", "os_build_version",
// "os_display_version", "platform", "dozaveve_platform", "locale". The
// device holds no board name, so "machine" is "(failed)". True.
bool DVCRHostRecord(DVCRFile* file);
// Writes the "storage" section, {"free":...,"total":...} in bytes, of the
// file system that holds the Documents directory in the crash context; an
// empty hash when it cannot be queried. Signal-safe.
void DVCRHostWriteDiskUsage(DVCRFile* file);
