#include "model/model_state.h"

#include "model/rpc_program.h"
#include "model/type.h"
#include "model/type_table.h"

void resetModelState() {
  declaredTypes = typeTable();
  declaredEnumerations.clear();
  while (tagScopes.pop()) {
  }
  while (classStack.pop()) {
  }
  currentProgram = nullptr;
  programName.clear();
}
