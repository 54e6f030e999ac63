// For the report tests: report folders of earlier launches written by hand,
// and a minimal protocol-buffer reader to pull nested length-delimited
// fields out of captured bytes.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "Platform/Foundation/Format.h"

namespace dvcr_testing {

// A folder with a metadata record for `identifier` created at `startedAt`
// (seconds since 1970) and the given files; no metadata file when
// `identifier` is empty. `identityExtra` continues the identity object
// (",\"key\":value"); `metadataExtra` adds whole lines.
inline void writeReportFolder(const std::string& folder, const std::string& identifier, double startedAt,
                              const std::map<std::string, std::string>& files = {},
                              const std::string& metadataExtra = "", const std::string& identityExtra = "") {
  std::filesystem::create_directories(folder);
  if (!identifier.empty()) {
    std::ofstream(folder + "/metadata.dvrecord", std::ios::binary)
        << ns::format("{\"identity\":{\"session_id\":\"%@\",\"started_at\":%.0f,\"build_version\":\"10.16.0\"%@}}\n",
                      identifier, startedAt, identityExtra)
        << "{\"host\":{\"platform\":\"iOS\",\"os_display_version\":\"17.0\"}}\n"
        << "{\"application\":{\"build_version\":\"42\",\"display_version\":\"1.2\"}}\n"
        << metadataExtra;
  }
  for (const auto& [name, contents] : files) std::ofstream(folder + "/" + name, std::ios::binary) << contents;
}

// The values of every length-delimited field `number` at the top level of
// `message`, in order (fields of other wire types are skipped).
inline std::vector<std::string> protoFields(const std::string& message, uint32_t number) {
  std::vector<std::string> out;
  size_t at = 0;
  auto varint = [&]() {
    uint64_t value = 0;
    for (int shift = 0; at < message.size() && shift < 64; shift += 7) {
      auto byte = static_cast<uint8_t>(message[at++]);
      value |= static_cast<uint64_t>(byte & 0x7f) << shift;
      if (!(byte & 0x80)) break;
    }
    return value;
  };
  while (at < message.size()) {
    uint64_t key = varint();
    switch (key & 7) {
      case 0: varint(); break;
      case 1: at += 8; break;
      case 5: at += 4; break;
      case 2: {
        uint64_t length = varint();
        if ((key >> 3) == number) out.push_back(message.substr(at, length));
        at += length;
        break;
      }
      default: return out;  // not a message
    }
  }
  return out;
}

}  // namespace dvcr_testing
