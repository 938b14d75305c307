// Symbols and symbol sets.
#include <gtest/gtest.h>

#include "model/expression.h"
#include "model/symbol.h"
#include "model/type.h"

namespace {

primType* intType() { return new primType(CODE_INT, CODE_NONE); }

TEST(SymbolSetTest, UniqueByNonEmptyName) {
  symbolSet set;
  Symbol* len = new Symbol("len", 0);
  EXPECT_EQ(set.add(len), 1);
  EXPECT_EQ(set.add(new Symbol("len", 1)), 0);
  EXPECT_EQ(set.find("len"), len);
  EXPECT_EQ(set.add(nullptr), 0);
  Symbol* anon1 = new Symbol("", 0);
  Symbol* anon2 = new Symbol("", 0);
  EXPECT_EQ(set.add(anon1), 1);
  EXPECT_EQ(set.add(anon2), 1);
  EXPECT_EQ(set.find(""), nullptr);
  symbolSet::cursor walk = symbolSet::begin(&set);
  EXPECT_EQ(walk.next(), len);
  EXPECT_EQ(walk.next(), anon1);
  EXPECT_EQ(walk.next(), anon2);
  EXPECT_EQ(walk.next(), nullptr);
  set.clear();
  EXPECT_EQ(set.isEmpty(), 1);
  EXPECT_EQ(set.add(new Symbol("len", 0)), 1);  // refilled after clear
  EXPECT_EQ(len->name(), "len");                // the Symbols outlive the nodes
  symbolSet::cursor none = symbolSet::begin(nullptr);
  EXPECT_EQ(none.next(), nullptr);
}

TEST(SymbolFields, StartValues) {
  Symbol s("x", 2);
  EXPECT_EQ(s.scopeLevel(), 2);
  EXPECT_EQ(s.direction(), DIR_IN);
  EXPECT_EQ(s.line(), 0);
  EXPECT_EQ(s.qualifierCode(), CODE_NONE);
  EXPECT_EQ(s.showQualifier(), 1);
  EXPECT_EQ(s.next(), nullptr);
  EXPECT_EQ(s.type(), nullptr);
  EXPECT_EQ(s.isParameter(), 0);
  EXPECT_EQ(s.caseValue(), nullptr);
  EXPECT_EQ(s.declaration(0), "");
  EXPECT_EQ(s.mallocCode("p->"), "");
  EXPECT_EQ(s.copyCode("a", "b"), "");
  EXPECT_EQ(s.isFixedArray(), 0);
}

TEST(SymbolAttach, InnermostLevelOrTypeAndChain) {
  Symbol p("p", 0);
  refType* inner = new refType(nullptr);
  attachBaseType(&p, new refType(inner), 0);
  primType* base = intType();
  attachBaseType(&p, base, 0);
  EXPECT_EQ(inner->eleType, base);
  Symbol bare("q", 0);
  attachBaseType(&bare, base, 0);
  EXPECT_EQ(bare.type(), base);
  attachBaseType(&bare, nullptr, 0);
  EXPECT_EQ(bare.type(), base);

  Symbol a("a", 0), b("b", 0), c("c", 0);
  a.setNext(&b);
  b.setNext(&c);
  attachBaseType(&a, base, 1);
  EXPECT_EQ(a.type(), base);
  EXPECT_EQ(c.type(), base);
  Symbol d("d", 0), e("e", 0);
  d.setNext(&e);
  attachBaseType(&d, base, 0);
  EXPECT_EQ(e.type(), nullptr);

  symbolSet set;
  Symbol* f = new Symbol("f", 0);
  set.add(f);
  set.attachBaseType(base);
  EXPECT_EQ(f->type(), base);
}

// A declarator grows one level at a time, each attached where the walk from
// the outermost level would put it, also after its innermost level was
// filled behind the Symbol's back.
TEST(SymbolAttach, DeclaratorBuiltLevelByLevel) {
  Symbol d("d", 0);
  EXPECT_EQ(d.indirectionDepth(), 0);
  refType* outer = new refType(nullptr);
  attachBaseType(&d, outer, 0);
  arrayType* middle = new arrayType(nullptr);
  attachBaseType(&d, middle, 0);
  refType* inner = new refType(nullptr);
  attachBaseType(&d, inner, 0);
  EXPECT_EQ(d.indirectionDepth(), 3);
  EXPECT_EQ(outer->eleType, middle);
  EXPECT_EQ(middle->eleType, inner);

  // Filled directly: the next level goes below it, as the walk finds.
  refType* added = new refType(nullptr);
  inner->addElementType(added);
  EXPECT_EQ(d.indirectionDepth(), 4);
  refType* last = new refType(nullptr);
  attachBaseType(&d, last, 0);
  EXPECT_EQ(added->eleType, last);
  primType* base = intType();
  attachBaseType(&d, base, 0);
  EXPECT_EQ(last->eleType, base);
  EXPECT_EQ(d.indirectionDepth(), 5);
  EXPECT_EQ(d.indirectionDepth(), d.type()->indirectionDepth());

  // A complete declarator refuses a further base, with the type's message.
  testing::internal::CaptureStderr();
  attachBaseType(&d, intType(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: adding type to non reference type\n");
  EXPECT_EQ(last->eleType, base);
}

TEST(SymbolQualifier, KeywordPrefixFollowsShowFlag) {
  Symbol v("v", 0);
  EXPECT_EQ(keywordPrefix(&v), "");
  v.setQualifierCode(CODE_VOLATILE);
  EXPECT_EQ(keywordPrefix(&v), "volatile ");
  v.setShowQualifier(0);
  EXPECT_EQ(keywordPrefix(&v), "");
  Symbol c("c", 0);
  c.setQualifierCode(CODE_CONST);
  EXPECT_EQ(keywordPrefix(&c), "const ");
}

TEST(SymbolCaseLabel, PlainTextOfCaseValue) {
  Symbol arm("arm", 1);
  EXPECT_EQ(arm.caseLabel(), "");
  liteExp* three = new liteExp();
  three->setInt(3);
  arm.setCaseValue(three);
  EXPECT_EQ(arm.caseLabel(), "3");
  arm.setCaseValue(new primExp(new Symbol("RED", 0)));
  EXPECT_EQ(arm.caseLabel(), "RED");
}

TEST(SymbolDeclaration, ResolvedTypedefOfEmptyAliasGivesNothing) {
  Symbol s("s", 0);
  typedefType* empty = new typedefType(nullptr);
  empty->setName("E");
  attachBaseType(&s, empty, 0);
  EXPECT_EQ(s.declaration(1), "");
}

TEST(SymbolNormalize, OnlyMultiLevelTypesChange) {
  Symbol p("p", 0);
  refType* outer = new refType(new refType(intType()));
  attachBaseType(&p, outer, 0);
  p.normalizeType();
  EXPECT_EQ(p.type(), outer);
  EXPECT_EQ(outer->eleType->name(), "_p2int");
  Symbol q("q", 0);
  refType* single = new refType(intType());
  attachBaseType(&q, single, 0);
  q.normalizeType();
  EXPECT_EQ(single->eleType->kind(), KIND_PRIMITIVE);
}

// The type side of allocation, release and copy as the generators see it,
// recorded so that the Symbol's own decisions can be told apart.
class recordingPointer : public refType {
 public:
  recordingPointer() : refType(new primType(CODE_INT, CODE_NONE)) {}
  std::string mallocCode(const std::string& prefix, const std::string& name) const override {
    return "alloc " + prefix + name;
  }
  std::string freeCode(const std::string& prefix, const std::string& name) const override {
    return "free " + prefix + name;
  }
};

TEST(SymbolAllocation, InboundPointerArgumentsAreNeverAllocatedOrFreed) {
  struct allocCase {
    int direction;
    int qualifier;
    bool parameter;
    bool throughTypedef;
    const char* malloc;
  };
  const allocCase cases[] = {
      {DIR_IN, CODE_NONE, true, false, ""},
      {DIR_INOUT, CODE_NONE, true, false, ""},
      {DIR_INOUT, CODE_CONST, true, false, ""},
      {DIR_OUT, CODE_NONE, true, false, "alloc pOut->a"},
      {DIR_IN, CODE_NONE, false, false, "alloc pOut->a"},  // a struct member
      // A typedef of a pointer passed inout is the caller's data too.
      {DIR_INOUT, CODE_NONE, true, true, ""},
      {DIR_OUT, CODE_NONE, true, true, "alloc pOut->a"},
  };
  for (const allocCase& c : cases) {
    Symbol a("a", 0);
    recordingPointer* ptr = new recordingPointer();
    Type* t = ptr;
    if (c.throughTypedef) {
      typedefType* alias = new typedefType(nullptr);
      alias->setName("P");
      alias->setAliased(ptr);
      t = alias;
    }
    attachBaseType(&a, t, 0);
    a.setDirection(c.direction);
    a.setQualifierCode(c.qualifier);
    if (c.parameter) a.markParameter();
    EXPECT_EQ(a.mallocCode("pOut->"), c.malloc) << c.direction << " " << c.throughTypedef;
    std::string expectedFree = *c.malloc ? "free pOut->a" : "";
    EXPECT_EQ(a.freeCode("pOut->"), expectedFree);
  }
}

TEST(SymbolAllocation, NeedsAllocationTable) {
  struct needCase {
    int direction;
    int kind;  // KIND_POINTER, KIND_ARRAY (variable), KIND_PRIMITIVE, or typedef of pointer
    int expected;
  };
  const needCase cases[] = {
      {DIR_OUT, KIND_POINTER, 1},   {DIR_INOUT, KIND_POINTER, 0}, {DIR_IN, KIND_POINTER, 0},
      {DIR_OUT, KIND_ARRAY, 1},     {DIR_INOUT, KIND_ARRAY, 1},   {DIR_IN, KIND_ARRAY, 0},
      {DIR_OUT, KIND_PRIMITIVE, 0}, {DIR_INOUT, KIND_TYPEDEF, 0}, {DIR_OUT, KIND_TYPEDEF, 1},
  };
  for (const needCase& c : cases) {
    Type* t = nullptr;
    if (c.kind == KIND_POINTER) t = new refType(intType());
    if (c.kind == KIND_PRIMITIVE) t = intType();
    if (c.kind == KIND_ARRAY) {
      arrayType* a = new arrayType(intType());
      a->markVariable();
      t = a;
    }
    if (c.kind == KIND_TYPEDEF) {
      typedefType* alias = new typedefType(nullptr);
      alias->setName("P");
      alias->setAliased(new refType(intType()));
      t = alias;
    }
    Symbol s("s", 0);
    attachBaseType(&s, t, 0);
    s.setDirection(c.direction);
    s.markParameter();
    EXPECT_EQ(s.needsAllocation(), c.expected) << c.direction << " " << c.kind;
  }
}

TEST(SymbolCopy, CopyAndSizeCopyGiveTheTypesStatement) {
  Symbol n("n", 0);
  attachBaseType(&n, intType(), 0);
  EXPECT_EQ(n.copyCode("pOut->", "pIn->"), "\tpOut->n = pIn->n;\n");
  EXPECT_EQ(n.copySizeCode("pOut->", "pIn->"), n.copyCode("pOut->", "pIn->"));
  arrayType* fixed = new arrayType(intType());
  Symbol v("v", 0);
  attachBaseType(&v, fixed, 0);
  EXPECT_EQ(v.isFixedArray(), 1);
}

}  // namespace
