#include "Notes/NTBackupsManager.h"

bool NTBackupsManager::backupsUseICloud() { return false; }

void NTBackupsManager::setBackupsUseICloud(bool, std::function<void(const ns::Error*)> completionBlock) {
  if (completionBlock) completionBlock(nullptr);
}
