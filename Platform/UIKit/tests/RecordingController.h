// A controller that logs its appearance callbacks into a shared journal.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/ViewController.h"

namespace ui::testing {

using Journal = std::shared_ptr<std::vector<std::string>>;

class RecordingController : public ViewController {
 public:
  RecordingController(std::string name, Journal journal) : name_(std::move(name)), journal_(std::move(journal)) {
    setTitle(name_);
  }
  std::string typeName() const override { return "Recording"; }
  void viewDidLoad() override { log("didLoad"); }
  void viewWillAppear(bool animated) override { log(std::string("willAppear") + (animated ? "*" : "")); }
  void viewDidAppear(bool animated) override { log(std::string("didAppear") + (animated ? "*" : "")); }
  void viewWillDisappear(bool animated) override { log(std::string("willDisappear") + (animated ? "*" : "")); }
  void viewDidDisappear(bool animated) override { log(std::string("didDisappear") + (animated ? "*" : "")); }

 private:
  void log(const std::string& what) { journal_->push_back(name_ + "." + what); }
  std::string name_;
  Journal journal_;
};

inline Journal makeJournal() { return std::make_shared<std::vector<std::string>>(); }

}  // namespace ui::testing
