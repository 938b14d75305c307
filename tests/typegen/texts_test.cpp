// Exact texts of the type generators. The expected strings are written out
// by hand from the documented forms of each construct; where the generated
// text deliberately differs (so that it compiles, or so that a count from
// the wire cannot overrun a buffer) the difference is spelled out next to
// the expectation.
#include <gtest/gtest.h>

#include <sstream>

#include "generate/codegen_support.h"
#include "model_builder.h"
#include "model/token_table.h"

using namespace build;

namespace {

std::string declare(Type* t) {
  std::ostringstream out;
  std::string text = t->emitDeclaration(out);
  EXPECT_EQ(text, out.str());
  return text;
}

std::string routine(Type* t) {
  std::ostringstream out;
  std::string text = t->emitXdrRoutine(out);
  EXPECT_EQ(text, out.str());
  EXPECT_EQ(indentLevel, 0);
  return text;
}

// The struct used by the array examples: its routine parameter is prec.
std::string memberBlock(Type* t, const std::string& name) {
  return t->xdrCall("xdrp", "prec->", name);
}

}  // namespace

TEST(TypeDeclarations, TypedefsStructsAndRecords) {
  EXPECT_EQ(declare(alias("count", prim(CODE_INT, CODE_UNSIGNED))), "typedef u_int count;\n\n");
  EXPECT_EQ(declare(alias("name_t", fixedArray(prim(CODE_CHAR), num(64)))),
            "typedef char name_t[64];\n\n");
  EXPECT_EQ(declare(alias("text_t", varArray(prim(CODE_CHAR), var("n"), num(10)))),
            "typedef char* text_t;\n\n");

  classType* point = structType("", {sym("x", prim(CODE_INT)), sym("y", prim(CODE_INT))});
  typedefType* pointAlias = alias("point", point);
  EXPECT_EQ(declare(point), "typedef struct{\n\tint x;\n\tint y;\n}point;\n\n");
  EXPECT_EQ(declare(pointAlias), "");

  classType* node = structType("node", {sym("value", prim(CODE_INT))});
  node->addMember(sym("next", ptr(node)));
  EXPECT_EQ(declare(node), "struct node{\n\tint value;\n\tstruct node* next;\n};\n\n");
  alias("node_t", node);
  EXPECT_EQ(declare(node), "typedef struct node{\n\tint value;\n\tstruct node* next;\n}node_t;\n\n");

  // Two typedefs of one tagged struct: the last one names the struct.
  classType* pair = structType("pair", {sym("a", prim(CODE_INT))});
  typedefType* first = alias("A", pair);
  typedefType* second = alias("B", pair);
  EXPECT_EQ(declare(pair), "typedef struct pair{\n\tint a;\n}B;\n\n");
  EXPECT_EQ(declare(first), "typedef struct pair A;\n\n");
  EXPECT_EQ(declare(second), "");
  EXPECT_EQ(declare(alias("C", first)), "typedef A C;\n\n");
}

TEST(TypeDeclarations, ArgumentRecordDropsQualifiersOnlyWhileDeclared) {
  Symbol* a = arg("a", prim(CODE_INT));
  Symbol* b = arg("b", prim(CODE_INT), DIR_IN, CODE_CONST);
  Symbol* s = arg("s", ptr(prim(CODE_CHAR)), DIR_IN, CODE_CONST);
  classType* record = structType("add_in_t", {a, b, s});
  record->setTypedefName("add_in_t");
  record->markArgRecord();
  // Documented form: "\tconst int b;\n". A const member could not be
  // filled by the stub nor decoded in place, so no record member keeps its
  // qualifier.
  EXPECT_EQ(declare(record), "typedef struct add_in_t{\n\tint a;\n\tint b;\n\tchar* s;\n}add_in_t;\n\n");
  EXPECT_EQ(b->declaration(0), "const int b");
  EXPECT_EQ(s->declaration(0), "const char* s");
}

TEST(TypeDeclarations, DiscriminatedUnionBlockAndFreeMacros) {
  unionType* u = switchUnion(var("kind"), {{num(1), sym("a", prim(CODE_INT))},
                                           {num(2), sym("f", prim(CODE_FLOAT))}});
  classType* msg = structType("msg", {sym("kind", prim(CODE_INT)), sym("u", u)});
  EXPECT_EQ(declare(msg),
            "struct msg{\n\tint kind;\n\t\tunion {\n\tint a;\n\tfloat f;\n\t}u;\n\n;\n};\n\n");

  classType* point = structType("", {sym("x", prim(CODE_INT))});
  alias("point", point);
  EXPECT_EQ(point->freeMacro(),
            "#define point_freeres( ppoint ) \\\n do { if(ppoint) xdr_free ( (xdrproc_t)xdr_point,(char*)ppoint);}while(0)\n\n");
  for (Type* none : std::initializer_list<Type*>{prim(CODE_INT), ptr(prim(CODE_INT)),
                                                 fixedArray(prim(CODE_INT), num(3)), u})
    EXPECT_EQ(none->freeMacro(), "");
}

TEST(XdrCode, FilterNames) {
  struct {
    int base, sign;
    const char* filter;
  } table[] = {
      {CODE_INT, CODE_UNSIGNED, "xdr_u_int"},     {CODE_INT, CODE_NONE, "xdr_int"},
      {CODE_CHAR, CODE_UNSIGNED, "xdr_u_char"},   {CODE_CHAR, CODE_NONE, "xdr_char"},
      {CODE_SHORT, CODE_UNSIGNED, "xdr_u_short"}, {CODE_SHORT, CODE_NONE, "xdr_short"},
      {CODE_LONG, CODE_UNSIGNED, "xdr_u_long"},   {CODE_LONG, CODE_NONE, "xdr_long"},
      {CODE_FLOAT, CODE_UNSIGNED, "xdr_float"},   {CODE_DOUBLE, CODE_NONE, "xdr_double"},
      {CODE_ENUM, CODE_NONE, "xdr_enum"},         {CODE_VOID, CODE_NONE, "xdr_void"},
  };
  for (const auto& row : table)
    EXPECT_EQ(prim(row.base, row.sign)->xdrRoutineName(), row.filter) << row.base << " " << row.sign;
}

TEST(XdrCode, TypedefAndPointerRoutines) {
  typedefType* count = alias("count", prim(CODE_INT, CODE_UNSIGNED));
  EXPECT_EQ(count->xdrSignature(), "xdr_count(XDR*, count*)");
  EXPECT_EQ(routine(count),
            "bool_t xdr_count(XDR*xdrp, count* pcount){\n\tif(!xdr_u_int(xdrp, pcount))\n\t\treturn 0;\n\t\treturn 1;\n}\n\n");

  classType* point = structType("", {sym("x", prim(CODE_INT))});
  typedefType* pointAlias = alias("point", point);
  EXPECT_EQ(routine(pointAlias), "");
  EXPECT_EQ(routine(alias("pt", pointAlias)),
            "bool_t xdr_pt(XDR*xdrp, pt* ppt){\n\tif(!xdr_point(xdrp, ppt))\n\t\treturn 0;\n\t\treturn 1;\n}\n\n");

  classType* node = structType("node", {sym("value", prim(CODE_INT))});
  refType* next = ptr(node);
  EXPECT_EQ(node->xdrSignature(), "xdr_node(XDR*, struct node*)");
  indentMore();
  EXPECT_EQ(next->xdrCall("xdrp", "pnode->", "next"),
            "\tif(!xdr_pointer(xdrp, (char**)&pnode->next, sizeof(struct node), (xdrproc_t)xdr_node))\n\t\treturn 0;\n");
  indentLess();
  EXPECT_EQ(routine(alias("list", next)),
            "bool_t xdr_list(XDR*xdrp, list* plist){\n\tif(!xdr_pointer(xdrp, (char**)plist, sizeof(struct node), (xdrproc_t)xdr_node))\n\t\treturn 0;\n\t\treturn 1;\n}\n\n");
}

TEST(XdrCode, PointerAllocationReleaseAndCopy) {
  typedefType* stat = alias("stat_t", structType("", {sym("size", prim(CODE_LONG))}));
  refType* q = ptr(stat);
  EXPECT_EQ(q->mallocCode("pVar->", "q"),
            "\tpVar->q = (stat_t*) malloc(sizeof(stat_t));\n\tMEM_ASSERT(pVar->q);\n\tmemset(pVar->q, 0, sizeof(*pVar->q));\n");
  EXPECT_EQ(q->freeCode("pVar->", "q"), "\tfree(pVar->q);\n");
  EXPECT_EQ(q->copyCode("pOut->", "q", "pIn->", "q", 0), "\tpOut->q = pIn->q;\n");
  EXPECT_EQ(q->mallocCode("pVar->", "_vlrpc_return_"), "");
  EXPECT_EQ(q->freeCode("pVar->", "_vlrpc_return_"), "");

  // A pointer to data that owns memory (a linked node) also releases what
  // hangs below it, through the element's routine, before the head.
  classType* node = structType("node", {sym("value", prim(CODE_INT))});
  node->addMember(sym("next", ptr(node)));
  EXPECT_EQ(ptr(node)->freeCode("pVar->", "head"),
            "\tif(pVar->head)\n\t\txdr_free((xdrproc_t)xdr_node, (char*)pVar->head);\n\tfree(pVar->head);\n");
}

TEST(ArrayCode, DeclaratorsAndFilters) {
  EXPECT_EQ(sym("data", varArray(prim(CODE_CHAR), var("n"), num(1024)))->declaration(0), "char* data");
  EXPECT_EQ(sym("vals", varArray(prim(CODE_INT), var("n"), num(100)))->declaration(0), "int* vals");
  EXPECT_EQ(sym("tag", fixedArray(prim(CODE_CHAR), num(8)))->declaration(0), "char tag[8]");
  EXPECT_EQ(sym("grid", fixedArray(prim(CODE_INT), num(16)))->declaration(0), "int grid[16]");

  typedefType* byte = alias("byte", prim(CODE_CHAR));
  EXPECT_EQ(fixedArray(byte, num(4))->xdrRoutineName(), "xdr_opaque");
  EXPECT_EQ(varArray(byte, var("n"), num(4))->xdrRoutineName(), "xdr_bytes");
  EXPECT_EQ(varArray(prim(CODE_VOID), var("n"), num(512))->xdrRoutineName(), "xdr_bytes");
  EXPECT_EQ(fixedArray(prim(CODE_CHAR, CODE_UNSIGNED), num(4))->xdrRoutineName(), "xdr_vector");
  EXPECT_EQ(varArray(prim(CODE_CHAR, CODE_UNSIGNED), var("n"), num(4))->xdrRoutineName(), "xdr_array");
  EXPECT_EQ(memberBlock(fixedArray(byte, num(4)), "b"),
            "\t{\n\tunsigned int maxlen = 4;\n\tif(!xdr_opaque(xdrp, (char*)prec->b, maxlen))\n\t\treturn 0;\n\t}\n");
  EXPECT_EQ(memberBlock(fixedArray(prim(CODE_CHAR, CODE_UNSIGNED), num(4)), "u"),
            "\t{\n\tunsigned int maxlen = 4;\n\tif(!xdr_vector(xdrp, (char*)prec->u, maxlen, sizeof(u_char), (xdrproc_t)xdr_u_char))\n\t\treturn 0;\n\t}\n");
}

TEST(ArrayCode, XdrBlocks) {
  EXPECT_EQ(memberBlock(fixedArray(prim(CODE_CHAR), num(8)), "tag"),
            "\t{\n\tunsigned int maxlen = 8;\n\tif(!xdr_opaque(xdrp, (char*)prec->tag, maxlen))\n\t\treturn 0;\n\t}\n");

  // Documented form plus the refusal of a count above the bound (the two
  // lines after the count is coded).
  EXPECT_EQ(memberBlock(fixedArray(prim(CODE_CHAR), num(64), var("count")), "name"),
            "\t{\n\tunsigned int maxlen = 64;\n\tmaxlen = prec->count;\n\tif(!xdr_u_int(xdrp, &maxlen))\n\t\treturn 0;\n"
            "\tif(maxlen > 64)\n\t\treturn 0;\n"
            "\tif(!xdr_opaque(xdrp, (char*)prec->name, maxlen))\n\t\treturn 0;\n\t}\n");

  // Documented form: "\tif(xdrp->x_op != XDR_DECODE)\n\t\tlen = prec->n;\n".
  // The count is taken from the data only when encoding, never while
  // freeing; a null array codes as an empty one.
  EXPECT_EQ(memberBlock(varArray(prim(CODE_INT), var("n"), num(100)), "vals"),
            "\t{\n\tunsigned int len; \n\tunsigned int maxlen = 100;\n"
            "\tif(xdrp->x_op == XDR_ENCODE)\n\t\tlen = prec->vals == 0 ? 0 : prec->n;\n\telse\n\t\tlen = 0;\n"
            "\tif(!xdr_array(xdrp, (char**)&prec->vals, &len, maxlen, sizeof(int), (xdrproc_t)xdr_int))\n\t\treturn 0;\n\t}\n");

  // A variable array with only a bound counts with the bound.
  EXPECT_NE(memberBlock(varArray(prim(CODE_INT), nullptr, num(100)), "v").find("\t\tlen = prec->v == 0 ? 0 : 100;\n"),
            std::string::npos);

  expressionList* args = new expressionList();
  args->add(new unaryExp('*', thisExpression));
  typedefType* str1024 = alias("str1024", varArray(prim(CODE_CHAR),
                                                   new binaryExp(new funcExp("strlen", args), '+', num(1)),
                                                   num(1024)));
  const std::string text = routine(str1024);
  EXPECT_NE(text.find("\t\tlen = *pstr1024 == 0 ? 0 : (strlen((*pstr1024))+1);\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\tif(!xdr_bytes(xdrp, (char**)pstr1024, &len, maxlen))\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("XDR_FREE"), std::string::npos) << text;
}

TEST(ArrayCode, AllocationReleaseAndCopy) {
  arrayType* vals = varArray(prim(CODE_INT), var("n"), num(100));
  EXPECT_EQ(vals->mallocCode("pVar->", "vals"),
            "\tpVar->vals = (int*) malloc(100 * sizeof(int));\n\tMEM_ASSERT(pVar->vals);\n\tmemset(pVar->vals, 0, 100 * sizeof(int));\n");
  EXPECT_EQ(vals->freeCode("pVar->", "vals"), "\tfree(pVar->vals);\n");
  EXPECT_EQ(vals->copyCode("pOut->", "vals", "pIn->", "vals", 0),
            "\tmemcpy(pOut->vals, pIn->vals, ((unsigned int)(pIn->n) < (unsigned int)(100) ? "
            "(unsigned int)(pIn->n) : (unsigned int)(100)) * sizeof(int));\n");
  EXPECT_EQ(varArray(prim(CODE_CHAR), var("n"), num(1024))->mallocCode("pVar->", "data").find(
                "\tpVar->data = (char*) malloc(1024);\n"),
            0u);

  arrayType* fixed = fixedArray(prim(CODE_INT), num(4));
  EXPECT_EQ(fixed->mallocCode("pVar->", "f"), "");
  EXPECT_EQ(fixed->freeCode("pVar->", "f"), "");
  EXPECT_EQ(vals->mallocCode("pVar->", "_vlrpc_return_"), "");
  EXPECT_EQ(vals->freeCode("pVar->", "_vlrpc_return_"), "");

  // Documented form names the element by its bare name ("sizeof(node)"),
  // which does not compile for a tagged struct.
  classType* node = structType("node", {sym("value", prim(CODE_INT))});
  EXPECT_EQ(varArray(node, var("n"), num(4))->copyCode("pOut->", "v", "pIn->", "v", 0),
            "\tmemcpy(pOut->v, pIn->v, ((unsigned int)(pIn->n) < (unsigned int)(4) ? "
            "(unsigned int)(pIn->n) : (unsigned int)(4)) * sizeof(struct node));\n");
}

TEST(StructCode, RoutinesAndHelpers) {
  classType* point = structType("", {sym("x", prim(CODE_INT)), sym("y", prim(CODE_INT))});
  alias("point", point);
  EXPECT_EQ(routine(point),
            "\nbool_t xdr_point(XDR*xdrp, point* ppoint){\n\n\tif(!xdr_int(xdrp, &ppoint->x))\n\t\treturn 0;\n\tif(!xdr_int(xdrp, &ppoint->y))\n\t\treturn 0;\n\n\treturn 1;\n}\n\n");
  EXPECT_EQ(routine(structType("e", {})), "\nbool_t xdr_e(XDR*xdrp, struct e* pe){\n\n\n\treturn 1;\n}\n\n");

  // Documented body: "xdr_opaque(xdrp, pnum, sizeof(*pnum))"; the union
  // pointer is cast to the filter's char* so that the call compiles.
  classType* num_u = structType("num", {sym("i", prim(CODE_INT)), sym("f", prim(CODE_FLOAT))}, CODE_UNION);
  EXPECT_NE(routine(num_u).find("\tif(!xdr_opaque(xdrp, (char*)pnum, sizeof(*pnum)))\n\t\treturn 0;\n"),
            std::string::npos);

  classType* node = structType("node", {sym("value", prim(CODE_INT))});
  node->addMember(sym("next", ptr(node)));
  EXPECT_NE(routine(node).find("(xdrproc_t)xdr_node"), std::string::npos);

  typedefType* stat = alias("stat_t", structType("", {sym("size", prim(CODE_LONG))}));
  classType* out = structType("fetch_out_t", {arg("st", ptr(stat), DIR_OUT),
                                              sym("_vlrpc_return_", prim(CODE_INT))});
  out->setTypedefName("fetch_out_t");
  out->markArgRecord();
  std::ostringstream sink;
  EXPECT_EQ(out->emitMallocHelper(sink),
            "int malloc_fetch_out_t(struct fetch_out_t* pVar){\n\tpVar->st = (stat_t*) malloc(sizeof(stat_t));\n\tMEM_ASSERT(pVar->st);\n\tmemset(pVar->st, 0, sizeof(*pVar->st));\n\treturn (1);\n}\n\n\n");
  EXPECT_EQ(out->emitFreeHelper(sink),
            "void mfree_fetch_out_t(struct fetch_out_t* pVar){\n\tfree(pVar->st);\n\treturn;\n}\n\n\n");
  EXPECT_EQ(mallocHelperPrototype(out), "int malloc_fetch_out_t(struct fetch_out_t* pVar)");
  EXPECT_EQ(freeHelperPrototype(out), "void mfree_fetch_out_t(struct fetch_out_t* pVar)");

  // inout pointers are the caller's: neither allocated nor released; a
  // variable array is allocated with its bound.
  classType* rec = structType("r_out_t", {arg("io", ptr(prim(CODE_INT)), DIR_INOUT, CODE_CONST),
                                          arg("name", ptr(prim(CODE_CHAR)), DIR_OUT, CODE_CONST),
                                          arg("vals", varArray(prim(CODE_INT), var("n"), num(100)), DIR_OUT)});
  const std::string helpers = rec->emitMallocHelper(sink) + rec->emitFreeHelper(sink);
  EXPECT_EQ(helpers.find("io"), std::string::npos);
  EXPECT_NE(helpers.find("\tpVar->name = (char*) malloc(sizeof(char));\n"), std::string::npos);
  EXPECT_NE(helpers.find("\tpVar->vals = (int*) malloc(100 * sizeof(int));"), std::string::npos);
}

TEST(UnionCode, SwitchBlocks) {
  unionType* u = switchUnion(var("kind"), {{num(1), sym("code", prim(CODE_INT))},
                                           {num(2), sym("val", prim(CODE_DOUBLE))}});
  classType* msg = structType("msg", {sym("kind", prim(CODE_INT)), sym("u", u)});
  EXPECT_EQ(routine(msg),
            "\nbool_t xdr_msg(XDR*xdrp, struct msg* pmsg){\n\n\tif(!xdr_int(xdrp, &pmsg->kind))\n\t\treturn 0;\n"
            "\tswitch(pmsg->kind) {\n\tcase 1:\n\t\tif(!xdr_int(xdrp, &pmsg->u.code))\n\t\t\treturn 0;\n\t\tbreak;\n\n"
            "\tcase 2:\n\t\tif(!xdr_double(xdrp, &pmsg->u.val))\n\t\t\treturn 0;\n\t\tbreak;\n\n\t\tdefault:;\n\t}\n"
            "\n\treturn 1;\n}\n\n");

  unionType* unnamed = switchUnion(new binaryExp(var("a"), '+', var("b")),
                                   {{num(1), sym("code", prim(CODE_INT))}});
  indentMore();
  const std::string block = unnamed->xdrCall("xdrp", "pmsg->", "");
  indentLess();
  EXPECT_NE(block.find("\tswitch((pmsg->a+pmsg->b)) {\n"), std::string::npos) << block;
  EXPECT_NE(block.find("&pmsg->code"), std::string::npos) << block;

  classType* point = structType("", {sym("x", prim(CODE_INT))});
  alias("point", point);
  unionType* where = switchUnion(var("kind"), {{num(3), sym("where", point)}});
  indentMore();
  EXPECT_NE(where->xdrCall("xdrp", "pmsg->", "u").find("\t\tif(!xdr_point(xdrp, &pmsg->u.where))\n\t\t\treturn 0;\n"),
            std::string::npos);
  indentLess();
}
