#include "Platform/UIKit/MailMessageFile.h"

#include <cctype>

#include "Platform/Foundation/DateFormatter.h"
#include "Platform/Foundation/Encoding.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/TimeZone.h"
#include "Platform/UIKit/MailComposeViewController.h"

namespace ui {
namespace {

constexpr const char* kBoundary = "=_quillbox_part_boundary_=";

bool isPlainHeaderText(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20 || c > 0x7e) return false;
  return true;
}

std::string base64Lines(const std::string& bytes) {
  std::string encoded = ns::base64Encode(ns::bytesOf(bytes));
  std::string out;
  for (size_t i = 0; i < encoded.size(); i += 76) out += encoded.substr(i, 76) + "\r\n";
  return out;
}

std::string base64Lines(const ns::Data& data) { return base64Lines(std::string(data.begin(), data.end())); }

// Encoded words of at most 45 bytes each, never splitting a character.
std::string headerValue(const std::string& text) {
  if (isPlainHeaderText(text)) return text;
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = std::min(text.size(), start + 45);
    while (end < text.size() && end > start + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    std::string chunk = text.substr(start, end - start);
    std::string word = ns::base64Encode(ns::bytesOf(chunk));
    out += (out.empty() ? "" : "\r\n ") + std::string("=?utf-8?b?") + word + "?=";
    start = end;
  }
  return out;
}

// A file name parameter: quoted when plain, else in the extended form.
std::string fileNameParameter(const char* name, const std::string& value) {
  bool plain = isPlainHeaderText(value) && value.find_first_of("\"\\") == std::string::npos;
  if (plain) return std::string(name) + "=\"" + value + "\"";
  std::string encoded;
  for (unsigned char c : value) {
    if (std::isalnum(c) || c == '.' || c == '-' || c == '_')
      encoded += static_cast<char>(c);
    else
      encoded += "%" + ns::upperHexString(ns::Bytes(&c, 1));
  }
  return std::string(name) + "*=utf-8''" + encoded;
}

// A MIME type is a fixed token: anything else is sent as plain bytes.
std::string mimeType(const std::string& type) {
  bool token = !type.empty() && type.find('/') != std::string::npos;
  for (unsigned char c : type)
    if (!(std::isalnum(c) || c == '/' || c == '.' || c == '+' || c == '-')) token = false;
  return token ? type : "application/octet-stream";
}

std::string recipients(const std::vector<std::string>& addresses) {
  std::string out;
  for (const auto& address : addresses) out += (out.empty() ? "" : ", ") + headerValue(address);
  return out;
}

std::string dateHeader(ns::Date date) {
  ns::DateFormatter formatter;
  formatter.setLocale(ns::Locale::posix());
  formatter.setTimeZone(ns::TimeZone::utc());
  formatter.setDateFormat("EEE, dd MMM yyyy HH:mm:ss Z");
  return formatter.stringFromDate(date);
}

std::string textPart(const MailMessage& message) {
  return std::string("Content-Type: text/") + (message.isHTML ? "html" : "plain") +
         "; charset=\"utf-8\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64Lines(message.body);
}

}  // namespace

std::string internetMessageText(const MailMessage& message, ns::Date date) {
  std::string out = "To: " + recipients(message.toRecipients) + "\r\nSubject: " + headerValue(message.subject) +
                    "\r\nDate: " + dateHeader(date) + "\r\nMIME-Version: 1.0\r\n";
  if (message.attachments.empty()) return out + textPart(message);
  out += std::string("Content-Type: multipart/mixed; boundary=\"") + kBoundary + "\"\r\n\r\n";
  out += std::string("--") + kBoundary + "\r\n" + textPart(message);
  for (const auto& attachment : message.attachments) {
    out += std::string("--") + kBoundary + "\r\nContent-Type: " + mimeType(attachment.mimeType) + "; " +
           fileNameParameter("name", attachment.fileName) + "\r\nContent-Disposition: attachment; " +
           fileNameParameter("filename", attachment.fileName) + "\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           base64Lines(attachment.data);
  }
  return out + "--" + kBoundary + "--\r\n";
}

}  // namespace ui
