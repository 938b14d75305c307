// The type table, the scope lists and the type lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diagnostics/error_report.h"
#include "model/expression.h"
#include "model/symbol.h"
#include "model/type.h"
#include "model/type_table.h"

#include "output/output_files.h"

namespace {

typedefType* typedefOf(const char* name, Type* aliased)
{
    typedefType* t = new typedefType(nullptr);
    t->setName(name);
    t->setAliased(aliased);
    return t;
}

primType* intType() { return new primType(CODE_INT, CODE_NONE); }

TEST(TypeTableTest, SecondTypedefOfTheSameNameIsACountedRedefinition)
{
    typeTable table;
    typedefType* first = typedefOf("T", intType());
    typedefType* second = typedefOf("T", intType());
    EXPECT_EQ(table.add(first), nullptr);
    int before = errorCount.generation;
    testing::internal::CaptureStderr();
    EXPECT_EQ(table.add(second), first);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error:  type T redefined.\n");
    EXPECT_EQ(errorCount.generation, before + 1);
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(table.findTypedef("T"), first);
}

TEST(TypeTableTest, StructRedefinitionNamesTheStruct)
{
    typeTable table;
    table.add(new classType("point", 0));
    testing::internal::CaptureStderr();
    table.add(new classType("point", 0));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error:  type struct point redefined.\n");
}

TEST(TypeTableTest, StructAndTypedefOfOneNameAndAnonymousStructsDoNotClash)
{
    typeTable table;
    classType* point = new classType("point", 0);
    typedefType* alias = typedefOf("point", point);
    testing::internal::CaptureStderr();
    EXPECT_EQ(table.add(point), nullptr);
    EXPECT_EQ(table.add(alias), nullptr);
    EXPECT_EQ(table.add(new classType("", 0)), nullptr);
    EXPECT_EQ(table.add(new classType("", 0)), nullptr);
    // Anonymous structs named by typedefs clash only through their typedefs.
    classType* anon = new classType("", 0);
    typedefOf("S", anon);
    EXPECT_EQ(table.add(anon), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(table.count(), 5);
    EXPECT_EQ(table.findTypedef("point"), alias);
    EXPECT_EQ(table.findTypedef("S"), nullptr);
    EXPECT_EQ(table.add(nullptr), nullptr);
    EXPECT_EQ(table.count(), 5);
}

TEST(TypeTableTest, HoldsEveryDeclaredType)
{
    typeTable table;
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(table.add(typedefOf(("T" + std::to_string(i)).c_str(), intType())), nullptr);
    }
    EXPECT_EQ(table.count(), 3000);
    EXPECT_NE(table.findTypedef("T1024"), nullptr);
    EXPECT_EQ(table.entry(2999), table.findTypedef("T2999"));
    testing::internal::CaptureStderr();
    typedefType* again = typedefOf("T2999", intType());
    EXPECT_NE(table.add(again), nullptr);  // the late ones clash as the early ones do
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error:  type T2999 redefined.\n");
    EXPECT_EQ(table.count(), 3000);
}

TEST(TypeTableTest, ClashTest)
{
    Type typedefT(KIND_TYPEDEF, "T");
    Type structT(KIND_CLASS, "T");
    Type pointerT(KIND_POINTER, "T");
    Type otherTypedef(KIND_TYPEDEF, "U");
    Type unnamed(KIND_TYPEDEF, "");
    EXPECT_EQ(typedefT.clashesWith(&typedefT), 1);
    EXPECT_EQ(structT.clashesWith(&pointerT), 1);  // neither is a typedef
    EXPECT_EQ(typedefT.clashesWith(&structT), 0);
    EXPECT_EQ(typedefT.clashesWith(&otherTypedef), 0);
    EXPECT_EQ(unnamed.clashesWith(&unnamed), 0);
}

TEST(ScopeListTest, PushPopTop)
{
    scopeList list;
    EXPECT_EQ(list.top(), nullptr);
    EXPECT_EQ(list.pop(), 0);
    classType a("A", 0), b("B", 1);
    scopeNode* first = list.push(&a);
    scopeNode* second = list.push(&b);
    EXPECT_EQ(second->next, first);
    EXPECT_EQ(first->previous, second);
    EXPECT_EQ(list.top(), &b);
    EXPECT_EQ(list.pop(), 1);
    EXPECT_EQ(list.top(), &a);
    EXPECT_EQ(list.pop(), 1);
    EXPECT_EQ(list.pop(), 0);
}

TEST(ScopeListTest, TagLookupHonoursLevels)
{
    // struct A { struct B {...} b; } at level 0, B at level 1, then C at 0.
    scopeList tags;
    classType a("A", 0), b("B", 1), c("C", 0);
    tags.push(&a);
    tags.push(&b);
    scopeNode* inside = tags.findNode("B", 1);
    ASSERT_NE(inside, nullptr);
    EXPECT_EQ(inside->type, &b);
    EXPECT_EQ(tags.findNode("B", 0), nullptr);  // after A is complete
    EXPECT_EQ(tags.findNode("A", 0)->type, &a);
    EXPECT_EQ(tags.findNode("A", 1)->type, &a);
    tags.push(&c);
    // From level 1 the newest tag C (level 0) lowers the bound: B is no
    // longer visible.
    EXPECT_EQ(tags.findNode("B", 1), nullptr);
    EXPECT_EQ(tags.findNode("missing", 5), nullptr);
}

// The tag lookup walks the list newest first with a bound that drops to the
// level of every tag it passes. The list answers from an index; pushes and
// pops of random tags and levels must give the walk's answer every time.
scopeNode* walkedLookup(const std::vector<scopeNode*>& newestFirst, const std::string& name,
                        int level)
{
    int bound = level;
    for (scopeNode* n : newestFirst) {
        if (!n->type || n->type->level() > bound)
            continue;
        bound = n->type->level();
        if (n->type->nameField() == name)
            return n;
    }
    return nullptr;
}

TEST(ScopeListTest, IndexedLookupAgreesWithTheWalk)
{
    const char* const names[] = {"A", "B", "C", ""};
    unsigned seed = 12345;
    auto next = [&seed](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    scopeList list;
    std::vector<scopeNode*> newestFirst;
    for (int step = 0; step < 4000; ++step) {
        if (!newestFirst.empty() && next(3) == 0) {
            EXPECT_EQ(list.pop(), 1);
            newestFirst.erase(newestFirst.begin());
        } else {
            Type* t =
                next(10) == 0 ? nullptr : new classType(names[next(4)], static_cast<int>(next(4)));
            newestFirst.insert(newestFirst.begin(), list.push(t));
        }
        for (const char* name : names)
            for (int level = -1; level <= 4; ++level)
                ASSERT_EQ(list.findNode(name, level), walkedLookup(newestFirst, name, level))
                    << "step " << step << " name '" << name << "' level " << level;
    }
}

TEST(TypeListTest, UniqueByNonEmptyName)
{
    typeList list;
    typedefType* t = typedefOf("T", intType());
    EXPECT_EQ(list.add(t), 1);
    EXPECT_EQ(list.add(typedefOf("T", intType())), 0);
    EXPECT_EQ(list.add(nullptr), 0);
    classType* anon1 = new classType("", 0);
    classType* anon2 = new classType("", 0);
    EXPECT_EQ(list.add(anon1), 1);
    EXPECT_EQ(list.add(anon2), 1);
    EXPECT_EQ(list.add(anon2), 1);  // no name: appended every time
    EXPECT_EQ(list.find("T"), t);
    EXPECT_EQ(list.find(""), nullptr);
    typeList::cursor walk = typeList::begin(&list);
    EXPECT_EQ(walk.next(), t);
    EXPECT_EQ(walk.next(), anon1);
    EXPECT_EQ(walk.next(), anon2);
    EXPECT_EQ(walk.next(), anon2);
    EXPECT_EQ(walk.next(), nullptr);
    typeList::cursor none = typeList::begin(nullptr);
    EXPECT_EQ(none.next(), nullptr);
}

// Arrays of bounds LEN+1 and LEN-1 behind pointers flatten to one inserted
// typedef name; generating one for both would code one array with the other's
// bound.
refType* pointerToArrayOf(int op)
{
    arrayType* array = new arrayType(intType());
    array->maxsize = new binaryExp(new primExp(new Symbol("LEN", 0)), op, [] {
        liteExp* one = new liteExp();
        one->setInt(1);
        return one;
    }());
    refType* outer = new refType(new refType(array));
    outer->normalize(0);
    return outer;
}

TEST(TypeListTest, CollidingInsertedTypedefsAreACountedError)
{
    typeList list;
    refType* plus = pointerToArrayOf('+');
    refType* minus = pointerToArrayOf('-');
    ASSERT_EQ(plus->eleType->name(), minus->eleType->name());
    EXPECT_EQ(plus->collectTypes(list), 2);
    int before = errorCount.generation;
    testing::internal::CaptureStderr();
    EXPECT_EQ(minus->collectTypes(list), 0);
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errorCount.generation, before + 2);  // both levels collide
    EXPECT_NE(message.find("Error:  type " + minus->eleType->name()), std::string::npos) << message;

    // The same shape reached twice is one type and no error.
    refType* again = pointerToArrayOf('+');
    testing::internal::CaptureStderr();
    EXPECT_EQ(again->collectTypes(list), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(errorCount.generation, before + 2);
}

}  // namespace
