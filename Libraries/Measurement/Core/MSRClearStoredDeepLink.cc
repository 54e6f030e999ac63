#include "Libraries/Measurement/Core/MSRClearStoredDeepLink.h"

#include "Libraries/Measurement/Storage/MSRConfigStore.h"

void MSRClearStoredDeepLink(MSRConfigStore& store) {
  store.removeObjectForKey("/zorori/measurement/deep_link");
  store.removeObjectForKey("/zorori/measurement/deep_link_timestamp_seconds");
}
