// Appearance defaults per kind of view: a setter registered for a view type
// (optionally only when contained in a view of another type) is applied
// to each view of that type when it first enters a window, before anything
// else the view is told about the window. Later rules win over earlier ones.
#pragma once

#include <functional>
#include <mutex>
#include <typeindex>
#include <vector>

namespace ui {

class View;

class Appearance {
 public:
  static Appearance& shared();

  // Every view of type T gets `apply` called.
  template <class T>
  void add(std::function<void(T&)> apply) {
    addRule([apply](View& v) { apply(static_cast<T&>(v)); },
            [](View& v) { return dynamic_cast<T*>(&v) != nullptr; }, nullptr);
  }
  // Only views of type T inside a view of type Container.
  template <class T, class Container>
  void addWhenContainedIn(std::function<void(T&)> apply) {
    addRule([apply](View& v) { apply(static_cast<T&>(v)); },
            [](View& v) { return dynamic_cast<T*>(&v) != nullptr; },
            [](View& v) { return dynamic_cast<Container*>(&v) != nullptr; });
  }
  // Drops every rule (tests).
  void reset();

  // Applies the matching rules to `view`.
  void apply(View& view);

 private:
  using Test = std::function<bool(View&)>;
  struct Rule {
    std::function<void(View&)> apply;
    Test matches;
    Test container;  // null: anywhere
  };
  void addRule(std::function<void(View&)> apply, Test matches, Test container);
  std::mutex mutex_;
  std::vector<Rule> rules_;
};

}  // namespace ui
