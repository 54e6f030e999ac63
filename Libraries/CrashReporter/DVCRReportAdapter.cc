#include "Libraries/CrashReporter/DVCRReportAdapter.h"

#include <pb_encode.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>

#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRReport.pb.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/StringCase.h"
#include "Platform/Foundation/StringCompare.h"
#include "Platform/Foundation/StringLines.h"

namespace {

std::atomic<bool> encodingFailsForTesting{false};
std::mutex encodingMutex;

bool encodeBytes(pb_ostream_t* stream, const pb_field_t* field, const void* bytes, size_t length) {
  return pb_encode_tag_for_field(stream, field) &&
         pb_encode_string(stream, static_cast<const pb_byte_t*>(bytes), length);
}

bool encodeText(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
  const auto* text = static_cast<const std::string*>(*arg);
  return encodeBytes(stream, field, text->data(), text->size());
}

bool encodeContents(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
  // Only the real output stream fails when a test asks; the sizing pass
  // (no callback) succeeds, as a stream that fills up would.
  if (encodingFailsForTesting && stream->callback != nullptr) PB_RETURN_ERROR(stream, "forced failure");
  const auto* contents = static_cast<const ns::Data*>(*arg);
  return encodeBytes(stream, field, contents->data(), contents->size());
}

bool encodeFiles(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
  for (const auto& file : *static_cast<const std::vector<DVCRReportFile>*>(*arg)) {
    zorori_dodevadarud_FilesPayload_File message = zorori_dodevadarud_FilesPayload_File_init_zero;
    message.filename.funcs.encode = encodeText;
    message.filename.arg = const_cast<std::string*>(&file.name);
    message.contents.funcs.encode = encodeContents;
    message.contents.arg = const_cast<ns::Data*>(&file.contents);
    if (!pb_encode_tag_for_field(stream, field) ||
        !pb_encode_submessage(stream, zorori_dodevadarud_FilesPayload_File_fields, &message))
      return false;
  }
  return true;
}

void setText(pb_callback_t& field, const std::string& text) {
  field.funcs.encode = encodeText;
  field.arg = const_cast<std::string*>(&text);
}

const char* errorText(const pb_ostream_t& stream) { return PB_GET_ERROR(&stream) ? PB_GET_ERROR(&stream) : "(none)"; }

}  // namespace

int32_t DVCRReportPlatformOf(const DVCRRecordField& platform) {
  std::string name = ns::lowercaseString(DVCREncodeString(platform), "en_US_POSIX");
  if (name == "ios") return zorori_dodevadarud_Platform_PLATFORM_IOS;
  if (name == "tvos") return zorori_dodevadarud_Platform_PLATFORM_TVOS;
  if (name == "mac") return zorori_dodevadarud_Platform_PLATFORM_MAC;
  return zorori_dodevadarud_Platform_PLATFORM_UNKNOWN;
}

std::string DVCREncodeString(const DVCRRecordField& value) {
  if (value && value->isNull()) {
    DVCRLogErrorMessage(
        "Expected encodable string, but found NSNull instead. Set a symbolic breakpoint at DVCREncodeString to "
        "debug.");
    return {};
  }
  if (!value || !value->isString()) return {};
  return *value->asString();
}

DVCRReportAdapter::DVCRReportAdapter(std::string folderPath, std::string zororiAppID,
                                     const std::shared_ptr<DVCRInstallIdentifierModel>& installIDModel,
                                     std::optional<std::string> ziid)
    : ziid_(std::move(ziid)),
      folderPath_(std::move(folderPath)),
      zororiAppID_(std::move(zororiAppID)),
      installIDModel_(installIDModel) {
  loadMetaDataFile();
  buildReport();
}

void DVCRReportAdapter::loadMetaDataFile() {
  ns::Dictionary metadata = combinedDictionariesFromFilePath(folderPath_ + "/metadata.dvrecord");
  auto section = [&](const char* name) {
    const ns::Value* value = metadata.find(name);
    return value && value->isDictionary() ? *value->asDictionary() : ns::Dictionary{};
  };
  identity_.emplace(section("identity"));
  host_.emplace(section("host"));
  application_.emplace(section("application"));
}

void DVCRReportAdapter::buildReport() {
  report_.sdkVersion = DVCREncodeString(identity_->build_version);
  report_.zororiAppID = zororiAppID_;
  report_.platform = DVCRReportPlatformOf(host_->platform);
  report_.installationUUID = installIDModel_ ? installIDModel_->installID() : std::string();
  report_.buildVersion = DVCREncodeString(application_->build_version);
  report_.displayVersion = DVCREncodeString(application_->display_version);
  report_.installationID = ziid_.value_or("");
  report_.appVitalsSessionID = DVCREncodeString(identity_->app_vitals_session_id);
  auto& files = ns::FileManager::defaultManager();
  for (const auto& path : dvRecordFilePaths(folderPath_)) {
    ns::Error error;
    auto contents = files.contentsAtPath(path, &error);
    if (!contents) DVCRLogErrorMessage("Failed to read from %@ with error: %@", path, error);
    report_.files.push_back({std::filesystem::path(path).filename().string(), contents.value_or(ns::Data{})});
  }
}

std::vector<std::string> DVCRReportAdapter::dvRecordFilePaths(const std::string& folderPath) {
  ns::Error error;
  auto names = ns::FileManager::defaultManager().contentsOfDirectory(folderPath, &error);
  if (!names) {
    DVCRLogErrorMessage("Failed to find .dvrecords from %@ with error: %@", folderPath, error);
    return {};
  }
  std::vector<std::string> paths;
  for (const auto& name : *names) {
    std::string extension = std::filesystem::path(name).extension().string();
    extension = ns::lowercaseString(extension.empty() ? extension : extension.substr(1), "en_US_POSIX");
    if (extension == "dvrecord" || extension == "symbolicated") paths.push_back(folderPath + "/" + name);
  }
  std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
    return ns::localizedCaseInsensitiveCompare(a, b) == ns::ComparisonResult::Ascending;
  });
  return paths;
}

std::vector<ns::Value> DVCRReportAdapter::dictionariesFromEachLineOfFile(const std::string& path) {
  auto data = ns::FileManager::defaultManager().contentsAtPath(path);
  if (!data) return {};
  std::string text(data->begin(), data->end());
  std::vector<ns::Value> objects;
  int number = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    ++number;
    start = end + 1;
    if (line.empty()) continue;
    ns::Error error;
    auto object = ns::jsonObjectFromString(line, &error);
    if (!object) {
      DVCRLogErrorMessage("Failed to read JSON from file (%@) line (%d) with error: %@", path, number, error);
      continue;
    }
    objects.push_back(std::move(*object));
  }
  return objects;
}

ns::Dictionary DVCRReportAdapter::combinedDictionariesFromFilePath(const std::string& path) {
  ns::Dictionary combined;
  for (const auto& object : dictionariesFromEachLineOfFile(path)) {
    if (!object.isDictionary()) continue;
    for (const auto& [key, value] : *object.asDictionary()) combined.set(key, value);
  }
  return combined;
}

void DVCRReportAdapter::setEncodingFailsForTesting(bool fails) { encodingFailsForTesting = fails; }

const std::optional<ns::Data>& DVCRReportAdapter::encodedReport() const {
  std::lock_guard lock(encodingMutex);
  if (encoded_) return *encoded_;
  zorori_dodevadarud_Report message = zorori_dodevadarud_Report_init_zero;
  setText(message.sdk_version, report_.sdkVersion);
  setText(message.zmp_app_id, report_.zororiAppID);
  message.platform = static_cast<zorori_dodevadarud_Platform>(report_.platform);
  setText(message.installation_uuid, report_.installationUUID);
  setText(message.build_version, report_.buildVersion);
  setText(message.display_version, report_.displayVersion);
  message.has_apple_payload = !report_.files.empty();
  message.apple_payload.files.funcs.encode = encodeFiles;
  message.apple_payload.files.arg = const_cast<std::vector<DVCRReportFile>*>(&report_.files);
  setText(message.dozaveve_installation_id, report_.installationID);
  setText(message.app_vitals_session_id, report_.appVitalsSessionID);

  size_t size = 0;
  pb_ostream_t sizing = PB_OSTREAM_SIZING;
  if (!pb_encode(&sizing, zorori_dodevadarud_Report_fields, &message)) {
    DVCRLogErrorMessage("Error in nanopb encoding for size: %s", errorText(sizing));
    return encoded_.emplace(std::nullopt);
  }
  size = sizing.bytes_written;
  ns::Data bytes(size);
  pb_ostream_t output = pb_ostream_from_buffer(bytes.data(), bytes.size());
  if (!pb_encode(&output, zorori_dodevadarud_Report_fields, &message) || output.bytes_written != size) {
    DVCRLogErrorMessage("Error in nanopb encoding for bytes: %s", errorText(output));
    return encoded_.emplace(std::nullopt);
  }
  return encoded_.emplace(std::move(bytes));
}
