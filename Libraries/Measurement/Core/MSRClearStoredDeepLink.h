// Forgets the deep link the engine stored for its first open.
#pragma once

class MSRConfigStore;

// Removes "/zorori/measurement/deep_link" and
// "/zorori/measurement/deep_link_timestamp_seconds" from the store.
void MSRClearStoredDeepLink(MSRConfigStore& store);
