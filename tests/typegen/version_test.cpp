// The generation of one version: numbering of its procedures, the counted
// errors of numbering and of array attributes with the removal of the
// version's files, and the layout of the header.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "diagnostics/error_report.h"
#include "driver/compile_flow.h"
#include "generate/procedure_steps.h"
#include "generated_files.h"
#include "interface_models.h"
#include "output/section_files.h"

using namespace build;
using namespace generated;

namespace {

std::vector<std::int64_t> numbersOf(const rpcVersion* version)
{
    std::vector<std::int64_t> numbers;
    procedureList::cursor walk = procedureList::begin(version->procedures());
    while (rpcProcedure* p = walk.next())
        numbers.push_back(p->number());
    return numbers;
}

rpcVersion* numberedVersion(std::initializer_list<long> numbers)
{
    procedureList* list = new procedureList();
    char name = 'a';
    for (long number : numbers)
        list->add(procedure(std::string("proc_") + name++, prim(CODE_INT), {}, number));
    rpcVersion* v = new rpcVersion();
    v->setNumber(1);
    v->setProcedures(list);
    program("numbered", 77, {v});
    return v;
}

}  // namespace

TEST(Numbering, UnnumberedProceduresFollowTheHighest)
{
    struct {
        std::initializer_list<long> given;
        std::vector<std::int64_t> numbered;
    } table[] = {
        {{3, 7, -1, -1}, {3, 7, 8, 9}},
        {{-1, -1, -1}, {1, 2, 3}},
        {{-1, 5, -1}, {6, 5, 7}},
        // Only a negative number means "none given": one that would be
        // negative as a signed 32-bit value is kept.
        {{2147483648L, -1}, {2147483648L, 2147483649L}},
    };
    for (const auto& row : table) {
        rpcVersion* v = numberedVersion(row.given);
        numberProcedures(v);
        EXPECT_EQ(numbersOf(v), row.numbered);
        EXPECT_EQ(errorCount.generation, 0);
    }
}

// A number the 32 bits of a call cannot carry is a counted error and is
// passed over while the others are counted on, so counting cannot overflow.
TEST(Numbering, NumbersWiderThan32BitsAreCountedErrors)
{
    struct {
        std::initializer_list<long> given;
        std::vector<std::int64_t> numbered;
        int errors;
    } table[] = {
        {{INT64_MAX, -1}, {INT64_MAX, 1}, 1},
        {{-1, 4294967296L, 3}, {4, 4294967296L, 3}, 1},
        {{4294967295L, -1}, {4294967295L, 4294967296L}, 1},
    };
    for (const auto& row : table) {
        rpcVersion* v = numberedVersion(row.given);
        testing::internal::CaptureStderr();
        numberProcedures(v);
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(numbersOf(v), row.numbered);
        EXPECT_EQ(errorCount.generation, row.errors) << errors;
        startRun();
    }
    rpcVersion* v = numberedVersion({INT64_MAX});
    testing::internal::CaptureStderr();
    numberProcedures(v);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error:  procedure proc_a has the number 9223372036854775807, more than the 32 bits "
              "of a call can carry.\n");
    startRun();
}

TEST(Numbering, VersionPropertyRenumbersTheVersion)
{
    rpcVersion* onVersion = numberedVersion({-1});
    onVersion->addProperty(prop("VERSION", num(12)));
    numberProcedures(onVersion);
    EXPECT_EQ(onVersion->number(), 12);

    rpcVersion* onProgram = numberedVersion({-1});
    onProgram->program()->addProperty(prop("VERSION", num(9)));
    numberProcedures(onProgram);
    EXPECT_EQ(onProgram->number(), 9);

    rpcVersion* noDigits = numberedVersion({-1});
    liteExp* text = new liteExp();
    text->setText("\"abc\"");
    noDigits->addProperty(prop("VERSION", text));
    numberProcedures(noDigits);
    EXPECT_EQ(noDigits->number(), 0);
    EXPECT_EQ(errorCount.generation, 0);
}

// Every counted error of numbering and of array attributes: its message,
// and the removal of the version's header and C files by the compile flow.
TEST(CountedErrors, MessageAndRemovalOfTheVersionFiles)
{
    struct Case {
        const char* what;
        std::function<rpcVersion*()> model;
        const char* message;
    };
    auto withMember = [](Symbol* member) {
        return version(
            1, {procedure("put", prim(CODE_VOID), {arg("r", ptr(structType("rec", {member})))})});
    };
    auto attributed = [](std::initializer_list<property*> attributes) {
        arrayType* a = new arrayType(prim(CODE_INT));
        a->markVariable();
        for (property* p : attributes)
            a->applyAttribute(p);
        if (!a->maxsize)
            a->maxsize = num(4);
        return a;
    };
    const Case cases[] = {
        {"repeated number",
         [] {
             return version(1, {procedure("get", prim(CODE_INT), {}, 2),
                                procedure("put", prim(CODE_INT), {}, 2)});
         },
         "Error:  procedure put has the number 2 of procedure get in version 1.\n"},
        {"explicit 0", [] { return version(1, {procedure("get", prim(CODE_INT), {}, 0)}); },
         "Error:  procedure get has the number 0, which belongs to the null procedure.\n"},
        {"names differing in case",
         [] {
             return version(
                 1, {procedure("get", prim(CODE_INT), {}), procedure("GET", prim(CODE_INT), {})});
         },
         "Error:  procedures get and GET differ only in letter case: both would be number macro GET.\n"},
        {"procedure named as its program",
         [] { return version(1, {procedure("Faulty", prim(CODE_INT), {})}); },
         "Error:  procedure Faulty would have the number macro FAULTY of its program.\n"},
        {"procedure named as its version",
         [] { return version(1, {procedure("faulty_1", prim(CODE_INT), {})}); },
         "Error:  procedure faulty_1 would have the number macro FAULTY_1 of its version.\n"},
        {"size redefined",
         [&] {
             return withMember(
                 sym("v", attributed({prop("size", var("n")), prop("size", var("m"))})));
         },
         "Error:  size redefined for array!\n"},
        {"maxsize redefined",
         [&] {
             return withMember(
                 sym("v", attributed({prop("maxsize", num(10)), prop("maxsize", num(20))})));
         },
         "Error:  maxsize redefined for array!\n"},
        {"unknown modifier",
         [&] { return withMember(sym("v", attributed({prop("VERSION", num(1))}))); },
         "Error:  unkonwn array modifier VERSION\n"},
        {"fixed array without bound",
         [&] { return withMember(sym("v", fixedArray(prim(CODE_INT), nullptr, var("n")))); },
         "Error: fixed size not specified for array v\n"},
        {"bound not constant",
         [&] { return withMember(sym("v", fixedArray(prim(CODE_INT), var("N")))); },
         "Error:  max size for array v is not a constant expression\n"},
        {"fixed array of void",
         [&] { return withMember(sym("v", fixedArray(prim(CODE_VOID), num(4)))); },
         "Error:  invalid type: array of void\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = testDirectory();
        testing::internal::CaptureStderr();
        rpcVersion* v = c.model();
        program("faulty", 99, {v});
        const versionFileSet files = generate(dir, v);
        const int counted = errorCount.generation;
        testing::internal::CaptureStdout();
        inDirectory(dir, [&] { reportGeneration(files); });
        testing::internal::GetCapturedStdout();
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_GE(counted, 1);
        EXPECT_EQ(errorCount.generation, 0);
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
        for (const char* removed : {"faulty.h", "faulty_svc.c", "faulty_xdr.c", "faulty_cln.c"})
            EXPECT_FALSE(exists(dir + "/" + removed)) << removed;
        EXPECT_TRUE(exists(dir + "/faultyClient.hpp"));
    }
    versionsFailed = 0;
}

TEST(CountedErrors, UncountedAttributeMessagesKeepTheFiles)
{
    const std::string dir = testDirectory();
    testing::internal::CaptureStderr();
    arrayType* a = new arrayType(prim(CODE_INT));
    a->markVariable();
    a->applyAttribute(prop("size", nullptr));
    a->maxsize = num(4);
    rpcVersion* v = version(
        1, {procedure("put", prim(CODE_VOID), {arg("r", ptr(structType("rec", {sym("v", a)})))})});
    program("fine", 98, {v});
    generate(dir, v);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Size variable not found\n"),
              std::string::npos);
    EXPECT_EQ(errorCount.generation, 0);
    EXPECT_TRUE(exists(dir + "/fine.h"));
}

// Two versions that end up with one number: the second is a counted error,
// writes nothing, and the files of that number are removed.
TEST(CountedErrors, TwoVersionsWithOneNumber)
{
    const std::string dir = testDirectory();
    rpcVersion* first = version(1, {procedure("get", prim(CODE_INT), {})});
    rpcVersion* second = version(2, {procedure("put", prim(CODE_INT), {})});
    second->addProperty(prop("VERSION", num(1)));
    program("twice", 97, {first, second});
    testing::internal::CaptureStdout();
    const versionFileSet firstFiles = generate(dir, first);
    EXPECT_EQ(errorCount.generation, 0);
    inDirectory(dir, [&] { reportGeneration(firstFiles); });
    const std::string firstHeader = readFile(dir + "/twice1.h");
    EXPECT_NE(firstHeader.find("#define GET  (unsigned long)(1)\n"), std::string::npos);

    testing::internal::CaptureStderr();
    const versionFileSet secondFiles = generate(dir, second);
    EXPECT_EQ(errorCount.generation, 1);
    EXPECT_EQ(readFile(dir + "/twice1.h"), firstHeader);  // not overwritten
    inDirectory(dir, [&] { reportGeneration(secondFiles); });
    testing::internal::GetCapturedStdout();
    EXPECT_NE(
        testing::internal::GetCapturedStderr().find(
            "Error:  version 1 of program twice is defined twice; its files would replace those of the first one.\n"),
        std::string::npos);
    EXPECT_FALSE(exists(dir + "/twice1.h"));
    EXPECT_FALSE(exists(dir + "/twice1_xdr.c"));
    versionsFailed = 0;
}

// The number macros and the order of everything in the header.
TEST(HeaderLayout, NumberMacrosAndOrder)
{
    trailingTextSection.reopen();
    trailingTextSection.stream() << "/* after the program */\n";
    const std::string dir = testDirectory();
    classType* unused = structType("unused", {sym("z", prim(CODE_INT))});
    (void)unused;  // declared, but no procedure leads to it
    typedefType* count = alias("count", prim(CODE_INT, CODE_UNSIGNED));
    typedefType* point =
        alias("point", structType("", {sym("x", prim(CODE_INT)), sym("y", count)}));
    rpcProcedure* prefixed = procedure("move", prim(CODE_INT), {arg("to", ptr(point))}, 7);
    prefixed->addProperty(prop("SERV_CALL_PREFIX", var("srv_")));
    rpcProcedure* plain = procedure("size", count, {});
    // Declared as version 1; VERSION makes it 3 in every name and macro.
    rpcVersion* v = version(1, {prefixed, plain});
    v->addProperty(prop("VERSION", num(3)));
    program("Layout", 0x31, {v});
    generate(dir, v);
    EXPECT_EQ(errorCount.generation, 0);
    const std::string header = readFile(dir + "/layout.h");

    EXPECT_NE(
        header.find("#define MOVE  (unsigned long)(7)\n#define SIZE  (unsigned long)(8)\n"
                    "#define LAYOUT_3  (unsigned long)(3)\n#define LAYOUT  (unsigned long)(49)\n"
                    "#ifndef VELORIN_COMMON_H\n"),
        std::string::npos)
        << header;

    // Declarations first (in type-list order), then per type its prototype
    // and free macro, then the macros, the common block, the three blocks.
    const std::vector<std::string> order = {
        "#ifndef LAYOUT_3_H\n#define LAYOUT_3_H\n",
        "typedef u_int count;\n\n",
        "typedef struct{\n\tint x;\n\tcount y;\n}point;\n\n",
        "bool_t xdr_count(XDR*, count*);\n\n#define count_freeres( pcount )",
        "bool_t xdr_point(XDR*, point*);\n\n#define point_freeres( ppoint )",
        "#define MOVE  (unsigned long)(7)\n",
        "#ifndef VELORIN_COMMON_H\n",
        "\n#ifdef VELORIN_XDR\n\n",
        "\n#ifdef VELORIN_CLIENT\n\n",
        "#define LAYOUT_3_HANDLE LAYOUT_3_handle\n#define LAYOUT_3_SET_HANDLE " +
            bindHandleName(v) + "\n#define LAYOUT_3_TIMEOUT LAYOUT_3_timeout\n",
        "\n#ifdef VELORIN_SERVER\n\n",
        "/* after the program */\n",
    };
    size_t at = 0;
    for (const std::string& piece : order) {
        const size_t found = header.find(piece, at);
        ASSERT_NE(found, std::string::npos)
            << "missing after offset " << at << ": " << piece << "\n"
            << header;
        at = found + piece.size();
    }
    EXPECT_EQ(header.find("unused"), std::string::npos);

    // From the trailing text to the end: the stubs' timeout and the client
    // prototypes (the prefixed
    // server function after its stub), the binding, registration, unmap and
    // main prototypes, the runtime header, the end of extern "C" and guard.
    const std::string tail =
        "/* after the program */\n"
        " extern struct timeval LAYOUT_3_timeout;\n"
        " " +
        clientPrototype(prefixed, 0, 0) + ";\n" + " " + clientPrototype(prefixed, 1, 0) + ";\n" +
        " " + clientPrototype(plain, 0, 0) + ";\n" + "\n" + " " + bindPrototype(v) + ";\n" + " " +
        unbindPrototype(v) + ";\n" + " " + bindHandlePrototype(v) + ";\n" + " " +
        errnoPrototype(v) + ";\n\n" +
        " SVCXPRT*\tlayout_3_reg(int sock, unsigned long prog_no, unsigned long ver, int proto);\n"
        " void\tlayout_3_unmap(unsigned long prog_no, unsigned long ver);\n"
        " void\tlayout_3_main(int argc, char ** argv);\n"
        "\n#include <velorin.h>\n#ifdef __cplusplus\n};\n#endif\n\n\n#endif\n";
    ASSERT_GE(header.size(), tail.size());
    EXPECT_EQ(header.substr(header.size() - tail.size()), tail);

    const std::string classHeader = readFile(dir + "/layoutClient.hpp");
    const std::string classTail = "\t" + clientPrototype(prefixed, 0, 0) + ";\n\t" +
                                  clientPrototype(plain, 0, 0) + ";\n\n\n};\n\n\n#endif\n";
    ASSERT_GE(classHeader.size(), classTail.size());
    EXPECT_EQ(classHeader.substr(classHeader.size() - classTail.size()), classTail);

    // The XDR file holds the routines of the type list, in its order.
    const std::string xdr = readFile(dir + "/layout_xdr.c");
    const size_t countRoutine = xdr.find("bool_t xdr_count(XDR*xdrp, count* pcount){\n");
    const size_t pointRoutine = xdr.find("\nbool_t xdr_point(XDR*xdrp, point* ppoint){\n\n");
    EXPECT_NE(countRoutine, std::string::npos);
    EXPECT_NE(pointRoutine, std::string::npos);
    EXPECT_LT(countRoutine, pointRoutine);
    trailingTextSection.reopen();
}
