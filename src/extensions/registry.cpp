// The extension commands the system registers at start-up, in order.
#include "extensions/commands.h"
#include "extensions/extension.h"

const std::vector<KeywordRow>& extensionCommands() {
  static const std::vector<KeywordRow> rows = [] {
    std::vector<KeywordRow> all;
    for (KeywordRows table : {showStateCommand(), histogramCommand(), sampleCommand(), plotFileCommand(),
                              applyQubitsCommand(), npyFileCommands(), runQasmCommand()}) {
      all.insert(all.end(), table.begin(), table.end());
    }
    return all;
  }();
  return rows;
}

void registerExtensions(Interpreter& interp) {
  for (const KeywordRow& row : extensionCommands()) interp.registerExtension(row);
}
