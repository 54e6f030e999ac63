// The settings screen: a grouped table of five sections, laid out here as
// the storyboard's static cells, which the controller fills, hides and
// wires. Its switches act at once (iCloud, automatic backups, the passcode
// lock, biometric unlock); it shows the age of the newest backup, leads to
// the general settings and to the backup list, opens the support mail and,
// after five taps on the version row, the support menu.
//
// It runs the passcode set-up itself, as the passcode screens' delegate:
// "Set Passcode", then "Repeat Passcode" pushed over it; a repeat that
// differs goes back to the first screen, a matching one stores the passcode
// and pushes the security question screen, which ends the dialogue.
// Cancelling at any point leaves the stored passcode as it was.
//
// Main thread only. Completions of the store and backup services are moved
// to the main queue before they touch the screen.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Notes/QBPinViewController.h"
#include "Platform/LocalAuthentication/Context.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/Switch.h"
#include "Platform/UIKit/TableViewController.h"

class TXMoreAppsTableViewCell;

class SettingsViewController : public ui::TableViewController, public QBPinViewControllerDelegate {
 public:
  // Sections in table order.
  enum Section : int { kNotesSection = 0, kSyncSection, kPrivacySection, kMoreAppsSection, kFeedbackSection };
  // Segues of the rows that lead on.
  static constexpr const char* kGeneralSegue = "general";
  static constexpr const char* kBackupsSegue = "backups";

  SettingsViewController();
  std::string typeName() const override { return "SettingsViewController"; }

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;

  // Brings every switch and label in line with the stored state.
  void updateView(bool animated);
  // The device's biometry, asked of a new authentication context.
  static la::BiometryType biometryType();
  // The title of the passcode screen's extra button: the other length.
  static std::string pinViewCustomButtonTitle();

  void iCloudSwitchChanged();
  void autoBackupSwitchChanged();
  void passcodeSwitchChanged();
  void touchIDSwitchChanged();

  ui::Switch& passcodeSwitch() { return *passcodeSwitch_; }
  ui::Switch& touchIDSwitch() { return *touchIDSwitch_; }
  ui::Switch& iCloudSwitch() { return *iCloudSwitch_; }
  ui::Switch& autoBackupSwitch() { return *autoBackupSwitch_; }
  ui::Label& backupsCountLabel() { return *backupsCountLabel_; }
  ui::Label& touchIDLabel() { return *touchIDLabel_; }
  const std::optional<std::string>& firstPasscodeEntry() const { return firstPasscodeEntry_; }

  // Table.
  int numberOfRows(ui::TableView&, int section) override;
  std::string titleForHeader(ui::TableView&, int section) override;
  std::string titleForFooter(ui::TableView&, int section) override;
  std::shared_ptr<ui::View> viewForHeader(ui::TableView&, int section) override;
  std::shared_ptr<ui::View> viewForFooter(ui::TableView&, int section) override;
  // The more-apps strip is as tall as its icons and names need.
  double heightForRow(ui::TableView&, const ui::IndexPath& path) override;
  double heightForHeader(ui::TableView&, int section) override;
  double heightForFooter(ui::TableView&, int section) override;
  void didSelectRow(ui::TableView&, const ui::IndexPath& path) override;

  // Passcode screens.
  size_t pinLengthForPinViewController(QBPinViewController& controller) override;
  bool pinViewControllerIsPinValid(QBPinViewController& controller, const std::string& pin) override;
  bool userCanRetryInPinViewController(QBPinViewController&) override { return true; }
  void customButtonTappedInPinViewController(QBPinViewController& controller) override;
  void pinViewControllerWillDismissAfterPinEntryWasSuccessful(QBPinViewController&) override { updateView(true); }
  void pinViewControllerWillDismissAfterPinEntryWasUnsuccessful(QBPinViewController&) override { updateView(true); }
  void pinViewControllerWillDismissAfterPinEntryWasCancelled(QBPinViewController&) override { updateView(true); }

 private:
  void buildCells();
  bool sectionIsHidden(int section);
  std::shared_ptr<QBPinViewController> makePinViewController(const std::string& prompt);
  void enableBiometrics(bool enabled);
  void iCloudChangeEnded(const ns::Error* error);
  void versionTapped();
  void createOldStoreBackup();
  std::shared_ptr<SettingsViewController> self();

  std::shared_ptr<ui::Label> generalSettingsLabel_, passcodeLockLabel_, touchIDLabel_, iCloudLabel_, backupsLabel_,
      backupsCountLabel_, autoBackupLabel_, autobackupSubLabel_, sendFeedbackLabel_, versionTitleLabel_,
      versionLabel_;
  std::shared_ptr<ui::Switch> passcodeSwitch_, touchIDSwitch_, iCloudSwitch_, autoBackupSwitch_;
  std::shared_ptr<ui::ImageView> touchIDImage_, autoBackupIcon_;
  std::shared_ptr<TXMoreAppsTableViewCell> moreAppsCell_;
  std::optional<std::string> firstPasscodeEntry_;
  uint64_t versionClickCount_ = 0;
};
