#include "Libraries/Archive/VLZipLog.h"

#include "Platform/SystemLog/SystemLog.h"

void VLZipLog::log(const std::string& line) {
  systemlog::Log::defaultLog()->write(systemlog::LogType::Default, "[VLZipArchive] " + line);
}
