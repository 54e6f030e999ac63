// A view whose bounds origin is the content offset over a content size,
// with insets; the delegate hears about scrolling. Scrolling is set from
// code or by the input layer; there is no deceleration.
#pragma once

#include <memory>

#include "Platform/UIKit/View.h"

namespace ui {

class ScrollView;

class ScrollViewDelegate {
 public:
  virtual ~ScrollViewDelegate() = default;
  virtual void scrollViewDidScroll(ScrollView&) {}
  virtual void scrollViewWillBeginDragging(ScrollView&) {}
  virtual void scrollViewDidEndDragging(ScrollView&, bool willDecelerate) { (void)willDecelerate; }
  virtual void scrollViewDidEndScrollingAnimation(ScrollView&) {}
};

enum class ScrollViewIndicatorStyle { Default = 0, Black = 1, White = 2 };
enum class ScrollViewKeyboardDismissMode { None = 0, OnDrag = 1, Interactive = 2 };

class ScrollView : public View {
 public:
  // Scroll views clip their content to their bounds, as on the platform.
  ScrollView() { setClipsToBounds(true); }
  explicit ScrollView(const Rect& frame) : View(frame) { setClipsToBounds(true); }
  std::string typeName() const override { return "ScrollView"; }

  Point contentOffset() const { return bounds().origin; }
  void setContentOffset(Point offset, bool animated = false);
  Size contentSize() const { return contentSize_; }
  void setContentSize(Size s) { contentSize_ = s; }
  EdgeInsets contentInset() const { return contentInset_; }
  void setContentInset(EdgeInsets e) { contentInset_ = e; }
  EdgeInsets scrollIndicatorInsets() const { return indicatorInsets_; }
  void setScrollIndicatorInsets(EdgeInsets e) { indicatorInsets_ = e; }
  // The bottom of both insets, the others kept: room for the keyboard.
  void setBottomInsets(double bottom) {
    contentInset_.bottom = bottom;
    indicatorInsets_.bottom = bottom;
  }
  // Scrolls the least needed to show `rect` (content coordinates).
  void scrollRectToVisible(const Rect& rect, bool animated);
  // The largest offset that still shows content (with insets).
  Point maximumContentOffset() const;

  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool e) { scrollEnabled_ = e; }
  bool bounces() const { return bounces_; }
  void setBounces(bool b) { bounces_ = b; }
  bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
  void setAlwaysBounceVertical(bool b) { alwaysBounceVertical_ = b; }
  bool showsVerticalScrollIndicator() const { return showsVertical_; }
  void setShowsVerticalScrollIndicator(bool s) { showsVertical_ = s; }
  bool showsHorizontalScrollIndicator() const { return showsHorizontal_; }
  void setShowsHorizontalScrollIndicator(bool s) { showsHorizontal_ = s; }
  ScrollViewIndicatorStyle indicatorStyle() const { return indicatorStyle_; }
  void setIndicatorStyle(ScrollViewIndicatorStyle s) { indicatorStyle_ = s; }
  ScrollViewKeyboardDismissMode keyboardDismissMode() const { return dismissMode_; }
  void setKeyboardDismissMode(ScrollViewKeyboardDismissMode m) { dismissMode_ = m; }
  bool scrollsToTop() const { return scrollsToTop_; }
  void setScrollsToTop(bool s) { scrollsToTop_ = s; }
  bool isDragging() const { return dragging_; }

  void setDelegate(std::weak_ptr<ScrollViewDelegate> d) { scrollDelegate_ = std::move(d); }
  std::shared_ptr<ScrollViewDelegate> scrollDelegate() const { return scrollDelegate_.lock(); }

  // A person drags the content by `dy` points (the input layer): begin
  // dragging, scroll (clamped to the content), end dragging.
  void drag(double dy);
  // The same drag in its steps, as a pointer held down moves it: the
  // delegate hears of the beginning and the end once each.
  void beginDragging();
  void dragBy(double dy);
  void endDragging();

 protected:
  virtual void didScroll() {}

 private:
  Size contentSize_;
  EdgeInsets contentInset_, indicatorInsets_;
  bool scrollEnabled_ = true;
  bool bounces_ = true;
  bool alwaysBounceVertical_ = false;
  bool showsVertical_ = true;
  bool showsHorizontal_ = true;
  ScrollViewIndicatorStyle indicatorStyle_ = ScrollViewIndicatorStyle::Default;
  ScrollViewKeyboardDismissMode dismissMode_ = ScrollViewKeyboardDismissMode::None;
  bool scrollsToTop_ = true;
  bool dragging_ = false;
  std::weak_ptr<ScrollViewDelegate> scrollDelegate_;
};

}  // namespace ui
