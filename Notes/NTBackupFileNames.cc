#include "Notes/NTBackupFileNames.h"

#include <algorithm>
#include <cctype>

#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/URL.h"

namespace NTBackupFileNames {

bool isBackupFileName(const std::string& name) {
  std::string extension = ns::URL::fileURLWithPath(name).pathExtension();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return extension == "quillbox";
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
