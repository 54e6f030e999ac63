// Tip bookkeeping of the kit: view counts per tip and the tips shown.
#include <map>
#include <mutex>

#include "Libraries/AppSupportKit/TXKit.h"

namespace {

struct TipState {
  std::mutex mutex;
  std::map<std::string, int64_t> views;
  std::vector<TXKit::ShownTip> shown;
};

TipState& tipState() {
  static TipState state;
  return state;
}

void countView(const std::string& tipID, const std::string& text, int64_t afterViewsCount) {
  auto& state = tipState();
  std::lock_guard lock(state.mutex);
  int64_t& count = state.views[tipID];
  if (count > afterViewsCount) return;  // already shown
  if (count++ < afterViewsCount) return;
  state.shown.push_back({tipID, text});
}

}  // namespace

void TXKit::showTipIfNeededWithID(const std::string& tipID, const std::string& text, const ui::View*,
                                  const ui::View*, int64_t afterViewsCount, bool) {
  countView(tipID, text, afterViewsCount);
}

void TXKit::showTipIfNeededWithID(const std::string& tipID, const std::string& text, const ui::BarButtonItem*,
                                  int64_t afterViewsCount, bool) {
  countView(tipID, text, afterViewsCount);
}

std::vector<TXKit::ShownTip> TXKit::shownTips() const {
  auto& state = tipState();
  std::lock_guard lock(state.mutex);
  return state.shown;
}

void TXKit::resetTips() {
  auto& state = tipState();
  std::lock_guard lock(state.mutex);
  state.views.clear();
  state.shown.clear();
}
