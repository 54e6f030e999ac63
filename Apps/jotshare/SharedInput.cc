#include "Apps/jotshare/SharedInput.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Platform/ExtensionHost/TypeIdentifier.h"
#include "Platform/UIKit/AttributedStringDocument.h"

namespace jotshare {

namespace {

std::optional<std::string> readFile(const std::string& path, std::string* error) {
  std::error_code ec;
  std::ifstream in(path, std::ios::binary);
  if (!in || std::filesystem::is_directory(path, ec)) {
    *error = "cannot read " + path;
    return std::nullopt;
  }
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::shared_ptr<ext::ItemProvider> provider(const ShareOptions& options, const std::string& standardInput,
                                            std::string* error) {
  using Source = ShareOptions::Source;
  switch (options.source) {
    case Source::StandardInput: {
      std::string text = standardInput;
      if (text.ends_with("\n")) text.pop_back();  // the line break that ends a shell's text
      return ext::ItemProvider::withItem(text, ext::kTypePlainText);
    }
    case Source::RTF: {
      auto bytes = readFile(options.argument, error);
      if (!bytes) return nullptr;
      ns::Error readError;
      auto text = ui::attributedStringWithData(ns::Data(bytes->begin(), bytes->end()),
                                               {{ui::kDocumentTypeDocumentAttribute, ui::kRTFTextDocumentType}},
                                               nullptr, &readError);
      if (!text) {
        *error = options.argument + " is not a rich-text document";
        return nullptr;
      }
      return ext::ItemProvider::withItem(*text, ext::kTypeRTF);
    }
    case Source::HTML: {
      auto markup = readFile(options.argument, error);
      if (!markup) return nullptr;
      return ext::ItemProvider::withItem(*markup, ext::kTypeHTML);
    }
    case Source::URL: {
      auto url = ns::URL::withString(options.argument);
      if (!url || url->scheme().empty()) {
        *error = "\"" + options.argument + "\" is not a URL";
        return nullptr;
      }
      return ext::ItemProvider::withItem(*url, url->isFileURL() ? ext::kTypeFileURL : ext::kTypeURL);
    }
    case Source::File: {
      std::error_code ec;
      if (!std::filesystem::exists(options.argument, ec)) {
        *error = "no file " + options.argument;
        return nullptr;
      }
      ns::URL url = ns::URL::fileURLWithPath(std::filesystem::absolute(options.argument).string());
      auto type = ext::typeForFilenameExtension(url.pathExtension());
      return ext::ItemProvider::withItem(url, type.value_or(ext::kTypeData));
    }
  }
  return nullptr;
}

}  // namespace

std::optional<std::vector<std::shared_ptr<ext::ExtensionItem>>> SharedInput::make(const ShareOptions& options,
                                                                                  const std::string& standardInput,
                                                                                  std::string* error) {
  auto attachment = provider(options, standardInput, error);
  if (!attachment) return std::nullopt;
  auto item = std::make_shared<ext::ExtensionItem>();
  item->setAttachments({attachment});
  return std::vector<std::shared_ptr<ext::ExtensionItem>>{item};
}

}  // namespace jotshare
