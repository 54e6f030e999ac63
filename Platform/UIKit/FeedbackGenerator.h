// Haptic feedback: nothing to feel here, so each occurrence is recorded.
#pragma once

#include <vector>

namespace ui {

enum class NotificationFeedbackType { Success = 0, Warning = 1, Error = 2 };

class NotificationFeedbackGenerator {
 public:
  void prepare() {}
  void notificationOccurred(NotificationFeedbackType type) { occurred().push_back(type); }
  // Every occurrence in the process, oldest first (tests clear it).
  static std::vector<NotificationFeedbackType>& occurred() {
    static std::vector<NotificationFeedbackType> list;
    return list;
  }
};

}  // namespace ui
