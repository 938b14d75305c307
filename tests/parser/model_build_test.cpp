// The model the parser builds from a correct interface: program, versions,
// procedures, arguments, properties, array attributes, struct members and
// the grouping of declarators and expressions. Every parse starts a run of
// its own, from an empty model.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "diagnostics/error_report.h"
#include "frontend/parser_actions.h"
#include "frontend/scanner.h"
#include "model/expression.h"
#include "model/property.h"
#include "model/rpc_program.h"
#include "model/symbol.h"
#include "model/type.h"
#include "model/type_table.h"
#include "output/section_files.h"
#include "parse_support.h"

namespace {

void expectAccepted(const ParseRun& run)
{
    ASSERT_EQ(run.result, 0) << run.errors;
    ASSERT_EQ(run.syntaxErrors, 0) << run.errors;
    ASSERT_EQ(run.semanticErrors, 0) << run.errors;
}

rpcVersion* versionAt(rpcProgram* program, int position)
{
    versionList::cursor walk = versionList::begin(program->versions());
    rpcVersion* version = walk.next();
    while (version && position-- > 0)
        version = walk.next();
    return version;
}

Symbol* argument(rpcProcedure* procedure, const char* name)
{
    Symbol* found = procedure->findArgument(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

classType* structTagged(const char* tag)
{
    scopeNode* node = tagScopes.findNode(tag, 0);
    return node ? dynamic_cast<classType*>(node->type) : nullptr;
}

Type* memberType(classType* body, const char* name)
{
    Symbol probe(name, 0);
    Symbol* member = body->findMember(&probe);
    EXPECT_NE(member, nullptr) << name;
    return member ? member->type() : nullptr;
}

// The element of a pointer or array level, seen through inserted typedefs.
Type* elementOf(Type* level)
{
    if (auto* array = dynamic_cast<arrayType*>(level))
        return array->elementType() ? array->elementType()->resolve() : nullptr;
    if (auto* pointer = dynamic_cast<refType*>(level))
        return pointer->elementType() ? pointer->elementType()->resolve() : nullptr;
    return nullptr;
}

std::string sectionText(outFile& section)
{
    section.stream().flush();
    std::ifstream in(section.name(), std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

std::string text(const expression* e) { return e ? e->codeText("") : "<none>"; }

}  // namespace

TEST(ModelBuild, InterfaceIsOneVersionOfAProgram)
{
    ParseRun run = parse(
        "interface RFile {\n"
        "  property TIMEOUT_VALUE = 30;\n"
        "  int get(in int [size = n, maxsize = 100] data, int n, out char *name, inout long *count) = 3;\n"
        "  void put(const char *s) { property FORK_ON_CALL = true; };\n"
        "} = 5;\n");
    expectAccepted(run);
    ASSERT_NE(currentProgram, nullptr);
    EXPECT_EQ(beforeProgramBlock, 0);

    EXPECT_EQ(currentProgram->name(), "rfile");
    EXPECT_EQ(currentProgram->number(), 5);
    EXPECT_EQ(currentProgram->properties(), nullptr);
    ASSERT_EQ(versionList::count(currentProgram->versions()), 1);
    rpcVersion* version = versionAt(currentProgram, 0);
    EXPECT_EQ(version->number(), 1);
    EXPECT_EQ(version->program(), currentProgram);
    EXPECT_EQ(version->propertyValue("TIMEOUT_VALUE"), "30");

    procedureList* procedures = version->procedures();
    ASSERT_EQ(procedures->count(), 2);
    rpcProcedure* get = procedures->at(0);
    rpcProcedure* put = procedures->at(1);
    EXPECT_EQ(get->name(), "get");
    EXPECT_EQ(get->number(), 3);
    EXPECT_EQ(put->number(), -1);
    EXPECT_EQ(get->version(), version);
    EXPECT_EQ(get->propertyValue("TIMEOUT_VALUE"), "30");
    EXPECT_EQ(put->propertyValue("FORK_ON_CALL"), "true");
    EXPECT_EQ(get->propertyValue("FORK_ON_CALL"), "");
    EXPECT_EQ(get->returnType()->name(), "int");
    EXPECT_TRUE(put->returnsVoid());

    Symbol* data = argument(get, "data");
    EXPECT_EQ(data->direction(), DIR_IN);
    auto* array = dynamic_cast<arrayType*>(data->type());
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->variable, 1);
    EXPECT_EQ(text(array->size), "n");
    EXPECT_EQ(text(array->maxsize), "100");
    EXPECT_EQ(array->elementType()->name(), "int");
    EXPECT_EQ(argument(get, "n")->direction(), DIR_IN);
    EXPECT_EQ(argument(get, "name")->direction(), DIR_OUT);
    EXPECT_EQ(argument(get, "name")->type()->kind(), KIND_POINTER);
    EXPECT_EQ(argument(get, "count")->direction(), DIR_INOUT);

    Symbol* s = argument(put, "s");
    EXPECT_EQ(s->qualifierCode(), CODE_CONST);
    EXPECT_EQ(data->qualifierCode(), CODE_NONE);
    EXPECT_TRUE(s->isParameter());
    EXPECT_TRUE(data->isParameter());
}

TEST(ModelBuild, ProgramVersionsKeepTheirOwnProcedures)
{
    ParseRun run = parse(
        "program Multi {\n"
        "  property SERVER_PORT = 4000;\n"
        "  version one { int f(); } = 1;\n"
        "  version two { property VERSION = 7; int g(int a, int a, int b); int f() = 9; } = 2;\n"
        "} = 0x20000100;\n");
    expectAccepted(run);
    ASSERT_NE(currentProgram, nullptr);
    EXPECT_EQ(currentProgram->name(), "multi");
    EXPECT_EQ(currentProgram->number(), 0x20000100);
    EXPECT_EQ(currentProgram->propertyValue("SERVER_PORT"), "4000");
    ASSERT_EQ(versionList::count(currentProgram->versions()), 2);

    rpcVersion* one = versionAt(currentProgram, 0);
    rpcVersion* two = versionAt(currentProgram, 1);
    EXPECT_EQ(one->number(), 1);
    EXPECT_EQ(two->number(), 2);
    EXPECT_EQ(one->program(), currentProgram);
    EXPECT_EQ(two->program(), currentProgram);
    ASSERT_EQ(one->procedures()->count(), 1);
    ASSERT_EQ(two->procedures()->count(), 2);
    EXPECT_EQ(one->procedures()->at(0)->name(), "f");
    EXPECT_EQ(two->procedures()->at(1)->number(), 9);
    EXPECT_EQ(two->propertyValue("VERSION"), "7");
    EXPECT_EQ(one->propertyValue("VERSION"), "");
    EXPECT_EQ(two->procedures()->at(0)->propertyValue("SERVER_PORT"), "4000");

    // A repeated parameter name is left out without a message.
    rpcProcedure* g = two->procedures()->at(0);
    symbolSet::cursor walk = symbolSet::begin(g->arguments);
    std::vector<std::string> names;
    while (Symbol* a = walk.next())
        names.push_back(a->name());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(one->procedures()->at(0)->arguments, nullptr);
}

TEST(ModelBuild, PropertyListsTestEveryName)
{
    ParseRun run =
        parse("interface Props { property TIMOUT_VALUE = 1; property FORK_ON_CONNECTION = true; "
              "property BOGUS = 2; int f(); } 1;");
    expectAccepted(run);
    property* head = versionAt(currentProgram, 0)->properties();
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->name(), "FORK_ON_CONNECTION");
    EXPECT_EQ(head->next(), nullptr);
    EXPECT_EQ(run.errors, "Wraning: unknown property TIMOUT_VALUE defined.\n"
                          "Wraning: unknown property BOGUS defined.\n");
}

TEST(ModelBuild, ResultTypeTakesThePrefixesOfTheName)
{
    ParseRun run = parse("interface Ptrs { char **lookup(in int key); } 1;");
    expectAccepted(run);
    rpcProcedure* lookup = versionAt(currentProgram, 0)->procedures()->at(0);
    EXPECT_EQ(lookup->name(), "lookup");
    Type* result = lookup->returnType();
    ASSERT_EQ(result->kind(), KIND_POINTER);
    Type* inner = elementOf(result);
    ASSERT_NE(inner, nullptr);
    ASSERT_EQ(inner->kind(), KIND_POINTER);
    ASSERT_NE(elementOf(inner), nullptr);
    EXPECT_TRUE(elementOf(inner)->isChar());
}

TEST(ModelBuild, DeclaratorsGroupSuffixesBeforePrefixes)
{
    ParseRun run = parse(withBlock("struct grouping {\n"
                                   "  int *a[3];\n"
                                   "  int (*b)[4];\n"
                                   "  int c[2][5];\n"
                                   "  int [size = n] d;\n"
                                   "  int n;\n"
                                   "  int e[N + 1];\n"
                                   "  int\n\n f;\n"
                                   "};"));
    expectAccepted(run);
    classType* body = structTagged("grouping");
    ASSERT_NE(body, nullptr);

    auto* a = dynamic_cast<arrayType*>(memberType(body, "a"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(text(a->maxsize), "3");
    EXPECT_EQ(a->variable, 0);
    ASSERT_NE(elementOf(a), nullptr);
    EXPECT_EQ(elementOf(a)->kind(), KIND_POINTER);

    Type* b = memberType(body, "b");
    ASSERT_EQ(b->kind(), KIND_POINTER);
    auto* pointed = dynamic_cast<arrayType*>(elementOf(b));
    ASSERT_NE(pointed, nullptr);
    EXPECT_EQ(text(pointed->maxsize), "4");

    auto* c = dynamic_cast<arrayType*>(memberType(body, "c"));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(text(c->maxsize), "2");
    auto* row = dynamic_cast<arrayType*>(elementOf(c));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(text(row->maxsize), "5");

    auto* d = dynamic_cast<arrayType*>(memberType(body, "d"));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->variable, 1);
    EXPECT_EQ(text(d->size), "n");
    EXPECT_EQ(d->maxsize, nullptr);

    auto* e = dynamic_cast<arrayType*>(memberType(body, "e"));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->variable, 0);
    EXPECT_EQ(text(e->maxsize), "(N+1)");

    Symbol probe("f", 0);
    EXPECT_EQ(body->findMember(&probe)->line(), 10);
    EXPECT_FALSE(body->findMember(&probe)->isParameter());
}

TEST(ModelBuild, ExpressionsGroupAsInC)
{
    ParseRun run = parse(withBlock("struct exprs {\n"
                                   "  int a[x - y - z];\n"
                                   "  int b[p ? q : r ? s : t];\n"
                                   "  int c[-u * v];\n"
                                   "  int d[w + m * k];\n"
                                   "  int e[f(g, 0x1F, 017, 12u)];\n"
                                   "  int h[return];\n"
                                   "  int i[this];\n"
                                   "};"));
    expectAccepted(run);
    classType* body = structTagged("exprs");
    ASSERT_NE(body, nullptr);
    auto bound = [&](const char* name) {
        auto* array = dynamic_cast<arrayType*>(memberType(body, name));
        return array ? array->maxsize : nullptr;
    };

    auto* minus = dynamic_cast<binaryExp*>(bound("a"));
    ASSERT_NE(minus, nullptr);
    EXPECT_EQ(minus->op, '-');
    EXPECT_NE(dynamic_cast<binaryExp*>(minus->left), nullptr);
    EXPECT_NE(dynamic_cast<primExp*>(minus->right), nullptr);

    auto* choice = dynamic_cast<condExp*>(bound("b"));
    ASSERT_NE(choice, nullptr);
    EXPECT_NE(dynamic_cast<condExp*>(choice->whenFalse), nullptr);
    EXPECT_NE(dynamic_cast<primExp*>(choice->whenTrue), nullptr);

    auto* times = dynamic_cast<binaryExp*>(bound("c"));
    ASSERT_NE(times, nullptr);
    EXPECT_EQ(times->op, '*');
    auto* negated = dynamic_cast<unaryExp*>(times->left);
    ASSERT_NE(negated, nullptr);
    EXPECT_EQ(negated->op, '-');

    auto* plus = dynamic_cast<binaryExp*>(bound("d"));
    ASSERT_NE(plus, nullptr);
    EXPECT_EQ(plus->op, '+');
    EXPECT_NE(dynamic_cast<binaryExp*>(plus->right), nullptr);

    auto* call = dynamic_cast<funcExp*>(bound("e"));
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->name, "f");
    expressionList::cursor arguments = expressionList::begin(call->arguments);
    std::vector<std::int64_t> numbers;
    EXPECT_NE(dynamic_cast<primExp*>(arguments.next()), nullptr);
    while (expression* value = arguments.next())
        numbers.push_back(dynamic_cast<liteExp&>(*value).value);
    EXPECT_EQ(numbers, (std::vector<std::int64_t>{31, 15, 12}));

    auto* result = dynamic_cast<primExp*>(bound("h"));
    ASSERT_NE(result, nullptr);
    ASSERT_NE(result->symbol, nullptr);
    EXPECT_EQ(result->symbol->name(), "_vlrpc_return_");
    EXPECT_EQ(bound("i"), thisExpression);
}

TEST(ModelBuild, StructsUnionsEnumsAndTypedefs)
{
    ParseRun run = parse(withBlock(
        "struct link { struct link *next; long double weight; enum colour c; union nowhere *u; };\n"
        "typedef struct { int x; } anon_t;\n"
        "struct outer { struct inner { int v; } i; };\n"
        "struct tagged {\n"
        "  int k;\n"
        "  union switch (k) { case 1: int x; case 2: char x; case RED: char *p; } arms;\n"
        "  union switch (k) { case 1: int y; };\n"
        "  union switch (k) { case 1: int z; };\n"
        "};"));
    ASSERT_EQ(run.result, 0) << run.errors;

    classType* node = structTagged("link");
    ASSERT_NE(node, nullptr);
    Type* next = memberType(node, "next");
    ASSERT_EQ(next->kind(), KIND_POINTER);
    EXPECT_EQ(elementOf(next), node);
    EXPECT_EQ(memberType(node, "weight")->baseCode(), CODE_DOUBLE);
    EXPECT_EQ(memberType(node, "c")->baseCode(), CODE_ENUM);
    auto* nowhere = dynamic_cast<classType*>(elementOf(memberType(node, "u")));
    ASSERT_NE(nowhere, nullptr);
    EXPECT_EQ(nowhere->keyword(), CODE_STRUCT);
    EXPECT_EQ(nowhere->nameField(), "nowhere");

    Type* alias = declaredTypes.findTypedef("anon_t");
    ASSERT_NE(alias, nullptr);
    auto* anonymous = dynamic_cast<classType*>(alias->resolve());
    ASSERT_NE(anonymous, nullptr);
    EXPECT_EQ(anonymous->name(), "anon_t");

    EXPECT_EQ(structTagged("inner"), nullptr);
    EXPECT_NE(structTagged("outer"), nullptr);

    classType* tagged = structTagged("tagged");
    ASSERT_NE(tagged, nullptr);
    auto* unionArms = dynamic_cast<unionType*>(memberType(tagged, "arms"));
    ASSERT_NE(unionArms, nullptr);
    EXPECT_EQ(text(unionArms->switch_exp), "k");
    symbolSet::cursor walk = symbolSet::begin(&unionArms->arms);
    Symbol* first = walk.next();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->name(), "x");
    EXPECT_EQ(first->caseLabel(), "1");
    EXPECT_EQ(first->type()->name(), "int");
    Symbol* second = walk.next();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->name(), "p");
    EXPECT_EQ(second->caseLabel(), "RED");
    EXPECT_EQ(walk.next(), nullptr);
    EXPECT_EQ(run.semanticErrors, 1);

    // The refused arm is the only error; both unnamed switch members are
    // kept, after k and arms.
    symbolSet::cursor members = symbolSet::begin(&tagged->members);
    std::vector<std::string> names;
    while (Symbol* member = members.next())
        names.push_back(member->name());
    EXPECT_EQ(names, (std::vector<std::string>{"k", "arms", "", ""}));
}

// A tag named before its body is that body once it comes (also from
// inside another body, and through a typedef); a tag whose body stays
// hidden in a closed body, or never comes, stays incomplete.
TEST(ModelBuild, ForwardTagsAreTheirLaterBodies)
{
    ParseRun run =
        parse(withBlock("typedef struct fwd_node *fwd_list;\n"
                        "struct fwd_holder { struct fwd_item *item; fwd_list all; };\n"
                        "struct fwd_node { int value; fwd_list next; };\n"
                        "union fwd_item { int i; float f; };\n"
                        "struct fwd_outer { struct fwd_hidden { int x; } h; };\n"
                        "struct fwd_user { struct fwd_hidden *q; struct fwd_never *n; };\n"));
    expectAccepted(run);

    classType* node = structTagged("fwd_node");
    ASSERT_NE(node, nullptr);
    EXPECT_FALSE(node->isIncomplete());
    Type* list = declaredTypes.findTypedef("fwd_list");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(elementOf(list->resolve()), node);
    EXPECT_EQ(elementOf(memberType(node, "next")->resolve()), node);

    classType* holder = structTagged("fwd_holder");
    ASSERT_NE(holder, nullptr);
    auto* item = dynamic_cast<classType*>(elementOf(memberType(holder, "item")));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item, structTagged("fwd_item"));
    EXPECT_EQ(item->keyword(), CODE_UNION);
    EXPECT_FALSE(item->isEmpty());

    classType* user = structTagged("fwd_user");
    ASSERT_NE(user, nullptr);
    auto* hidden = dynamic_cast<classType*>(elementOf(memberType(user, "q")));
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(hidden->isIncomplete());
    auto* never = dynamic_cast<classType*>(elementOf(memberType(user, "n")));
    ASSERT_NE(never, nullptr);
    EXPECT_TRUE(never->isIncomplete());
    EXPECT_EQ(run.errors,
              "struct or union fwd_hidden not defined\nstruct or union fwd_never not defined\n");
}

TEST(ModelBuild, NoProgramAfterASyntaxErrorInTheBlock)
{
    ParseRun run = parse("interface Broken { int f(); int g(; } 1;");
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(currentProgram, nullptr);
    EXPECT_EQ(beforeProgramBlock, 1);
}

// The block is complete at its last ";": "%" lines up to there belong before
// the program block, every later one after it.
TEST(ModelBuild, PercentLinesFollowTheEndOfTheBlock)
{
    leadingTextSection.reopen();
    trailingTextSection.reopen();
    ParseRun run = parse("%#include <first.h>\n"
                         "struct pct { int a; };\n"
                         "program Pct {\n"
                         "%inside the block\n"
                         "  version one { int f(); } = 1;\n"
                         "} = 3;\n"
                         "%#include <last.h>\n");
    expectAccepted(run);
    EXPECT_EQ(sectionText(leadingTextSection), "#include <first.h>\ninside the block\n");
    EXPECT_EQ(sectionText(trailingTextSection), "#include <last.h>\n");
}

// Two runs in one process see nothing of each other: the second meets no
// registered type, tag or program of the first, so the same text is read
// the same way again instead of redefining everything.
TEST(ModelBuild, EveryRunStartsFromAnEmptyModel)
{
    const std::string text =
        withBlock("typedef int counter; struct tally { counter n; }; struct later *p;");
    ParseRun first = parse(text);
    expectAccepted(first);
    const int typesOfOneRun = declaredTypes.count();
    ASSERT_GT(typesOfOneRun, 0);

    ParseRun second = parse(text);
    expectAccepted(second);
    EXPECT_EQ(second.errors, first.errors);
    EXPECT_EQ(declaredTypes.count(), typesOfOneRun);
    EXPECT_EQ(errorCount.generation, 0);
    EXPECT_TRUE(second.programSet);
}
