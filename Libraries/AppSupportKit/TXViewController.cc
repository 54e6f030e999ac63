#include "Libraries/AppSupportKit/TXViewController.h"

#include "Libraries/Logging/LKLog.h"

namespace {

void logAppearance(const ui::ViewController& controller, bool animated) {
  LKLog::log(true, LKLogLevelAll, LKLogFlagInfo, 0, __FILE__, "viewWillAppear", __LINE__, nullptr,
             "viewWillAppear:%@ %@ \"%@\"", static_cast<long long>(animated), controller.typeName(),
             controller.title());
}

}  // namespace

void TXViewController::viewWillAppear(bool animated) {
  ui::ViewController::viewWillAppear(animated);
  logAppearance(*this, animated);
}

void TXTableViewController::viewWillAppear(bool animated) {
  ui::TableViewController::viewWillAppear(animated);
  logAppearance(*this, animated);
}
