// Models of small interfaces, built the way the parser builds them, that
// together cover every form of type the generators handle.
#ifndef VELORIN_TESTS_TYPEGEN_INTERFACE_MODELS_H
#define VELORIN_TESTS_TYPEGEN_INTERFACE_MODELS_H

#include "model_builder.h"

namespace models {

using namespace build;

// strlen(*this)+1: the count of a NUL-terminated string.
inline expression* stringLength()
{
    expressionList* args = new expressionList();
    args->add(new unaryExp('*', thisExpression));
    return new binaryExp(new funcExp("strlen", args), '+', num(1));
}

inline rpcProgram* oneVersionProgram(const std::string& name, long number, rpcVersion* version)
{
    return program(name, number, {version});
}

// The stock-quote example:
//   typedef struct { char Ticker[5]; double Low; double High; double Close; } stkQuote;
//   interface quote { int getQuote(inout stkQuote* quote); } = 12345;
inline rpcVersion* quote()
{
    classType* body = structType("", {sym("Ticker", fixedArray(prim(CODE_CHAR), num(5))),
                                      sym("Low", prim(CODE_DOUBLE)), sym("High", prim(CODE_DOUBLE)),
                                      sym("Close", prim(CODE_DOUBLE))});
    typedefType* stkQuote = alias("stkQuote", body);
    rpcVersion* v = version(
        1, {procedure("getQuote", prim(CODE_INT), {arg("quote", ptr(stkQuote), DIR_INOUT)})});
    oneVersionProgram("quote", 12345, v);
    return v;
}

// The types of the remote-file example:
//   typedef char [size = strlen(*this)+1, maxsize = 1024] str1024;
//   struct fHandle { int fd; };  typedef struct fHandle rFILE;
//   typedef unsigned long size_T;
//   typedef char c_arr1024[1024, size = strlen(*this)+1];
//   struct dentry { c_arr1024 name; struct dentry *next; };  typedef struct dentry DENTRY;
//   struct named { str1024 text; int [size = count, maxsize = 4] values; int count; };
struct RemoteFileTypes {
    typedefType* str1024;
    typedefType* rFILE;
    typedefType* sizeT;
    typedefType* cArr1024;
    classType* dentry;
    typedefType* DENTRY;
    classType* named;
};

inline RemoteFileTypes remoteFileTypes()
{
    RemoteFileTypes t;
    t.str1024 = alias("str1024", varArray(prim(CODE_CHAR), stringLength(), num(1024)));
    t.rFILE = alias("rFILE", structType("fHandle", {sym("fd", prim(CODE_INT))}));
    t.sizeT = alias("size_T", prim(CODE_LONG, CODE_UNSIGNED));
    t.cArr1024 = alias("c_arr1024", fixedArray(prim(CODE_CHAR), num(1024), stringLength()));
    t.dentry = structType("dentry", {sym("name", t.cArr1024)});
    t.dentry->addMember(sym("next", ptr(t.dentry)));
    t.DENTRY = alias("DENTRY", t.dentry);
    t.named = structType("named", {sym("text", t.str1024),
                                   sym("values", varArray(prim(CODE_INT), var("count"), num(4))),
                                   sym("count", prim(CODE_INT))});
    return t;
}

inline rpcVersion* remoteFile(const RemoteFileTypes& t)
{
    rpcVersion* v = version(
        5,
        {
            procedure("rfopen", ptr(t.rFILE), {arg("filename", t.str1024), arg("mode", t.str1024)}),
            procedure("rfsize", t.sizeT, {arg("stream", ptr(t.rFILE))}),
            procedure("rlistdir", prim(CODE_INT),
                      {arg("path", t.str1024), arg("out", ptr(t.DENTRY), DIR_OUT)}),
            procedure("rlabel", prim(CODE_VOID), {arg("label", ptr(t.named))}),
        });
    oneVersionProgram("rfile", 0x5555, v);
    return v;
}

// Every other form:
//   typedef unsigned int count;  typedef count count2;  typedef char byte;
//   typedef char [size = strlen(*this)+1, maxsize = 64] str64;
//   typedef char name_t[16];  typedef int quad[4];
//   struct inner { short s; unsigned short us; };
//   typedef struct { int x; int y; } point;
//   union num { int i; float f; };
//   struct node { int value; struct node* next; };  typedef struct node* list;
//   struct prims { char c; unsigned char uc; short s; unsigned short us; int i;
//                  unsigned int ui; long l; unsigned long ul; float f; double d;
//                  enum color e; count n; count2 n2;
//                  color_t ct; enum color* pe; };   (typedef enum { ... } color_t;)
//   struct arrays { char tag[8]; unsigned char ub[3]; byte raw[5]; int grid[4];
//                   int len; char name[16, size = len];
//                   int n; int [size = n, maxsize = 10] vals;
//                   unsigned int bn; void [size = bn, maxsize = 32] blob;
//                   byte [size = bn, maxsize = 32] bytes;
//                   unsigned char [size = bn, maxsize = 32] ubytes;
//                   int ns; str64 [size = ns, maxsize = 3] names;
//                   int np; point [size = np, maxsize = 4] points;
//                   int [maxsize = 2] pair; name_t fixedname; quad q; point pts[2];
//                   enum color [size = n, maxsize = 10] colors; int m[2][3]; };
//   struct holder { struct inner in; point p; union num numv; int* ip; int** ipp;
//                   list l; str64 s; struct node* head; int kind;
//                   union switch (kind) { case 1: int code; case 2: double val;
//                                          case 3: str64 text; case 4: point where; } u;
//                   union switch (kind) { case 5: node_t link; };
//                   struct { int a; str64 label; } anon; union { int i; float f; } raw; };
struct EveryForm {
    classType* prims;
    classType* arrays;
    classType* holder;
    typedefType* count2;
    typedefType* list;
    typedefType* nameT;
};

inline EveryForm everyForm()
{
    EveryForm t;
    typedefType* count = alias("count", prim(CODE_INT, CODE_UNSIGNED));
    t.count2 = alias("count2", count);
    typedefType* byte = alias("byte", prim(CODE_CHAR));
    typedefType* str64 = alias("str64", varArray(prim(CODE_CHAR), stringLength(), num(64)));
    t.nameT = alias("name_t", fixedArray(prim(CODE_CHAR), num(16)));
    typedefType* quad = alias("quad", fixedArray(prim(CODE_INT), num(4)));
    classType* inner = structType(
        "inner", {sym("s", prim(CODE_SHORT)), sym("us", prim(CODE_SHORT, CODE_UNSIGNED))});
    typedefType* point =
        alias("point", structType("", {sym("x", prim(CODE_INT)), sym("y", prim(CODE_INT))}));
    classType* numUnion =
        structType("num", {sym("i", prim(CODE_INT)), sym("f", prim(CODE_FLOAT))}, CODE_UNION);
    classType* node = structType("node", {sym("value", prim(CODE_INT))});
    node->addMember(sym("next", ptr(node)));
    t.list = alias("list", ptr(node));
    typedefType* nodeT = alias("node_t", node);

    t.prims = structType(
        "prims", {sym("c", prim(CODE_CHAR)), sym("uc", prim(CODE_CHAR, CODE_UNSIGNED)),
                  sym("s", prim(CODE_SHORT)), sym("us", prim(CODE_SHORT, CODE_UNSIGNED)),
                  sym("i", prim(CODE_INT)), sym("ui", prim(CODE_INT, CODE_UNSIGNED)),
                  sym("l", prim(CODE_LONG)), sym("ul", prim(CODE_LONG, CODE_UNSIGNED)),
                  sym("f", prim(CODE_FLOAT)), sym("d", prim(CODE_DOUBLE)),
                  sym("e", prim(CODE_ENUM)), sym("n", count), sym("n2", t.count2),
                  sym("ct", alias("color_t", prim(CODE_ENUM))), sym("pe", ptr(prim(CODE_ENUM)))});

    Symbol* matrix = sym("m", fixedArray(fixedArray(prim(CODE_INT), num(3)), num(2)));
    matrix->normalizeType();
    t.arrays = structType(
        "arrays", {sym("tag", fixedArray(prim(CODE_CHAR), num(8))),
                   sym("ub", fixedArray(prim(CODE_CHAR, CODE_UNSIGNED), num(3))),
                   sym("raw", fixedArray(byte, num(5))),
                   sym("grid", fixedArray(prim(CODE_INT), num(4))),
                   sym("len", prim(CODE_INT)),
                   sym("name", fixedArray(prim(CODE_CHAR), num(16), var("len"))),
                   sym("n", prim(CODE_INT)),
                   sym("vals", varArray(prim(CODE_INT), var("n"), num(10))),
                   sym("bn", prim(CODE_INT, CODE_UNSIGNED)),
                   sym("blob", varArray(prim(CODE_VOID), var("bn"), num(32))),
                   sym("bytes", varArray(byte, var("bn"), num(32))),
                   sym("ubytes", varArray(prim(CODE_CHAR, CODE_UNSIGNED), var("bn"), num(32))),
                   sym("ns", prim(CODE_INT)),
                   sym("names", varArray(str64, var("ns"), num(3))),
                   sym("np", prim(CODE_INT)),
                   sym("points", varArray(point, var("np"), num(4))),
                   sym("pair", varArray(prim(CODE_INT), nullptr, num(2))),
                   sym("fixedname", t.nameT),
                   sym("q", quad),
                   sym("pts", fixedArray(point, num(2))),
                   sym("colors", varArray(prim(CODE_ENUM), var("n"), num(10))),
                   matrix});

    Symbol* ipp = sym("ipp", ptr(ptr(prim(CODE_INT))));
    ipp->normalizeType();
    unionType* armed = switchUnion(var("kind"), {{num(1), sym("code", prim(CODE_INT))},
                                                 {num(2), sym("val", prim(CODE_DOUBLE))},
                                                 {num(3), sym("text", str64)},
                                                 {num(4), sym("where", point)}});
    unionType* unnamed = switchUnion(var("kind"), {{num(5), sym("link", nodeT)}});
    t.holder = structType("holder",
                          {sym("in", inner), sym("p", point), sym("numv", numUnion),
                           sym("ip", ptr(prim(CODE_INT))), ipp, sym("l", t.list), sym("s", str64),
                           sym("head", ptr(node)), sym("kind", prim(CODE_INT)), sym("u", armed)});
    t.holder->addMember(sym("", unnamed));
    t.holder->addMember(
        sym("anon", structType("", {sym("a", prim(CODE_INT)), sym("label", str64)})));
    t.holder->addMember(sym(
        "raw", structType("", {sym("i", prim(CODE_INT)), sym("f", prim(CODE_FLOAT))}, CODE_UNION)));
    return t;
}

inline rpcVersion* everyFormVersion(const EveryForm& t)
{
    rpcVersion* v = version(
        2, {
               procedure("putPrims", prim(CODE_VOID), {arg("p", ptr(t.prims))}),
               procedure("putArrays", t.count2, {arg("a", ptr(t.arrays))}),
               procedure("swapHolder", prim(CODE_INT), {arg("h", ptr(t.holder), DIR_INOUT)}),
               procedure("firstName", t.list, {arg("n", t.nameT)}),
           });
    oneVersionProgram("forms", 0x20000123, v);
    return v;
}

}  // namespace models

#endif
