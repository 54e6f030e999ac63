#include "Platform/UIKit/ScreenPicture.h"

#include "Platform/Foundation/FileManager.h"
#include "Platform/Graphics/ImageContext.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/Responder.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/ViewDrawing.h"
#include "Platform/UIKit/Window.h"

namespace ui {

namespace {

// The light keyboard's colour.
constexpr cg::Rgba kKeyboardColor{209 / 255.0, 212 / 255.0, 217 / 255.0, 1};

void drawKeyboard(cg::ImageContext& context) {
  Keyboard& keyboard = Keyboard::shared();
  if (!keyboard.isVisible()) return;
  Rect frame = keyboard.frame();
  context.setFillColor(kKeyboardColor);
  context.fillRect(frame);
  Responder* responder = currentFirstResponder();
  if (auto accessory = responder ? responder->inputAccessoryView() : nullptr)
    drawViewHierarchy(context, *accessory, frame.origin);
}

}  // namespace

std::shared_ptr<const cg::Image> ScreenPicture::capture() {
  Screen& screen = Screen::main();
  cg::ImageContext context(screen.bounds().size, true, screen.scale());
  for (const auto& window : Application::shared().windows()) drawViewHierarchy(context, *window);
  drawKeyboard(context);
  return context.makeImage();
}

std::shared_ptr<const cg::Image> ScreenPicture::capture(View& view, double scale) {
  Rect bounds = view.bounds();
  cg::ImageContext context(bounds.size, false, scale > 0 ? scale : Screen::main().scale());
  drawViewHierarchy(context, view, Point{0, 0});
  return context.makeImage();
}

bool ScreenPicture::writePNG(const std::string& path, ns::Error* error) {
  auto picture = capture();
  if (!picture) {
    if (error) *error = ns::Error(cg::kImageErrorDomain, 1, {{ns::kLocalizedDescriptionKey, "The screen has no size."}});
    return false;
  }
  ns::Data png = picture->pngData(error);
  if (png.empty()) return false;
  ns::WriteOptions options;
  options.atomic = true;
  options.durable = false;
  return ns::FileManager::defaultManager().writeData(png, path, options, error);
}

}  // namespace ui
