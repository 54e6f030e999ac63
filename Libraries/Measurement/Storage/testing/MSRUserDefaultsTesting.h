// For tests: forgets the Info.plist's "UseCFPreferencesLibrary" choice, so
// that the next MSRUserDefaults made reads it again (a new launch reads
// it once).
#pragma once

void MSRUserDefaultsForgetPreferenceChoiceForTesting();
