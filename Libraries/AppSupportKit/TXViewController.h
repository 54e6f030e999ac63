// The kit's base controllers: each logs every appearance (info level,
// asynchronously) as `viewWillAppear:<animated 0|1> <class> "<title>"`,
// after the inherited behaviour.
#pragma once

#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/ViewController.h"

class TXViewController : public ui::ViewController {
 public:
  std::string typeName() const override { return "TXViewController"; }
  // A library's controller, not the program's own.
  bool isFromMainBundle() const override { return false; }
  void viewWillAppear(bool animated) override;
};

class TXTableViewController : public ui::TableViewController {
 public:
  using ui::TableViewController::TableViewController;
  std::string typeName() const override { return "TXTableViewController"; }
  // A library's controller, not the program's own.
  bool isFromMainBundle() const override { return false; }
  void viewWillAppear(bool animated) override;
};
