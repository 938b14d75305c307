// Exact texts of the type generators. The expected strings are written out
// by hand; where the generated text is more than the plain construct (so
// that it compiles, or so that a count from the wire cannot overrun a
// buffer), the plain text is quoted next to the expectation with the reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "generate/codegen_support.h"
#include "model_builder.h"
#include "model/token_table.h"

using namespace build;

namespace {

std::string declare(Type* t)
{
    std::ostringstream out;
    std::string text = t->emitDeclaration(out);
    EXPECT_EQ(text, out.str());
    return text;
}

std::string routine(Type* t)
{
    std::ostringstream out;
    std::string text = t->emitXdrRoutine(out);
    EXPECT_EQ(text, out.str());
    EXPECT_EQ(indentLevel, 0);
    return text;
}

// strlen(*this)+1: the count of a NUL-terminated string.
expression* stringLength()
{
    expressionList* args = new expressionList();
    args->add(new unaryExp('*', thisExpression));
    return new binaryExp(new funcExp("strlen", args), '+', num(1));
}

// The struct used by the array examples: its routine parameter is prec.
std::string memberBlock(Type* t, const std::string& name)
{
    return t->xdrCall("xdrp", "prec->", name);
}

// The statements of the members of such a struct, in the given order.
std::string memberStatements(std::initializer_list<Symbol*> members)
{
    symbolSet record;
    for (Symbol* member : members)
        record.add(member);
    memberSequence sequence(record, "xdrp", "prec->");
    indentMore();
    for (Symbol* member : members)
        sequence.add(member);
    indentLess();
    return sequence.text();
}

}  // namespace

TEST(TypeDeclarations, TypedefsStructsAndRecords)
{
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
    EXPECT_EQ(declare(node),
              "typedef struct node{\n\tint value;\n\tstruct node* next;\n}node_t;\n\n");

    // Two typedefs of one tagged struct: the last one names the struct.
    classType* pair = structType("pair", {sym("a", prim(CODE_INT))});
    typedefType* first = alias("A", pair);
    typedefType* second = alias("B", pair);
    EXPECT_EQ(declare(pair), "typedef struct pair{\n\tint a;\n}B;\n\n");
    EXPECT_EQ(declare(first), "typedef struct pair A;\n\n");
    EXPECT_EQ(declare(second), "");
    EXPECT_EQ(declare(alias("C", first)), "typedef A C;\n\n");
}

TEST(TypeDeclarations, ArgumentRecordDropsQualifiersOnlyWhileDeclared)
{
    Symbol* a = arg("a", prim(CODE_INT));
    Symbol* b = arg("b", prim(CODE_INT), DIR_IN, CODE_CONST);
    Symbol* s = arg("s", ptr(prim(CODE_CHAR)), DIR_IN, CODE_CONST);
    classType* record = structType("add_in_t", {a, b, s});
    record->setTypedefName("add_in_t");
    record->markArgRecord();
    // Not "\tconst int b;\n": a const member could not be
    // filled by the stub nor decoded in place, so no record member keeps its
    // qualifier.
    EXPECT_EQ(declare(record),
              "typedef struct add_in_t{\n\tint a;\n\tint b;\n\tchar* s;\n}add_in_t;\n\n");
    EXPECT_EQ(b->declaration(0), "const int b");
    EXPECT_EQ(s->declaration(0), "const char* s");
}

TEST(TypeDeclarations, DiscriminatedUnionBlockAndFreeMacros)
{
    unionType* u = switchUnion(
        var("kind"), {{num(1), sym("a", prim(CODE_INT))}, {num(2), sym("f", prim(CODE_FLOAT))}});
    classType* msg = structType("msg", {sym("kind", prim(CODE_INT)), sym("u", u)});
    EXPECT_EQ(declare(msg),
              "struct msg{\n\tint kind;\n\t\tunion {\n\tint a;\n\tfloat f;\n\t}u;\n\n;\n};\n\n");

    classType* point = structType("", {sym("x", prim(CODE_INT))});
    alias("point", point);
    // Not " do { if(ppoint) xdr_free ( (xdrproc_t)xdr_point,(char*)ppoint);}while(0)":
    // the argument is taken into a local once: tested directly, the address
    // of a variable draws a cc -Wall warning in every program that uses it.
    EXPECT_EQ(
        point->freeMacro(),
        "#define point_freeres( ppoint ) \\\n do { char* _vlrpc_p_ = (char*)(ppoint); if(_vlrpc_p_) xdr_free ( (xdrproc_t)xdr_point,_vlrpc_p_);}while(0)\n\n");
    for (Type* none : std::initializer_list<Type*>{prim(CODE_INT), ptr(prim(CODE_INT)),
                                                   fixedArray(prim(CODE_INT), num(3)), u})
        EXPECT_EQ(none->freeMacro(), "");
}

TEST(XdrCode, FilterNames)
{
    struct {
        int base, sign;
        const char* filter;
    } table[] = {
        {CODE_INT, CODE_UNSIGNED, "xdr_u_int"},      {CODE_INT, CODE_NONE, "xdr_int"},
        {CODE_CHAR, CODE_UNSIGNED, "xdr_u_char"},    {CODE_CHAR, CODE_NONE, "xdr_char"},
        {CODE_SHORT, CODE_UNSIGNED, "xdr_u_short"},  {CODE_SHORT, CODE_NONE, "xdr_short"},
        {CODE_LONG, CODE_UNSIGNED, "xdr_u_long_vl"}, {CODE_LONG, CODE_NONE, "xdr_long_vl"},
        {CODE_FLOAT, CODE_UNSIGNED, "xdr_float"},    {CODE_DOUBLE, CODE_NONE, "xdr_double"},
        {CODE_ENUM, CODE_NONE, "xdr_enum"},          {CODE_VOID, CODE_NONE, "xdr_void"},
    };
    for (const auto& row : table)
        EXPECT_EQ(prim(row.base, row.sign)->xdrRoutineName(), row.filter)
            << row.base << " " << row.sign;
}

// Typedef routines were to end with "\t\treturn 1;"; one tab is written,
// since the second makes cc -Wall report the return as misleadingly
// indented under the "if" above it.
TEST(XdrCode, TypedefAndPointerRoutines)
{
    typedefType* count = alias("count", prim(CODE_INT, CODE_UNSIGNED));
    EXPECT_EQ(count->xdrSignature(), "xdr_count(XDR*, count*)");
    EXPECT_EQ(
        routine(count),
        "bool_t xdr_count(XDR*xdrp, count* pcount){\n\tif(!xdr_u_int(xdrp, pcount))\n\t\treturn 0;\n\treturn 1;\n}\n\n");

    classType* point = structType("", {sym("x", prim(CODE_INT))});
    typedefType* pointAlias = alias("point", point);
    EXPECT_EQ(routine(pointAlias), "");
    EXPECT_EQ(
        routine(alias("pt", pointAlias)),
        "bool_t xdr_pt(XDR*xdrp, pt* ppt){\n\tif(!xdr_point(xdrp, ppt))\n\t\treturn 0;\n\treturn 1;\n}\n\n");

    classType* node = structType("node", {sym("value", prim(CODE_INT))});
    refType* next = ptr(node);
    EXPECT_EQ(node->xdrSignature(), "xdr_node(XDR*, struct node*)");
    indentMore();
    EXPECT_EQ(
        next->xdrCall("xdrp", "pnode->", "next"),
        "\tif(!xdr_pointer(xdrp, (char**)&pnode->next, sizeof(struct node), (xdrproc_t)xdr_node))\n\t\treturn 0;\n");
    indentLess();
    EXPECT_EQ(
        routine(alias("list", next)),
        "bool_t xdr_list(XDR*xdrp, list* plist){\n\tif(!xdr_pointer(xdrp, (char**)plist, sizeof(struct node), (xdrproc_t)xdr_node))\n\t\treturn 0;\n\treturn 1;\n}\n\n");
}

TEST(XdrCode, PointerAllocationReleaseAndCopy)
{
    typedefType* stat = alias("stat_t", structType("", {sym("size", prim(CODE_LONG))}));
    refType* q = ptr(stat);
    EXPECT_EQ(
        q->mallocCode("pVar->", "q"),
        "\tpVar->q = (stat_t*) malloc(sizeof(stat_t));\n\tMEM_ASSERT(pVar->q);\n\tmemset(pVar->q, 0, sizeof(*pVar->q));\n");
    EXPECT_EQ(q->freeCode("pVar->", "q"), "\tfree(pVar->q);\n");
    EXPECT_EQ(q->copyCode("pOut->", "q", "pIn->", "q", 0), "\tpOut->q = pIn->q;\n");
    EXPECT_EQ(q->mallocCode("pVar->", "_vlrpc_return_"), "");
    EXPECT_EQ(q->freeCode("pVar->", "_vlrpc_return_"), "");

    // A pointer to data that owns memory (a linked node) also releases what
    // hangs below it, through the element's routine, before the head.
    classType* node = structType("node", {sym("value", prim(CODE_INT))});
    node->addMember(sym("next", ptr(node)));
    EXPECT_EQ(
        ptr(node)->freeCode("pVar->", "head"),
        "\tif(pVar->head)\n\t\txdr_free((xdrproc_t)xdr_node, (char*)pVar->head);\n\tfree(pVar->head);\n");
}

TEST(ArrayCode, DeclaratorsAndFilters)
{
    EXPECT_EQ(sym("data", varArray(prim(CODE_CHAR), var("n"), num(1024)))->declaration(0),
              "char* data");
    EXPECT_EQ(sym("vals", varArray(prim(CODE_INT), var("n"), num(100)))->declaration(0),
              "int* vals");
    EXPECT_EQ(sym("tag", fixedArray(prim(CODE_CHAR), num(8)))->declaration(0), "char tag[8]");
    EXPECT_EQ(sym("grid", fixedArray(prim(CODE_INT), num(16)))->declaration(0), "int grid[16]");

    typedefType* byte = alias("byte", prim(CODE_CHAR));
    EXPECT_EQ(fixedArray(byte, num(4))->xdrRoutineName(), "xdr_opaque");
    EXPECT_EQ(varArray(byte, var("n"), num(4))->xdrRoutineName(), "xdr_bytes");
    EXPECT_EQ(varArray(prim(CODE_VOID), var("n"), num(512))->xdrRoutineName(), "xdr_bytes");
    EXPECT_EQ(fixedArray(prim(CODE_CHAR, CODE_UNSIGNED), num(4))->xdrRoutineName(), "xdr_vector");
    EXPECT_EQ(varArray(prim(CODE_CHAR, CODE_UNSIGNED), var("n"), num(4))->xdrRoutineName(),
              "xdr_array");
    EXPECT_EQ(
        memberBlock(fixedArray(byte, num(4)), "b"),
        "\t{\n\tunsigned int maxlen = 4;\n\tif(!xdr_opaque(xdrp, (char*)prec->b, maxlen))\n\t\treturn 0;\n\t}\n");
    EXPECT_EQ(
        memberBlock(fixedArray(prim(CODE_CHAR, CODE_UNSIGNED), num(4)), "u"),
        "\t{\n\tunsigned int maxlen = 4;\n\tif(!xdr_vector(xdrp, (char*)prec->u, maxlen, sizeof(u_char), (xdrproc_t)xdr_u_char))\n\t\treturn 0;\n\t}\n");
}

TEST(ArrayCode, XdrBlocks)
{
    EXPECT_EQ(
        memberBlock(fixedArray(prim(CODE_CHAR), num(8)), "tag"),
        "\t{\n\tunsigned int maxlen = 8;\n\tif(!xdr_opaque(xdrp, (char*)prec->tag, maxlen))\n\t\treturn 0;\n\t}\n");

    // The count is taken from the data (in 64 bits) only when encoding, never
    // while freeing, and a count above the bound is refused either way.
    EXPECT_EQ(
        memberBlock(fixedArray(prim(CODE_CHAR), num(64), var("count")), "name"),
        "\t{\n\tunsigned int maxlen = 64;\n"
        "\tif(xdrp->x_op == XDR_ENCODE && !vlrpc_count_fits(((unsigned long long)(prec->count)), 64, &maxlen))\n"
        "\t\treturn 0;\n"
        "\tif(!xdr_u_int(xdrp, &maxlen))\n\t\treturn 0;\n"
        "\tif(maxlen > 64)\n\t\treturn 0;\n"
        "\tif(!xdr_opaque(xdrp, (char*)prec->name, maxlen))\n\t\treturn 0;\n\t}\n");

    // Decoding reads the count and fills storage that grows with the elements
    // that arrive, rather than handing xdr_array the bound; encoding sends the
    // size the data gives (a null array as an empty one, a size beyond the
    // bound refused); freeing needs no count for elements that own nothing.
    const std::string vals =
        "\t{\n\tunsigned int len; \n\tunsigned int maxlen = vlrpc_clamp(100ULL, 0xffffffffULL);\n"
        "\tif(xdrp->x_op == XDR_DECODE) {\n"
        "\t\tif(!xdr_u_int(xdrp, &len) || len > maxlen)\n\t\t\treturn 0;\n"
        "\t\tif(!vlrpc_decode_elements(xdrp, (char**)&prec->vals, len, sizeof(int), (xdrproc_t)xdr_int))\n"
        "\t\t\treturn 0;\n"
        "\t} else {\n\t\tlen = 0;\n"
        "\t\tif(xdrp->x_op == XDR_ENCODE && !vlrpc_count_fits(prec->vals == 0 ? 0 : ((unsigned long long)(prec->n)), maxlen, &len))\n"
        "\t\t\treturn 0;\n"
        "\t\tif(!xdr_array(xdrp, (char**)&prec->vals, &len, maxlen, sizeof(int), (xdrproc_t)xdr_int))\n\t\t\treturn 0;\n"
        "\t}\n\t}\n";
    EXPECT_EQ(memberBlock(varArray(prim(CODE_INT), var("n"), num(100)), "vals"), vals);

    // Once the size variable was coded before the array in the same routine,
    // a value that brings fewer elements than its size says is refused, and
    // what decoding allocated for it is released.
    const std::string checked = memberStatements(
        {sym("n", prim(CODE_INT)), sym("vals", varArray(prim(CODE_INT), var("n"), num(100)))});
    EXPECT_NE(checked.find("\t\tint fresh = prec->vals == 0;\n"), std::string::npos) << checked;
    EXPECT_NE(
        checked.find(
            "\t\tif(((unsigned long long)(prec->n)) > len) {\n\t\t\tif(fresh)\n"
            "\t\t\t\tvlrpc_release((char**)&prec->vals, len, sizeof(int), (xdrproc_t)xdr_int);\n"
            "\t\t\treturn 0;\n\t\t}\n"),
        std::string::npos)
        << checked;
    // A size coded after the array is not known yet when it is decoded: the
    // count it came with is kept, and the size is checked against it once the
    // record is decoded.
    const std::string waiting = memberStatements(
        {sym("vals", varArray(prim(CODE_INT), var("m"), num(100))), sym("m", prim(CODE_INT))});
    EXPECT_EQ(waiting.find("\t\tint fresh"), std::string::npos) << waiting;
    EXPECT_EQ(waiting.find(
                  "\tunsigned int _vlrpc_count_0 = 0;\n\tint _vlrpc_fresh_0 = prec->vals == 0;\n"),
              0u)
        << waiting;
    EXPECT_NE(waiting.find("\t}\n\t_vlrpc_count_0 = len;\n\t}\n"), std::string::npos) << waiting;
    const std::string deferredCheck =
        "\tif(!xdr_int(xdrp, &prec->m))\n\t\treturn 0;\n"
        "\tif(xdrp->x_op == XDR_DECODE && ((unsigned long long)(prec->m)) > _vlrpc_count_0) {\n"
        "\t\tif(_vlrpc_fresh_0)\n"
        "\t\t\tvlrpc_release((char**)&prec->vals, _vlrpc_count_0, sizeof(int), (xdrproc_t)xdr_int);\n"
        "\t\treturn 0;\n\t}\n";
    EXPECT_EQ(waiting.substr(waiting.size() - std::min(waiting.size(), deferredCheck.size())),
              deferredCheck)
        << waiting;

    // A variable array with only a bound counts with the bound.
    EXPECT_NE(memberBlock(varArray(prim(CODE_INT), nullptr, num(100)), "v")
                  .find("vlrpc_count_fits(prec->v == 0 ? 0 : 100ULL, maxlen, &len)"),
              std::string::npos);

    // Sizes are evaluated in 64 bits and saturate: a product of two unsigned
    // longs does not wrap into a small count.
    EXPECT_NE(
        memberBlock(varArray(prim(CODE_CHAR), new binaryExp(var("nm"), '*', var("size")),
                             new binaryExp(var("size"), '*', var("nm"))),
                    "ptr")
            .find(
                "\tunsigned int maxlen = vlrpc_clamp(vlrpc_size_mul(((unsigned long long)(prec->size)), "
                "((unsigned long long)(prec->nm))), 0xffffffffULL);\n"),
        std::string::npos);

    // A string is decoded into storage of its own, terminated behind the
    // count before its length is measured, and a length other than the
    // count is refused; only then does it reach the caller's storage.
    typedefType* str1024 = alias("str1024", varArray(prim(CODE_CHAR), stringLength(), num(1024)));
    const std::string text = routine(str1024);
    EXPECT_NE(
        text.find("vlrpc_decode_string(xdrp, (char**)pstr1024, maxlen, &len) && "
                  "!(!vlrpc_terminated((char*)*pstr1024, len, len + 1) || "
                  "(len != 0 && vlrpc_size_add(((unsigned long long)(strlen((*pstr1024)))), 1ULL) "
                  "!= len))"),
        std::string::npos)
        << text;
    EXPECT_NE(
        text.find(
            "vlrpc_count_fits(*pstr1024 == 0 ? 0 : vlrpc_size_add(((unsigned long long)(strlen((*pstr1024)))), 1ULL), maxlen, &len)"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("\t\tif(!xdr_bytes(xdrp, (char**)pstr1024, &len, maxlen))\n"),
              std::string::npos)
        << text;

    // In a member, `this` is the member's address: the string is the member.
    const std::string member =
        memberBlock(varArray(prim(CODE_CHAR), stringLength(), num(64)), "name");
    EXPECT_NE(member.find("strlen((*(&prec->name)))"), std::string::npos) << member;

    // A fixed string with a count holds its terminator when sent, and when
    // received.
    const std::string fixed =
        memberBlock(fixedArray(prim(CODE_CHAR), num(16), stringLength()), "c16");
    EXPECT_NE(
        fixed.find(
            "\tif(xdrp->x_op == XDR_ENCODE && !vlrpc_terminated((char*)prec->c16, 16, 16))\n\t\treturn 0;\n"),
        std::string::npos)
        << fixed;
    EXPECT_NE(
        fixed.find(
            "\tif(xdrp->x_op == XDR_DECODE && (!vlrpc_terminated((char*)prec->c16, maxlen, 16) || "),
        std::string::npos)
        << fixed;
}

TEST(ArrayCode, AllocationReleaseAndCopy)
{
    // The buffer is zeroed by calloc without touching its pages (no memset of
    // the whole buffer), its size checked in 64 bits.
    arrayType* vals = varArray(prim(CODE_INT), var("n"), num(100));
    EXPECT_EQ(
        vals->mallocCode("pVar->", "vals"),
        "\tpVar->vals = (int*) vlrpc_alloc(100ULL, sizeof(int));\n\tMEM_ASSERT(pVar->vals);\n");
    EXPECT_EQ(vals->freeCode("pVar->", "vals"), "\tvlrpc_free(pVar->vals);\n");
    // Not "\tmemcpy(pOut->vals, pIn->vals, pIn->n * sizeof(int));\n":
    // pIn->n comes from the wire: the copy takes at most the destination's
    // bound, between buffers that exist; a fixed array is copied whole.
    EXPECT_EQ(vals->copyCode("pOut->", "vals", "pIn->", "vals", 0),
              "\tif(pOut->vals != 0 && pIn->vals != 0) {\n"
              "\t\tunsigned int n = vlrpc_clamp(((unsigned long long)(pIn->n)), 100ULL);\n"
              "\t\tmemcpy(pOut->vals, pIn->vals, n * sizeof(int));\n\t}\n");
    EXPECT_EQ(
        fixedArray(prim(CODE_CHAR), num(8), var("n"))->copyCode("pOut->", "tag", "pIn->", "tag", 0),
        "\tmemcpy(pOut->tag, pIn->tag, 8 * 1);\n");
    EXPECT_EQ(varArray(prim(CODE_CHAR), var("n"), num(1024))
                  ->mallocCode("pVar->", "data")
                  .find("\tpVar->data = (char*) vlrpc_alloc(1024ULL, 1);\n"),
              0u);
    // A string's buffer has room for its terminator behind the bound; a
    // copied string ends with one, whatever its source held.
    arrayType* str16 = varArray(prim(CODE_CHAR), stringLength(), num(16));
    EXPECT_EQ(str16->mallocCode("pVar->", "s")
                  .find("\tpVar->s = (char*) vlrpc_alloc(vlrpc_size_add(16ULL, 1ULL), 1);\n"),
              0u);
    EXPECT_NE(str16->copyCode("pOut->", "s", "pIn->", "s", 0)
                  .find("\t\t((char*)pOut->s)[n] = 0;\n\t\tif(n > 0 && "
                        "vlrpc_size_add(((unsigned long long)(strlen((*(&pOut->s))))), 1ULL) > "
                        "16ULL)\n\t\t\t((char*)pOut->s)[n - 1] = 0;\n"),
              std::string::npos)
        << str16->copyCode("pOut->", "s", "pIn->", "s", 0);

    arrayType* fixed = fixedArray(prim(CODE_INT), num(4));
    EXPECT_EQ(fixed->mallocCode("pVar->", "f"), "");
    EXPECT_EQ(fixed->freeCode("pVar->", "f"), "");
    EXPECT_EQ(vals->mallocCode("pVar->", "_vlrpc_return_"), "");
    EXPECT_EQ(vals->freeCode("pVar->", "_vlrpc_return_"), "");

    // The element is named as a struct: a bare "sizeof(node)" does not
    // compile for a tagged struct.
    classType* node = structType("node", {sym("value", prim(CODE_INT))});
    EXPECT_NE(varArray(node, var("n"), num(4))
                  ->copyCode("pOut->", "v", "pIn->", "v", 0)
                  .find("\t\tmemcpy(pOut->v, pIn->v, n * sizeof(struct node));\n"),
              std::string::npos);
}

TEST(StructCode, RoutinesAndHelpers)
{
    classType* point = structType("", {sym("x", prim(CODE_INT)), sym("y", prim(CODE_INT))});
    alias("point", point);
    EXPECT_EQ(
        routine(point),
        "\nbool_t xdr_point(XDR*xdrp, point* ppoint){\n\n\tif(!xdr_int(xdrp, &ppoint->x))\n\t\treturn 0;\n\tif(!xdr_int(xdrp, &ppoint->y))\n\t\treturn 0;\n\n\treturn 1;\n}\n\n");
    EXPECT_EQ(routine(structType("e", {})),
              "\nbool_t xdr_e(XDR*xdrp, struct e* pe){\n\n\n\treturn 1;\n}\n\n");

    // Not "xdr_opaque(xdrp, pnum, sizeof(*pnum))": the union
    // pointer is cast to the filter's char* so that the call compiles.
    classType* num_u =
        structType("num", {sym("i", prim(CODE_INT)), sym("f", prim(CODE_FLOAT))}, CODE_UNION);
    EXPECT_NE(
        routine(num_u).find("\tif(!xdr_opaque(xdrp, (char*)pnum, sizeof(*pnum)))\n\t\treturn 0;\n"),
        std::string::npos);

    classType* node = structType("node", {sym("value", prim(CODE_INT))});
    node->addMember(sym("next", ptr(node)));
    // A list is walked in one loop: no call of its own routine per node.
    const std::string list = routine(node);
    EXPECT_EQ(list.find("(xdrproc_t)xdr_node"), std::string::npos) << list;
    EXPECT_NE(list.find("\tfor(;;){\n\t\tif(!xdr_int(xdrp, &pnode->value))\n\t\t\treturn 0;\n"),
              std::string::npos)
        << list;
    EXPECT_NE(list.find("\t\tif(!xdr_bool(xdrp, &_vlrpc_more_))\n"), std::string::npos) << list;

    typedefType* stat = alias("stat_t", structType("", {sym("size", prim(CODE_LONG))}));
    classType* out = structType(
        "fetch_out_t", {arg("st", ptr(stat), DIR_OUT), sym("_vlrpc_return_", prim(CODE_INT))});
    out->setTypedefName("fetch_out_t");
    out->markArgRecord();
    std::ostringstream sink;
    EXPECT_EQ(
        out->emitMallocHelper(sink),
        "int malloc_fetch_out_t(struct fetch_out_t* pVar){\n\tpVar->st = (stat_t*) malloc(sizeof(stat_t));\n\tMEM_ASSERT(pVar->st);\n\tmemset(pVar->st, 0, sizeof(*pVar->st));\n\treturn (1);\n}\n\n\n");
    EXPECT_EQ(
        out->emitFreeHelper(sink),
        "void mfree_fetch_out_t(struct fetch_out_t* pVar){\n\tfree(pVar->st);\n\treturn;\n}\n\n\n");
    EXPECT_EQ(mallocHelperPrototype(out), "int malloc_fetch_out_t(struct fetch_out_t* pVar)");
    EXPECT_EQ(freeHelperPrototype(out), "void mfree_fetch_out_t(struct fetch_out_t* pVar)");

    // inout pointers are the caller's: neither allocated nor released; a
    // variable array is allocated with its bound.
    classType* rec =
        structType("r_out_t", {arg("io", ptr(prim(CODE_INT)), DIR_INOUT, CODE_CONST),
                               arg("name", ptr(prim(CODE_CHAR)), DIR_OUT, CODE_CONST),
                               arg("vals", varArray(prim(CODE_INT), var("n"), num(100)), DIR_OUT)});
    const std::string helpers = rec->emitMallocHelper(sink) + rec->emitFreeHelper(sink);
    EXPECT_EQ(helpers.find("io"), std::string::npos);
    EXPECT_NE(helpers.find("\tpVar->name = (char*) malloc(sizeof(char));\n"), std::string::npos);
    EXPECT_NE(helpers.find("\tpVar->vals = (int*) vlrpc_alloc(100ULL, sizeof(int));"),
              std::string::npos);
}

TEST(UnionCode, SwitchBlocks)
{
    unionType* u = switchUnion(var("kind"), {{num(1), sym("code", prim(CODE_INT))},
                                             {num(2), sym("val", prim(CODE_DOUBLE))}});
    classType* msg = structType("msg", {sym("kind", prim(CODE_INT)), sym("u", u)});
    EXPECT_EQ(
        routine(msg),
        "\nbool_t xdr_msg(XDR*xdrp, struct msg* pmsg){\n\n\tif(!xdr_int(xdrp, &pmsg->kind))\n\t\treturn 0;\n"
        "\tswitch(pmsg->kind) {\n\tcase 1:\n\t\tif(!xdr_int(xdrp, &pmsg->u.code))\n\t\t\treturn 0;\n\t\tbreak;\n\n"
        "\tcase 2:\n\t\tif(!xdr_double(xdrp, &pmsg->u.val))\n\t\t\treturn 0;\n\t\tbreak;\n\n\t\tdefault:;\n\t}\n"
        "\n\treturn 1;\n}\n\n");

    unionType* unnamed = switchUnion(new binaryExp(var("a"), '+', var("b")),
                                     {{num(1), sym("code", prim(CODE_INT))}});
    indentMore();
    const std::string block = unnamed->xdrCall("xdrp", "pmsg->", "");
    indentLess();
    // A sum of two ints may overflow: the discriminant is a checked value,
    // and one that cannot be computed refuses the record but for freeing.
    const std::string sum = "vlrpc_value_add(((long long)(pmsg->a)), ((long long)(pmsg->b)))";
    EXPECT_NE(block.find("\tif(xdrp->x_op != XDR_FREE && vlrpc_value_unknown(" + sum +
                         "))\n\t\treturn 0;\n\tswitch(" + sum + ") {\n"),
              std::string::npos)
        << block;
    EXPECT_NE(block.find("&pmsg->code"), std::string::npos) << block;

    classType* point = structType("", {sym("x", prim(CODE_INT))});
    alias("point", point);
    unionType* where = switchUnion(var("kind"), {{num(3), sym("where", point)}});
    indentMore();
    EXPECT_NE(where->xdrCall("xdrp", "pmsg->", "u")
                  .find("\t\tif(!xdr_point(xdrp, &pmsg->u.where))\n\t\t\treturn 0;\n"),
              std::string::npos);
    indentLess();
}

TEST(ArrayCode, AttributesKeepTheFirstValue)
{
    // A bare bound is an attribute named maxsize: [10, maxsize = 20] keeps 10.
    arrayType* a = new arrayType(prim(CODE_INT));
    testing::internal::CaptureStderr();
    a->applyAttributes(prop("maxsize", num(10)));
    a->applyAttribute(prop("maxsize", num(20)));
    a->applyAttribute(prop("size", var("n")));
    a->applyAttribute(prop("size", var("m")));
    (new arrayType(prim(CODE_INT)))->applyAttribute(prop("maxsize", nullptr));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(a->maxsizeText("pVar->", "v"), "10");
    EXPECT_EQ(a->sizeText("pVar->", "v"), "pVar->n");
    EXPECT_EQ(
        errors,
        "Error:  maxsize redefined for array!\nError:  size redefined for array!\nSize variable not found\n");

    // Neither attribute: an uncounted message naming the array, empty text.
    arrayType* bare = new arrayType(prim(CODE_INT));
    testing::internal::CaptureStderr();
    EXPECT_EQ(bare->sizeText("pVar->", "v"), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No size specified for array pVar->v\n");
}

TEST(ArrayCode, ReleaseOfElementsThatOwnMemory)
{
    // Strings in a result-record array are released through their routine
    // over the bound the allocation function gave the buffer.
    typedefType* str64 =
        alias("str64", varArray(prim(CODE_CHAR), new binaryExp(var("x"), '+', num(1)), num(64)));
    arrayType* names = varArray(str64, var("k"), num(3));
    const std::string resultRelease =
        "\tif(pVar->names) {\n\t\tunsigned int i;\n\t\tunsigned int n = vlrpc_clamp(3ULL, 0xffffffffULL);\n"
        "\t\tfor(i = 0; i < n; i++)\n\t\t\txdr_free((xdrproc_t)xdr_str64, (char*)&pVar->names[i]);\n\t}\n"
        "\tvlrpc_free(pVar->names);\n";
    EXPECT_EQ(names->freeCode("pVar->", "names"), resultRelease);
    // Freeing a value through its XDR routine walks as many elements as its
    // size names, within the bound: a value the program built holds no more.
    const std::string block = memberBlock(names, "names");
    EXPECT_NE(
        block.find(
            "\t\tlen = prec->names == 0 ? 0 : vlrpc_clamp(((unsigned long long)(prec->k)), maxlen);\n"),
        std::string::npos)
        << block;
    // Decoded elements that own memory must be as many as the size says.
    EXPECT_NE(memberStatements({sym("k", prim(CODE_INT)), sym("names", names)})
                  .find("\t\tif(((unsigned long long)(prec->k)) != len) {\n"),
              std::string::npos);
    // A byte array's block needs no count outside encoding.
    const std::string bytes = memberBlock(varArray(prim(CODE_VOID), var("bn"), num(32)), "blob");
    EXPECT_NE(bytes.find("vlrpc_decode_elements(xdrp, (char**)&prec->blob, len, 1, (xdrproc_t)0)"),
              std::string::npos)
        << bytes;
    EXPECT_NE(bytes.find("\t} else {\n\t\tlen = 0;\n"), std::string::npos) << bytes;

    // An inout array in a result record holds the argument's elements: only
    // the buffer is freed there. An out one releases its elements.
    classType* record =
        structType("r_out_t", {arg("io", varArray(str64, var("k"), num(3)), DIR_INOUT),
                               arg("o", varArray(str64, var("k"), num(3)), DIR_OUT)});
    record->markArgRecord();
    std::ostringstream sink;
    std::string outRelease = resultRelease;
    for (std::string::size_type at; (at = outRelease.find("names")) != std::string::npos;)
        outRelease.replace(at, 5, "o");
    EXPECT_EQ(record->emitFreeHelper(sink),
              "void mfree_r_out_t(struct r_out_t* pVar){\n\tvlrpc_free(pVar->io);\n" + outRelease +
                  "\treturn;\n}\n\n\n");
}

TEST(InternalAssertions, EndTheCompilerWithStatusTwo)
{
    arrayType* bare = new arrayType(prim(CODE_INT));
    EXPECT_EXIT(bare->copyCode("pOut->", "v", "pIn->", "v", 0), testing::ExitedWithCode(2),
                "^Fatal error: size==0&&maxsize==0 [^ ]*array_codegen.cpp[0-9]+\n");
    EXPECT_EXIT(varArray(nullptr, var("n"), num(2))->copyCode("pOut->", "v", "pIn->", "v", 0),
                testing::ExitedWithCode(2), "^Fatal error: eleType==0 ");
    unionType* noDiscriminant = new unionType(1);
    EXPECT_EXIT(noDiscriminant->xdrCall("xdrp", "pmsg->", "u"), testing::ExitedWithCode(2),
                "^Fatal error: switch_exp==0 ");
}

TEST(Templates, FillEveryHoleWithItsValue)
{
    EXPECT_EQ(fillTemplate("\tif(!$filter(${xdrs}p))\n\t\treturn 0;\n",
                           {{"xdrs", "xdrp"}, {"filter", "xdr_int"}}),
              "\tif(!xdr_int(xdrpp))\n\t\treturn 0;\n");
    EXPECT_EQ(fillTemplate("$a$a", {{"a", "x"}}), "xx") << "a hole may stand twice";
    EXPECT_EQ(fillTemplate("no holes", {}), "no holes");
}

// A misspelt hole, or a value whose hole the shape lost, is a fault of the
// generator that would reach the C output unnoticed: the compiler ends.
TEST(Templates, UnknownOrUnusedHoleEndsTheCompiler)
{
    EXPECT_EXIT(fillTemplate("\treturn $reslt;\n", {{"result", "0"}}), testing::ExitedWithCode(2),
                "^Fatal error: holeWithoutValue codegen_support.cpp[0-9]+\n");
    EXPECT_EXIT(fillTemplate("\treturn $result;\n", {{"result", "0"}, {"count", "n"}}),
                testing::ExitedWithCode(2),
                "^Fatal error: valueWithoutHole codegen_support.cpp[0-9]+\n");
    EXPECT_EXIT(fillTemplate("cost: $", {}), testing::ExitedWithCode(2),
                "^Fatal error: holeWithoutValue ");
}

TEST(XdrCode, TypedefWithoutAliasWritesNothing)
{
    typedefType* empty = alias("t", nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(routine(empty), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Typedef alias nothing\n");
    EXPECT_EQ(routine(alias("u", empty)), "");
}
