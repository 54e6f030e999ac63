#include "Apps/jotshare/ShareSession.h"

#include <charconv>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/ScreenText.h"

namespace jotshare {

namespace {

using Result = ShareSession::Result;

Result failed(std::string why) { return Result{false, false, std::move(why)}; }
Result acted(bool done) {
  if (!done) return failed(ui::Input::lastFailure());
  return Result{true, true, {}};
}

}  // namespace

ShareSession::ShareSession(std::vector<std::shared_ptr<ext::ExtensionItem>> items)
    : context_(std::make_shared<ext::ExtensionContext>(std::move(items))),
      controller_(std::make_shared<ActionViewController>()) {
  controller_->setExtensionContext(context_);
  window_ = std::make_shared<ui::Window>();
  window_->setRootViewController(controller_);
  window_->makeKeyAndVisible();  // loads the view, which starts loading the item
  if (auto attachment = controller_->choice().attachment) attachment->waitUntilLoaded();
  ui::Input::settle();
}

ShareSession::~ShareSession() {
  window_->setHidden(true);
  dispatch::RunLoop::main().drain();
}

std::string ShareSession::screen() { return ui::ScreenText::render(); }

std::string ShareSession::help() {
  return R"(Commands (quote a text with spaces when more follows it):
  type TEXT      type into the text ("\n" presses return)
  return         press the return key
  delete [N]     delete N characters before the cursor (1)
  clear          delete the whole text
  tap TEXT       tap what shows TEXT (a button of an alert, the text)
  done           hand the text over to Quillbox and end
  cancel         end without handing anything over
  screen         show the screen again
  expect TEXT    fail unless TEXT is on the screen
  help           this list)";
}

bool ShareSession::focusText() {
  auto text = controller_->textView();
  if (!text) return false;
  if (text->isFirstResponder()) return true;
  text->becomeFirstResponder();
  ui::Input::settle();
  return text->isFirstResponder();
}

Result ShareSession::done() {
  auto button = controller_->doneButton();
  if (!button) return failed("the screen has no Done button");
  if (!ui::Input::pressBarButton(button->displayTitle())) return acted(false);
  handedOver_ = ended();
  if (handedOver_) return Result{true, false, "Handed over to Quillbox."};
  return Result{true, true, {}};  // the screen shows why
}

Result ShareSession::run(const std::string& line) {
  auto command = quillbox::HostCommand::parse(line);
  if (!command) return {};
  return run(*command);
}

Result ShareSession::run(const quillbox::HostCommand& c) {
  const std::string& w = c.word;
  if (ended()) return failed("the request has ended");
  if (w == "help" || w == "?") return Result{true, false, help()};
  if (w == "screen") return Result{true, true, {}};
  if (w == "done") return done();
  if (w == "cancel") {
    if (!ui::Input::pressBarButton("Cancel")) return acted(false);
    return Result{true, false, "Cancelled: nothing was handed over."};
  }
  if (w == "tap") {
    if (c.text.empty()) return failed("usage: tap TEXT");
    // The Done button goes by the extension's name: tapping it is `done`.
    auto button = controller_->doneButton();
    if (button && (c.text == button->displayTitle() || c.text == button->accessibilityIdentifier())) return done();
    return acted(ui::Input::tap(c.text));
  }
  if (w == "expect") {
    if (c.text.empty()) return failed("usage: expect TEXT");
    dispatch::RunLoop::main().drain();
    if (screen().find(c.text) == std::string::npos)
      return failed("expected \"" + c.text + "\", which is not on the screen");
    return {};
  }
  if (w == "type" || w == "return" || w == "delete" || w == "clear") {
    if (!focusText()) return failed("the text cannot be edited now");
    if (w == "return") return acted(ui::Input::pressReturn());
    if (w == "clear") {
      auto text = controller_->textView();
      text->setSelectedRange(ns::Range{0, text->attributedText().length()});
      return acted(text->attributedText().length() == 0 || ui::Input::deleteBackward());
    }
    if (w == "delete") {
      int n = 1;
      if (c.args.size() > 1) return failed("usage: delete [N]");
      if (!c.args.empty()) {
        const std::string& a = c.args[0];
        auto [end, ec] = std::from_chars(a.data(), a.data() + a.size(), n);
        if (ec != std::errc() || end != a.data() + a.size() || n < 1) return failed("usage: delete [N]");
      }
      for (int i = 0; i < n; ++i)
        if (!ui::Input::deleteBackward()) return acted(false);
      return acted(true);
    }
    // In a text view a line break is typed like any character.
    return acted(ui::Input::type(quillbox::unescapeTyped(c.text)));
  }
  return failed("unknown command \"" + w + "\" (help lists the commands)");
}

}  // namespace jotshare
