// Struct routines: the XDR routine of a struct, C union or argument record,
// and the allocation and release functions of a result record.
#include <ostream>

#include "diagnostics/error_report.h"
#include "generate/codegen_support.h"
#include "model/token_table.h"
#include "model/type.h"
#include "output/emit.h"

namespace {

// The member that links a struct to the next node of a list: its last
// member, when that is a pointer (or a typedef of one) to the struct itself.
const Symbol* chainLink(const classType* c)
{
    if (c->keyword() != CODE_STRUCT || c->isArgRecord())
        return nullptr;
    const Symbol* last = nullptr;
    symbolSet::cursor walk = symbolSet::begin(&c->members);
    while (Symbol* member = walk.next())
        last = member;
    Type* link = last && last->type() ? last->type()->resolve() : nullptr;
    if (!link || link->kind() != KIND_POINTER)
        return nullptr;
    Type* element = static_cast<refType*>(link)->eleType;
    return element && element->resolve() == c ? last : nullptr;
}

const char* const routineHead = "\nbool_t $routine(XDR*xdrp, $ctype* $p){\n\n";
const char* const routineEnd = "\n\treturn 1;\n}\n\n";
const char* const rawUnionBody = "\tif(!xdr_opaque(xdrp, (char*)$p, sizeof(*$p)))\n\t\treturn 0;\n";

// A list is coded node after node in one loop rather than by one call per
// node, so that its length is bounded by memory, not by the stack. The
// bytes are those of the link coded through xdr_pointer: each node's
// members, then the presence flag of the next node. Decoding allocates a
// missing node zeroed and decodes into one already linked; freeing releases
// what every node owns and every node but the first, which is the caller's.
const char* const chainRoutine =
    "\nbool_t $routine(XDR*xdrp, $ctype* $p){\n\n"
    "\t$ctype* _vlrpc_head_ = $p;\n"
    "\tbool_t _vlrpc_more_;\n"
    "\n"
    "\tfor(;;){\n"
    "$members"
    "\t\tif(xdrp->x_op == XDR_FREE){\n"
    "\t\t\t$ctype* _vlrpc_next_ = $p->$link;\n"
    "\t\t\t$p->$link = 0;\n"
    "\t\t\tif($p != _vlrpc_head_)\n"
    "\t\t\t\tfree($p);\n"
    "\t\t\tif(_vlrpc_next_ == 0)\n"
    "\t\t\t\treturn 1;\n"
    "\t\t\t$p = _vlrpc_next_;\n"
    "\t\t\tcontinue;\n"
    "\t\t}\n"
    "\t\t_vlrpc_more_ = $p->$link != 0;\n"
    "\t\tif(!xdr_bool(xdrp, &_vlrpc_more_))\n"
    "\t\t\treturn 0;\n"
    "\t\tif(!_vlrpc_more_){\n"
    "\t\t\t$p->$link = 0;\n"
    "\t\t\treturn 1;\n"
    "\t\t}\n"
    "\t\tif($p->$link == 0 && ($p->$link = ($ctype*)calloc(1, sizeof($ctype))) == 0)\n"
    "\t\t\treturn 0;\n"
    "\t\t$p = $p->$link;\n"
    "\t}\n"
    "}\n\n";

// The statements of the members, in member order, but for `skipped`.
std::string memberStatements(const classType* c, const std::string& p, const Symbol* skipped)
{
    memberSequence sequence(c->members, "xdrp", p + "->", c->isArgumentsRecord());
    symbolSet::cursor walk = symbolSet::begin(&c->members);
    while (Symbol* member = walk.next()) {
        refuseUncodableMember(c, member);
        if (member != skipped)
            sequence.add(member);
        else
            sequence.skip(member);
    }
    return sequence.text();
}

}  // namespace

std::string classType::emitXdrRoutine(std::ostream& out) { return emitXdrRoutine(out, ""); }

std::string classType::emitXdrRoutine(std::ostream& out, const std::string& decodeChecks)
{
    // A tag that was only ever named has no members to code.
    if (isIncomplete())
        return "";
    const std::string p = "p" + name();
    const std::string ctype = generatedTypeText(this);
    std::string text;
    if (keyword() == CODE_UNION) {
        // A C union has no discriminant: it travels as its raw bytes.
        text = fillTemplate(std::string(routineHead) + rawUnionBody + routineEnd,
                            {{"routine", xdrRoutineName()}, {"ctype", ctype}, {"p", p}});
    } else if (const Symbol* link = chainLink(this)) {
        indentLevel += 2;
        const std::string members = memberStatements(this, p, link);
        indentLevel -= 2;
        text = fillTemplate(chainRoutine, {{"routine", xdrRoutineName()},
                                           {"ctype", ctype},
                                           {"p", p},
                                           {"members", members},
                                           {"link", link->name()}});
    } else {
        indentMore();
        const std::string members = memberStatements(this, p, nullptr);
        indentLess();
        text = fillTemplate(std::string(routineHead) + "$members$checks" + routineEnd,
                            {{"routine", xdrRoutineName()},
                             {"ctype", ctype},
                             {"p", p},
                             {"members", members},
                             {"checks", decodeChecks}});
    }
    emit(out, text);
    return text;
}

namespace {

// malloc_<T>: the room of every member of a result record that needs one.
const char* const kMallocHelper = "$prototype{\n"
                                  "$statements"
                                  "\treturn (1);\n"
                                  "}\n\n\n";

// mfree_<T>: the release of what those members hold.
const char* const kFreeHelper = "$prototype{\n"
                                "$statements"
                                "\treturn;\n"
                                "}\n\n\n";

// Storage that the server wrapper took over from the decoded arguments has
// its room already.
const char* const kRoomUnlessTaken = "\tif(pVar->$name == 0) {\n$allocation\t}\n";

}  // namespace

std::string classType::emitMallocHelper(std::ostream& out)
{
    std::string statements;
    symbolSet::cursor walk = symbolSet::begin(&members);
    while (Symbol* member = walk.next())
        statements +=
            decodedRoomArray(member)
                ? fillTemplate(kRoomUnlessTaken,
                               {{"name", member->name()},
                                {"allocation", indentedLines(member->mallocCode("pVar->"), "\t")}})
                : member->mallocCode("pVar->");
    const std::string text = fillTemplate(
        kMallocHelper, {{"prototype", mallocHelperPrototype(this)}, {"statements", statements}});
    emit(out, text);
    return text;
}

namespace {

// The release statements of one result-record member. An inout array was
// filled by copying the decoded argument's elements, so what those elements
// own belongs to the argument record (released with it after the call):
// only the buffer itself is freed here.
std::string memberReleaseCode(const Symbol* member)
{
    Type* resolved = member->type() ? member->type()->resolve() : nullptr;
    if (member->isParameter() && member->direction() == DIR_INOUT && resolved &&
        resolved->kind() == KIND_ARRAY && member->type()->isPointerLike() &&
        !isReturnMember(member->name()))
        return arrayReleaseCode(static_cast<arrayType*>(resolved), "pVar->", member->name(), 0);
    return member->freeCode("pVar->");
}

}  // namespace

std::string classType::emitFreeHelper(std::ostream& out)
{
    std::string statements;
    symbolSet::cursor walk = symbolSet::begin(&members);
    while (Symbol* member = walk.next())
        statements += memberReleaseCode(member);
    const std::string text = fillTemplate(
        kFreeHelper, {{"prototype", freeHelperPrototype(this)}, {"statements", statements}});
    emit(out, text);
    return text;
}

// A member that generated code could not code is a counted error that names
// it: a variable-length array without any bound, or a discriminated union
// that cannot be coded as written.
void refuseUncodableMember(const classType* c, const Symbol* member)
{
    const std::string owner =
        tokenText(c->keyword()) + " " + (c->name().empty() ? "(unnamed)" : c->name());
    refuseUnboundedArray(member->type(), member->name(), owner);
    // A void member has no C declaration; an argument record's void member
    // is refused as the argument it stands for.
    Type* resolved = member->type() ? member->type()->resolve() : nullptr;
    if (resolved && resolved->isVoid() && !c->isArgRecord())
        reportError() << " member " << member->name() << " of " << owner << " on line "
                      << member->line() << " is void: leave it out, it has nothing to send.\n";
    if (const unionType* u = dynamic_cast<const unionType*>(member->type())) {
        symbolSet earlier;
        symbolSet::cursor walk = symbolSet::begin(&c->members);
        while (Symbol* m = walk.next()) {
            if (m == member)
                break;
            earlier.add(m);
        }
        refuseUncodableUnion(u, member->name(), owner, earlier);
    }
}
