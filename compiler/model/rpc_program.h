// The RPC program model: the program of the interface file, its versions,
// their procedures, and the generated identifiers formed from them. Objects
// are created by the parser, linked by non-owning pointers, never freed.
#ifndef VELORIN_MODEL_RPC_PROGRAM_H
#define VELORIN_MODEL_RPC_PROGRAM_H

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "model/symbol.h"

class Type;
class classType;
class property;
class typeList;
class rpcProgram;
class rpcVersion;

class rpcProcedure {
public:
    explicit rpcProcedure(const std::string& name);

    // The name as written, with `suffix` appended.
    std::string name(const std::string& suffix = "") const { return name_ + suffix; }
    Type* returnType() const { return returnType_; }
    void setReturnType(Type* t) { returnType_ = t; }
    // Scanner line of the procedure's name.
    int line() const { return line_; }
    void setLine(int line) { line_ = line; }
    std::int64_t number() const { return number_; }
    void setNumber(std::int64_t number) { number_ = number; }
    rpcVersion* version() const { return version_; }
    void setVersion(rpcVersion* version) { version_ = version; }
    property* properties() const { return properties_; }
    // Attaches a property list (head when there is none yet, else appended).
    void addProperty(property* p);

    // The argument of that name; null when none.
    Symbol* findArgument(const std::string& name) const;
    // 1 when the return type is void.
    int returnsVoid() const;
    // Collects the types of the arguments, then of a non-void result.
    int collectTypes(typeList& list) const;
    // Text of a property of the procedure, else of its version, else of the
    // program; "" when set nowhere.
    std::string propertyValue(const std::string& name) const;

    // --- argument records (generate/argument_records.cpp) ---
    // Refuses a result or an argument that C cannot declare, checks the size
    // variables of the array arguments and sorts them into inSizeVars and
    // outSizeVars; reports the errors as counted errors.
    void checkArguments();
    // Builds <proc>_in_t and <proc>_out_t (once), writes their declarations,
    // XDR prototypes and routines and the result record's helpers, and
    // registers the records.
    void buildArgRecords();

    // --- generated identifiers ---
    std::string inRecordName() const;     // <proc>_in_t
    std::string outRecordName() const;    // <proc>_out_t
    std::string wrapName() const;         // <proc>_wrap
    std::string callName() const;         // <proc>_call
    std::string overName() const;         // <proc>_OVER
    std::string backName() const;         // <proc>_BACK
    std::string upperName() const;        // <PROC>: the number macro
    std::string inXdrRoutine() const;     // xdr_<proc>_in_t, or xdr_void
    std::string outXdrRoutine() const;    // xdr_<proc>_out_t, or xdr_void
    std::string freeAfterName() const;    // mfree_<proc>_out_t, or "0"
    std::string errorReportName() const;  // clnt_perror
    // 1 when the record exists and has a member.
    int hasInRecord() const;
    int hasOutRecord() const;

    symbolSet* arguments = nullptr;  // in declaration order; null without arguments
    classType* inRecord = nullptr;   // <proc>_in_t once built
    classType* outRecord = nullptr;  // <proc>_out_t once built
    symbolSet inSizeVars;            // size variables of in/inout arrays
    symbolSet outSizeVars;           // size variables of out/inout arrays
    int needsHelpers = 0;            // the result record needs malloc_/mfree_ helpers

private:
    rpcVersion* version_ = nullptr;
    std::string name_;
    Type* returnType_ = nullptr;
    std::int64_t number_ = -1;
    int line_ = 0;
    property* properties_ = nullptr;
};

// The procedures of one version in declaration order, distinct by name (the
// names are kept in an index beside the list).
class procedureList {
public:
    // Walks a list: next() gives each procedure, then null.
    class cursor {
    public:
        explicit cursor(const procedureList* list) : list_(list) { }
        rpcProcedure* next();

    private:
        const procedureList* list_;
        int position_ = -1;
    };

    procedureList() = default;
    // 1 when appended or null; 0 for a name already present.
    int add(rpcProcedure* procedure);
    int count() const { return static_cast<int>(procedures_.size()); }
    rpcProcedure* at(int position) const;
    static cursor begin(const procedureList* list) { return cursor(list); }

private:
    std::vector<rpcProcedure*> procedures_;
    std::unordered_set<std::string> names_;
};

class rpcVersion {
public:
    rpcVersion() = default;

    procedureList* procedures() const { return procedures_; }
    // Takes the list and links every procedure to this version; null: nothing.
    void setProcedures(procedureList* procedures);
    rpcProgram* program() const { return program_; }
    void setProgram(rpcProgram* program) { program_ = program; }
    std::int64_t number() const { return number_; }
    void setNumber(std::int64_t number) { number_ = number; }
    property* properties() const { return properties_; }
    void addProperty(property* p);

    // Text of a property of the version, else of the program; "" when unset.
    std::string propertyValue(const std::string& name) const;
    // Collects the types of every procedure in order; the number added.
    int collectTypes(typeList& list) const;

    // --- names ---
    std::string baseName() const;            // <prog>_<vers>; "" without program
    std::string upperName() const;           // <PROG>_<VERS>
    std::string fileBaseName() const;        // <base>: <prog>[<vers> with several versions]
    std::string clientClassName() const;     // C<prog>_<vers>
    std::string handleMacroName() const;     // <PROG>_<VERS>_HANDLE
    std::string timeoutMacroName() const;    // <PROG>_<VERS>_TIMEOUT
    std::string setHandleMacroName() const;  // <PROG>_<VERS>_SET_HANDLE
    std::string handleVarName() const;       // <PROG>_<VERS>_handle
    std::string timeoutVarName() const;      // <PROG>_<VERS>_timeout
    std::string registerName() const;        // <prog>_<vers>_reg
    std::string registerPrototype() const;   // SVCXPRT*\t<prog>_<vers>_reg(int sock, ...)
    std::string unmapName() const;           // <prog>_<vers>_unmap
    std::string unmapPrototype() const;      // void\t<prog>_<vers>_unmap(...)
    std::string mainName() const;            // <prog>_<vers>_main
    std::string mainPrototype() const;       // void\t<prog>_<vers>_main(int argc, char ** argv)
    // TRANSPORT_PROTOCOL of the version or program; "tcp_and_udp" when unset.
    std::string transport() const;

private:
    procedureList* procedures_ = nullptr;
    rpcProgram* program_ = nullptr;
    std::int64_t number_ = -1;
    property* properties_ = nullptr;
};

// The versions of one program in order, distinct by number. The list object
// is its own first node; the chain ends with an empty node.
class versionList {
public:
    // Walks a list: next() gives each version, then null.
    class cursor {
    public:
        explicit cursor(const versionList* node) : current_(node) { }
        rpcVersion* next();

    private:
        const versionList* current_;
    };

    versionList() = default;
    // 1 when appended or null; 0 for a number already present.
    int add(rpcVersion* version);
    // The number of versions (0 for a null list).
    static int count(const versionList* list);
    static cursor begin(const versionList* list) { return cursor(list); }

private:
    versionList* next_ = nullptr;
    rpcVersion* version_ = nullptr;
};

class rpcProgram {
public:
    // Lower-cases the name and copies it into programName.
    explicit rpcProgram(const std::string& name);

    versionList* versions() const { return versions_; }
    // Takes the list and links every version to this program; null: nothing.
    void setVersions(versionList* versions);
    property* properties() const { return properties_; }
    void addProperty(property* p);
    std::int64_t number() const { return number_; }
    void setNumber(std::int64_t number) { number_ = number; }

    std::string name() const { return name_; }  // <prog>, lower case
    std::string upperName() const;              // <PROG>: the program number macro
    // 1 when the program has more than one version.
    int hasSeveralVersions() const;
    // Text of a property of the program; "" when unset.
    std::string propertyValue(const std::string& name) const;

private:
    versionList* versions_ = nullptr;
    property* properties_ = nullptr;
    std::string name_;
    std::int64_t number_ = -1;
};

// The program of the interface file; null when the input defines none.
extern rpcProgram* currentProgram;
// The lower-cased name of the last program constructed (the makefile's APP).
extern std::string programName;

#endif
