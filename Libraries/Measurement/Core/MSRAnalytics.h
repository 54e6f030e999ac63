// The analytics interface of the measurement engine. Today the choice of
// the persisted configuration's store; the core's own work adds the rest of
// the class.
#pragma once

class MSRAnalytics {
 public:
  // Whether the persisted configuration lives as a property list in
  // Application Support (YES) or in a defaults suite (NO): the BOOL
  // "persistent_config_in_application_support_enabled" of the suite
  // "MSRAnalyticsSuiteName", NO when absent. Read when a persisted
  // configuration is made, so a change applies to the next one.
  static bool persistentConfigInApplicationSupportEnabled();
  static void setPersistentConfigInApplicationSupportEnabled(bool enabled);
};
