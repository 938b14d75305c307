// Bounded replies: the result-record filter that keeps a reply from
// claiming more room in the caller's buffers than the request gave it.
#include <string>
#include <vector>

#include "generate/client_stubs.h"
#include "generate/codegen_support.h"
#include "model/expression.h"
#include "model/rpc_program.h"
#include "model/symbol.h"
#include "model/type.h"
#include "output/emit.h"

namespace {

// The caller's storage goes to the result record only for a variable-length
// array typed as such on the argument itself (Output.<a> = <a>).
const arrayType* callerStorageArray(const Symbol* argument) {
  if (argument->direction() != DIR_OUT && argument->direction() != DIR_INOUT) return nullptr;
  const arrayType* array = dynamic_cast<const arrayType*>(argument->type());
  return array && array->variable ? array : nullptr;
}

// The expression the array's bound text is made of (maxsizeText falls back
// to the count when there is no bound).
const expression* boundExpression(const arrayType* array) {
  return array->maxsize ? array->maxsize : array->size;
}

int isResultMember(const rpcProcedure* procedure, const std::string& name) {
  return procedure->outRecord && procedure->outRecord->members.find(name) ? 1 : 0;
}

// 1 when every variable of the bound is an in or inout argument that the
// result record holds, and there is at least one (a constant bound is the
// record routine's own business).
int boundComesFromRequest(const rpcProcedure* procedure, const arrayType* array) {
  const expression* bound = boundExpression(array);
  if (!bound) return 0;
  symbolSet variables;
  bound->collectVars(variables);
  if (variables.isEmpty()) return 0;
  symbolSet::cursor walk = symbolSet::begin(&variables);
  while (Symbol* variable = walk.next()) {
    const Symbol* argument = procedure->findArgument(variable->name());
    if (!argument || argument->direction() == DIR_OUT) return 0;
    if (!isResultMember(procedure, variable->name())) return 0;
  }
  return 1;
}

int isBoundedArray(const rpcProcedure* procedure, const Symbol* member) {
  for (Symbol* array : requestBoundedArrays(procedure))
    if (array->name() == member->name()) return 1;
  return 0;
}

}  // namespace

std::vector<Symbol*> requestBoundedArrays(const rpcProcedure* procedure) {
  std::vector<Symbol*> arrays;
  if (!procedure->hasOutRecord()) return arrays;
  symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
  while (Symbol* argument = walk.next()) {
    const arrayType* array = callerStorageArray(argument);
    if (array && isResultMember(procedure, argument->name()) &&
        boundComesFromRequest(procedure, array))
      arrays.push_back(argument);
  }
  return arrays;
}

std::vector<Symbol*> requestBoundVariables(const rpcProcedure* procedure) {
  std::vector<Symbol*> inputs;
  symbolSet seen;
  for (Symbol* arraySymbol : requestBoundedArrays(procedure)) {
    const arrayType* array = callerStorageArray(arraySymbol);
    symbolSet variables;
    boundExpression(array)->collectVars(variables);
    symbolSet::cursor walk = symbolSet::begin(&variables);
    while (Symbol* variable = walk.next()) {
      Symbol* argument = procedure->findArgument(variable->name());
      if (argument->direction() == DIR_IN && seen.add(argument)) inputs.push_back(argument);
    }
  }
  return inputs;
}

std::string boundedReplyFilterName(const rpcProcedure* procedure) {
  return procedure->outXdrRoutine() + "_bounded";
}

std::string replyFilterName(const rpcProcedure* procedure) {
  return requestBoundedArrays(procedure).empty() ? procedure->outXdrRoutine()
                                                 : boundedReplyFilterName(procedure);
}

// The record's own routine, member by member, with one test in front of
// every bounded array: the bound the reply computes from its own members
// may not exceed the bound of the request, kept from the record as the
// stub left it. The filter is only ever asked to decode a reply.
std::string boundedReplyFilterText(const rpcProcedure* procedure) {
  if (requestBoundedArrays(procedure).empty()) return "";
  classType* record = procedure->outRecord;
  const std::string p = "p" + record->name();
  const std::string replyPrefix = p + "->";
  const std::string requestPrefix = "request.";

  std::string text = joinText("\nstatic bool_t ", boundedReplyFilterName(procedure), "(XDR*xdrp, ",
                              generatedPointerText(record), " ", p, "){", "\n");
  text += joinText("\t", generatedTypeText(record), " request = *", p, ";", "\n\n");
  indentMore();
  symbolSet::cursor walk = symbolSet::begin(&record->members);
  while (Symbol* member = walk.next()) {
    if (isBoundedArray(procedure, member)) {
      const arrayType* array = callerStorageArray(member);
      text += joinText("\tif((unsigned int)(", array->maxsizeText(replyPrefix, member->name()),
                       ") > (unsigned int)(", array->maxsizeText(requestPrefix, member->name()),
                       "))", "\n", "\t\treturn 0;", "\n");
    }
    text += member->xdrCall("xdrp", replyPrefix);
  }
  indentLess();
  text += joinText("\n\treturn 1;", "\n", "}", "\n\n");
  return text;
}
