#include "Platform/UIKit/AttributedStringDocument.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <map>

#include "Platform/Foundation/StringCase.h"

#include "Platform/UIKit/HTMLReader.h"
#include "Platform/UIKit/RTFReader.h"
#include "Platform/UIKit/RTFWriter.h"

namespace ui {

namespace {

constexpr int kFileReadCorruptFileError = 259;
constexpr int kTextWriteInapplicableDocumentTypeError = 66062;

std::string documentType(const ns::Dictionary& attributes) {
  const ns::Value* type = attributes.find(kDocumentTypeDocumentAttribute);
  return type && type->isString() ? *type->asString() : std::string();
}

ns::Error corruptError(const std::string& path = {}) {
  ns::Error error = ns::Error::withDescription(
      ns::kCocoaErrorDomain, kFileReadCorruptFileError,
      "The file couldn\u2019t be opened because it isn\u2019t in the correct format.");
  if (!path.empty()) error.userInfo().set(ns::kFilePathErrorKey, ns::Value(path));
  return error;
}

void setType(ns::Dictionary* attributes, const char* type) {
  if (attributes) attributes->set(kDocumentTypeDocumentAttribute, ns::Value(type));
}

std::u16string plainText(const ns::Data& data) {
  auto bytes = reinterpret_cast<const char*>(data.data());
  int32_t size = static_cast<int32_t>(data.size());
  const char* charset = "UTF-8";
  if (data.size() >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF)))
    charset = "UTF-16";  // the mark tells the byte order
  UErrorCode status = U_ZERO_ERROR;
  if (std::string(charset) == "UTF-8") {
    u_strFromUTF8(nullptr, 0, nullptr, bytes, size, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) charset = "windows-1252";
    status = U_ZERO_ERROR;
  }
  std::u16string out;
  UConverter* converter = ucnv_open(charset, &status);
  if (U_FAILURE(status)) return out;
  out.resize(data.size() + 2);
  int32_t n = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes, size, &status);
  ucnv_close(converter);
  out.resize(U_SUCCESS(status) ? n : 0);
  if (!out.empty() && out[0] == 0xFEFF) out.erase(0, 1);
  return out;
}

std::optional<ns::AttributedString> readRTF(std::string_view document,
                                            const ns::FileWrapper* package, ns::Error* error) {
  RTFReader reader;
  if (package) {
    reader.setAttachmentLookup([package](const std::string& name) -> std::shared_ptr<const TextAttachment> {
      auto it = package->fileWrappers().find(name);
      if (it == package->fileWrappers().end() || !it->second.isRegularFile()) return nullptr;
      return std::make_shared<const TextAttachment>(it->second.regularFileContents(),
                                                    fileTypeForFilename(name), name);
    });
  }
  return reader.read(document, error);
}

}  // namespace

std::optional<ns::Data> dataFromRange(const ns::AttributedString& text, ns::Range range,
                                      const ns::Dictionary& documentAttributes, ns::Error* error) {
  std::string type = documentType(documentAttributes);
  if (type == kRTFTextDocumentType) {
    std::string rtf = RTFWriter(RTFWriter::Attachments::Inline).write(text, range);
    return ns::Data(rtf.begin(), rtf.end());
  }
  if (type == kPlainTextDocumentType) {
    std::string utf8 = text.attributedSubstring(range).string();
    return ns::Data(utf8.begin(), utf8.end());
  }
  ns::setError(error, ns::Error(ns::kCocoaErrorDomain, kTextWriteInapplicableDocumentTypeError));
  return std::nullopt;
}

std::optional<ns::FileWrapper> fileWrapperFromRange(const ns::AttributedString& text,
                                                    ns::Range range,
                                                    const ns::Dictionary& documentAttributes,
                                                    ns::Error* error) {
  if (documentType(documentAttributes) != kRTFDTextDocumentType) {
    auto data = dataFromRange(text, range, documentAttributes, error);
    if (!data) return std::nullopt;
    return ns::FileWrapper::regularFile(std::move(*data));
  }
  RTFWriter writer(RTFWriter::Attachments::PackageFiles);
  std::string rtf = writer.write(text, range);
  std::map<std::string, ns::FileWrapper> files;
  files.emplace(kRTFDTextFileName, ns::FileWrapper::regularFile(ns::Data(rtf.begin(), rtf.end())));
  for (const auto& [name, attachment] : writer.attachments())
    files.emplace(name, ns::FileWrapper::regularFile(attachment->contents()));
  return ns::FileWrapper::directory(std::move(files));
}

std::optional<ns::AttributedString> attributedStringWithData(const ns::Data& data,
                                                             const ns::Dictionary& options,
                                                             ns::Dictionary* documentAttributes,
                                                             ns::Error* error) {
  std::string type = documentType(options);
  std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
  if (type.empty()) {
    type = RTFReader::looksLikeRTF(bytes)    ? kRTFTextDocumentType
           : HTMLReader::looksLikeHTML(bytes) ? kHTMLTextDocumentType
                                              : kPlainTextDocumentType;
  }
  if (type == kRTFTextDocumentType) {
    auto text = readRTF(bytes, nullptr, error);
    if (text) setType(documentAttributes, kRTFTextDocumentType);
    return text;
  }
  if (type == kHTMLTextDocumentType) {
    auto text = HTMLReader().read(data, {}, error);
    if (text) setType(documentAttributes, kHTMLTextDocumentType);
    return text;
  }
  if (type == kPlainTextDocumentType) {
    setType(documentAttributes, kPlainTextDocumentType);
    return ns::AttributedString(plainText(data));
  }
  ns::setError(error, corruptError());
  return std::nullopt;
}

std::optional<ns::AttributedString> attributedStringWithFileWrapper(
    const ns::FileWrapper& wrapper, const ns::Dictionary& options,
    ns::Dictionary* documentAttributes, ns::Error* error) {
  if (wrapper.isRegularFile())
    return attributedStringWithData(wrapper.regularFileContents(), options, documentAttributes, error);
  std::string type = documentType(options);
  auto it = wrapper.fileWrappers().find(kRTFDTextFileName);
  if ((!type.empty() && type != kRTFDTextDocumentType) || it == wrapper.fileWrappers().end() ||
      !it->second.isRegularFile()) {
    ns::setError(error, corruptError(wrapper.filename()));
    return std::nullopt;
  }
  const ns::Data& data = it->second.regularFileContents();
  auto text = readRTF(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
                      &wrapper, error);
  if (text) setType(documentAttributes, kRTFDTextDocumentType);
  return text;
}

std::optional<ns::AttributedString> attributedStringWithURL(const ns::URL& url,
                                                            const ns::Dictionary& options,
                                                            ns::Dictionary* documentAttributes,
                                                            ns::Error* error) {
  if (!url.isFileURL()) {
    ns::setError(error, corruptError(url.absoluteString()));
    return std::nullopt;
  }
  auto wrapper = ns::FileWrapper::read(url.path(), error);
  if (!wrapper) return std::nullopt;
  // A web page saved as a file says so by its name more often than by its start.
  ns::Dictionary readOptions = options;
  std::string extension = ns::lowercaseString(url.pathExtension());
  if (documentType(options).empty() && wrapper->isRegularFile() && (extension == "html" || extension == "htm"))
    readOptions.set(kDocumentTypeDocumentAttribute, ns::Value(kHTMLTextDocumentType));
  ns::Error inner;
  auto text = attributedStringWithFileWrapper(*wrapper, readOptions, documentAttributes, &inner);
  if (!text) {
    if (inner.code() == kFileReadCorruptFileError) inner.userInfo().set(ns::kFilePathErrorKey, ns::Value(url.path()));
    ns::setError(error, inner);
  }
  return text;
}

}  // namespace ui
