// A mail as the file a mail program keeps it in: an internet message
// (headers, then a MIME body) that any standard mail reader parses. The
// text parts and attachments are base64 in lines of 76; header values
// outside printable ASCII (line breaks among them) are encoded words, so a
// subject or name can never add a header of its own.
#pragma once

#include <string>

#include "Platform/Foundation/Date.h"

namespace ui {

struct MailMessage;

std::string internetMessageText(const MailMessage& message, ns::Date date);

}  // namespace ui
