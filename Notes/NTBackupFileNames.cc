#include "Notes/NTBackupFileNames.h"

#include <cctype>

#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/StringCase.h"

namespace NTBackupFileNames {

bool isBackupFileName(const std::string& name) {
  return ns::lowercaseString(ns::URL::fileURLWithPath(name).pathExtension()) == "quillbox";
}

std::string freeNameIn(const std::string& directory, const std::string& name) {
  auto& fm = ns::FileManager::defaultManager();
  if (!fm.fileExists(directory + "/" + name)) return name;
  std::string ext = ns::URL::fileURLWithPath(name).pathExtension();
  std::string stem = ext.empty() ? name : name.substr(0, name.size() - ext.size() - 1);
  for (int n = 1;; ++n) {
    std::string candidate = stem + " (" + std::to_string(n) + ")" + (ext.empty() ? "" : "." + ext);
    if (!fm.fileExists(directory + "/" + candidate)) return candidate;
  }
}

}  // namespace NTBackupFileNames
