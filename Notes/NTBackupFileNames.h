// Names of backup files in a backups directory: which entries are backups,
// and a name that is still free there, so that a backup never replaces
// another one.
#pragma once

#include <string>

namespace NTBackupFileNames {

// The extension, lower-cased, is "quillbox".
bool isBackupFileName(const std::string& name);
// `name` when nothing in `directory` has it, else "<stem> (n).<ext>" for
// the first n that names nothing there.
std::string freeNameIn(const std::string& directory, const std::string& name);

}  // namespace NTBackupFileNames
