// Reads the user-logging record files back with a second reader: Python's
// json for each line, bytes.fromhex for the hex fields. One text line per
// record:
//   kv <key>=<value>      (value "null" for a removal)
//   log <msg> @<time>
//   error <domain> <code> @<time> frames=<count> info=<k>:<v>,... extra=<k>:<v>,...
// A line that is not valid JSON fails the script, and with it the test.
#pragma once

#include <string>
#include <vector>

#include "Libraries/CrashReporter/tests/CrashReporterTest.h"

namespace dvcr_testing {

inline constexpr const char* kDecodeRecordsScript = R"PY(
import json, sys
def h(s): return bytes.fromhex(s).decode('utf-8', 'replace')
def pairs(p): return ','.join(h(k) + ':' + h(v) for k, v in p)
for line in open(sys.argv[1], 'rb'):
    record = json.loads(line)
    if 'kv' in record:
        kv = record['kv']
        print('kv %s=%s' % (h(kv['key']), 'null' if kv['value'] is None else h(kv['value'])))
    elif 'log' in record:
        print('log %s @%d' % (h(record['log']['msg']), record['log']['time']))
    elif 'error' in record:
        e = record['error']
        print('error %s %d @%d frames=%d info=%s extra=%s' % (h(e['domain']), e['code'], e['time'],
              len(e['stacktrace']), pairs(e.get('info', [])), pairs(e.get('extra_info', []))))
)PY";

// The decoded records of `file`, one per line.
inline std::vector<std::string> decodedRecords(const std::string& file) {
  std::string script = file + ".decode.py";
  std::ofstream(script) << kDecodeRecordsScript;
  int status = 0;
  std::string out = ns::testing::runCommand("python3 '" + script + "' '" + file + "' 2>&1", &status);
  ::unlink(script.c_str());
  EXPECT_EQ(status, 0) << file << "\n" << out;
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(out.substr(start, end - start));
  }
  return lines;
}

}  // namespace dvcr_testing
