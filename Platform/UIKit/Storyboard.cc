#include "Platform/UIKit/Storyboard.h"

#include <mutex>

#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/PopoverPresentationController.h"
#include "Platform/UIKit/View.h"

namespace ui {

namespace {
std::map<std::string, std::shared_ptr<Storyboard>>& boards() {
  static std::map<std::string, std::shared_ptr<Storyboard>> all;
  return all;
}
}  // namespace

std::shared_ptr<Storyboard> Storyboard::named(const std::string& name) {
  auto& all = boards();
  auto it = all.find(name);
  if (it != all.end()) return it->second;
  auto board = std::make_shared<Storyboard>(name);
  all[name] = board;
  return board;
}

void Storyboard::resetAll() { boards().clear(); }

void Storyboard::registerScene(const std::string& identifier, Factory factory, bool initial) {
  scenes_[identifier] = std::move(factory);
  if (initial) initial_ = identifier;
}

void Storyboard::registerSegue(const std::string& sourceScene, SegueDefinition segue) {
  auto& list = segues_[sourceScene];
  for (auto& s : list) {
    if (s.identifier == segue.identifier) {
      s = std::move(segue);
      return;
    }
  }
  list.push_back(std::move(segue));
}

bool Storyboard::hasScene(const std::string& identifier) const { return scenes_.count(identifier) > 0; }

std::shared_ptr<ViewController> Storyboard::instantiateViewController(const std::string& identifier) {
  auto it = scenes_.find(identifier);
  if (it == scenes_.end()) {
    throw ns::Exception("NSInvalidArgumentException", "Storyboard (<" + name_ +
                                                          ">) doesn't contain a view controller with identifier '" +
                                                          identifier + "'");
  }
  auto controller = it->second();
  controller->setStoryboard(shared_from_this(), identifier);
  controller->awakeFromNib();
  return controller;
}

std::shared_ptr<ViewController> Storyboard::instantiateInitialViewController() {
  if (initial_.empty()) return nullptr;
  return instantiateViewController(initial_);
}

const SegueDefinition* Storyboard::segue(const std::string& sourceScene, const std::string& identifier) const {
  auto it = segues_.find(sourceScene);
  if (it == segues_.end()) return nullptr;
  for (const auto& s : it->second) {
    if (s.identifier == identifier) return &s;
  }
  return nullptr;
}

void Storyboard::performSegue(ViewController& source, const std::string& identifier, void* sender) {
  const SegueDefinition* def = segue(source.sceneIdentifier(), identifier);
  if (!def) {
    throw ns::Exception("NSInvalidArgumentException", "Receiver (" + source.typeName() +
                                                          ") has no segue with identifier '" + identifier + "'");
  }
  SegueDefinition copy = *def;
  if (copy.kind == SegueKind::Unwind) return unwind(source, copy, sender);
  auto destination = instantiateViewController(copy.destinationScene);
  StoryboardSegue run(copy.identifier, copy.kind, source.shared(), destination);
  source.prepareForSegue(run, sender);
  switch (copy.kind) {
    case SegueKind::Show:
      if (copy.animated) {
        source.showViewController(destination, sender);
      } else if (NavigationController* nav = source.navigationController()) {
        nav->pushViewController(destination, false);
      } else {
        source.presentViewController(destination, false);
      }
      break;
    case SegueKind::ShowDetail:
      source.showDetailViewController(destination, sender);
      break;
    case SegueKind::PresentModally:
      source.presentViewController(destination, copy.animated);
      break;
    case SegueKind::PresentAsPopover:
      destination->setModalPresentationStyle(ModalPresentationStyle::Popover);
      source.presentViewController(destination, copy.animated);
      break;
    case SegueKind::Unwind:
      break;
  }
}

namespace {
// The controllers shown inside a container, nearest first: navigation
// stacks from the top, other containers' children in order, each with what
// it contains in turn.
void addContained(ViewController& container, std::vector<ViewController*>& out) {
  std::vector<ViewController*> children;
  if (auto* nav = dynamic_cast<NavigationController*>(&container)) {
    const auto& stack = nav->viewControllers();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) children.push_back(it->get());
  } else {
    for (const auto& child : container.childViewControllers()) children.push_back(child.get());
  }
  for (ViewController* child : children) {
    out.push_back(child);
    addContained(*child, out);
  }
}
}  // namespace

void Storyboard::unwind(ViewController& source, const SegueDefinition& def, void* sender) {
  // Candidates, nearest first: the controllers below the source in its
  // navigation stacks, then each presenting controller with the
  // controllers it contains (a list inside a navigation controller inside a
  // split view presents through the split view).
  std::vector<ViewController*> candidates;
  ViewController* level = &source;
  while (level) {
    for (ViewController* v = level; v; v = v->parentViewController()) {
      if (auto* nav = dynamic_cast<NavigationController*>(v)) {
        const auto& stack = nav->viewControllers();
        for (auto it = stack.rbegin(); it != stack.rend(); ++it) candidates.push_back(it->get());
      }
      candidates.push_back(v);
    }
    if (level != &source) addContained(*level, candidates);
    level = level->presentingViewController();
  }
  for (ViewController* candidate : candidates) {
    if (candidate == &source) continue;
    const ViewController::UnwindAction* action = candidate->unwindAction(def.destinationScene);
    if (!action) continue;
    StoryboardSegue run(def.identifier, SegueKind::Unwind, source.shared(), candidate->shared());
    source.prepareForSegue(run, sender);
    (*action)(run);
    // Then back to the destination: dismiss what it presented, pop above it.
    if (candidate->presentedViewController() && !candidate->presentedViewController()->isBeingDismissed())
      candidate->dismissViewController(def.animated);
    if (NavigationController* nav = candidate->navigationController())
      nav->popToViewController(candidate, def.animated);
    return;
  }
  throw ns::Exception("NSInvalidArgumentException",
                      "Could not find a view controller to unwind to for action '" + def.destinationScene + "'");
}

}  // namespace ui
