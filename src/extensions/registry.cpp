// The extension commands the system registers at start-up, in order.
#include <memory>

#include "extensions/commands.h"
#include "extensions/extension.h"

void registerExtensions(Interpreter& interp) {
  auto add = [&interp](const char* name, const char* help, BuiltinFn fn) {
    interp.extensions.push_back(std::make_unique<KeywordExtension>(name, help, fn));
  };
  add("show_state", kShowStateHelp, extensionShowState);
  add("histogram", kHistogramHelp, extensionHistogram);
  add("sample", kSampleHelp, extensionSample);
  add("plot_file", kPlotFileHelp, extensionPlotFile);
  add("apply_qubits", kApplyQubitsHelp, extensionApplyQubits);
  add("run_qasm", kRunQasmHelp, extensionRunQasm);
}

std::vector<std::string> extensionNames(const Interpreter& interp) {
  std::vector<std::string> names;
  for (const auto& extension : interp.extensions) {
    if (extension) names.push_back(extension->commandName());
  }
  return names;
}
