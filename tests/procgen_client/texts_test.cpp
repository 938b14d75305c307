// Exact texts of the client-side generators: call functions, C stubs, C++
// methods, binding functions and the client class head. The expectations are
// written out by hand; where the generated text is more than the plain
// construct (so that it compiles, or so that a null or destroyed handle is
// never used, or a reply cannot overrun a caller's buffer) the reason is
// spelled out beside the expectation.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "client_models.h"
#include "generate/client_binding.h"
#include "generate/client_class.h"
#include "generate/client_stubs.h"
#include "generate/procedure_steps.h"

using namespace build;

namespace {

int contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A one-procedure version of program "demo" 1 around `p`.
rpcProcedure* inDemoVersion(rpcProcedure* p)
{
    program("demo", 0x20000281, {version(1, {p})});
    return p;
}

}  // namespace

TEST(CallFunction, ExactTextWithBothRecords)
{
    quoteModel quote;
    EXPECT_EQ(callPrototype(quote.getQuote),
              "int getQuote_wrap(CLIENT* pclnt, struct timeval* ptimeout, "
              "struct getQuote_in_t* pIn, struct getQuote_out_t* pOut)");
    EXPECT_EQ(callFunctionText(quote.getQuote),
              "int getQuote_wrap(CLIENT* pclnt, struct timeval* ptimeout, "
              "struct getQuote_in_t* pIn, struct getQuote_out_t* pOut){\n"
              "\tint ret_code;\n"
              "\tif(pclnt==(CLIENT*)0) {\n"
              "\t\treturn ERR_NULL_CLNT;\n"
              "\t}\n"
              "\tret_code = clnt_call(pclnt,\n"
              "\t                     GETQUOTE,\n"
              "\t                     (xdrproc_t)xdr_getQuote_in_t,\n"
              "\t                     (void*)pIn,\n"
              "\t                     (xdrproc_t)xdr_getQuote_out_t,\n"
              "\t                     (void*)pOut,\n"
              "\t                     *ptimeout\n"
              "\t                    );\n"
              "\n"
              "\tif(ret_code != RPC_SUCCESS) {\n"
              "#if VL_NO_SUPRESS_CLNT_ERROR\n"
              "\t\tclnt_perror(pclnt,\"getQuote\");\n"
              "#endif\n"
              "\t}\n"
              "\treturn ret_code;\n"
              "}\n\n");
}

TEST(CallFunction, AbsentRecordsPassXdrVoidAndNoParameter)
{
    // void f(): no records at all.
    rpcProcedure* f = inDemoVersion(procedure("f", prim(CODE_VOID), {}, 1));
    giveRecords(f, {}, {});
    const std::string text = callFunctionText(f);
    EXPECT_EQ(callPrototype(f), "int f_wrap(CLIENT* pclnt, struct timeval* ptimeout)");
    EXPECT_TRUE(contains(text, "int f_wrap(CLIENT* pclnt, struct timeval* ptimeout){\n"));
    EXPECT_TRUE(contains(text, "\t                     (xdrproc_t)xdr_void,\n"
                               "\t                     (void*)0,\n"
                               "\t                     (xdrproc_t)xdr_void,\n"
                               "\t                     (void*)0,\n"));

    // int now(): only the result record.
    rpcProcedure* now = inDemoVersion(procedure("now", prim(CODE_INT), {}, 2));
    giveRecords(now, {}, {});
    EXPECT_EQ(callPrototype(now),
              "int now_wrap(CLIENT* pclnt, struct timeval* ptimeout, struct now_out_t* pOut)");
    EXPECT_TRUE(contains(callFunctionText(now), "\t                     (xdrproc_t)xdr_void,\n"
                                                "\t                     (void*)0,\n"
                                                "\t                     (xdrproc_t)xdr_now_out_t,\n"
                                                "\t                     (void*)pOut,\n"));
}

// The C stub, with its timeout statement guarded: a null handle (nothing bound, or binding failed) never reaches
// clnt_control, only <proc>_wrap, which refuses it.
TEST(ClientStub, ExactTextOfAnInoutPointerProcedure)
{
    quoteModel quote;
    EXPECT_EQ(clientStubText(quote.getQuote),
              "int getQuote(stkQuote* quote){\n"
              "\tgetQuote_in_t\tInput;\n"
              "\tgetQuote_out_t\tOutput;\n"
              "\n"
              "\tstruct timeval timeOut;\n"
              "\tmemset(&Output, 0, sizeof(Output));\n"
              "\tInput.quote = quote;\n"
              "\t\tOutput.quote = quote;\n"
              "\n"
              "\ttimeOut = QUOTE_1_TIMEOUT;\n"
              "\tif(QUOTE_1_HANDLE)\n"
              "\t\tclnt_control(QUOTE_1_HANDLE,CLSET_TIMEOUT, (char*)&timeOut);\n"
              "\tgetQuote_wrap(QUOTE_1_HANDLE, &timeOut, &Input,\t&Output);\n"
              "\n"
              "\treturn Output._vlrpc_return_;\n"
              "}\n\n");
}

TEST(ClientMethod, ExactTextUsesTheObjectsHandleAndTimeout)
{
    quoteModel quote;
    quote.getQuote->addProperty(prop("TIMEOUT_VALUE", num(2)));  // methods ignore it
    EXPECT_EQ(clientMethodText(quote.getQuote),
              "int Cquote_1::getQuote(stkQuote* quote){\n"
              "\tgetQuote_in_t\tInput;\n"
              "\tgetQuote_out_t\tOutput;\n"
              "\n"
              "\tmemset(&Output, 0, sizeof(Output));\n"
              "\tInput.quote = quote;\n"
              "\t\tOutput.quote = quote;\n"
              "\n"
              "\tif(clnt)\n"
              "\t\tclnt_control(clnt,CLSET_TIMEOUT, (char*)&this->timeout);\n"
              "\tgetQuote_wrap(clnt, &this->timeout, &Input,\t&Output);\n"
              "\n"
              "\treturn Output._vlrpc_return_;\n"
              "}\n\n");
}

TEST(ClientStub, VoidProcedureWithoutArguments)
{
    rpcProcedure* f = inDemoVersion(procedure("f", prim(CODE_VOID), {}, 1));
    giveRecords(f, {}, {});
    EXPECT_EQ(clientStubText(f), "void f(){\n"
                                 "\n"
                                 "\tstruct timeval timeOut;\n"
                                 "\n"
                                 "\ttimeOut = DEMO_1_TIMEOUT;\n"
                                 "\tif(DEMO_1_HANDLE)\n"
                                 "\t\tclnt_control(DEMO_1_HANDLE,CLSET_TIMEOUT, (char*)&timeOut);\n"
                                 "\tf_wrap(DEMO_1_HANDLE, &timeOut);\n"
                                 "\n"
                                 "}\n\n");
}

TEST(ClientStub, ArgumentCopiesByDirectionAndKind)
{
    // void move(in char tag[8], inout int [size=n, maxsize=16] vals, inout int n,
    //           out char buf[4], out int* count, inout char pad[2], out str names[2])
    Symbol* tag = arg("tag", fixedArray(prim(CODE_CHAR), num(8)));
    Symbol* vals = arg("vals", varArray(prim(CODE_INT), var("n"), num(16)), DIR_INOUT);
    Symbol* n = arg("n", prim(CODE_INT), DIR_INOUT);
    Symbol* buf = arg("buf", fixedArray(prim(CODE_CHAR), num(4)), DIR_OUT);
    Symbol* count = arg("count", ptr(prim(CODE_INT)), DIR_OUT);
    Symbol* pad = arg("pad", fixedArray(prim(CODE_CHAR), num(2)), DIR_INOUT);
    // A fixed array of strings: the reply fills the caller's buffers.
    Symbol* names =
        arg("names", fixedArray(alias("str", varArray(prim(CODE_CHAR), num(8), num(8))), num(2)),
            DIR_OUT);
    rpcProcedure* move = inDemoVersion(
        procedure("move", prim(CODE_VOID), {tag, vals, n, buf, count, pad, names}, 3));
    giveRecords(move, {n, tag, vals, pad}, {n, vals, buf, count, pad, names});

    const std::string text = clientStubText(move);
    EXPECT_TRUE(contains(text, "void move(char tag[8], int* vals, int n, char buf[4], int* count, "
                               "char pad[2], str names[2]){\n"));
    EXPECT_TRUE(contains(text, "\tmemset(&Output, 0, sizeof(Output));\n"
                               "\tmemcpy(Input.tag, tag, sizeof(Input.tag));\n"
                               "\tInput.vals = vals;\n\t\tOutput.vals = vals;\n"
                               "\tInput.n = n;\n\t\tOutput.n = n;\n"
                               // out fixed array: nothing, its tab begins the next line
                               "\t\tOutput.count = count;\n"
                               "\tmemcpy(Input.pad, pad, sizeof(Input.pad));\n"
                               "\tmemcpy(Output.names, names, sizeof(Output.names));\n"
                               "\n"));
    // After the call: only the fixed arrays that come back.
    EXPECT_TRUE(contains(text, "&Input,\t&Output);\n"
                               "\n"
                               "\tmemcpy(buf,Output.buf, sizeof(Output.buf));\n"
                               "\tmemcpy(pad,Output.pad, sizeof(Output.pad));\n"
                               "\tmemcpy(names,Output.names, sizeof(Output.names));\n"
                               "}\n\n"));
}

TEST(ClientStub, QualifiedPointerIsCastToItsRecordMember)
{
    // Record members are declared without const; assigning a const pointer to
    // one would be a warning in C and an error in C++, so the value is cast.
    Symbol* data = arg("data", varArray(prim(CODE_VOID), var("len"), num(512)), DIR_IN, CODE_CONST);
    Symbol* name = arg("name", ptr(prim(CODE_CHAR)), DIR_IN, CODE_CONST);
    Symbol* len = arg("len", prim(CODE_INT), DIR_IN, CODE_CONST);
    rpcProcedure* put = inDemoVersion(procedure("put", prim(CODE_INT), {data, name, len}, 4));
    giveRecords(put, {len, data, name}, {});
    const std::string text = clientStubText(put);
    EXPECT_TRUE(contains(text, "int put(const void* data, const char* name, const int len){\n"));
    EXPECT_TRUE(contains(text, "\tInput.data = (void*)data;\n"
                               "\tInput.name = (char*)name;\n"
                               "\tInput.len = len;\n"));
}

TEST(ClientStub, TimeoutValueApplies)
{
    struct timeoutCase {
        const char* where;
        int stubsWithTwoSeconds;  // of the two procedures a and b
    };
    for (const timeoutCase& c :
         {timeoutCase{"procedure", 1}, timeoutCase{"version", 2}, timeoutCase{"program", 2}}) {
        SCOPED_TRACE(c.where);
        rpcProcedure* a = procedure("a", prim(CODE_VOID), {}, 1);
        rpcProcedure* b = procedure("b", prim(CODE_VOID), {}, 2);
        giveRecords(a, {}, {});
        giveRecords(b, {}, {});
        rpcVersion* v = version(1, {a, b});
        rpcProgram* p = program("demo", 0x20000282, {v});
        const std::string where = c.where;
        if (where == "procedure")
            a->addProperty(prop("TIMEOUT_VALUE", num(2)));
        if (where == "version")
            v->addProperty(prop("TIMEOUT_VALUE", num(2)));
        if (where == "program")
            p->addProperty(prop("TIMEOUT_VALUE", num(2)));

        const std::string twoSeconds = "\ttimeOut.tv_usec = 0;\n\ttimeOut.tv_sec = 2;\n";
        const std::string global = "\ttimeOut = DEMO_1_TIMEOUT;\n";
        EXPECT_TRUE(contains(clientStubText(a), twoSeconds));
        EXPECT_TRUE(contains(clientStubText(b), c.stubsWithTwoSeconds == 2 ? twoSeconds : global));
        EXPECT_FALSE(contains(clientMethodText(a), "tv_sec"));
    }
}

TEST(ClientPrototype, PlainQualifiedAndPrefixedHeads)
{
    quoteModel quote;
    quote.version->addProperty(prop("SERV_CALL_PREFIX", var("impl_")));
    EXPECT_EQ(clientPrototype(quote.getQuote, 0, 0), "int getQuote(stkQuote* quote)");
    EXPECT_EQ(clientPrototype(quote.getQuote, 0, 1), "int Cquote_1::getQuote(stkQuote* quote)");
    EXPECT_EQ(clientPrototype(quote.getQuote, 1, 0), "int impl_getQuote(stkQuote* quote)");
    EXPECT_TRUE(contains(clientStubText(quote.getQuote), "int getQuote(stkQuote* quote){\n"));
}

// rfread hands the caller's buffer to the result record, and the bound of
// that buffer (size*nm) comes from members that the reply itself carries.
// The stub leaves the request's size and nm in the result record, and the
// call function decodes the reply with a filter that accepts no more bytes
// than the request's size*nm, before a byte lands in the caller's buffer.
TEST(BoundedReply, ReplyBoundIsCheckedAgainstTheRequest)
{
    readModel read;
    const std::string head =
        "\nstatic bool_t xdr_rfread_out_t_bounded(XDR*xdrp, struct rfread_out_t* prfread_out_t){\n"
        "\tstruct rfread_out_t request = *prfread_out_t;\n\n";
    const std::string replyBound =
        "vlrpc_size_mul(((unsigned long long)(prfread_out_t->size)), ((unsigned long long)(prfread_out_t->nm)))";
    const std::string limited =
        "\tunsigned int maxlen = vlrpc_clamp(" + replyBound +
        ", vlrpc_size_mul(((unsigned long long)(request.size)), ((unsigned long long)(request.nm))));\n";
    const std::string unlimited =
        "\tunsigned int maxlen = vlrpc_clamp(" + replyBound + ", 0xffffffffULL);\n";
    std::string filter = boundedReplyFilterText(read.rfread);
    ASSERT_EQ(filter.find(head), 0u);
    const size_t at = filter.find(limited);
    ASSERT_NE(at, std::string::npos) << filter;
    // The limit stands in the block that decodes into the caller's buffer,
    // after the size variables.
    EXPECT_LT(filter.find("&prfread_out_t->nm"), at);
    EXPECT_LT(at, filter.find("&prfread_out_t->ptr"));

    // Apart from its head and the limit, the filter is the record's own routine.
    std::ostringstream sink;
    std::string routine = read.rfread->outRecord->emitXdrRoutine(sink);
    const std::string routineHead =
        "\nbool_t xdr_rfread_out_t(XDR*xdrp, struct rfread_out_t* prfread_out_t){\n\n";
    ASSERT_EQ(routine.find(routineHead), 0u);
    filter.replace(at, limited.size(), unlimited);
    EXPECT_EQ(filter.substr(head.size()), routine.substr(routineHead.size()));

    const std::string call = callFunctionText(read.rfread);
    EXPECT_EQ(call.find("\nstatic bool_t xdr_rfread_out_t_bounded("), 0u);
    EXPECT_TRUE(contains(call, "\t                     (xdrproc_t)xdr_rfread_out_t_bounded,\n"));

    const std::string stub = clientStubText(read.rfread);
    EXPECT_TRUE(contains(stub, "\tOutput.ptr = ptr;\n"
                               "\tInput.size = size;\n"
                               "\tInput.nm = nm;\n"
                               "\tInput.stream = stream;\n"
                               "\tOutput.size = size;\n"
                               "\tOutput.nm = nm;\n"
                               "\n"));
    EXPECT_TRUE(contains(clientMethodText(read.rfread), "\tOutput.size = size;\n"
                                                        "\tOutput.nm = nm;\n"
                                                        "\n"));
}

// The caller's buffer holds what the request asked for: the count, when the
// request fixes it, whatever the bound is made of, and a bound made of the
// request's arguments.
TEST(BoundedReply, OnlyBoundsTheRequestFixes)
{
    struct boundCase {
        const char* name;
        expression* size;
        expression* bound;
        int direction;      // of the variable n
        const char* limit;  // the limit of the filter's block; "" when unbounded
    };
    expressionList* strlenArgs = new expressionList();
    strlenArgs->add(new unaryExp('*', thisExpression));
    expression* ownLength = new binaryExp(new funcExp("strlen", strlenArgs), '+', num(1));
    const boundCase cases[] = {
        {"in count, constant bound", var("n"), num(64), DIR_IN,
         "((unsigned long long)(request.n))"},
        {"in count and bound", var("n"), var("n"), DIR_IN,
         "vlrpc_clamp(((unsigned long long)(request.n)), ((unsigned long long)(request.n)))"},
        {"inout count", var("n"), num(64), DIR_INOUT, "((unsigned long long)(request.n))"},
        {"constant count and bound", num(8), num(64), DIR_IN, "8ULL"},
        {"out variable: the server chooses", var("n"), var("n"), DIR_OUT, ""},
        {"the result: the server chooses", var("_vlrpc_return_"), var("_vlrpc_return_"), DIR_IN,
         ""},
        {"a string's own length, constant bound", ownLength, num(64), DIR_IN, ""},
    };
    for (const boundCase& c : cases) {
        SCOPED_TRACE(c.name);
        Symbol* n = arg("n", prim(CODE_INT), c.direction);
        Symbol* data = arg("data", varArray(prim(CODE_CHAR), c.size, c.bound), DIR_OUT);
        rpcProcedure* get = inDemoVersion(procedure("get", prim(CODE_INT), {data, n}, 1));
        if (c.direction == DIR_OUT)
            giveRecords(get, {}, {n, data});
        else
            giveRecords(get, {n}, {n, data});
        const int bounded = *c.limit != 0;
        EXPECT_EQ(requestBoundedArrays(get).size(), static_cast<size_t>(bounded));
        EXPECT_EQ(replyFilterName(get), bounded ? "xdr_get_out_t_bounded" : "xdr_get_out_t");
        const std::string filter = boundedReplyFilterText(get);
        EXPECT_EQ(filter.empty(), !bounded);
        if (bounded) {
            EXPECT_TRUE(contains(filter, std::string(", ") + c.limit + ");\n")) << filter;
        }
        // An in variable is copied into the result record only for the limit.
        const int namesN = c.size->plainText() == "n" || c.bound->plainText() == "n";
        EXPECT_EQ(contains(clientStubText(get), "\tOutput.n = n;\n"),
                  (bounded && namesN) || c.direction != DIR_IN);
    }
}

TEST(BindingFunctions, ExactTextsWithAFixedPort)
{
    readModel read;
    read.version->addProperty(prop("SERVER_PORT", num(5431)));
    EXPECT_EQ(bindPrototype(read.version),
              "CLIENT*\trfile_bind(const char* host, u_long prog, u_long ver,const char* proto)");
    EXPECT_EQ(unbindPrototype(read.version), "void\trfile_unbind(CLIENT* pclnt)");
    EXPECT_EQ(bindHandlePrototype(read.version), "void\trfile_bind_handle(CLIENT* pclnt)");
    EXPECT_EQ(errnoPrototype(read.version), "enum clnt_stat\trfile_errno(CLIENT* pclnt)");
    EXPECT_EQ(bindHandleName(read.version), "rfile_bind_handle");

    EXPECT_EQ(bindFunctionsText(read.version),
              "CLIENT*\trfile_bind(const char* host, u_long prog, u_long ver,const char* proto) {\n"
              "\tCLIENT* pclnt = 0;\n"
              "\tconst char * protoc = \"tcp\";\n"
              "\tver = (ver==0? RFILE_5 : ver);\n"
              "\tprog = (prog==0? RFILE : prog );\n"
              "\tprotoc = (proto==(char*)0? protoc : proto);\n"
              "\tpclnt = vl_clnt_create(host, 5431, prog, ver, protoc, 0, 0);\n"
              "\tRFILE_5_SET_HANDLE(pclnt);\n"
              "\treturn pclnt;\n"
              "}\n\n"
              "void\trfile_bind_handle(CLIENT* pclnt){\n"
              "\tRFILE_5_handle = pclnt;\n"
              "}\n\n");
    // Unbinding the global handle also clears it, so that it never points at
    // the destroyed handle.
    EXPECT_EQ(unbindFunctionText(read.version), "void\trfile_unbind(CLIENT* pclnt) {\n"
                                                "\tpclnt  = (pclnt==0? RFILE_5_handle: pclnt);\n"
                                                "\tif(pclnt)\n"
                                                "\t\tclnt_destroy(pclnt);\n"
                                                "\tif(pclnt==RFILE_5_handle)\n"
                                                "\t\tRFILE_5_handle = 0;\n"
                                                "}\n\n");
    EXPECT_EQ(errnoFunctionText(read.version),
              "enum clnt_stat\trfile_errno(CLIENT* pclnt) {\n"
              "\treturn vl_clnt_errno(pclnt?pclnt:RFILE_5_HANDLE);\n"
              "}\n\n");
    // The protocol variable is const: C++ refuses a literal for a char*.
    EXPECT_EQ(
        classBindText(read.version),
        "CLIENT* Crfile_5::bind(const char* host, const char*proto, u_long prog, u_long ver){\n"
        "\n"
        "\tconst char * protoc = \"tcp\";\n"
        "\tver = (ver==0? RFILE_5 : ver);\n"
        "\tprog = (prog==0? RFILE : prog );\n"
        "\tprotoc = (proto==(char*)0? protoc : proto);\n"
        "\tthis->create2(host, prog, ver, protoc,5431, 0, 0);\n"
        "\treturn clnt;\n"
        "}\n\n");
}

TEST(BindingFunctions, TransportAndPortmapperChoice)
{
    struct transportCase {
        const char* transport;  // nullptr: no property
        const char* protocol;
    };
    for (const transportCase& c :
         {transportCase{"udp", "\"udp\""}, transportCase{"tcp", "\"tcp\""},
          transportCase{"tcp_and_udp", "\"tcp\""}, transportCase{nullptr, "\"tcp\""}}) {
        SCOPED_TRACE(c.transport ? c.transport : "none");
        quoteModel quote;
        if (c.transport)
            quote.program->addProperty(prop("TRANSPORT_PROTOCOL", var(c.transport)));
        const std::string line = std::string(" protoc = ") + c.protocol + ";\n";
        EXPECT_TRUE(contains(bindFunctionsText(quote.version), "\tconst char *" + line));
        EXPECT_TRUE(contains(classBindText(quote.version), "\tconst char *" + line));
        // Without SERVER_PORT both go through the portmapper.
        EXPECT_TRUE(contains(bindFunctionsText(quote.version),
                             "\tpclnt = clnt_create(host, prog, ver, protoc);\n"));
        EXPECT_TRUE(
            contains(classBindText(quote.version), "\tthis->create(host, prog, ver, protoc);\n"));
    }
}

TEST(ClientClass, ExactHead)
{
    readModel read;
    EXPECT_EQ(
        clientClassHeadText(read.version),
        "\n\nclass Crfile_5 : public RPCClient {\n"
        "\tpublic:\n\n"
        "\tCrfile_5(){}\n\n"
        "\tCrfile_5(const char*host, const char*proto, u_long prog=RFILE, u_long ver=RFILE_5)\n"
        "\t\t:RPCClient(host, proto, prog,ver){ }\n\n"
        "\tCLIENT* bind(const char* host, const char*proto=0, u_long prog=RFILE, u_long ver=RFILE_5);\n");
}
