// Type model: levels, element types, names, C type texts, normalisation and
// type collection.
#include <gtest/gtest.h>

#include <sstream>

#include "diagnostics/error_report.h"
#include "model/expression.h"
#include "model/symbol.h"
#include "model/type.h"
#include "model/type_table.h"

#include "output/output_files.h"

namespace {

primType* intType() { return new primType(CODE_INT, CODE_NONE); }

liteExp* number(long v) {
  liteExp* e = new liteExp();
  e->setInt(v);
  return e;
}

primExp* variable(const char* name) { return new primExp(new Symbol(name, 0)); }

// A declarator with `pointers` stars in front of int.
Type* pointerChain(int pointers) {
  Type* t = intType();
  for (int i = 0; i < pointers; ++i) t = new refType(t);
  return t;
}

struct primCase {
  int base;
  int sign;
  const char* name;
};

TEST(PrimType, CNamesFromCodes) {
  const primCase cases[] = {
      {CODE_INT, CODE_UNSIGNED, "u_int"},     {CODE_INT, CODE_NONE, "int"},
      {CODE_CHAR, CODE_UNSIGNED, "u_char"},   {CODE_CHAR, CODE_NONE, "char"},
      {CODE_LONG, CODE_UNSIGNED, "u_long"},   {CODE_LONG, CODE_NONE, "long"},
      {CODE_SHORT, CODE_UNSIGNED, "u_short"}, {CODE_SHORT, CODE_NONE, "short"},
      {CODE_FLOAT, CODE_UNSIGNED, "float"},   {CODE_DOUBLE, CODE_NONE, "double"},
      {CODE_VOID, CODE_NONE, "void"},         {CODE_NONE, CODE_UNSIGNED, "void"},
      {CODE_ENUM, CODE_NONE, ""},
  };
  for (const primCase& c : cases) {
    primType t(c.base, c.sign);
    EXPECT_EQ(t.name(), c.name) << c.base << "/" << c.sign;
    EXPECT_EQ(t.cTypeText(), c.name);
    EXPECT_EQ(t.kind(), KIND_PRIMITIVE);
  }
}

TEST(PrimType, SignSetAfterConstructionRenames) {
  primType t(CODE_CHAR, CODE_NONE);
  t.setSign(CODE_UNSIGNED);
  t.setCName();
  EXPECT_EQ(t.name(), "u_char");
  EXPECT_EQ(t.isChar(), 0);  // u_char is not char
  primType c(CODE_CHAR, CODE_NONE);
  EXPECT_EQ(c.isChar(), 1);
  EXPECT_EQ(primType(CODE_VOID, CODE_NONE).isVoid(), 1);
  EXPECT_EQ(c.isVoid(), 0);
}

TEST(TypeConstruction, StartValues) {
  Type plain;
  EXPECT_EQ(plain.kind(), CODE_NONE);
  EXPECT_EQ(plain.baseCode(), CODE_NONE);
  EXPECT_EQ(plain.signCode(), CODE_NONE);
  EXPECT_EQ(plain.level(), 0);
  EXPECT_EQ(plain.name(), "");
  EXPECT_EQ(plain.declarationLine(), 0);
  EXPECT_EQ(plain.declarationFile(), "");
  std::ostringstream where;
  plain.printLocation(where);
  EXPECT_EQ(where.str(), ":0 ");

  classType s("point", 2);
  EXPECT_EQ(s.kind(), KIND_CLASS);
  EXPECT_EQ(s.level(), 2);
  EXPECT_EQ(s.keyword(), CODE_STRUCT);
  EXPECT_EQ(s.isArgRecord(), 0);
  EXPECT_EQ(s.isEmpty(), 1);
  unionType u(3);
  EXPECT_EQ(u.kind(), KIND_CLASS);
  EXPECT_EQ(u.level(), 3);
  EXPECT_EQ(u.switch_exp, nullptr);
  arrayType a(nullptr);
  EXPECT_EQ(a.variable, 0);
  EXPECT_EQ(a.size, nullptr);
  EXPECT_EQ(a.maxsize, nullptr);
  EXPECT_EQ(typedefType(nullptr).kind(), KIND_TYPEDEF);
  EXPECT_EQ(refType(nullptr).kind(), KIND_POINTER);
  EXPECT_EQ(a.kind(), KIND_ARRAY);
}

TEST(TypeLevels, DepthCountsPointerAndArrayLevelsButNotTypedefs) {
  EXPECT_EQ(intType()->indirectionDepth(), 0);
  EXPECT_EQ(pointerChain(3)->indirectionDepth(), 3);
  EXPECT_EQ(refType(nullptr).indirectionDepth(), 1);
  arrayType arrayOfPointers(new refType(intType()));
  EXPECT_EQ(arrayOfPointers.indirectionDepth(), 2);
  typedefType alias(pointerChain(2));
  EXPECT_EQ(alias.indirectionDepth(), 0);
}

TEST(TypeLevels, AddElementTypeFillsInnermostLevel) {
  refType outer(new arrayType(nullptr));
  primType* base = intType();
  outer.addElementType(base);
  arrayType* inner = static_cast<arrayType*>(outer.eleType);
  EXPECT_EQ(inner->eleType, base);
  EXPECT_EQ(outer.eleType->kind(), KIND_ARRAY);

  testing::internal::CaptureStderr();
  primType p(CODE_INT, CODE_NONE);
  p.addElementType(intType());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: adding type to non reference type\n");
}

TEST(TypePredicates, FixedVariablePointerLikeThroughTypedefs) {
  arrayType fixed(intType());
  arrayType var(intType());
  var.markVariable();
  refType ptr(intType());
  EXPECT_EQ(fixed.isFixedArray(), 1);
  EXPECT_EQ(fixed.isNotFixedArray(), 0);
  EXPECT_EQ(fixed.isPointerLike(), 0);
  EXPECT_EQ(var.isFixedArray(), 0);
  EXPECT_EQ(var.isNotFixedArray(), 1);
  EXPECT_EQ(var.isPointerLike(), 1);
  EXPECT_EQ(ptr.isPointerLike(), 1);
  EXPECT_EQ(ptr.isNotFixedArray(), 1);
  EXPECT_EQ(ptr.isFixedArray(), 0);
  typedefType ofFixed(&fixed);
  typedefType ofPtr(&ptr);
  EXPECT_EQ(ofFixed.isFixedArray(), 1);
  EXPECT_EQ(ofFixed.isNotFixedArray(), 0);
  EXPECT_EQ(ofPtr.isPointerLike(), 1);
  typedefType empty(nullptr);
  EXPECT_EQ(empty.isPointerLike(), 0);
  EXPECT_EQ(empty.isFixedArray(), 0);
  EXPECT_EQ(empty.isNotFixedArray(), 0);
}

TEST(TypePredicates, ByteIsTheTypedefNameOnly) {
  typedefType byte(new primType(CODE_CHAR, CODE_NONE));
  byte.setName("byte");
  EXPECT_EQ(byte.isByte(), 1);
  typedefType ofByte(&byte);
  ofByte.setName("octet");
  EXPECT_EQ(ofByte.isByte(), 0);
  EXPECT_EQ(primType(CODE_CHAR, CODE_NONE).isByte(), 0);
}

TEST(TypeResolve, StripsTypedefLevels) {
  primType* base = intType();
  typedefType a(base);
  typedefType b(&a);
  EXPECT_EQ(b.resolve(), base);
  typedefType empty(nullptr);
  typedefType overEmpty(&empty);
  EXPECT_EQ(overEmpty.resolve(), nullptr);
  EXPECT_EQ(base->resolve(), base);
}

TEST(TypeNames, CTypeTextOfNestedPointersAndArrays) {
  // int ***p after normalisation: the outer pointer's element is _p2_p2int.
  Type* p3 = pointerChain(3);
  EXPECT_EQ(p3->cTypeText(), "int***");
  p3->normalize(0);
  EXPECT_EQ(p3->cTypeText(), "_p2_p2int*");
  refType* outer = static_cast<refType*>(p3);
  ASSERT_EQ(outer->eleType->kind(), KIND_TYPEDEF);
  EXPECT_EQ(outer->eleType->name(), "_p2_p2int");
  typedefType* middle = static_cast<typedefType*>(outer->eleType);
  refType* second = static_cast<refType*>(middle->aliased());
  ASSERT_EQ(second->eleType->kind(), KIND_TYPEDEF);
  EXPECT_EQ(second->eleType->name(), "_p2int");
  EXPECT_EQ(second->cTypeText(), "_p2int*");
  EXPECT_EQ(outer->indirectionDepth(), 1);

  // int *a[3]: an array of pointers to int.
  arrayType* arrayOfPtr = new arrayType(new refType(intType()));
  arrayOfPtr->maxsize = number(3);
  EXPECT_EQ(arrayOfPtr->tagName(), "aof_3_p2int_");
  arrayOfPtr->normalize(0);
  EXPECT_EQ(arrayOfPtr->eleType->name(), "_p2int");
  EXPECT_EQ(arrayOfPtr->eleType->cTypeText(), "_p2int");

  // int (*a)[3]: a pointer to an array of three ints.
  arrayType* three = new arrayType(intType());
  three->maxsize = number(3);
  refType* ptrToArray = new refType(three);
  EXPECT_EQ(ptrToArray->tagName(), "_p2aof_3int_");
  ptrToArray->normalize(0);
  EXPECT_EQ(ptrToArray->eleType->name(), "aof_3int_");
  EXPECT_EQ(ptrToArray->cTypeText(), "aof_3int_*");
}

TEST(TypeNames, TagNames) {
  arrayType bounded(intType());
  bounded.maxsize = number(10);
  EXPECT_EQ(bounded.tagName(), "aof_10int_");
  arrayType sized(intType());
  sized.size = variable("n");
  EXPECT_EQ(sized.tagName(), "aof_nint_");
  arrayType both(intType());
  both.size = variable("n");
  both.maxsize = new binaryExp(number(2), '*', variable("N"));
  EXPECT_EQ(both.tagName(), "aof_2Nint_");
  arrayType unbounded(intType());
  EXPECT_EQ(unbounded.tagName(), "aof_int_");
  EXPECT_EQ(arrayType(nullptr).tagName(), "");
  EXPECT_EQ(refType(nullptr).tagName(), "");
  EXPECT_EQ(refType(intType()).tagName(), "_p2int");
}

TEST(TypeNames, AnonymousStructNamedByTypedef) {
  classType* anon = new classType("", 0);
  typedefType s(nullptr);
  s.setName("S");
  s.setAliased(anon);
  EXPECT_EQ(anon->typedefName(), "S");
  EXPECT_EQ(anon->name(), "S");
  EXPECT_EQ(anon->cTypeText(), "S");
  EXPECT_EQ(anon->tagName(), "");
  EXPECT_EQ(anon->xdrRoutineName(), "xdr_S");
  // Normalising a pointer to a pointer to it inserts a typedef named "_p2".
  refType outer(new refType(anon));
  outer.normalize(0);
  EXPECT_EQ(outer.eleType->name(), "_p2");
}

TEST(TypeNames, StructTexts) {
  classType point("point", 0);
  EXPECT_EQ(point.cTypeText(), "struct point");
  EXPECT_EQ(point.cPointerText(), "struct point*");
  EXPECT_EQ(point.xdrRoutineName(), "xdr_point");
  classType value("value", 0);
  value.setKeyword(CODE_UNION);
  EXPECT_EQ(value.cTypeText(), "union value");
  EXPECT_EQ(point.mallocHelperName(), "malloc_point");
  EXPECT_EQ(point.freeHelperName(), "mfree_point");
  EXPECT_EQ(point.mallocHelperCall("pOut"), "malloc_point(pOut)");

  classType nameless("", 0);
  nameless.setLocation("x.idl", 12);
  testing::internal::CaptureStderr();
  EXPECT_EQ(nameless.cTypeText(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: x.idl:12 No name defined for struct type\n");
}

TEST(TypeNormalize, TypedefOfMultiLevelPointerWarnsOnce) {
  typedefType t(nullptr);
  t.setName("T");
  t.setAliased(pointerChain(2));
  testing::internal::CaptureStdout();
  t.normalize(0);
  t.normalize(0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Warning: TYPEDEF T will be redefined.\n");
  EXPECT_EQ(t.aliased()->cTypeText(), "_p2int*");
  EXPECT_EQ(t.aliased()->indirectionDepth(), 1);
}

TEST(TypeNormalize, VariableArrayBelowFirstLevelIsACountedError) {
  int before = errorCount.generation;
  arrayType* inner = new arrayType(intType());
  inner->markVariable();
  inner->size = variable("n");
  refType outer(inner);
  testing::internal::CaptureStderr();
  outer.normalize(0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error:  variable length array is not allowed at indircetion level >= 2.\n");
  EXPECT_EQ(errorCount.generation, before + 1);

  arrayType top(intType());
  top.size = variable("n");
  testing::internal::CaptureStderr();
  top.normalize(0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(errorCount.generation, before + 1);
}

TEST(TypeCollect, SelfAndMutuallyReferencingStructsCollectedOnce) {
  classType* node = new classType("node", 0);
  Symbol* next = new Symbol("next", 1);
  attachBaseType(next, new refType(node), 0);
  Symbol* value = new Symbol("value", 1);
  attachBaseType(value, intType(), 0);
  node->addMember(value);
  node->addMember(next);
  typeList list;
  EXPECT_EQ(node->collectTypes(list), 1);
  EXPECT_EQ(list.find("node"), node);

  classType* a = new classType("a", 0);
  classType* b = new classType("b", 0);
  Symbol* toB = new Symbol("pb", 1);
  attachBaseType(toB, new refType(b), 0);
  Symbol* toA = new Symbol("pa", 1);
  attachBaseType(toA, new refType(a), 0);
  a->addMember(toB);
  b->addMember(toA);
  typeList both;
  EXPECT_EQ(a->collectTypes(both), 2);
  typeList::cursor walk = typeList::begin(&both);
  EXPECT_EQ(walk.next(), b);  // b is needed by a: it comes first
  EXPECT_EQ(walk.next(), a);
  EXPECT_EQ(walk.next(), nullptr);
}

TEST(TypeCollect, NamedTypedefUsedTwiceCollectedOnceAndTypedefAfterItsAlias) {
  classType* inner = new classType("inner", 0);
  typedefType* T = new typedefType(nullptr);
  T->setName("T");
  T->setAliased(inner);
  classType* outer = new classType("outer", 0);
  for (const char* name : {"x", "y"}) {
    Symbol* m = new Symbol(name, 1);
    attachBaseType(m, T, 0);
    outer->addMember(m);
  }
  typeList list;
  EXPECT_EQ(outer->collectTypes(list), 3);
  typeList::cursor walk = typeList::begin(&list);
  EXPECT_EQ(walk.next(), inner);
  EXPECT_EQ(walk.next(), T);
  EXPECT_EQ(walk.next(), outer);
}

TEST(TypeCollect, PointersPrimitivesAndUnionsAreNotAppended) {
  typeList list;
  EXPECT_EQ(refType(intType()).collectTypes(list), 0);
  EXPECT_EQ(intType()->collectTypes(list), 0);
  unionType u(0);
  Symbol* arm = new Symbol("s", 1);
  classType* s = new classType("s", 0);
  attachBaseType(arm, s, 0);
  u.addArm(arm);
  EXPECT_EQ(u.collectTypes(list), 1);
  EXPECT_EQ(list.find("s"), s);
  Type placeholder;
  placeholder.setName("undefined_t");
  EXPECT_EQ(placeholder.collectTypes(list), 1);
  EXPECT_EQ(placeholder.collectTypes(list), 0);
}

TEST(ClassMembers, AddFindAndRefuseByName) {
  classType c("c", 0);
  Symbol* a = new Symbol("a", 1);
  EXPECT_EQ(c.addMember(a), 1);
  Symbol* again = new Symbol("a", 1);
  EXPECT_EQ(c.addMember(again), 0);
  EXPECT_EQ(c.findMember(again), a);
  symbolSet more;
  more.add(new Symbol("b", 1));
  more.add(new Symbol("a", 1));
  more.add(new Symbol("c", 1));
  EXPECT_EQ(c.addMembers(&more), 1);
  EXPECT_EQ(c.addMembers(nullptr), 0);
  EXPECT_EQ(c.isEmpty(), 0);
  symbolSet::cursor walk = symbolSet::begin(&c.members);
  EXPECT_EQ(walk.next()->name(), "a");
  EXPECT_EQ(walk.next()->name(), "b");
  EXPECT_EQ(walk.next()->name(), "c");
}

TEST(TypeDebug, DumpOfStruct) {
  classType c("rec", 0);
  Symbol* m = new Symbol("n", 1);
  attachBaseType(m, intType(), 0);
  c.addMember(m);
  std::ostringstream out;
  c.dump(out);
  EXPECT_EQ(out.str(), "struct rec\n  members:\n     n\n\t type: int\n\n");
}

TEST(TypeCodegenDefaults, CopyCodeAndRoutineNames) {
  EXPECT_EQ(intType()->copyCode("pOut->", "a", "pIn->", "a", 0), "\tpOut->a = pIn->a;\n");
  Type placeholder(KIND_TYPEDEF, "T");
  EXPECT_EQ(placeholder.xdrRoutineName(), "xdr_T");
  EXPECT_EQ(refType(intType()).xdrRoutineName(), "xdr_pointer");
  EXPECT_EQ(unionType(0).xdrRoutineName(), "");
}

}  // namespace
