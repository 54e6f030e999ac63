// Rich text to and from documents: RTF, RTFD packages (a directory holding
// "TXT.rtf" and one file per attachment) and plain text; HTML is read only
// (HTMLReader.h). The free functions
// stand for the platform's document reading and writing of attributed
// strings; document attributes and options are dictionaries keyed by
// kDocumentTypeDocumentAttribute.
#pragma once

#include <optional>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/FileWrapper.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

namespace ui {

inline constexpr const char* kDocumentTypeDocumentAttribute = "DocumentType";
inline constexpr const char* kRTFTextDocumentType = "NSRTF";
inline constexpr const char* kRTFDTextDocumentType = "NSRTFD";
inline constexpr const char* kPlainTextDocumentType = "NSPlainText";
inline constexpr const char* kHTMLTextDocumentType = "NSHTML";
// The text file inside an RTFD package.
inline constexpr const char* kRTFDTextFileName = "TXT.rtf";

// `range` of `text` as a document of the type named in `documentAttributes`
// (RTF or plain text, UTF-8). An RTFD package is not one piece of data: use
// fileWrapperFromRange. Errors: Cocoa 66062 for a type that cannot be
// written as data.
std::optional<ns::Data> dataFromRange(const ns::AttributedString& text, ns::Range range,
                                      const ns::Dictionary& documentAttributes,
                                      ns::Error* error = nullptr);

// The same as a file wrapper: for RTFD a directory with "TXT.rtf" and the
// attachments' files, else a regular file holding dataFromRange's data.
std::optional<ns::FileWrapper> fileWrapperFromRange(const ns::AttributedString& text,
                                                    ns::Range range,
                                                    const ns::Dictionary& documentAttributes,
                                                    ns::Error* error = nullptr);

// Reads a document. The type is taken from options[kDocumentTypeDocumentAttribute]
// when given, else detected: RTF or HTML by its start, else plain text
// (UTF-16 with a byte-order mark, UTF-8, or Windows-1252 when not valid
// UTF-8). The type
// read is stored in *documentAttributes. Errors: Cocoa 259 when the data is
// not in the format asked for.
std::optional<ns::AttributedString> attributedStringWithData(const ns::Data& data,
                                                             const ns::Dictionary& options,
                                                             ns::Dictionary* documentAttributes,
                                                             ns::Error* error = nullptr);
// A directory is read as an RTFD package, a regular file as data.
std::optional<ns::AttributedString> attributedStringWithFileWrapper(
    const ns::FileWrapper& wrapper, const ns::Dictionary& options,
    ns::Dictionary* documentAttributes, ns::Error* error = nullptr);
// The file or package at a file URL; a file named ".html" or ".htm" is
// read as HTML unless the options name a type. Nothing but file URLs is
// read. Errors: the file's read error, or Cocoa 259 when it is not a
// document.
std::optional<ns::AttributedString> attributedStringWithURL(const ns::URL& url,
                                                            const ns::Dictionary& options,
                                                            ns::Dictionary* documentAttributes,
                                                            ns::Error* error = nullptr);

}  // namespace ui
