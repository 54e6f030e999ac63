// Where the measurement library keeps its files, and the few file moves it
// makes. Files live in "Zorori/Measurement" under the application's
// Application Support directory; preference suites are "<suite>.plist"
// under Library/Preferences, the files ns::UserDefaults keeps.
//
// Plain functions without state or locks: any queue may call them.
#pragma once

#include <string>

#include "Platform/Foundation/Error.h"

// ".../Application Support/Zorori/Measurement/<name>"; "" for an empty name,
// and "" with monitor message 19001 (level 2) when there is no Application
// Support directory.
std::string MSRApplicationSupportFilePath(const std::string& fileName);
// The same with the extension "plist" appended unless the name has it.
std::string MSRApplicationSupportPlistPath(const std::string& name);
// ".../Library/Preferences/<suite>.plist" (the extension always appended);
// "" for an empty name, and "" with monitor message 19000 (level 2) when
// there is no Library directory.
std::string MSRPreferencesPlistPath(const std::string& suiteName);

// Marks the file as excluded from device backups.
bool MSRExcludeFileFromBackup(const std::string& path, ns::Error* error);
// Removes the file or directory; an empty path fails with code 1.
bool MSRDeleteFileAtPath(const std::string& path, ns::Error* error);

// Moves a file, creating the destination's directory. True when there is
// nothing at the source. A source or destination that is a directory is
// refused. When a file is at the destination: with `overwrite` it is
// replaced; without, it is kept and the source deleted (the answer is
// whether the deletion succeeded).
bool MSRMoveFileAtPath(const std::string& sourcePath, const std::string& destinationPath, bool overwrite);

// Moves the suite's preferences file to "<suite>.plist" under Application
// Support (keeping a file already there) and, when that succeeded, removes
// the suite's defaults domain.
bool MSRMovePreferencesToApplicationSupport(const std::string& suiteName);
// Moves "<suite>.plist" back from Application Support over the preferences
// file; what the file held becomes the suite's defaults domain, written in
// one step.
bool MSRMovePreferencesFromApplicationSupport(const std::string& suiteName);
