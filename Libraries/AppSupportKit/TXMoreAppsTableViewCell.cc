#include "Libraries/AppSupportKit/TXMoreAppsTableViewCell.h"

bool TXMoreAppsTableViewCell::hasBadge() { return false; }
