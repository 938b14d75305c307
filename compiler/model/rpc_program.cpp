#include "model/rpc_program.h"

#include <cctype>

#include "model/property.h"
#include "model/type.h"
#include "model/type_table.h"

rpcProgram* currentProgram = nullptr;
std::string programName;

namespace {

std::string upperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Attaches a property list: the head when there is none yet, else appended.
void attachProperty(property*& head, property* p) {
  if (!p) return;
  if (!head) {
    head = p;
  } else {
    head = property::append(head, p);
  }
}

}  // namespace

// ---------------------------------------------------------------- rpcProcedure

rpcProcedure::rpcProcedure(const std::string& name) : name_(name) {}

void rpcProcedure::addProperty(property* p) { attachProperty(properties_, p); }

Symbol* rpcProcedure::findArgument(const std::string& name) const {
  return arguments ? arguments->find(name) : nullptr;
}

int rpcProcedure::returnsVoid() const { return returnType_ && returnType_->isVoid() ? 1 : 0; }

int rpcProcedure::collectTypes(typeList& list) const {
  int added = 0;
  symbolSet::cursor walk = symbolSet::begin(arguments);
  while (Symbol* argument = walk.next()) added += argument->collectTypes(list);
  if (returnType_ && !returnType_->isVoid()) added += returnType_->collectTypes(list);
  return added;
}

std::string rpcProcedure::propertyValue(const std::string& name) const {
  std::string text = property::valueText(properties_, name);
  if (text.empty() && version_) text = version_->propertyValue(name);
  return text;
}

std::string rpcProcedure::inRecordName() const { return name_ + "_in_t"; }
std::string rpcProcedure::outRecordName() const { return name_ + "_out_t"; }
std::string rpcProcedure::wrapName() const { return name_ + "_wrap"; }
std::string rpcProcedure::callName() const { return name_ + "_call"; }
std::string rpcProcedure::overName() const { return name_ + "_OVER"; }
std::string rpcProcedure::backName() const { return name_ + "_BACK"; }
std::string rpcProcedure::upperName() const { return upperCase(name_); }

int rpcProcedure::hasInRecord() const { return inRecord && !inRecord->isEmpty() ? 1 : 0; }
int rpcProcedure::hasOutRecord() const { return outRecord && !outRecord->isEmpty() ? 1 : 0; }

std::string rpcProcedure::inXdrRoutine() const {
  return hasInRecord() ? inRecord->xdrRoutineName() : "xdr_void";
}

std::string rpcProcedure::outXdrRoutine() const {
  return hasOutRecord() ? outRecord->xdrRoutineName() : "xdr_void";
}

std::string rpcProcedure::freeAfterName() const {
  if (!needsHelpers) return "0";
  // The helper is named after the result record even before it is built.
  return outRecord ? outRecord->freeHelperName() : "mfree_" + outRecordName();
}

std::string rpcProcedure::errorReportName() const { return "clnt_perror"; }

// ---------------------------------------------------------------- procedureList

int procedureList::add(rpcProcedure* procedure) {
  if (!procedure) return 1;
  if (!names_.insert(procedure->name()).second) return 0;
  procedures_.push_back(procedure);
  return 1;
}

rpcProcedure* procedureList::at(int position) const {
  return position >= 0 && position < count() ? procedures_[position] : nullptr;
}

rpcProcedure* procedureList::cursor::next() {
  if (!list_) return nullptr;
  ++position_;
  return position_ < list_->count() ? list_->at(position_) : nullptr;
}

// ---------------------------------------------------------------- rpcVersion

void rpcVersion::setProcedures(procedureList* procedures) {
  if (!procedures) return;
  procedures_ = procedures;
  procedureList::cursor walk = procedureList::begin(procedures);
  while (rpcProcedure* procedure = walk.next()) procedure->setVersion(this);
}

void rpcVersion::addProperty(property* p) { attachProperty(properties_, p); }

std::string rpcVersion::propertyValue(const std::string& name) const {
  std::string text = property::valueText(properties_, name);
  if (text.empty() && program_) text = program_->propertyValue(name);
  return text;
}

int rpcVersion::collectTypes(typeList& list) const {
  int added = 0;
  procedureList::cursor walk = procedureList::begin(procedures_);
  while (rpcProcedure* procedure = walk.next()) added += procedure->collectTypes(list);
  return added;
}

std::string rpcVersion::baseName() const {
  if (!program_) return "";
  return program_->name() + "_" + std::to_string(number_);
}

std::string rpcVersion::upperName() const { return upperCase(baseName()); }

std::string rpcVersion::fileBaseName() const {
  if (!program_) return "";
  if (program_->hasSeveralVersions()) return program_->name() + std::to_string(number_);
  return program_->name();
}

std::string rpcVersion::clientClassName() const { return "C" + baseName(); }
std::string rpcVersion::handleMacroName() const { return upperName() + "_HANDLE"; }
std::string rpcVersion::timeoutMacroName() const { return upperName() + "_TIMEOUT"; }
std::string rpcVersion::setHandleMacroName() const { return upperName() + "_SET_HANDLE"; }
std::string rpcVersion::handleVarName() const { return upperName() + "_handle"; }
std::string rpcVersion::timeoutVarName() const { return upperName() + "_timeout"; }
std::string rpcVersion::registerName() const { return baseName() + "_reg"; }

std::string rpcVersion::registerPrototype() const {
  return "SVCXPRT*\t" + registerName() +
         "(int sock, unsigned long prog_no, unsigned long ver, int proto)";
}

std::string rpcVersion::unmapName() const { return baseName() + "_unmap"; }

std::string rpcVersion::unmapPrototype() const {
  return "void\t" + unmapName() + "(unsigned long prog_no, unsigned long ver)";
}

std::string rpcVersion::mainName() const { return baseName() + "_main"; }

std::string rpcVersion::mainPrototype() const {
  return "void\t" + mainName() + "(int argc, char ** argv)";
}

std::string rpcVersion::transport() const {
  std::string text = propertyValue("TRANSPORT_PROTOCOL");
  return text.empty() ? "tcp_and_udp" : text;
}

// ---------------------------------------------------------------- versionList

int versionList::add(rpcVersion* version) {
  if (!version) return 1;
  versionList* last = this;
  for (;; last = last->next_) {
    if (last->version_ && last->version_->number() == version->number()) return 0;
    if (!last->next_) break;
  }
  // `last` is the empty end node: it takes the version and a new end follows.
  last->version_ = version;
  last->next_ = new versionList();
  return 1;
}

int versionList::count(const versionList* list) {
  int versions = 0;
  for (const versionList* n = list; n && n->version_; n = n->next_) ++versions;
  return versions;
}

rpcVersion* versionList::cursor::next() {
  if (!current_ || !current_->version_) return nullptr;
  rpcVersion* version = current_->version_;
  current_ = current_->next_;
  return version;
}

// ---------------------------------------------------------------- rpcProgram

rpcProgram::rpcProgram(const std::string& name) : name_(lowerCase(name)) { programName = name_; }

void rpcProgram::setVersions(versionList* versions) {
  if (!versions) return;
  versions_ = versions;
  versionList::cursor walk = versionList::begin(versions);
  while (rpcVersion* version = walk.next()) version->setProgram(this);
}

void rpcProgram::addProperty(property* p) { attachProperty(properties_, p); }

std::string rpcProgram::upperName() const { return upperCase(name_); }

int rpcProgram::hasSeveralVersions() const {
  return versions_ && versionList::count(versions_) > 1 ? 1 : 0;
}

std::string rpcProgram::propertyValue(const std::string& name) const {
  return properties_ ? property::valueText(properties_, name) : "";
}
