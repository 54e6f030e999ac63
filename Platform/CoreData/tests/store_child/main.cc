// A second process for the store tests: store_child PATH exits|killed opens
// the store at PATH, saves one note and then ends as a program does,
// leaving its store open for the end of the process to close (`exits`), or
// is cut off at once (`killed`). Exit status 0 once the note is saved.
#include <signal.h>

#include <cstdio>
#include <string>

#include "Platform/CoreData/tests/TestModel.h"
#include "Platform/Dispatch/Shutdown.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: store_child PATH exits|killed\n");
    return 2;
  }
  const std::string end = argv[2];
  // Kept to the end of the process, as the app keeps its store.
  auto* stack = new cd::testing::Stack(cd::testing::makeModel(), argv[1]);
  cd::testing::insertNote(*stack->context, "from the other process", 1000);
  if (!stack->store || !stack->context->save(nullptr)) return 3;
  if (end == "killed") ::raise(SIGKILL);
  dispatch::shutdown();
  return 0;
}
