#include "model/model_state.h"

#include "model/rpc_program.h"
#include "model/type_table.h"

void resetModelState() {
  declaredTypes = typeTable();
  while (tagScopes.pop()) {
  }
  while (classStack.pop()) {
  }
  currentProgram = nullptr;
  programName.clear();
}
