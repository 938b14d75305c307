// The RPC program model, properties with their fallback, and the generated
// identifiers asked of programs, versions, procedures and records.
#include <gtest/gtest.h>

#include <sstream>

#include "model/expression.h"
#include "model/generated_identifiers.h"
#include "model/property.h"
#include "model/rpc_program.h"
#include "model/symbol.h"
#include "model/type.h"
#include "model/type_table.h"

namespace {

expression* word(const char* text) { return new primExp(new Symbol(text, 0)); }

property* prop(const char* name, expression* value)
{
    property* p = new property(name);
    p->setValue(value);
    return p;
}

property* prop(const char* name, const char* value) { return prop(name, word(value)); }

// A program with the given version numbers, each holding the procedures.
rpcProgram* makeProgram(const char* name, std::vector<long> numbers,
                        std::vector<const char*> procedures = {})
{
    versionList* versions = new versionList();
    for (long n : numbers) {
        rpcVersion* v = new rpcVersion();
        v->setNumber(n);
        procedureList* procs = new procedureList();
        for (const char* p : procedures)
            procs->add(new rpcProcedure(p));
        v->setProcedures(procs);
        versions->add(v);
    }
    rpcProgram* program = new rpcProgram(name);
    program->setVersions(versions);
    return program;
}

rpcVersion* versionAt(rpcProgram* program, int index)
{
    versionList::cursor walk = versionList::begin(program->versions());
    rpcVersion* v = walk.next();
    while (index-- > 0)
        v = walk.next();
    return v;
}

TEST(RpcProgramNames, OneVersionOfAMixedCaseProgram)
{
    rpcProgram* program = makeProgram("RFile", {5});
    EXPECT_EQ(program->name(), "rfile");
    EXPECT_EQ(programName, "rfile");
    EXPECT_EQ(program->upperName(), "RFILE");
    EXPECT_EQ(program->hasSeveralVersions(), 0);
    rpcVersion* v = versionAt(program, 0);
    EXPECT_EQ(v->program(), program);
    const std::pair<std::string, std::string> names[] = {
        {v->baseName(), "rfile_5"},
        {v->upperName(), "RFILE_5"},
        {v->fileBaseName(), "rfile"},
        {v->clientClassName(), "Crfile_5"},
        {v->handleMacroName(), "RFILE_5_HANDLE"},
        {v->timeoutMacroName(), "RFILE_5_TIMEOUT"},
        {v->setHandleMacroName(), "RFILE_5_SET_HANDLE"},
        {v->handleVarName(), "RFILE_5_handle"},
        {v->timeoutVarName(), "RFILE_5_timeout"},
        {v->registerName(), "rfile_5_reg"},
        {v->registerPrototype(),
         "SVCXPRT*\trfile_5_reg(int sock, unsigned long prog_no, unsigned long ver, int proto)"},
        {v->unmapName(), "rfile_5_unmap"},
        {v->unmapPrototype(), "void\trfile_5_unmap(unsigned long prog_no, unsigned long ver)"},
        {v->mainName(), "rfile_5_main"},
        {v->mainPrototype(), "void\trfile_5_main(int argc, char ** argv)"},
        {v->transport(), "tcp_and_udp"},
    };
    for (const auto& n : names)
        EXPECT_EQ(n.first, n.second);
}

TEST(RpcProgramNames, TwoVersionsAndARenumberedVersion)
{
    rpcProgram* program = makeProgram("rfile", {1, 2});
    EXPECT_EQ(program->hasSeveralVersions(), 1);
    rpcVersion* first = versionAt(program, 0);
    rpcVersion* second = versionAt(program, 1);
    EXPECT_EQ(first->fileBaseName(), "rfile1");
    EXPECT_EQ(second->fileBaseName(), "rfile2");
    EXPECT_EQ(first->baseName(), "rfile_1");
    EXPECT_EQ(second->baseName(), "rfile_2");
    EXPECT_EQ(versionAt(program, 2), nullptr);

    rpcProgram* p = makeProgram("p", {3, 4});
    rpcVersion* v = versionAt(p, 0);
    v->setNumber(12);  // as a VERSION property does before generation
    EXPECT_EQ(v->fileBaseName(), "p12");
    EXPECT_EQ(v->baseName(), "p_12");
    EXPECT_EQ(v->upperName(), "P_12");
    EXPECT_EQ(v->handleVarName(), "P_12_handle");
}

TEST(RpcProgramNames, VersionWithoutProgramHasNoNames)
{
    rpcVersion v;
    EXPECT_EQ(v.number(), -1);
    EXPECT_EQ(v.baseName(), "");
    EXPECT_EQ(v.fileBaseName(), "");
    EXPECT_EQ(v.upperName(), "");
    EXPECT_EQ(v.propertyValue("VERSION"), "");
}

TEST(RpcProcedureNames, PerProcedureIdentifiers)
{
    rpcProcedure rfread("rfread");
    EXPECT_EQ(rfread.number(), -1);
    EXPECT_EQ(rfread.name(), "rfread");
    EXPECT_EQ(rfread.name("_svc"), "rfread_svc");
    EXPECT_EQ(rfread.inRecordName(), "rfread_in_t");
    EXPECT_EQ(rfread.outRecordName(), "rfread_out_t");
    EXPECT_EQ(rfread.wrapName(), "rfread_wrap");
    EXPECT_EQ(rfread.callName(), "rfread_call");
    EXPECT_EQ(rfread.overName(), "rfread_OVER");
    EXPECT_EQ(rfread.backName(), "rfread_BACK");
    EXPECT_EQ(rfread.upperName(), "RFREAD");
    EXPECT_EQ(rfread.errorReportName(), "clnt_perror");
    EXPECT_EQ(rpcProcedure("getQuote").upperName(), "GETQUOTE");
    EXPECT_EQ(rpcProcedure("getQuote").inRecordName(), "getQuote_in_t");
    // Names differing only in case: distinct records, one number macro.
    rpcProcedure a("Get"), b("get");
    EXPECT_NE(a.inRecordName(), b.inRecordName());
    EXPECT_EQ(a.upperName(), b.upperName());
}

TEST(RpcProcedureNames, EmptyRecordsAndHelpers)
{
    rpcProcedure p("rfread");
    EXPECT_EQ(p.hasInRecord(), 0);
    EXPECT_EQ(p.inXdrRoutine(), "xdr_void");
    EXPECT_EQ(p.outXdrRoutine(), "xdr_void");
    EXPECT_EQ(p.freeAfterName(), "0");
    classType* in = new classType(p.inRecordName(), 0);
    in->markArgRecord();
    p.inRecord = in;
    EXPECT_EQ(p.hasInRecord(), 0);  // built but empty
    EXPECT_EQ(p.inXdrRoutine(), "xdr_void");
    Symbol* fd = new Symbol("fd", 0);
    attachBaseType(fd, new primType(CODE_INT, CODE_NONE), 0);
    in->addMember(fd);
    EXPECT_EQ(p.hasInRecord(), 1);
    EXPECT_EQ(p.inXdrRoutine(), "xdr_rfread_in_t");
    classType* out = new classType(p.outRecordName(), 0);
    out->addMember(new Symbol("_vlrpc_return_", 0));
    p.outRecord = out;
    EXPECT_EQ(p.outXdrRoutine(), "xdr_rfread_out_t");
    EXPECT_EQ(out->mallocHelperName(), "malloc_rfread_out_t");
    EXPECT_EQ(out->mallocHelperCall("pOut"), "malloc_rfread_out_t(pOut)");
    EXPECT_EQ(p.freeAfterName(), "0");
    p.needsHelpers = 1;
    EXPECT_EQ(p.freeAfterName(), "mfree_rfread_out_t");
}

TEST(RpcProcedureQueries, ArgumentsReturnTypeAndCollection)
{
    rpcProcedure p("f");
    EXPECT_EQ(p.findArgument("a"), nullptr);
    EXPECT_EQ(p.returnsVoid(), 0);
    p.setReturnType(new primType(CODE_VOID, CODE_NONE));
    EXPECT_EQ(p.returnsVoid(), 1);
    typeList empty;
    EXPECT_EQ(p.collectTypes(empty), 0);

    classType* rec = new classType("rec", 0);
    typedefType* T = new typedefType(nullptr);
    T->setName("T");
    T->setAliased(new primType(CODE_INT, CODE_NONE));
    p.arguments = new symbolSet();
    Symbol* a = new Symbol("a", 0);
    attachBaseType(a, new refType(rec), 0);
    p.arguments->add(a);
    p.arguments->add(new Symbol("untyped", 0));
    EXPECT_EQ(p.findArgument("a"), a);
    p.setReturnType(T);
    typeList list;
    EXPECT_EQ(p.collectTypes(list), 2);
    typeList::cursor walk = typeList::begin(&list);
    EXPECT_EQ(walk.next(), rec);
    EXPECT_EQ(walk.next(), T);

    // A version sums its procedures; a type reached twice is listed once.
    procedureList* procs = new procedureList();
    procs->add(&p);
    rpcProcedure* q = new rpcProcedure("g");
    q->setReturnType(T);
    procs->add(q);
    rpcVersion v;
    v.setProcedures(procs);
    EXPECT_EQ(q->version(), &v);
    typeList perVersion;
    EXPECT_EQ(v.collectTypes(perVersion), 2);
}

TEST(RpcLists, RepeatsAreRefused)
{
    versionList versions;
    EXPECT_EQ(versionList::count(&versions), 0);
    EXPECT_EQ(versionList::count(nullptr), 0);
    rpcVersion one, again, two;
    one.setNumber(1);
    again.setNumber(1);
    two.setNumber(2);
    EXPECT_EQ(versions.add(&one), 1);
    EXPECT_EQ(versionList::count(&versions), 1);
    EXPECT_EQ(versions.add(&again), 0);
    EXPECT_EQ(versions.add(nullptr), 1);
    EXPECT_EQ(versions.add(&two), 1);
    EXPECT_EQ(versionList::count(&versions), 2);

    procedureList procs;
    EXPECT_EQ(procs.add(new rpcProcedure("get")), 1);
    EXPECT_EQ(procs.add(new rpcProcedure("get")), 0);
    EXPECT_EQ(procs.add(new rpcProcedure("Get")), 1);
    EXPECT_EQ(procs.add(nullptr), 1);
    EXPECT_EQ(procs.count(), 2);
    for (int i = 0; i < 98; ++i)
        procs.add(new rpcProcedure("p" + std::to_string(i)));
    EXPECT_EQ(procs.count(), 100);
    procedureList::cursor walk = procedureList::begin(&procs);
    EXPECT_EQ(walk.next()->name(), "get");
    EXPECT_EQ(walk.next()->name(), "Get");
    EXPECT_EQ(walk.next()->name(), "p0");
    procedureList::cursor none = procedureList::begin(nullptr);
    EXPECT_EQ(none.next(), nullptr);

    // The same procedure name in two versions is fine.
    rpcProgram* program = makeProgram("prog", {1, 2}, {"get"});
    EXPECT_EQ(versionAt(program, 1)->procedures()->count(), 1);

    rpcProgram untouched("x");
    untouched.setVersions(nullptr);
    EXPECT_EQ(untouched.versions(), nullptr);
    EXPECT_EQ(untouched.number(), -1);
    EXPECT_EQ(untouched.hasSeveralVersions(), 0);
}

TEST(Properties, UnknownNamesWarnInEveryPlace)
{
    testing::internal::CaptureStderr();
    property* head = prop("NON_BLOCKING", "true");
    head = property::append(head, prop("FORK_ON_CAL", "true"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Wraning: unknown property FORK_ON_CAL defined.\n");
    EXPECT_EQ(head->next(), nullptr);
    EXPECT_EQ(property::valueText(head, "NON_BLOCKING"), "true");

    // As the first property of a block the misspelling is dropped as well.
    testing::internal::CaptureStderr();
    EXPECT_EQ(property::append(nullptr, prop("FORK_ON_CAL", "true")), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Wraning: unknown property FORK_ON_CAL defined.\n");

    EXPECT_EQ(property::append(head, nullptr), head);
    for (const char* name :
         {"TRANSPORT_PROTOCOL", "INIT_BEFORE_REGISTER", "INIT_AFTER_REGISTER",
          "INIT_BEFORE_FORK_CALL", "FORK_ON_CONNECTION", "GEN_MAIN_FUNC", "TIMEOUT_VALUE",
          "FORK_ON_CALL", "THREAD_ON_CALL", "CLNT_CALL_SUFFIX", "SERV_CALL_PREFIX", "NON_BLOCKING",
          "VERSION", "SERVER_PORT", "NO_PMAP_REGISTER", "size", "maxsize"}) {
        EXPECT_EQ(isKnownProperty(name), 1) << name;
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(isKnownProperty("Size"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Wraning: unknown property Size defined.\n");
}

TEST(Properties, FirstOccurrenceWinsAndValuesAreTexts)
{
    property* head = prop("TIMEOUT_VALUE", "first");
    property::append(head, prop("TIMEOUT_VALUE", "second"));
    liteExp* ten = new liteExp();
    ten->setInt(0x0a);
    property::append(head, prop("SERVER_PORT", ten));
    EXPECT_EQ(property::valueText(head, "TIMEOUT_VALUE"), "first");
    EXPECT_EQ(property::valueText(head, "SERVER_PORT"), "10");
    EXPECT_EQ(property::valueText(head, "VERSION"), "");
    EXPECT_EQ(property::find(head, "VERSION"), nullptr);
    EXPECT_EQ(property::valueText(nullptr, "VERSION"), "");
}

TEST(Properties, ProcedureVersionProgramFallback)
{
    rpcProgram* program = makeProgram("q", {1}, {"a", "b"});
    program->addProperty(prop("TIMEOUT_VALUE", "30"));
    program->addProperty(prop("TRANSPORT_PROTOCOL", "udp"));
    rpcVersion* v = versionAt(program, 0);
    v->addProperty(prop("SERV_CALL_PREFIX", "impl_"));
    procedureList::cursor walk = procedureList::begin(v->procedures());
    rpcProcedure* a = walk.next();
    rpcProcedure* b = walk.next();
    a->addProperty(prop("TIMEOUT_VALUE", "5"));
    a->addProperty(prop("FORK_ON_CALL", "TRUE"));
    EXPECT_EQ(a->propertyValue("TIMEOUT_VALUE"), "5");
    EXPECT_EQ(b->propertyValue("TIMEOUT_VALUE"), "30");
    EXPECT_EQ(a->propertyValue("SERV_CALL_PREFIX"), "impl_");
    EXPECT_EQ(b->propertyValue("SERV_CALL_PREFIX"), "impl_");
    EXPECT_EQ(a->propertyValue("FORK_ON_CALL"), "TRUE");  // a reader compares with "true"
    EXPECT_EQ(b->propertyValue("NON_BLOCKING"), "");
    EXPECT_EQ(v->transport(), "udp");
    EXPECT_EQ(program->propertyValue("SERV_CALL_PREFIX"), "");

    // A value whose text is empty counts as unset on the way up.
    rpcVersion* w = versionAt(makeProgram("r", {1}), 0);
    w->program()->addProperty(prop("VERSION", "7"));
    w->addProperty(prop("VERSION", new primExp()));
    EXPECT_EQ(w->propertyValue("VERSION"), "7");
}

TEST(MacroTexts, DefineAndNumberDefine)
{
    EXPECT_EQ(defineText("RFILE_5_HANDLE", "RFILE_5_handle"),
              "#define RFILE_5_HANDLE RFILE_5_handle\n");
    std::ostringstream header;
    writeNumberDefine(header, "RFREAD", 2);
    EXPECT_EQ(header.str(), "#define RFREAD  (unsigned long)(2)\n");
    EXPECT_EQ(numberDefineText("RFILE", 536870913), "#define RFILE  (unsigned long)(536870913)\n");
}

TEST(RecordPrototypes, XdrPrototypeWrapsTheSignature)
{
    // The signature itself is the type generators'; the prototype adds bool_t.
    classType rec("rec", 0);
    EXPECT_EQ(rec.xdrPrototype().rfind("bool_t ", 0), 0u);
}

}  // namespace
