// ZTCORMetrics as the ClientMetrics message.
#include <pb_decode.h>  // pb_release
#include <pb_encode.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Libraries/EventTransport/ClientMetrics.pb.h"
#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORMetricsRecords.h"

namespace {

// Whole seconds since 1970, truncated toward zero, as milliseconds.
int64_t wholeSecondMillis(ns::Date date) {
  return static_cast<int64_t>(std::trunc(date.timeIntervalSince1970())) * 1000;
}

DroppedEventCount_Reason wireReason(int64_t reason) {
  return reason >= 1 && reason <= 6 ? static_cast<DroppedEventCount_Reason>(reason) : DroppedEventCount_Reason_REASON_UNKNOWN;
}

// A bytes field pb_release frees. Null for nothing to write or for more
// bytes than the library's 16-bit length holds (`tooLong` is then set).
pb_bytes_array_t* allocatedBytes(const std::string& bytes, bool* tooLong) {
  if (bytes.empty()) return nullptr;
  if (bytes.size() > PB_SIZE_MAX) {
    *tooLong = true;
    return nullptr;
  }
  auto* array = static_cast<pb_bytes_array_t*>(malloc(PB_BYTES_ARRAY_T_ALLOCSIZE(bytes.size())));
  array->size = static_cast<pb_size_t>(bytes.size());
  memcpy(array->bytes, bytes.data(), bytes.size());
  return array;
}

void logEncodingError(const char* format, const pb_ostream_t& stream) {
  ZTCORConsoleLog(1005, ZTCORLogLevelError, format, PB_GET_ERROR(&stream));
}

}  // namespace

ns::Data ZTCORMetrics::transportBytes() const {
  ClientMetrics message = ClientMetrics_init_zero;
  bool tooLong = false;

  message.window.start_ms = wholeSecondMillis(collectionStartDate_);
  message.window.end_ms = wholeSecondMillis(collectionEndDate_);
  message.has_window = message.window.start_ms != 0 || message.window.end_ms != 0;

  const ZTCORDroppedEventCounts empty;
  const auto& counts = logSourceMetrics_ ? logSourceMetrics_->droppedEventCounterByLogSource() : empty;
  if (!counts.empty() && counts.size() <= PB_SIZE_MAX) {
    message.log_source_metrics =
        static_cast<LogSourceMetricsRecord*>(calloc(counts.size(), sizeof(LogSourceMetricsRecord)));
    message.log_source_metrics_count = static_cast<pb_size_t>(counts.size());
    LogSourceMetricsRecord* record = message.log_source_metrics;
    for (const auto& [source, reasons] : counts) {
      record->log_source = allocatedBytes(source, &tooLong);
      if (!reasons.empty() && reasons.size() <= PB_SIZE_MAX) {
        record->log_event_dropped = static_cast<DroppedEventCount*>(calloc(reasons.size(), sizeof(DroppedEventCount)));
        record->log_event_dropped_count = static_cast<pb_size_t>(reasons.size());
        DroppedEventCount* dropped = record->log_event_dropped;
        for (const auto& [reason, count] : reasons) {
          dropped->events_dropped_count = count;
          dropped->reason = wireReason(reason);
          ++dropped;
        }
      }
      ++record;
    }
  } else if (counts.size() > PB_SIZE_MAX) {
    tooLong = true;
  }

  message.global_metrics.storage_metrics.current_cache_size_bytes = static_cast<int64_t>(currentCacheSize_);
  message.global_metrics.storage_metrics.max_cache_size_bytes = static_cast<int64_t>(maxCacheSize_);
  message.global_metrics.has_storage_metrics = currentCacheSize_ != 0 || maxCacheSize_ != 0;
  message.has_global_metrics = message.global_metrics.has_storage_metrics;
  message.app_namespace = allocatedBytes(bundleID_, &tooLong);

  ns::Data bytes;
  if (tooLong) {
    // Leaving a field out would send a report that looks whole but is not.
    ZTCORConsoleLog(1005, ZTCORLogLevelError, "Error in nanopb encoding for size: %s",
                    "a field is longer than 65,535 bytes");
  } else {
    pb_ostream_t sizing = PB_OSTREAM_SIZING;
    if (!pb_encode(&sizing, ClientMetrics_fields, &message)) {
      logEncodingError("Error in nanopb encoding for size: %s", sizing);
    } else {
      bytes.resize(sizing.bytes_written);
      pb_ostream_t output = pb_ostream_from_buffer(bytes.data(), bytes.size());
      if (!pb_encode(&output, ClientMetrics_fields, &message)) {
        logEncodingError("Error in nanopb encoding for bytes: %s", output);
        bytes.clear();
      } else {
        bytes.resize(output.bytes_written);
      }
    }
  }
  pb_release(ClientMetrics_fields, &message);
  return bytes;
}
