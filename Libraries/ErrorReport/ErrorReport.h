// The failure report of the notes code and the kit, expanded at each
// failure site so that it knows its file, line and function:
//
//   if (!ok) QB_REPORT(error);          // an ns::Error
//   QB_REPORT(exception);               // an ns::Exception (or std::exception)
//   QB_REPORT("Store not found");       // a message becomes an error
//   QB_INFO("Backup finished");         // an information line
//   QB_EVENT("Rate", parameters);       // an analytics event (parameters or std::nullopt)
//
// Reporting an error, a message or another value answers the error it
// reported, so a failure site can pass on what it reported:
//
//   return finish(QB_REPORT("Backup is already in progress"));
//
// An exception is recorded with the crash reporter as an exception model and
// logged as "** EXCEPTION (<name>) ** | <file>:<line> | <function> | <text>";
// an error is recorded as a non-fatal error and logged as
// "** ERROR ** | <file>:<line> | <function> | <error>". A message, or any
// other value, first becomes an error whose domain is the source file's
// name and whose code is the line. Report lines are logged synchronously
// with the error flag, information lines asynchronously with the info flag,
// both at level 7 and context 0. An event is logged with the analytics entry
// point, then logged asynchronously with the info flag as
// "** EVENT ** | <file>:<line> | <function> | <name> <parameters>" (the
// parameters' description, "(null)" without any). The caller goes on after
// a report.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

namespace ErrorReport {

struct Site {
  const char* file;         // the full source path
  unsigned line;
  const char* function;     // the compiler's pretty function name
};

// "Class::method" from a pretty function name; inside a lambda,
// "Class::method_block_invoke".
std::string functionName(const char* prettyFunction);
// The last path component of a source path.
std::string fileName(const char* path);

void report(const Site& site, const ns::Exception& exception);
void report(const Site& site, const std::exception& exception);
ns::Error report(const Site& site, const ns::Error& error);
ns::Error report(const Site& site, std::string_view message);
ns::Error report(const Site& site, const ns::Value& object);
inline ns::Error report(const Site& site, const char* message) {
  return report(site, std::string_view(message ? message : ""));
}
inline ns::Error report(const Site& site, const std::string& message) { return report(site, std::string_view(message)); }

void info(const Site& site, const std::string& message);
void event(const Site& site, const std::string& name, const std::optional<ns::Dictionary>& parameters);

}  // namespace ErrorReport

#define QB_REPORT_SITE ::ErrorReport::Site{__FILE__, __LINE__, __PRETTY_FUNCTION__}
#define QB_REPORT(object) ::ErrorReport::report(QB_REPORT_SITE, (object))
#define QB_INFO(message) ::ErrorReport::info(QB_REPORT_SITE, (message))
#define QB_EVENT(name, parameters) ::ErrorReport::event(QB_REPORT_SITE, (name), (parameters))
