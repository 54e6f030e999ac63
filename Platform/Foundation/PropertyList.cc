#include "Platform/Foundation/PropertyList.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>

#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyListShape.h"
#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

// Deeper nesting than this is refused rather than risking the stack.
constexpr int kMaxDepth = property_list_shape::kMaxDepth;

// Text read from a file whose bytes are not UTF-8 (an XML file may hold
// anything) is read as the text layer reads it, invalid bytes as U+FFFD, so
// that what was read can always be written and read back.
std::string validText(std::string text) {
  return isValidUtf8(text) ? text : toUtf8(toUtf16(text));
}

struct NodeFree {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, NodeFree>;

struct MallocFree {
  void operator()(void* p) const { std::free(p); }
};
using CString = std::unique_ptr<char, MallocFree>;

Error corruptError(const std::string& reason) {
  Dictionary info{{kLocalizedDescriptionKey,
                   Value("The data couldn\u2019t be read because it isn\u2019t in the correct format.")},
                  {kLocalizedFailureReasonErrorKey, Value(reason)}};
  return Error(kCocoaErrorDomain, kPropertyListReadCorruptError, std::move(info));
}

Error invalidWriteError(const std::string& reason) {
  Dictionary info{{kLocalizedDescriptionKey, Value("Property list invalid for format: " + reason)},
                  {kLocalizedFailureReasonErrorKey, Value(reason)}};
  return Error(kCocoaErrorDomain, kPropertyListWriteInvalidError, std::move(info));
}

Error fileError(int err, const std::string& path, bool writing) {
  int64_t code = writing ? kFileWriteUnknownError : kFileReadUnknownError;
  std::string description;
  if (err == ENOENT && !writing) {
    code = kFileReadNoSuchFileError;
    description = "The file couldn\u2019t be opened because there is no such file.";
  } else if (err == EACCES || err == EPERM) {
    code = writing ? kFileWriteNoPermissionError : kFileReadNoPermissionError;
    description = writing ? "You don\u2019t have permission to save the file."
                          : "The file couldn\u2019t be opened because you don\u2019t have permission to view it.";
  } else if (err == ENOSPC || err == EDQUOT) {
    code = kFileWriteOutOfSpaceError;
    description = "The file couldn\u2019t be saved because there isn\u2019t enough space.";
  } else {
    description = writing ? "The file couldn\u2019t be saved." : "The file couldn\u2019t be opened.";
  }
  Dictionary info{{kLocalizedDescriptionKey, Value(description)},
                  {kFilePathErrorKey, Value(path)},
                  {kLocalizedFailureReasonErrorKey, Value(std::string(std::strerror(err)))}};
  return Error(kCocoaErrorDomain, code, std::move(info));
}

// ---- Value -> node ---------------------------------------------------------

// libplist makes every integer node 64-bit signed; only its XML reader makes
// the wide node that holds an unsigned value above INT64_MAX.
Node wideUnsignedNode(uint64_t value) {
  std::string xml = "<plist version=\"1.0\"><integer>" + std::to_string(value) + "</integer></plist>";
  plist_t node = nullptr;
  plist_from_xml(xml.data(), uint32_t(xml.size()), &node);
  return Node(node);
}

class Writer {
 public:
  Writer(PropertyListWriteOptions options, Error* error) : options_(options), error_(error) {}

  Node build(const Value& value, int depth) {
    if (depth > kMaxDepth) return fail("nesting too deep");
    switch (value.type()) {
      case Value::Type::Null: return fail("null has no property-list form");
      case Value::Type::Bool: return Node(plist_new_bool(value.boolValue() ? 1 : 0));
      case Value::Type::Integer: {
        uint64_t bits = value.unsignedValue();
        if (value.isUnsigned() && bits > uint64_t(std::numeric_limits<int64_t>::max())) {
          Node node = wideUnsignedNode(bits);
          return node ? std::move(node) : fail("unsigned integer");
        }
        return Node(plist_new_uint(bits));
      }
      case Value::Type::Real: return Node(plist_new_real(value.doubleValue()));
      case Value::Type::String: {
        const std::string& s = *value.asString();
        if (s.find('\0') != std::string::npos) return fail("string with a NUL character");
        return Node(plist_new_string(s.c_str()));
      }
      case Value::Type::Data: {
        const Data& d = *value.asData();
        return Node(plist_new_data(reinterpret_cast<const char*>(d.data()), d.size()));
      }
      case Value::Type::Date: return date(*value.asDate());
      case Value::Type::Array: {
        Node array(plist_new_array());
        for (const Value& item : *value.asArray()) {
          Node child = build(item, depth + 1);
          if (!child) return nullptr;
          plist_array_append_item(array.get(), child.release());
        }
        return array;
      }
      case Value::Type::Dictionary: {
        const Dictionary& dict = *value.asDictionary();
        if (options_.uidDictionaries && dict.size() == 1) {
          const Value* uid = dict.find(kPropertyListUIDKey);
          if (uid && uid->isInteger() && uid->integerValue() >= 0)
            return Node(plist_new_uid(uint64_t(uid->integerValue())));
        }
        Node node(plist_new_dict());
        for (const auto& [key, item] : dict) {
          if (key.find('\0') != std::string::npos) return fail("key with a NUL character");
          Node child = build(item, depth + 1);
          if (!child) return nullptr;
          plist_dict_set_item(node.get(), key.c_str(), child.release());
        }
        return node;
      }
    }
    return fail("unknown value");
  }

 private:
  // libplist keeps whole seconds and microseconds since the reference date
  // in 32 bits each.
  Node date(Date date) {
    double t = date.timeIntervalSinceReferenceDate();
    if (!std::isfinite(t)) return fail("date is not finite");
    double whole = std::floor(t);
    double micros = std::round((t - whole) * 1e6);
    if (micros >= 1e6) {
      whole += 1;
      micros = 0;
    }
    if (whole < double(std::numeric_limits<int32_t>::min()) || whole > double(std::numeric_limits<int32_t>::max()))
      return fail("date out of range: " + date.description());
    return Node(plist_new_date(int32_t(whole), int32_t(micros)));
  }

  Node fail(const std::string& reason) {
    setError(error_, invalidWriteError(reason));
    return nullptr;
  }

  PropertyListWriteOptions options_;
  Error* error_;
};

// ---- node -> Value ---------------------------------------------------------

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t daysSinceUnixEpoch(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// A date node's value from libplist's XML text of it
// ("<date>4001-01-01T00:00:00Z</date>"), in whole seconds.
std::optional<Date> farDate(plist_t node) {
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(node, &xml, &length);
  CString owned(xml);
  if (!xml) return std::nullopt;
  const char* text = std::strstr(xml, "<date>");
  if (!text) return std::nullopt;
  long long year = 0;
  int month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (std::sscanf(text + 6, "%lld-%d-%dT%d:%d:%dZ", &year, &month, &day, &hour, &minute, &second) != 6)
    return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
  double unix = double(daysSinceUnixEpoch(year, month, day)) * 86400.0 + hour * 3600.0 + minute * 60.0 + second;
  return Date::fromUnixTime(unix);
}

std::optional<Value> fromNode(plist_t node, int depth, std::string* failure) {
  if (depth > kMaxDepth) {
    *failure = "nesting too deep";
    return std::nullopt;
  }
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return Value(b != 0);
    }
    case PLIST_UINT: {
      uint64_t u = 0;
      plist_get_uint_val(node, &u);
      return Value(static_cast<int64_t>(u));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return Value(d);
    }
    case PLIST_STRING: {
      // By pointer and length: libplist asserts on a copy of a string
      // holding a NUL, which a damaged binary file can contain.
      uint64_t length = 0;
      const char* s = plist_get_string_ptr(node, &length);
      return Value(validText(s ? std::string(s, length) : std::string()));
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* bytes = plist_get_data_ptr(node, &length);
      const uint8_t* begin = reinterpret_cast<const uint8_t*>(bytes);
      return Value(bytes ? Data(begin, begin + length) : Data());
    }
    case PLIST_DATE: {
      int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      if (sec == std::numeric_limits<int32_t>::min()) {
        // Outside the 32 bits libplist hands out; its XML text still has it.
        if (auto far = farDate(node)) return Value(*far);
        *failure = "unreadable date";
        return std::nullopt;
      }
      // libplist truncates toward zero and hands out the fraction's
      // magnitude; a date less than a second before the reference date
      // therefore reads as that far after it.
      double fraction = std::fabs(double(usec)) / 1e6;
      return Value(Date(sec < 0 ? double(sec) - fraction : double(sec) + fraction));
    }
    case PLIST_UID: {
      uint64_t uid = 0;
      plist_get_uid_val(node, &uid);
      return Value(Dictionary{{kPropertyListUIDKey, Value(static_cast<int64_t>(uid))}});
    }
    case PLIST_ARRAY: {
      Array array;
      uint32_t n = plist_array_get_size(node);
      array.reserve(n);
      for (uint32_t i = 0; i < n; ++i) {
        plist_t item = plist_array_get_item(node, i);
        if (!item) {
          *failure = "missing array element";
          return std::nullopt;
        }
        auto v = fromNode(item, depth + 1, failure);
        if (!v) return std::nullopt;
        array.push_back(std::move(*v));
      }
      return Value(std::move(array));
    }
    case PLIST_DICT: {
      Dictionary dict;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      std::unique_ptr<void, MallocFree> ownedIter(it);
      for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, it, &key, &item);
        CString ownedKey(key);
        if (!item) break;
        if (!key) {
          *failure = "dictionary entry without a key";
          return std::nullopt;
        }
        auto v = fromNode(item, depth + 1, failure);
        if (!v) return std::nullopt;
        dict.set(validText(key), std::move(*v));
      }
      return Value(std::move(dict));
    }
    default:
      *failure = "unsupported element";
      return std::nullopt;
  }
}

// ---- files -----------------------------------------------------------------

mode_t defaultFileMode() {
  // The process umask, read without changing it (umask() would race with
  // other threads creating files).
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      mask = mode_t(std::strtoul(line.c_str() + 6, nullptr, 8));
      break;
    }
  }
  return 0666 & ~mask;
}

bool writeAll(int fd, const Data& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += size_t(n);
  }
  return true;
}

bool writeDataAtomically(const Data& data, const std::string& path, Error* error) {
  std::string dir = ".";
  std::string base = path;
  if (auto slash = path.rfind('/'); slash != std::string::npos) {
    dir = slash == 0 ? "/" : path.substr(0, slash);
    base = path.substr(slash + 1);
  }
  std::string temp = (dir == "/" ? "" : dir) + "/." + base + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    setError(error, fileError(errno, path, true));
    return false;
  }
  struct stat existing {};
  mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : defaultFileMode();
  bool ok = writeAll(fd, data) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    setError(error, fileError(err, path, true));
    return false;
  }
  // Make the rename itself durable.
  int dirfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirfd >= 0) {
    ::fsync(dirfd);
    ::close(dirfd);
  }
  return true;
}

}  // namespace

std::optional<Value> propertyListFromData(const Data& data, Error* error, PropertyListFormat* formatOut) {
  if (data.empty()) {
    setError(error, corruptError("empty data"));
    return std::nullopt;
  }
  if (data.size() > std::numeric_limits<uint32_t>::max()) {
    setError(error, corruptError("data too large"));
    return std::nullopt;
  }
  const char* bytes = reinterpret_cast<const char*>(data.data());
  uint32_t length = uint32_t(data.size());
  bool binary = plist_is_binary(bytes, length) != 0;
  plist_t root = nullptr;
  auto problem = binary ? property_list_shape::binaryProblem(data.data(), data.size())
                        : property_list_shape::xmlProblem(data.data(), data.size());
  if (problem) {
    setError(error, corruptError(*problem));
    return std::nullopt;
  }
  if (binary) {
    plist_from_bin(bytes, length, &root);
  } else {
    plist_from_xml(bytes, length, &root);
  }
  Node owned(root);
  if (!root) {
    setError(error, corruptError(binary ? "malformed binary property list" : "malformed XML property list"));
    return std::nullopt;
  }
  std::string failure;
  auto value = fromNode(root, 0, &failure);
  if (!value) {
    setError(error, corruptError(failure));
    return std::nullopt;
  }
  if (formatOut) *formatOut = binary ? PropertyListFormat::Binary : PropertyListFormat::XML;
  return value;
}

std::optional<Data> dataFromPropertyList(const Value& value, PropertyListFormat format, Error* error,
                                         PropertyListWriteOptions options) {
  Writer writer(options, error);
  Node root = writer.build(value, 0);
  if (!root) return std::nullopt;
  char* bytes = nullptr;
  uint32_t length = 0;
  if (format == PropertyListFormat::Binary) {
    plist_to_bin(root.get(), &bytes, &length);
  } else {
    plist_to_xml(root.get(), &bytes, &length);
  }
  CString owned(bytes);
  if (!bytes) {
    setError(error, invalidWriteError("the serializer failed"));
    return std::nullopt;
  }
  const uint8_t* begin = reinterpret_cast<const uint8_t*>(bytes);
  return Data(begin, begin + length);
}

bool hasPropertyListForm(const Value& value) { return Writer({}, nullptr).build(value, 0) != nullptr; }

std::optional<Value> readPropertyListFile(const std::string& path, Error* error, PropertyListFormat* formatOut) {
  auto data = FileManager::defaultManager().contentsAtPath(path, error);
  if (!data) return std::nullopt;
  auto value = propertyListFromData(*data, error, formatOut);
  if (!value && error) error->userInfo().set(kFilePathErrorKey, Value(path));
  return value;
}

bool writePropertyListFile(const Value& value, const std::string& path, PropertyListFormat format, Error* error) {
  auto data = dataFromPropertyList(value, format, error);
  if (!data) return false;
  return writeDataAtomically(*data, path, error);
}

std::optional<Dictionary> readDictionaryFile(const std::string& path) {
  auto value = readPropertyListFile(path, nullptr);
  if (!value || !value->isDictionary()) return std::nullopt;
  return std::move(*value->asDictionary());
}

std::optional<Array> readArrayFile(const std::string& path) {
  auto value = readPropertyListFile(path, nullptr);
  if (!value || !value->isArray()) return std::nullopt;
  return std::move(*value->asArray());
}

}  // namespace ns
