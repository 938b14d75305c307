// Exact texts of the server-side generation of one interface (stock_model.h):
// argument records, server wrappers, the dispatcher, registration, unmap and
// the server main. The expected strings are written out by hand; where the
// generated text is more than the plain construct, the reason is said next
// to the expectation.
#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "diagnostics/error_report.h"
#include "driver/compile_run.h"
#include "generate/generate_version.h"
#include "generate/impl_template.h"
#include "generate/procedure_steps.h"
#include "generate/server_wrapper.h"
#include "generation_fixture.h"
#include "model/type_table.h"
#include "stock_model.h"

using namespace build;

namespace {

class ServerTexts : public GenerationTest {
protected:
    // Opens the version's files and generates every procedure, as the
    // generation driver does before the dispatcher.
    void generateProcedures(rpcVersion* v)
    {
        version = v;
        openOutputFiles(v);
        procedureList::cursor walk = procedureList::begin(v->procedures());
        while (rpcProcedure* p = walk.next())
            generateProcedure(p);
    }

    rpcProcedure* find(const std::string& name)
    {
        procedureList::cursor walk = procedureList::begin(version->procedures());
        while (rpcProcedure* p = walk.next())
            if (p->name() == name)
                return p;
        return nullptr;
    }

    std::string serverText(const std::function<void()>& write)
    {
        return appended(serverOut, currentFiles.server, write);
    }

    rpcVersion* version = nullptr;
};

const std::string getQuoteWrapper =
    "void* getQuote_call(struct getQuote_in_t* pIn, struct getQuote_out_t* pOut){\n"
    "\tmemset(pOut, 0, sizeof(getQuote_out_t));\n"
    "\tpOut->quote = pIn->quote;\n"
    "\n"
    "\tpOut->_vlrpc_return_ =\n"
    "\tgetQuote(\n"
    "\t\tpOut->quote\n"
    "\t);\n"
    "\treturn 0;\n"
    "}\n\n\n";

// The head keeps the parameter of an absent record (as void*): the runtime
// calls every wrapper with both addresses, and a head without it would make
// now() store its result through the address of the argument union.
const std::string resetWrapper = "void* reset_call(void* pIn, void* pOut){\n"
                                 "\n"
                                 "\treset(\n"
                                 "\n"
                                 "\t);\n"
                                 "\treturn 0;\n"
                                 "}\n\n\n";

const std::string nowWrapper = "void* now_call(void* pIn, struct now_out_t* pOut){\n"
                               "\tmemset(pOut, 0, sizeof(now_out_t));\n"
                               "\n"
                               "\tpOut->_vlrpc_return_ =\n"
                               "\tnow(\n"
                               "\n"
                               "\t);\n"
                               "\treturn 0;\n"
                               "}\n\n\n";

// More than a plain "\tmalloc_fetch_out_t(pOut);\n": a failed allocation
// must not reach the server function with null buffers: the record is
// released and zeroed, and the wrapper's non-null result tells the runtime
// that the call did not run.
const std::string fetchWrapper =
    "void* fetch_call(struct fetch_in_t* pIn, struct fetch_out_t* pOut){\n"
    "\tmemset(pOut, 0, sizeof(fetch_out_t));\n"
    "\tpOut->n = pIn->n;\n"
    "\tif(!malloc_fetch_out_t(pOut)) {\n"
    "\t\tmfree_fetch_out_t(pOut);\n"
    "\t\tmemset(pOut, 0, sizeof(fetch_out_t));\n"
    "\t\treturn (void*)pOut;\n"
    "\t}\n"
    "\n"
    "\tpOut->_vlrpc_return_ =\n"
    "\tfetch(\n"
    "\t\tpIn->n,\n"
    "\t\tpOut->buf\n"
    "\t);\n"
    "\treturn 0;\n"
    "}\n\n\n";

const std::string dispatcher = "void stock_1(struct svc_req* rqstp,SVCXPRT* txp){\n"
                               "\n"
                               "\tunion {\n"
                               "\t\tgetQuote_in_t\tgetQuote_OVER;\n"
                               "\t\tfetch_in_t\tfetch_OVER;\n"
                               "\t\tscale_in_t\tscale_OVER;\n"
                               "\t\tint\t__vlrpc_dummy___;\n"
                               "\t}RPC_over;\n"
                               "\n"
                               "\tunion {\n"
                               "\t\tgetQuote_out_t\tgetQuote_BACK;\n"
                               "\t\tnow_out_t\tnow_BACK;\n"
                               "\t\tfetch_out_t\tfetch_BACK;\n"
                               "\t\tscale_out_t\tscale_BACK;\n"
                               "\t\tint\t__vlrpc_dummy___;\n"
                               "\t}RPC_back;\n"
                               "\n"
                               "\tvlrpc_call_struct callInfo;\n"
                               "\tcallInfo.ptransport = txp;\n"
                               "\tcallInfo.pover = (caddr_t)&RPC_over;\n"
                               "\tcallInfo.pback = (caddr_t)&RPC_back;\n"
                               "\tcallInfo.reply_now = 0;\n"
                               "\tcallInfo.mt_on_call = 0;\n"
                               "\tcallInfo.free_after = 0;\n"
                               "\tcallInfo.psvc_req = rqstp;\n"
                               "\tcallInfo.proc = 0;\n"
                               "\n\n"
                               "\tswitch (rqstp->rq_proc) {\n"
                               "\tcase NULLPROC:\n"
                               "\t\tsvc_sendreply(txp, (xdrproc_t)xdr_void, 0);\n"
                               "\t\treturn;\n"
                               "\n"
                               "\tcase GETQUOTE:\n"
                               "\t\tcallInfo.xdr_over = (xdrproc_t) xdr_getQuote_in_t;\n"
                               "\t\tcallInfo.xdr_back = (xdrproc_t) xdr_getQuote_out_t;\n"
                               "\t\tcallInfo.over_size = sizeof(getQuote_in_t);\n"
                               "\t\tcallInfo.back_size = sizeof(getQuote_out_t);\n"
                               "\t\tcallInfo.local = (local_call_t)getQuote_call;\n"
                               "\t\tcallInfo.free_after = (free_call_t)0;\n"
                               "\t\tbreak;\n"
                               "\n"
                               "\tcase RESET:\n"
                               "\t\tcallInfo.xdr_over = (xdrproc_t) xdr_void;\n"
                               "\t\tcallInfo.xdr_back = (xdrproc_t) xdr_void;\n"
                               "\t\tcallInfo.over_size = 0;\n"
                               "\t\tcallInfo.back_size = 0;\n"
                               "\t\tcallInfo.local = (local_call_t)reset_call;\n"
                               "\t\tcallInfo.free_after = (free_call_t)0;\n"
                               "\t\tcallInfo.reply_now = 1;\n"
                               "\t\tbreak;\n"
                               "\n"
                               "\tcase NOW:\n"
                               "\t\tcallInfo.xdr_over = (xdrproc_t) xdr_void;\n"
                               "\t\tcallInfo.xdr_back = (xdrproc_t) xdr_now_out_t;\n"
                               "\t\tcallInfo.over_size = 0;\n"
                               "\t\tcallInfo.back_size = sizeof(now_out_t);\n"
                               "\t\tcallInfo.local = (local_call_t)now_call;\n"
                               "\t\tcallInfo.free_after = (free_call_t)0;\n"
                               "\t\tbreak;\n"
                               "\n"
                               "\tcase FETCH:\n"
                               "\t\tcallInfo.xdr_over = (xdrproc_t) xdr_fetch_in_t;\n"
                               "\t\tcallInfo.xdr_back = (xdrproc_t) xdr_fetch_out_t;\n"
                               "\t\tcallInfo.over_size = sizeof(fetch_in_t);\n"
                               "\t\tcallInfo.back_size = sizeof(fetch_out_t);\n"
                               "\t\tcallInfo.local = (local_call_t)fetch_call;\n"
                               "\t\tcallInfo.free_after = (free_call_t)mfree_fetch_out_t;\n"
                               "\t\tcallInfo.mt_on_call = VELORIN_FORKING;\n"
                               "\t\tbreak;\n"
                               "\n"
                               "\tcase SCALE:\n"
                               "\t\tcallInfo.xdr_over = (xdrproc_t) xdr_scale_in_t;\n"
                               "\t\tcallInfo.xdr_back = (xdrproc_t) xdr_scale_out_t;\n"
                               "\t\tcallInfo.over_size = 0;\n"
                               "\t\tcallInfo.back_size = sizeof(scale_out_t);\n"
                               "\t\tcallInfo.local = (local_call_t)scale_call;\n"
                               "\t\tcallInfo.free_after = (free_call_t)mfree_scale_out_t;\n"
                               "\t\tmemset(&RPC_over.scale_OVER, 0, sizeof(scale_in_t));\n"
                               "\t\tRPC_over.scale_OVER.vals = (int*) vlrpc_alloc_room(16ULL, sizeof(int));\n"
                               "\t\tif(RPC_over.scale_OVER.vals == 0) {\n"
                               "\t\t\tsvcerr_systemerr(txp);\n"
                               "\t\t\treturn;\n"
                               "\t\t}\n"
                               "\t\tcallInfo.mt_on_call = VELORIN_THREADING;\n"
                               "\t\tbreak;\n"
                               "\n"
                               "\tdefault:\n"
                               "\t\tsvcerr_noproc(txp);\n"
                               "\t\treturn;\n"
                               "\t}\n"
                               "\n"
                               "\tvl_serv_call(&callInfo);\n"
                               "\n"
                               "}\n\n";

const std::string registration =
    "SVCXPRT*\tstock_1_reg(int sock, unsigned long prog_no, unsigned long ver, int proto) {\n"
    "\tint prot = 0;\n"
    "\tSVCXPRT * txp =0;\n"
    "\n"
    "\tif(proto==IPPROTO_TCP) {\n"
    "\t\ttcp_master = svctcp_create(sock, 0, 0);\n"
    "\t\tif(tcp_master==NULL) {\n"
    "\t\t\tserver_err(\"fail creating TCP server transport!\\n\");\n"
    "\t\t\treturn (SVCXPRT*)0;\n"
    "\t\t}\n"
    "\t}\n"
    "\tif(proto==IPPROTO_UDP) {\n"
    "\t\tudp_master = svcudp_create(sock);\n"
    "\t\tif(udp_master==NULL) {\n"
    "\t\tserver_err(\"fail creating UDP server transport!\\n\");\n"
    "\t\t\treturn (SVCXPRT*)0;\n"
    "\t\t}\n"
    "\t}\n"
    "\tprot = sock==0 ? 0 : proto;\n"
    "\tprog_no = prog_no == 0? STOCK : prog_no;\n"
    "\tver  = ver == 0? STOCK_1 : ver;\n"
    "\ttxp = proto==IPPROTO_TCP? tcp_master : udp_master;\n"
    "\tif (!svc_register(txp, prog_no, ver, stock_1, prot)) {\n"
    "\t\tserver_err(\"Fail to register server!\\n\");\n"
    "\t\treturn (SVCXPRT*)0;\n"
    "\t}\n"
    "\treturn txp;\n"
    "}\n\n"
    "void\tstock_1_unmap(unsigned long prog_no, unsigned long ver) {\n"
    "\t pmap_unset(\n"
    "\t                prog_no==0? STOCK: prog_no,\n"
    "\t                ver==0? STOCK_1: ver\n"
    "\t               );\n"
    "}\n\n\n";

// No "\tunsigned long prog_no=0;\n\n" after the socket: no generated code
// would read that variable, and cc -Wall would warn about it.
const std::string serverMain =
    "void\tstock_1_main(int argc, char ** argv) {\n"
    "\tint sock = RPC_ANYSOCK;\n"
    "\n"
    "\tint fork_connect = 0;\n"
    "\tint exit_idle = 1;\n"
    "\n"
    "\tif(sock!=0)\n"
    "\t\tpmap_unset(STOCK, STOCK_1);\n"
    "\n"
    "\tvl_serv_init();\n"
    "\n"
    "\tif(!stock_1_reg(sock, 0, 0, IPPROTO_TCP))\n"
    "\t\tserver_exit(1);\n"
    "\tserver_msg(\"TCP server registered.\\n\");\n"
    "\tif(!stock_1_reg(sock, 0, 0, IPPROTO_UDP))\n"
    "\t\tserver_exit(1);\n"
    "\tserver_msg(\"UDP server registered.\\n\");\n"
    "\n"
    "\tvl_serv_mainloop(tcp_master, udp_master, fork_connect, exit_idle);\n"
    "}\n\n"
    "int\tmain(int argc, char**argv){\n"
    "\t\t\tstock_1_main(argc, argv);\n"
    "\t\t\treturn 0;\n"
    "}\n\n";

}  // namespace

TEST_F(ServerTexts, ArgumentRecordsAndTheirPrototypes)
{
    generateProcedures(stock::version());
    EXPECT_EQ(
        sectionText(argRecordSection),
        "typedef struct getQuote_in_t{\n\tstkQuote* quote;\n}getQuote_in_t;\n\n"
        "typedef struct getQuote_out_t{\n\tstkQuote* quote;\n\tint _vlrpc_return_;\n}getQuote_out_t;\n\n"
        "typedef struct now_out_t{\n\tint _vlrpc_return_;\n}now_out_t;\n\n"
        "typedef struct fetch_in_t{\n\tint n;\n}fetch_in_t;\n\n"
        "typedef struct fetch_out_t{\n\tint n;\n\tchar* buf;\n\tint _vlrpc_return_;\n}fetch_out_t;\n\n"
        "typedef struct scale_in_t{\n\tint count;\n\tint* vals;\n}scale_in_t;\n\n"
        "typedef struct scale_out_t{\n\tint count;\n\tint* vals;\n}scale_out_t;\n\n");
    EXPECT_EQ(sectionText(xdrProtoSection),
              "bool_t xdr_getQuote_in_t(XDR*, struct getQuote_in_t*);\n"
              "bool_t xdr_getQuote_out_t(XDR*, struct getQuote_out_t*);\n"
              "bool_t xdr_now_out_t(XDR*, struct now_out_t*);\n"
              "bool_t xdr_fetch_in_t(XDR*, struct fetch_in_t*);\n"
              "bool_t xdr_fetch_out_t(XDR*, struct fetch_out_t*);\n"
              "bool_t xdr_scale_in_t(XDR*, struct scale_in_t*);\n"
              "bool_t xdr_scale_out_t(XDR*, struct scale_out_t*);\n");

    emitDispatcher(version);
    // Per procedure the helpers (only where the result record needs them),
    // then the wrapper; the dispatcher last.
    EXPECT_EQ(sectionText(serverProtoSection),
              "void* getQuote_call(struct getQuote_in_t* pIn, struct getQuote_out_t* pOut);\n"
              "void* reset_call(void* pIn, void* pOut);\n"
              "void* now_call(void* pIn, struct now_out_t* pOut);\n"
              "int malloc_fetch_out_t(struct fetch_out_t* pVar);\n"
              "void mfree_fetch_out_t(struct fetch_out_t* pVar);\n"
              "void* fetch_call(struct fetch_in_t* pIn, struct fetch_out_t* pOut);\n"
              "int malloc_scale_out_t(struct scale_out_t* pVar);\n"
              "void mfree_scale_out_t(struct scale_out_t* pVar);\n"
              "void* scale_call(struct scale_in_t* pIn, struct scale_out_t* pOut);\n"
              "void stock_1(struct svc_req* rqstp,SVCXPRT* txp);\n");

    // The record routines follow each other in the XDR file, argument record
    // first; the helpers stand in front of the wrapper in the server code.
    xdrOut.flush();
    const std::string xdr = readFile(currentFiles.xdr);
    EXPECT_LT(
        xdr.find("bool_t xdr_getQuote_in_t(XDR*xdrp, struct getQuote_in_t* pgetQuote_in_t){"),
        xdr.find("bool_t xdr_getQuote_out_t(XDR*xdrp, struct getQuote_out_t* pgetQuote_out_t){"));
    EXPECT_EQ(xdr.find("xdr_reset_"), std::string::npos);
    EXPECT_EQ(xdr.find("xdr_now_in_t"), std::string::npos);
    const std::string code = sectionText(serverCodeSection);
    EXPECT_LT(code.find("int malloc_fetch_out_t(struct fetch_out_t* pVar){"),
              code.find("void mfree_fetch_out_t(struct fetch_out_t* pVar){"));
    EXPECT_LT(code.find("void mfree_fetch_out_t"), code.find("void* fetch_call("));
    EXPECT_EQ(errorCount.generation, 0);
}

TEST_F(ServerTexts, ServerWrappers)
{
    generateProcedures(stock::version());
    const std::string code = sectionText(serverCodeSection);
    for (const std::string* wrapper : {&getQuoteWrapper, &resetWrapper, &nowWrapper, &fetchWrapper})
        EXPECT_NE(code.find(*wrapper), std::string::npos) << *wrapper << "\nin:\n" << code;
    EXPECT_EQ(emitServerWrapper(find("getQuote")), getQuoteWrapper);
}

// An inout array of a constant bound was decoded into storage of its bound
// (the dispatcher's, which may hold what the previous call left): the
// result record takes it over before its own allocation, which leaves it as
// it is, nothing is copied, and what the decoded elements did not overwrite
// is cleared.
TEST_F(ServerTexts, InoutArrayStorageIsHandedOverBeforeTheAllocation)
{
    generateProcedures(stock::version());
    const std::string scale = emitServerWrapper(find("scale"));
    const std::string start =
        "void* scale_call(struct scale_in_t* pIn, struct scale_out_t* pOut){\n"
        "\tmemset(pOut, 0, sizeof(scale_out_t));\n"
        "\tpOut->count = pIn->count;\n"
        "\tpOut->vals = pIn->vals;\n"
        "\tpIn->vals = 0;\n"
        "\tvlrpc_clear_room(pOut->vals, vlrpc_clamp(((unsigned long long)(pIn->count)), 16ULL), "
        "16ULL, sizeof(int));\n"
        "\tif(!malloc_scale_out_t(pOut)) {\n";
    EXPECT_EQ(scale.substr(0, start.size()), start);
    EXPECT_EQ(scale.find("memcpy"), std::string::npos) << scale;
    EXPECT_NE(sectionText(serverCodeSection)
                  .find("\tif(pVar->vals == 0) {\n"
                        "\t\tpVar->vals = (int*) vlrpc_alloc(16ULL, sizeof(int));\n"),
              std::string::npos);
    EXPECT_NE(scale.find("\tscale(\n\t\tpIn->count,\n\t\tpOut->vals\n\t);\n\treturn 0;\n}\n\n\n"),
              std::string::npos);
}

TEST_F(ServerTexts, Dispatcher)
{
    generateProcedures(stock::version());
    EXPECT_EQ(serverText([&] { emitDispatcher(version); }), dispatcher);
    EXPECT_EQ(errorCount.generation, 0);
}

TEST_F(ServerTexts, RegistrationAndServerMain)
{
    generateProcedures(stock::version());
    EXPECT_EQ(serverText([&] { emitRegisterFunction(version); }), registration);
    EXPECT_EQ(serverText([&] { emitServerMain(version); }), serverMain);
}

TEST_F(ServerTexts, ServerMainWithEveryOption)
{
    rpcVersion* v = build::version(2, {stock::now()});
    rpcProgram* p = program("stock", 0x20000201, {v});
    // Transport and port on the program, the rest on the version.
    p->addProperty(stock::flag("TRANSPORT_PROTOCOL", "udp"));
    p->addProperty(prop("SERVER_PORT", num(41100)));
    for (property* each :
         {stock::flag("INIT_BEFORE_REGISTER", "prepare"),
          stock::flag("INIT_AFTER_REGISTER", "announce"), stock::flag("FORK_ON_CONNECTION"),
          stock::flag("NO_PMAP_REGISTER"), stock::flag("GEN_MAIN_FUNC", "false")})
        v->addProperty(each);
    generateProcedures(v);
    EXPECT_EQ(serverText([&] { emitServerMain(v); }),
              "void\tstock_2_main(int argc, char ** argv) {\n"
              "\tint sock = RPC_ANYSOCK;\n"
              "\n"
              "\tint fork_connect = 0;\n"
              "\tint exit_idle = 1;\n"
              "\t{\n"
              "\tvoid prepare(int, char**);\n"
              "\n"
              "\tprepare(argc, argv);\n"
              "\t}\n"
              "\n"
              "\tvl_serv_init();\n"
              "\n"
              "\tsock = vl_serv_fd(41100, \"udp\");\n"
              "\tif(!stock_2_reg(sock, 0, 0, IPPROTO_UDP))\n"
              "\t\tserver_exit(1);\n"
              "\tserver_msg(\"UDP server registered.\\n\");\n"
              "\t{\n"
              "\tvoid announce(int, char**);\n"
              "\n"
              "\tannounce(argc, argv);\n"
              "\t}\n"
              "\n"
              "\tfork_connect = 1;\n"
              "\tvl_serv_mainloop(tcp_master, udp_master, fork_connect, exit_idle);\n"
              "}\n\n");
    // Without portmapper registration the socket's protocol is not set, so
    // svc_register leaves the portmapper alone; with a port no warning.
    testing::internal::CaptureStdout();
    const std::string reg = serverText([&] { emitRegisterFunction(v); });
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(reg.find("\tprot = sock"), std::string::npos);
    EXPECT_NE(
        reg.find("\tprog_no = prog_no == 0? STOCK : prog_no;\n\tver  = ver == 0? STOCK_2 : ver;\n"),
        std::string::npos);
}

TEST_F(ServerTexts, TransportsPortAndMainByProperty)
{
    struct Case {
        const char* name;
        const char* value;
        bool tcp, udp, unmap, main;
    };
    const Case cases[] = {
        {"TRANSPORT_PROTOCOL", "tcp", true, false, true, true},
        {"TRANSPORT_PROTOCOL", "udp", false, true, true, true},
        {"TRANSPORT_PROTOCOL", "tcp_and_udp", true, true, true, true},
        {"TRANSPORT_PROTOCOL", "TCP", false, false, true, true},
        {"NO_PMAP_REGISTER", "True", true, true, true, true},
        {"NO_PMAP_REGISTER", "true", true, true, false, true},
        {"GEN_MAIN_FUNC", "no", true, true, true, true},
        {"GEN_MAIN_FUNC", "false", true, true, true, false},
    };
    long number = 0x20000210;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " = " + c.value);
        rpcVersion* v = build::version(1, {stock::now()});
        program("prop", number++, {v});
        v->addProperty(stock::flag(c.name, c.value));
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        openOutputFiles(v);
        const std::string main = serverText([&] {
            emitRegisterFunction(v);
            emitServerMain(v);
        });
        closeOutputFiles();
        const std::string errors = testing::internal::GetCapturedStderr();
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(
            main.find(
                "(sock, 0, 0, IPPROTO_TCP))\n\t\tserver_exit(1);\n\tserver_msg(\"TCP server registered.\\n\");\n") !=
                std::string::npos,
            c.tcp);
        EXPECT_EQ(
            main.find(
                "(sock, 0, 0, IPPROTO_UDP))\n\t\tserver_exit(1);\n\tserver_msg(\"UDP server registered.\\n\");\n") !=
                std::string::npos,
            c.udp);
        EXPECT_EQ(main.find("\tif(sock!=0)\n\t\tpmap_unset(PROP, PROP_1);\n\n") !=
                      std::string::npos,
                  c.unmap);
        EXPECT_EQ(main.find("int\tmain(int argc, char**argv){\n\t\t\tprop_1_main(argc, argv);\n") !=
                      std::string::npos,
                  c.main);
        // A transport text the server cannot serve is said at compile time.
        EXPECT_EQ(
            errors.find("Warning: TRANSPORT_PROTOCOL TCP is neither tcp, udp nor tcp_and_udp") !=
                std::string::npos,
            !c.tcp && !c.udp);
        // Without portmapper registration and without a port the clients
        // cannot find the server: a warning on standard output.
        EXPECT_EQ(output,
                  !c.unmap
                      ? "Warning: portmap registration disabled without specifying a server port.\n"
                      : "");
        EXPECT_EQ(errorCount.generation, 0);
    }
}

namespace {

// One procedure alone in a version of its own program.
rpcVersion* versionOf(rpcProcedure* p, long number)
{
    rpcVersion* v = build::version(1, {p});
    program("single", number, {v});
    return v;
}

std::string declaration(classType* record)
{
    std::ostringstream text;
    record->emitDeclaration(text);
    return text.str();
}

}  // namespace

TEST_F(ServerTexts, SizeVariableErrors)
{
    struct Case {
        const char* what;
        rpcProcedure* procedure;
        const char* message;
    };
    const Case cases[] = {
        {"size not an argument",
         procedure("put", prim(CODE_VOID),
                   {arg("len", prim(CODE_INT)),
                    arg("buf", varArray(prim(CODE_CHAR), var("lenn"), num(10)))}),
         "Error:  size variable lenn of buf for put() is not an argument.\n"},
        {"void result as size",
         procedure(
             "get", prim(CODE_VOID),
             {arg("buf", varArray(prim(CODE_CHAR), var(returnMemberName), num(10)), DIR_OUT)}),
         "Error:  size of argument buf was specified as void (return).\n"},
        {"result as input size",
         procedure(
             "send", prim(CODE_INT),
             {arg("buf", varArray(prim(CODE_CHAR), var(returnMemberName), num(10)), DIR_INOUT)}),
         "Error:  input size of argument buf was specified as the return value.\n"},
        // The first faulty variable ends the examination of its array.
        {"bound after a faulty size",
         procedure("both", prim(CODE_VOID),
                   {arg("n", prim(CODE_INT)),
                    arg("buf", varArray(prim(CODE_CHAR), var("missing"), var("n")))}),
         "Error:  size variable missing of buf for both() is not an argument.\n"},
    };
    long number = 0x20000240;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startRun();
        openOutputFiles(versionOf(c.procedure, number++));
        testing::internal::CaptureStderr();
        generateProcedure(c.procedure);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        EXPECT_EQ(errorCount.generation, 1);
        // Generation goes on: the wrapper is written all the same.
        EXPECT_NE(sectionText(serverCodeSection).find(c.procedure->callName()), std::string::npos);
        EXPECT_TRUE(c.procedure->inSizeVars.isEmpty());
        closeOutputFiles();
    }
}

TEST_F(ServerTexts, RecordMembersAndHelpers)
{
    // int rfread(out char [.. size = return, maxsize = size*nm] ptr,
    //            in int size, in int nm, in int stream)
    rpcProcedure* rfread = procedure("rfread", prim(CODE_INT),
                                     {arg("ptr",
                                          varArray(prim(CODE_CHAR), var(returnMemberName),
                                                   new binaryExp(var("size"), '*', var("nm"))),
                                          DIR_OUT),
                                      arg("size", prim(CODE_INT)), arg("nm", prim(CODE_INT)),
                                      arg("stream", prim(CODE_INT))});
    // void rfwrite(in char [.. size = nm*size] ptr, in int size, in int nm, in int stream):
    // the size variables come first, each once.
    rpcProcedure* rfwrite = procedure(
        "rfwrite", prim(CODE_VOID),
        {arg("ptr",
             varArray(prim(CODE_CHAR), new binaryExp(var("nm"), '*', var("size")), num(4096))),
         arg("size", prim(CODE_INT)), arg("nm", prim(CODE_INT)), arg("stream", prim(CODE_INT))});
    rpcProcedure* named =
        procedure("name", prim(CODE_VOID), {arg("out", ptr(prim(CODE_CHAR)), DIR_OUT, CODE_CONST)});
    rpcProcedure* renamed = procedure("rename", prim(CODE_VOID),
                                      {arg("name", ptr(prim(CODE_CHAR)), DIR_INOUT, CODE_CONST)});
    rpcProcedure* tick = procedure("tick", prim(CODE_VOID), {});
    rpcVersion* v = build::version(1, {rfread, rfwrite, named, renamed, tick});
    program("rfile", 0x20000250, {v});
    generateProcedures(v);
    EXPECT_EQ(errorCount.generation, 0);

    EXPECT_EQ(
        declaration(rfread->inRecord),
        "typedef struct rfread_in_t{\n\tint size;\n\tint nm;\n\tint stream;\n}rfread_in_t;\n\n");
    EXPECT_EQ(
        declaration(rfread->outRecord),
        "typedef struct rfread_out_t{\n\tint size;\n\tint nm;\n\tchar* ptr;\n\tint _vlrpc_return_;\n}rfread_out_t;\n\n");
    EXPECT_EQ(
        declaration(rfwrite->inRecord),
        "typedef struct rfwrite_in_t{\n\tint nm;\n\tint size;\n\tchar* ptr;\n\tint stream;\n}rfwrite_in_t;\n\n");
    EXPECT_FALSE(rfwrite->hasOutRecord());
    EXPECT_EQ(rfread->needsHelpers, 1);
    EXPECT_EQ(rfwrite->needsHelpers, 0);

    // An out pointer is allocated on the server, with or without const; an
    // inout pointer points at the decoded argument. The record declares the
    // pointer without its qualifier.
    EXPECT_EQ(named->needsHelpers, 1);
    EXPECT_EQ(renamed->needsHelpers, 0);
    EXPECT_EQ(declaration(renamed->inRecord),
              "typedef struct rename_in_t{\n\tchar* name;\n}rename_in_t;\n\n");
    EXPECT_FALSE(tick->hasInRecord() || tick->hasOutRecord());

    // The wrapper copies the sizes the result record shares with the
    // arguments before the allocation.
    const std::string wrapper = emitServerWrapper(rfread);
    EXPECT_NE(wrapper.find("\tmemset(pOut, 0, sizeof(rfread_out_t));\n\tpOut->size = pIn->size;\n"
                           "\tpOut->nm = pIn->nm;\n\tif(!malloc_rfread_out_t(pOut)) {\n"),
              std::string::npos)
        << wrapper;
    EXPECT_NE(
        wrapper.find(
            "\trfread(\n\t\tpOut->ptr,\n\t\tpIn->size,\n\t\tpIn->nm,\n\t\tpIn->stream\n\t);\n"),
        std::string::npos)
        << wrapper;
}

TEST_F(ServerTexts, SizeVariableThatIsOnlyAnOutArgumentIsNotCopied)
{
    // int list(out int n, out int [.. size = n, maxsize = 10] items): n is
    // not in the argument record, the server function sets it.
    rpcProcedure* list =
        procedure("list", prim(CODE_INT),
                  {arg("n", prim(CODE_INT), DIR_OUT),
                   arg("items", varArray(prim(CODE_INT), var("n"), num(10)), DIR_OUT)});
    generateProcedures(versionOf(list, 0x20000251));
    EXPECT_EQ(
        declaration(list->outRecord),
        "typedef struct list_out_t{\n\tint n;\n\tint* items;\n\tint _vlrpc_return_;\n}list_out_t;\n\n");
    const std::string wrapper = emitServerWrapper(list);
    EXPECT_EQ(wrapper.find("pIn->"), std::string::npos) << wrapper;
    EXPECT_EQ(
        wrapper.find("void* list_call(void* pIn, struct list_out_t* pOut){\n"
                     "\tmemset(pOut, 0, sizeof(list_out_t));\n\tif(!malloc_list_out_t(pOut)) {\n"),
        0u)
        << wrapper;
}

TEST_F(ServerTexts, DispatcherFlagsFollowTheLookup)
{
    rpcProcedure* both = procedure("both", prim(CODE_VOID), {});
    both->addProperty(stock::flag("FORK_ON_CALL"));
    both->addProperty(stock::flag("THREAD_ON_CALL"));
    rpcProcedure* capital = procedure("capital", prim(CODE_VOID), {});
    capital->addProperty(stock::flag("FORK_ON_CALL", "True"));
    rpcVersion* v = build::version(1, {both, capital});
    rpcProgram* p = program("flags", 0x20000252, {v});
    p->addProperty(stock::flag("NON_BLOCKING"));
    generateProcedures(v);

    testing::internal::CaptureStderr();
    const std::string text = serverText([&] { emitDispatcher(v); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: funtion both, only one of FORK_ON_CALL and THREAD_ON_CALL can be set\n");
    EXPECT_EQ(errorCount.generation, 1);
    EXPECT_NE(text.find("\t\tcallInfo.free_after = (free_call_t)0;\n\t\tcallInfo.reply_now = 1;\n"
                        "\t\tcallInfo.mt_on_call = VELORIN_FORKING;\n"
                        "\t\tcallInfo.mt_on_call = VELORIN_THREADING;\n\t\tbreak;\n"),
              std::string::npos)
        << text;
    // "True" is not "true"; the program's NON_BLOCKING reaches every case.
    EXPECT_NE(
        text.find("\t\tcallInfo.local = (local_call_t)capital_call;\n\t\tcallInfo.free_after = "
                  "(free_call_t)0;\n\t\tcallInfo.reply_now = 1;\n\t\tbreak;\n"),
        std::string::npos)
        << text;
    // Without records both unions hold only the dummy.
    EXPECT_NE(text.find("\tunion {\n\t\tint\t__vlrpc_dummy___;\n\t}RPC_over;\n\n"
                        "\tunion {\n\t\tint\t__vlrpc_dummy___;\n\t}RPC_back;\n\n"),
              std::string::npos)
        << text;
}

TEST_F(ServerTexts, PrefixAndTemplate)
{
    rpcVersion* v = stock::version(0x20000253);
    v->addProperty(stock::flag("SERV_CALL_PREFIX", "svc_"));
    generateProcedures(v);
    EXPECT_NE(sectionText(serverCodeSection).find("\tpOut->_vlrpc_return_ =\n\tsvc_getQuote(\n"),
              std::string::npos);
    // Without a template file for the version nothing is written.
    generateImplTemplate = 0;
    EXPECT_EQ(appended(implTemplateOut, currentFiles.implTemplate,
                       [&] { emitImplTemplate(find("now")); }),
              "");
    generateImplTemplate = 1;
    closeOutputFiles();
    EXPECT_EQ(
        readFile(currentFiles.implTemplate).substr(0, std::string("#include \"stock.h\"\n").size()),
        "#include \"stock.h\"\n");
    const std::string body = "\n\n" + clientPrototype(find("now"), 1, 0) +
                             "{\n\n\t/* Add server implementation code here */\n\n}\n\n\n";
    EXPECT_NE(readFile(currentFiles.implTemplate).find(body), std::string::npos);
}

TEST_F(ServerTexts, VersionsRepeatingProcedureNamesAreAllGenerated)
{
    rpcVersion* first = build::version(1, {stock::getQuote(), stock::now()});
    rpcVersion* second = build::version(2, {stock::getQuote(), stock::now(), stock::reset()});
    program("stock", 0x20000254, {first, second});
    for (rpcVersion* v : {first, second}) {
        SCOPED_TRACE(v->number());
        testing::internal::CaptureStderr();
        generateVersion(v);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(errorCount.generation, 0);
    }
    for (const char* header : {"stock1.h", "stock2.h"}) {
        const std::string text = readFile(header);
        EXPECT_NE(text.find("typedef struct getQuote_in_t{\n"), std::string::npos) << header;
        EXPECT_NE(text.find("typedef struct now_out_t{\n"), std::string::npos) << header;
    }
    EXPECT_NE(readFile("stock2_svc.c").find("void* reset_call(void* pIn, void* pOut){\n"),
              std::string::npos);

    // A struct the interface declares under a record's name still clashes.
    declaredTypes.add(structType("clash_in_t", {sym("a", prim(CODE_INT))}));
    rpcProcedure* clash = procedure("clash", prim(CODE_VOID), {arg("a", prim(CODE_INT))});
    testing::internal::CaptureStderr();
    generateVersion(versionOf(clash, 0x20000255));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error:  type struct clash_in_t redefined.\n");
    EXPECT_EQ(errorCount.generation, 1);
}

TEST(ProcedureGeneration, ProcedureWithoutVersionIsAnInternalError)
{
    rpcProcedure* orphan = procedure("orphan", prim(CODE_VOID), {});
    EXPECT_EXIT(generateProcedure(orphan), testing::ExitedWithCode(2),
                "Fatal error: version==0 generate_procedure.cpp[0-9]+\n");
}
