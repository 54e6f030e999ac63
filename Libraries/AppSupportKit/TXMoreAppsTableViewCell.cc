#include "Libraries/AppSupportKit/TXMoreAppsTableViewCell.h"

bool TXMoreAppsTableViewCell::hasBadge() { return false; }
bool TXMoreAppsTableViewCell::isEmpty() { return true; }
