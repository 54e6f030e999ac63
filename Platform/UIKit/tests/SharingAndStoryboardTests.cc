#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/ActivityViewController.h"
#include "Platform/UIKit/AssetCatalog.h"
#include "Platform/UIKit/GraphicsContext.h"
#include "Platform/UIKit/ImagePickerController.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/Previewing.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/SystemColors.h"
#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/TableViewHeaderFooterView.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

using Strings = std::vector<std::string>;
using SharingTest = testing::InterfaceTest;

struct NoteItem {
  std::string text;
};

class ShareAsImage : public Activity {
 public:
  std::string prepared;
  std::string activityType() const override { return "NTConvertToImageActivity"; }
  std::string activityTitle() const override { return "Share as Image"; }
  bool canPerform(const ActivityItems& items) const override {
    for (const auto& i : items) {
      if (i.type() == typeid(NoteItem)) return true;
    }
    return false;
  }
  void prepare(const ActivityItems& items) override {
    for (const auto& i : items) {
      if (auto* note = std::any_cast<NoteItem>(&i)) prepared = note->text;
    }
  }
  std::shared_ptr<ViewController> activityViewController() override {
    return ActivityViewController::make({std::string("card of " + prepared)});
  }
};

TEST_F(SharingTest, ShareSheetOffersWhatAppliesAndRunsTheChoice) {
  auto root = std::make_shared<ViewController>();
  show(root);
  auto custom = std::make_shared<ShareAsImage>();

  auto plain = ActivityViewController::make({std::string("just text")}, {custom});
  EXPECT_EQ(plain->activityTitles(), (Strings{"Copy", "Print"}));  // no note item: no custom activity

  auto sheet = ActivityViewController::make({std::string("Shopping list"), NoteItem{"Shopping list"}}, {custom});
  sheet->setExcludedActivityTypes({kActivityTypePrint});
  Strings completions;
  sheet->setCompletionHandler([&](const std::string& type, bool done) {
    completions.push_back(type + (done ? " done" : " cancelled"));
  });
  EXPECT_EQ(sheet->activityTitles(), (Strings{"Copy", "Share as Image"}));
  root->presentViewController(sheet, true);
  Input::settle();
  ASSERT_TRUE(Input::tap("Share as Image")) << Input::lastFailure();
  EXPECT_EQ(custom->prepared, "Shopping list");
  // The activity's own sheet replaced the first one.
  auto second = std::dynamic_pointer_cast<ActivityViewController>(root->presentedViewController());
  ASSERT_TRUE(second);
  ASSERT_TRUE(Input::tap("Copy"));
  EXPECT_EQ(ActivityViewController::pasteboardText(), "card of Shopping list");
  custom->activityDidFinish(true);
  EXPECT_EQ(completions, Strings{"NTConvertToImageActivity done"});
}

TEST_F(SharingTest, ImagePickerSources) {
  EXPECT_TRUE(ImagePickerController::isSourceTypeAvailable(ImagePickerSourceType::PhotoLibrary));
  EXPECT_FALSE(ImagePickerController::isSourceTypeAvailable(ImagePickerSourceType::Camera));
  ImagePickerController picker;
  EXPECT_THROW(picker.setSourceType(ImagePickerSourceType::Camera), ns::Exception);
}

// Storyboard scenes and segues.
class ListScene : public TableViewController {
 public:
  Strings log;
  bool editingBlocks = true;
  void viewDidLoad() override {
    tableView().registerCell("Cell", [] {
      auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell");
      cell->setSegueIdentifier("show");
      return cell;
    });
    registerUnwindAction("doneSettings:", [this](StoryboardSegue& segue) {
      log.push_back("unwind from " + segue.sourceViewController()->title());
    });
  }
  int numberOfRows(TableView&, int) override { return 2; }
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, const IndexPath& path) override {
    auto cell = table.dequeueReusableCell("Cell", path);
    cell->textLabel().setText(path.row == 0 ? "Work" : "Home");
    return cell;
  }
  bool shouldPerformSegue(const std::string& identifier, void*) override {
    log.push_back("should " + identifier);
    return !(editingBlocks && isEditing());
  }
  void prepareForSegue(StoryboardSegue& segue, void*) override {
    auto path = tableView().indexPathForSelectedRow();
    segue.destinationViewController()->setTitle(path ? (path->row == 0 ? "Work" : "Home") : "Settings");
    log.push_back("prepare " + segue.identifier());
  }
  void didSelectRow(TableView&, const IndexPath&) override { log.push_back("did select"); }
};

TEST_F(SharingTest, SeguesFromCellsAndCodeAndUnwinding) {
  auto board = Storyboard::named("Main");
  board->registerScene("FoldersViewController", [] { return std::make_shared<ListScene>(); });
  board->registerScene("NotesViewController", [] { return std::make_shared<ViewController>(); });
  board->registerScene("Settings", [] { return std::make_shared<ViewController>(); });
  board->registerScene("Root", [board] {
    return std::make_shared<NavigationController>(board->instantiateViewController("FoldersViewController"));
  }, true);
  board->registerSegue("FoldersViewController", {"show", SegueKind::Show, "NotesViewController"});
  board->registerSegue("FoldersViewController", {"settings", SegueKind::PresentModally, "Settings"});
  board->registerSegue("Settings", {"done", SegueKind::Unwind, "doneSettings:"});

  auto nav = std::dynamic_pointer_cast<NavigationController>(board->instantiateInitialViewController());
  ASSERT_TRUE(nav);
  auto list = std::dynamic_pointer_cast<ListScene>(nav->topViewController());
  ASSERT_TRUE(list);
  EXPECT_EQ(list->sceneIdentifier(), "FoldersViewController");
  show(nav);

  ASSERT_TRUE(Input::tap("Home"));
  // The segue runs before the delegate hears of the selection.
  EXPECT_EQ(list->log, (Strings{"should show", "prepare show", "did select"}));
  EXPECT_EQ(nav->topViewController()->title(), "Home");
  Input::goBack();

  list->log.clear();
  list->setEditing(true, false);
  list->tableView().setAllowsSelectionDuringEditing(true);
  ASSERT_TRUE(Input::tap("Work"));
  EXPECT_EQ(list->log, (Strings{"should show", "did select"}));  // refused while editing
  EXPECT_EQ(nav->topViewController(), list);
  list->setEditing(false, false);

  list->log.clear();
  list->tableView().selectRow(std::nullopt, false, TableViewScrollPosition::None);
  list->performSegue("settings", nullptr);  // from code: not asked
  Input::settle();
  auto settings = list->presentedViewController();
  ASSERT_TRUE(settings);
  settings->performSegue("done", nullptr);
  Input::settle();
  EXPECT_EQ(list->log, (Strings{"prepare settings", "unwind from Settings"}));
  EXPECT_EQ(nav->presentedViewController(), nullptr);

  EXPECT_THROW(list->performSegue("missing", nullptr), ns::Exception);
  EXPECT_THROW(board->instantiateViewController("Nowhere"), ns::Exception);
}

class PreviewingList : public ListScene, public PreviewingDelegate {
 public:
  std::shared_ptr<ViewController> previewingViewController(PreviewingContext& context, Point location) override {
    auto path = tableView().indexPathForRowAtPoint(location);
    if (!path) return nullptr;
    context.setSourceRect(tableView().rectForRow(*path));
    auto preview = std::make_shared<ViewController>();
    preview->setTitle(path->row == 0 ? "Work" : "Home");
    return preview;
  }
  void commitViewController(PreviewingContext&, std::shared_ptr<ViewController> controller) override {
    showViewController(controller, this);
  }
};

TEST_F(SharingTest, PeekAndPopThroughTheInputLayer) {
  auto list = std::make_shared<PreviewingList>();
  auto nav = std::make_shared<NavigationController>(list);
  show(nav);
  list->registerForPreviewing(std::static_pointer_cast<PreviewingDelegate>(list), list->tableViewShared());
  auto preview = Input::peek("Home");
  ASSERT_TRUE(preview);
  EXPECT_EQ(preview->title(), "Home");
  EXPECT_EQ(nav->topViewController(), list);  // a peek opens nothing
  ASSERT_TRUE(Input::pop("Work"));
  EXPECT_EQ(nav->topViewController()->title(), "Work");
  EXPECT_EQ(Input::peek("Nothing"), nullptr);
}

TEST_F(SharingTest, AssetCatalogueTemplatesPatternsAndAppearance) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(device().directory()) / "Assets";
  fs::create_directories(dir);
  // A 2x2-point ball at 3x: opaque centre, transparent corner.
  GraphicsContext::beginImageContext({2, 2}, false, 3);
  GraphicsContext::current()->setFillColor(cg::Rgba::black());
  GraphicsContext::current()->fillEllipse(Rect(0, 0, 2, 2));
  auto ball = GraphicsContext::imageFromCurrentContext();
  GraphicsContext::endImageContext();
  ns::Data png = ball->pngData();
  std::ofstream(dir / "AddButton-Ball@3x.png", std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
  std::ofstream(dir / "Colors.plist") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                         "<plist version=\"1.0\"><dict>"
                                         "<key>PinTintColor</key><string>#F03E0E</string>"
                                         "<key>SelectedCellColor</key><dict><key>red</key><real>0.5</real>"
                                         "<key>green</key><real>0.5</real><key>blue</key><real>0.5</real>"
                                         "<key>alpha</key><real>0.25</real></dict>"
                                         "</dict></plist>\n";
  AssetCatalog::shared().setDirectory(dir.string());

  auto image = Image::named("AddButton-Ball");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), (Size{2, 2}));
  EXPECT_EQ(image->scale(), 3);
  EXPECT_EQ(Image::named("Missing"), nullptr);
  auto pin = AssetCatalog::shared().color("PinTintColor");
  ASSERT_TRUE(pin);
  EXPECT_TRUE(pin->isEqual(*Color::withRGBA(240 / 255.0, 62 / 255.0, 14 / 255.0)));
  EXPECT_NEAR(AssetCatalog::shared().color("SelectedCellColor")->alpha(), 0.25, 1e-9);

  // A template takes the tint through its alpha.
  auto templated = image->withRenderingMode(ImageRenderingMode::AlwaysTemplate);
  cg::ImageContext ctx({2, 2}, false, 3);
  cg::Rgba tint{240 / 255.0, 62 / 255.0, 14 / 255.0, 1};
  templated->draw(ctx, Rect(0, 0, 2, 2), &tint);
  auto drawn = ctx.makeImage();
  EXPECT_EQ(drawn->pixel(3, 3), (cg::Pixel{240, 62, 14, 255}));
  // Edges keep the image's own coverage.
  EXPECT_NEAR(drawn->pixel(0, 0).a, image->bitmap()->pixel(0, 0).a, 1);
  EXPECT_LT(drawn->pixel(0, 0).a, 64);

  auto pattern = colorWithPatternImage(image);
  EXPECT_EQ(std::dynamic_pointer_cast<const PatternColor>(pattern)->patternImage(), image);

  // Appearance defaults reach labels inside section headers only.
  Appearance::shared().addWhenContainedIn<Label, TableViewHeaderFooterView>(
      [](Label& label) { label.setTextColor(secondaryLabelColor()); });
  auto root = std::make_shared<ViewController>();
  show(root);
  auto header = std::make_shared<TableViewHeaderFooterView>();
  header->textLabel().setText("Folders");
  auto plainLabel = std::make_shared<Label>();
  root->view()->addSubview(header);
  root->view()->addSubview(plainLabel);
  EXPECT_TRUE(header->textLabel().textColor()->isEqual(*secondaryLabelColor()));
  EXPECT_TRUE(plainLabel->textColor()->isEqual(*Color::black()));
  AssetCatalog::shared().setDirectory({});
}

TEST_F(SharingTest, LabelsSizeToTheirText) {
  Label label;
  label.setFont(Font::systemFont(17));
  label.setText("Short");
  Size one = label.sizeThatFits({0, 0});
  label.setText("A much longer line of text than that");
  Size longer = label.sizeThatFits({0, 0});
  EXPECT_GT(longer.width, one.width);
  EXPECT_EQ(longer.height, one.height);
  label.setNumberOfLines(0);
  Size wrapped = label.sizeThatFits({longer.width / 2, 0});
  EXPECT_LE(wrapped.width, std::ceil(longer.width / 2));
  EXPECT_GE(wrapped.height, one.height * 2);
  label.sizeToFit();
  EXPECT_EQ(label.bounds().size, label.sizeThatFits(label.bounds().size));
}

}  // namespace
}  // namespace ui
