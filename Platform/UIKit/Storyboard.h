// Scenes and segues registered in code in place of a storyboard file. A
// scene is a factory of a controller under an identifier ("NotesViewController");
// a segue leaves a source scene under an identifier ("show") for a
// destination scene, or unwinds to the nearest controller offering an
// unwind action. Controllers made here know their storyboard and scene, and
// get awakeFromNib() once made.
//
// Storyboards are looked up by name ("Main"); missing scenes and segues
// are programming errors and throw ns::Exception (NSInvalidArgumentException),
// as the platform does.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/StoryboardSegue.h"
#include "Platform/UIKit/ViewController.h"

namespace ui {

struct SegueDefinition {
  std::string identifier;
  SegueKind kind = SegueKind::Show;
  std::string destinationScene;  // or the unwind action's name for Unwind
  bool animated = true;
};

class Storyboard : public std::enable_shared_from_this<Storyboard> {
 public:
  using Factory = std::function<std::shared_ptr<ViewController>()>;

  // The storyboard of this name, made empty on first use.
  static std::shared_ptr<Storyboard> named(const std::string& name);
  // Forgets every storyboard (tests).
  static void resetAll();

  const std::string& name() const { return name_; }
  void registerScene(const std::string& identifier, Factory factory, bool initial = false);
  void registerSegue(const std::string& sourceScene, SegueDefinition segue);
  bool hasScene(const std::string& identifier) const;

  std::shared_ptr<ViewController> instantiateViewController(const std::string& identifier);
  std::shared_ptr<ViewController> instantiateInitialViewController();
  const SegueDefinition* segue(const std::string& sourceScene, const std::string& identifier) const;

  // Used by ViewController::performSegue.
  void performSegue(ViewController& source, const std::string& identifier, void* sender);

  explicit Storyboard(std::string name) : name_(std::move(name)) {}

 private:
  void unwind(ViewController& source, const SegueDefinition& segue, void* sender);

  std::string name_;
  std::map<std::string, Factory> scenes_;
  std::string initial_;
  std::map<std::string, std::vector<SegueDefinition>> segues_;
};

}  // namespace ui
