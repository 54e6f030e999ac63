// The few metadata values a report's upload needs, each read as it stands
// from one section of the metadata record ("identity", "host",
// "application"): absent when the key is missing, JSON null kept as null so
// that the encoder can tell it apart (DVCREncodeString).
#pragma once

#include <optional>

#include "Platform/Foundation/Value.h"

using DVCRRecordField = std::optional<ns::Value>;

struct DVCRRecordIdentity {
  explicit DVCRRecordIdentity(const ns::Dictionary& dictionary);
  DVCRRecordField build_version;
  DVCRRecordField app_vitals_session_id;
};

struct DVCRRecordHost {
  explicit DVCRRecordHost(const ns::Dictionary& dictionary);
  DVCRRecordField platform;
};

struct DVCRRecordApplication {
  explicit DVCRRecordApplication(const ns::Dictionary& dictionary);
  DVCRRecordField display_version;
  DVCRRecordField build_version;
};
