// The `wait` action: lets the app's background work (the application's and
// the kit's background tasks: backups, the configuration fetch) finish while
// the main queue is served, for at most a bound of real time, so that a
// script can check what that work left behind. The virtual clock stays
// where it is.
#pragma once

#include <string>
#include <vector>

namespace quillbox {

// True once no background task runs and the main queue is drained; false
// after `seconds` of real time, with the tasks still running in `running`.
bool waitForBackgroundWork(double seconds, std::vector<std::string>* running);

}  // namespace quillbox
