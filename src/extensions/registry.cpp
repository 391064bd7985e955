// The extension commands the system registers at start-up, in order.
#include <memory>

#include "extensions/extension.h"

void registerExtensions(Interpreter& interp) {
  (void)interp;
}
