// The note editor in a launched app: a fresh editor from the storyboard
// pushed as the notes list does on a phone, and the notes as stored.
#pragma once

#include <gtest/gtest.h>

#include "Notes/ClassNameTransformer.h"
#include "Notes/DetailViewController.h"
#include "Notes/MainStoryboard.h"
#include "Notes/NTData.h"
#include "Notes/SplitViewController.h"
#include "Notes/tests/NotesTestStore.h"
#include "Notes/tests/launch_fixture.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/Storyboard.h"

namespace notes::testing {

class EditorTest : public LaunchTest {
 protected:
  EditorTest() { launch(); }

  // Pushes a fresh editor from the storyboard onto the master stack, as
  // the notes list does on a phone.
  std::shared_ptr<DetailViewController> openEditor(std::shared_ptr<NTNote> note) {
    auto editor = std::dynamic_pointer_cast<DetailViewController>(
        ui::Storyboard::named(kMainStoryboardName)->instantiateViewController("DetailViewController"));
    editor->setFolder(NTData::defaultFolder(context()));
    if (note) editor->setNote(note);
    master()->pushViewController(editor, false);
    ui::Input::settle();
    return editor;
  }
  ui::NavigationController* master() {
    auto split = std::dynamic_pointer_cast<SplitViewController>(window_->rootViewController());
    return dynamic_cast<ui::NavigationController*>(split->viewControllers()[0].get());
  }
  std::shared_ptr<NTNote> firstNote() { return NTData::fetchSortedNotesInFolder(context(), nullptr)[0]; }
  std::vector<std::string> storedTexts() {
    ClassNameTransformer::registerTransformer();
    StoreStack reader(storePath());
    std::vector<std::string> out;
    for (const auto& note : NTData::fetchSortedNotesInFolder(*reader.context, nullptr))
      out.push_back(note->string().value_or(""));
    return out;
  }
};

}  // namespace notes::testing
