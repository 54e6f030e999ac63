#include "Notes/SettingsViewController.h"

#include "Libraries/AppSupportKit/NSDateUtilities.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXMoreAppsTableViewCell.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Notes/AppDelegate.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/NTLocalized.h"
#include "Notes/NTOldStore.h"
#include "Notes/NTSettings.h"
#include "Notes/SecurityQuestionSettingViewController.h"
#include "Notes/SettingsTableRows.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Format.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/TableView.h"

namespace {

constexpr double kICloudChangeDelay = 0.5;
constexpr double kHUDPause = 2.0;
constexpr double kMismatchPause = 0.2;
constexpr uint64_t kSupportMenuTaps = 5;

using SettingsTableRows::label;
using SettingsTableRows::row;

}  // namespace

SettingsViewController::SettingsViewController() : ui::TableViewController(ui::TableViewStyle::Grouped) {}

std::shared_ptr<SettingsViewController> SettingsViewController::self() {
  return std::static_pointer_cast<SettingsViewController>(shared());
}

void SettingsViewController::buildCells() {
  generalSettingsLabel_ = label();
  passcodeLockLabel_ = label();
  touchIDLabel_ = label();
  iCloudLabel_ = label();
  backupsLabel_ = label();
  backupsCountLabel_ = label();
  autoBackupLabel_ = label();
  autobackupSubLabel_ = label();
  sendFeedbackLabel_ = label();
  versionTitleLabel_ = label();
  versionLabel_ = label();
  passcodeSwitch_ = std::make_shared<ui::Switch>();
  touchIDSwitch_ = std::make_shared<ui::Switch>();
  iCloudSwitch_ = std::make_shared<ui::Switch>();
  autoBackupSwitch_ = std::make_shared<ui::Switch>();
  touchIDImage_ = std::make_shared<ui::ImageView>();
  autoBackupIcon_ = std::make_shared<ui::ImageView>();
  moreAppsCell_ = std::make_shared<TXMoreAppsTableViewCell>();

  std::weak_ptr<SettingsViewController> weak = self();
  auto wire = [this, weak](ui::Switch& control, void (SettingsViewController::*action)()) {
    control.addTarget(
        this,
        [weak, action](ui::Control&) {
          if (auto me = weak.lock()) ((*me).*action)();
        },
        ui::kControlEventValueChanged);
  };
  wire(*iCloudSwitch_, &SettingsViewController::iCloudSwitchChanged);
  wire(*autoBackupSwitch_, &SettingsViewController::autoBackupSwitchChanged);
  wire(*passcodeSwitch_, &SettingsViewController::passcodeSwitchChanged);
  wire(*touchIDSwitch_, &SettingsViewController::touchIDSwitchChanged);

  auto general = row({generalSettingsLabel_}, nullptr, nullptr, true);
  general->setSegueIdentifier(kGeneralSegue);
  auto lastBackup = row({backupsLabel_, backupsCountLabel_}, nullptr, nullptr, true);
  lastBackup->setSegueIdentifier(kBackupsSegue);
  auto autoBackup = row({autoBackupLabel_, autobackupSubLabel_}, autoBackupIcon_, autoBackupSwitch_);
  for (const auto& cell : {general, lastBackup})
    cell->setSelectionStyle(ui::TableViewCellSelectionStyle::Default);

  setStaticSections({
      {"", "", {general}},
      {"", "", {row({iCloudLabel_}, nullptr, iCloudSwitch_), autoBackup, lastBackup}},
      {"", "", {row({passcodeLockLabel_}, nullptr, passcodeSwitch_), row({touchIDLabel_}, touchIDImage_, touchIDSwitch_)}},
      {"", "", {moreAppsCell_}},
      {"", "", {row({sendFeedbackLabel_}), row({versionTitleLabel_, versionLabel_})}},
  });
}

void SettingsViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  buildCells();
  setTitle(NTLocalized("Settings"));
  generalSettingsLabel_->setText(NTLocalized("Settings"));
  iCloudLabel_->setText(NTLocalized("Use iCloud"));
  autoBackupLabel_->setText(NTLocalized("Auto Backup"));
  backupsLabel_->setText(NTLocalized("Last Backup"));
  passcodeLockLabel_->setText(NTLocalized("Passcode Lock"));
  sendFeedbackLabel_->setText(NTLocalized("Send Feedback & Support"));
  versionTitleLabel_->setText(NTLocalized("Version"));
  bool touchID = biometryType() == la::BiometryType::TouchID;
  touchIDLabel_->setText(NTLocalized(touchID ? "Touch ID" : "Face ID"));
  // The system's face symbol has no image here; the asset stands in for both.
  touchIDImage_->setImage(ui::Image::named(touchID ? "Features-TouchID" : "Features-FaceID"));
  if (auto* nav = navigationController()) nav->view()->setTintColor(NTAppearance::tintColor());
  versionLabel_->setText(TXKit::currentVersionString());
  moreAppsCell_->setContext("Settings");
  versionClickCount_ = 0;
}

void SettingsViewController::viewWillAppear(bool animated) {
  ui::TableViewController::viewWillAppear(animated);
  updateView(false);
  if (auto selected = tableView().indexPathForSelectedRow()) tableView().deselectRow(*selected, true);
}

la::BiometryType SettingsViewController::biometryType() {
  la::Context context;
  context.canEvaluatePolicy(la::Policy::DeviceOwnerAuthenticationWithBiometrics);
  return context.biometryType();
}

void SettingsViewController::enableBiometrics(bool enabled) {
  touchIDLabel_->setEnabled(enabled);
  touchIDSwitch_->setEnabled(enabled);
}

void SettingsViewController::updateView(bool animated) {
  if (!isViewLoaded()) return;
  auto defaults = NTSettings::userDefaults();
  passcodeSwitch_->setOn(!NTSettings::pinNumber().value_or("").empty(), animated);
  touchIDSwitch_->setOn(defaults->boolForKey(NTSettings::kTouchIDKey), animated);
  enableBiometrics(passcodeSwitch_->isOn() && biometryType() != la::BiometryType::None);
  iCloudSwitch_->setOn(NTBackupsManager::backupsUseICloud(), animated);

  autoBackupSwitch_->setOn(defaults->boolForKey(NTSettings::kAutoBackupKey), animated);
  autoBackupSwitch_->layer().setCornerRadius(16);
  autoBackupSwitch_->setOnTintColor(nullptr);
  autoBackupSwitch_->setBackgroundColor(nullptr);
  autoBackupLabel_->setTextColor(nullptr);
  autoBackupIcon_->setImage(ui::Image::named("Features-AutoBackup"));
  autobackupSubLabel_->setText("");
  autobackupSubLabel_->setTextColor(nullptr);

  auto backups = NTBackupsManager::localBackups();
  if (backups.empty()) {
    backupsCountLabel_->setText(NTLocalized("None"));
  } else if (!backups.front().date()) {
    backupsCountLabel_->setText("");  // a file whose date cannot be read has no age to show
  } else {
    ns::Date date = *backups.front().date();
    if (NSDateUtilities::isToday(date))
      backupsCountLabel_->setText(NTLocalized("Today"));
    else if (NSDateUtilities::isYesterday(date))
      backupsCountLabel_->setText(NTLocalized("Yesterday"));
    else
      backupsCountLabel_->setText(ns::format(NTLocalized("%@ days ago"),
                                             static_cast<long long>(NSDateUtilities::daysSinceDate(ns::Date::now(), date))));
  }
  tableView().reloadData();
}

// MARK: - Sections

bool SettingsViewController::sectionIsHidden(int section) {
  if (section == kMoreAppsSection) return TXMoreAppsTableViewCell::isEmpty();
  if (section == kSyncSection) {
    bool allowed = TXConfig::sharedInstance().valueForGroup("iCloud", "allow", ns::Value(true)).boolValue();
    return !allowed && !NTBackupsManager::backupsUseICloud();
  }
  return false;
}

int SettingsViewController::numberOfRows(ui::TableView& table, int section) {
  return sectionIsHidden(section) ? 0 : ui::TableViewController::numberOfRows(table, section);
}

double SettingsViewController::heightForRow(ui::TableView&, const ui::IndexPath& path) {
  return path.section == kMoreAppsSection ? TXMoreAppsTableViewCell::kRowHeight : -1;
}

std::string SettingsViewController::titleForHeader(ui::TableView&, int section) {
  switch (section) {
    case kNotesSection: return NTLocalized("Notes");
    case kSyncSection: return NTLocalized("Sync & Backup");
    case kPrivacySection: return NTLocalized("Privacy");
    case kMoreAppsSection: return NTLocalized("More Apps");
    case kFeedbackSection: return NTLocalized("Feedback & Support");
    default: return {};
  }
}

std::string SettingsViewController::titleForFooter(ui::TableView&, int section) {
  if (section == kSyncSection) return NTLocalized("Use iCloud both to store backups and to sync notes between your devices");
  if (section != kPrivacySection || passcodeSwitch_->isOn()) return {};
  switch (biometryType()) {
    case la::BiometryType::None: return NTLocalized("If your device supports Face ID, enable it in your device's settings.");
    case la::BiometryType::TouchID: return NTLocalized("To enable Touch ID, Passcode Lock must be ON.");
    case la::BiometryType::FaceID: return NTLocalized("To enable Face ID, Passcode Lock must be ON.");
  }
  return {};
}

std::shared_ptr<ui::View> SettingsViewController::viewForHeader(ui::TableView& table, int section) {
  return numberOfRows(table, section) == 0 ? std::make_shared<ui::View>(ui::Rect(0, 0, 0, 0)) : nullptr;
}

std::shared_ptr<ui::View> SettingsViewController::viewForFooter(ui::TableView& table, int section) {
  return numberOfRows(table, section) == 0 ? std::make_shared<ui::View>(ui::Rect(0, 0, 0, 0)) : nullptr;
}

double SettingsViewController::heightForHeader(ui::TableView& table, int section) {
  return numberOfRows(table, section) == 0 ? 1 : -1;
}

double SettingsViewController::heightForFooter(ui::TableView& table, int section) {
  return numberOfRows(table, section) == 0 ? 1 : -1;
}

// MARK: - Switches

void SettingsViewController::iCloudSwitchChanged() {
  std::weak_ptr<SettingsViewController> weak = self();
  auto delegate = AppDelegate::instance();
  bool enable = iCloudSwitch_->isOn();
  if (enable && !(delegate && delegate->isICloudAvailable())) {
    dispatch::Queue::main()->async([weak] {
      if (auto me = weak.lock()) me->iCloudSwitch_->setOn(false, true);
    });
    TXKit::presentTitle(NTLocalized("Enable iCloud"),
                        NTLocalized("Please enable iCloud for this app in your device's Settings > iCloud > iCloud Drive."));
    return;
  }
  QBProgressHUD::showWithStatus(NTLocalized(enable ? "Enabling iCloud" : "Disabling iCloud"));
  dispatch::Queue::main()->afterSeconds(kICloudChangeDelay, [weak, enable] {
    auto delegate = AppDelegate::instance();
    if (!delegate) return;
    delegate->enableICloud(enable, [weak](const ns::Error* error) {
      std::optional<ns::Error> failure = error ? std::optional<ns::Error>(*error) : std::nullopt;
      dispatch::Queue::main()->afterSeconds(kHUDPause, [weak, failure] {
        QBProgressHUD::popActivity();
        if (auto me = weak.lock()) me->iCloudChangeEnded(failure ? &*failure : nullptr);
      });
    });
  });
}

void SettingsViewController::iCloudChangeEnded(const ns::Error* error) {
  updateView(true);
  if (error) TXKit::presentTitle(NTLocalized("iCloud"), error->localizedDescription());
}

void SettingsViewController::autoBackupSwitchChanged() {
  auto defaults = NTSettings::userDefaults();
  if (!autoBackupSwitch_->isOn()) {
    defaults->setBool(false, NTSettings::kAutoBackupKey);
    defaults->synchronize();
    return;
  }
  defaults->setBool(true, NTSettings::kAutoBackupKey);
  defaults->synchronize();
  std::weak_ptr<SettingsViewController> weak = self();
  NTBackupsManager::autoBackupIfNeeded([weak] {
    dispatch::Queue::main()->async([weak] {
      if (auto me = weak.lock()) me->updateView(true);
    });
  });
}

void SettingsViewController::touchIDSwitchChanged() {
  auto defaults = NTSettings::userDefaults();
  defaults->setBool(touchIDSwitch_->isOn(), NTSettings::kTouchIDKey);
  defaults->synchronize();
}

// MARK: - Passcode dialogue

std::string SettingsViewController::pinViewCustomButtonTitle() {
  int64_t length = NTSettings::userDefaults()->integerForKey(NTSettings::kPinLengthKey);
  return ns::format(NTLocalized("%@ Digits"), static_cast<long long>(length == 4 ? 6 : 4));
}

std::shared_ptr<QBPinViewController> SettingsViewController::makePinViewController(const std::string& prompt) {
  auto pin = std::make_shared<QBPinViewController>(std::weak_ptr<QBPinViewControllerDelegate>(self()));
  pin->setPromptTitle(prompt);
  pin->setPromptColor(NTAppearance::pinTintColor());
  pin->view()->setTintColor(NTAppearance::pinTintColor());
  pin->setBackgroundColor(NTAppearance::pinBackgroundColor());
  return pin;
}

void SettingsViewController::passcodeSwitchChanged() {
  if (passcodeSwitch_->isOn()) {
    firstPasscodeEntry_.reset();
    auto pin = makePinViewController(NTLocalized("Set Passcode"));
    pin->setCustomButtonTitle(pinViewCustomButtonTitle());
    auto navigation = std::make_shared<ui::NavigationController>(pin);
    navigation->setNavigationBarHidden(true);
    navigation->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
    presentViewController(navigation, true);
  } else if (NTSettings::setPinNumber(std::nullopt)) {
    enableBiometrics(false);
  } else {
    // Still locked: the switch must not say otherwise.
    updateView(true);
    TXKit::presentTitle(NTLocalized("Passcode Lock"),
                        NTLocalized("The passcode could not be removed. Please try again."));
  }
  tableView().reloadData();
}

size_t SettingsViewController::pinLengthForPinViewController(QBPinViewController&) {
  return size_t(std::max<int64_t>(0, NTSettings::userDefaults()->integerForKey(NTSettings::kPinLengthKey)));
}

void SettingsViewController::customButtonTappedInPinViewController(QBPinViewController& controller) {
  auto defaults = NTSettings::userDefaults();
  int64_t length = defaults->integerForKey(NTSettings::kPinLengthKey);
  defaults->setInteger(length == 4 ? 6 : 4, NTSettings::kPinLengthKey);
  defaults->synchronize();
  controller.setCustomButtonTitle(pinViewCustomButtonTitle());
  controller.reloadMainView();
}

bool SettingsViewController::pinViewControllerIsPinValid(QBPinViewController& controller, const std::string& pin) {
  auto* navigation = controller.navigationController();
  if (!firstPasscodeEntry_) {
    firstPasscodeEntry_ = pin;
    auto repeat = makePinViewController(NTLocalized("Repeat Passcode"));
    repeat->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
    if (navigation) navigation->pushViewController(repeat, true);
    return false;
  }
  bool matches = *firstPasscodeEntry_ == pin;
  firstPasscodeEntry_.reset();
  if (!navigation) return false;
  std::weak_ptr<ui::ViewController> weakNavigation = navigation->shared();
  if (!matches) {
    dispatch::Queue::main()->afterSeconds(kMismatchPause, [weakNavigation] {
      if (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(weakNavigation.lock()))
        nav->popToRootViewController(true);
    });
    return false;
  }
  // A passcode the keychain did not take is not set: the dialogue ends and
  // the switch shows the stored state, rather than asking for a question
  // that would guard nothing.
  if (!NTSettings::setPinNumber(pin)) {
    navigation->dismissViewController(true, [] {
      TXKit::presentTitle(NTLocalized("Passcode Lock"),
                          NTLocalized("The passcode could not be saved. Please try again."));
    });
    updateView(true);
    return false;
  }
  if (biometryType() != la::BiometryType::None) enableBiometrics(true);
  navigation->pushViewController(std::make_shared<SecurityQuestionSettingViewController>(), true);
  return false;
}

// MARK: - Rows

void SettingsViewController::didSelectRow(ui::TableView& table, const ui::IndexPath& path) {
  if (path.section != kFeedbackSection) return;
  if (path.row == 0) {
    table.deselectRow(path, true);
    std::string to = NTSettings::userDefaults()->stringForKey(NTSettings::kSupportEmailKey).value_or("");
    TXKit::sharedInstance().openEmailWithSubject(NTLocalized("Notes app - Support & Feedback"), TXKit::supportData(),
                                                 true, to, false, std::nullopt, "", "");
  } else if (path.row == 1) {
    versionTapped();
  }
}

void SettingsViewController::versionTapped() {
  if (++versionClickCount_ != kSupportMenuTaps) return;
  auto menu = ui::AlertController::make(NTLocalized("Support Menu"),
                                        NTLocalized("WARNING: Please use only if instructed by support"),
                                        ui::AlertControllerStyle::Alert);
  std::weak_ptr<SettingsViewController> weak = self();
  menu->addAction(ui::AlertAction::make(NTLocalized("Create Old Store Backup"), ui::AlertActionStyle::Default,
                                        [weak](ui::AlertAction&) {
                                          if (auto me = weak.lock()) me->createOldStoreBackup();
                                        }));
  menu->addAction(ui::AlertAction::make(NTKitLocalized("Cancel"), ui::AlertActionStyle::Cancel));
  presentViewController(menu, true);
}

void SettingsViewController::createOldStoreBackup() {
  TXUIManager::sharedInstance().showHUDWithText(NTLocalized("Creating Old Store Backup"));
  std::weak_ptr<SettingsViewController> weak = self();
  NTOldStore::createBackupFromOldStoreWithCompletionBlock([weak](const ns::Error* error) {
    std::optional<ns::Error> failure = error ? std::optional<ns::Error>(*error) : std::nullopt;
    dispatch::Queue::main()->async([weak, failure] {
      dispatch::Queue::main()->afterSeconds(kHUDPause, [weak, failure] {
        TXUIManager::sharedInstance().hideHUD();
        auto me = weak.lock();
        if (!failure || !me) return;
        auto alert = ui::AlertController::make(NTLocalized("ERROR"), failure->localizedDescription(),
                                               ui::AlertControllerStyle::Alert);
        alert->addAction(ui::AlertAction::make(NTKitLocalized("OK"), ui::AlertActionStyle::Cancel));
        me->presentViewController(alert, true);
      });
    });
  });
}
