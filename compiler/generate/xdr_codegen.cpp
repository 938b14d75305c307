// XDR code of primitive, typedef and pointer types: filter names, routine
// signatures, the statement that codes one variable, the routine of a
// typedef, and the allocation, release and copy statements of pointers.
#include <ostream>

#include "generate/codegen_support.h"
#include "model/type.h"
#include "output/emit.h"
#include "output/output_files.h"

std::string primType::xdrRoutineName() const
{
    const bool isUnsigned = signCode() == CODE_UNSIGNED;
    switch (baseCode()) {
    case CODE_INT:
        return isUnsigned ? "xdr_u_int" : "xdr_int";
    case CODE_CHAR:
        return isUnsigned ? "xdr_u_char" : "xdr_char";
    case CODE_SHORT:
        return isUnsigned ? "xdr_u_short" : "xdr_short";
    case CODE_LONG:
        return isUnsigned ? "xdr_u_long_vl" : "xdr_long_vl";
    case CODE_FLOAT:
        return "xdr_float";
    case CODE_DOUBLE:
        return "xdr_double";
    case CODE_ENUM:
        return "xdr_enum";
    default:
        return "xdr_void";
    }
}

std::string Type::xdrRoutineName() const { return "xdr_" + name(); }
std::string classType::xdrRoutineName() const { return "xdr_" + name(); }
std::string refType::xdrRoutineName() const { return "xdr_pointer"; }
std::string unionType::xdrRoutineName() const { return ""; }

std::string Type::xdrSignature() const
{
    return joinText(xdrRoutineName(), "(XDR*, ", generatedPointerText(this), ")");
}

std::string classType::xdrSignature() const
{
    return joinText(xdrRoutineName(), "(XDR*, ", generatedPointerText(this), ")");
}

// Pointers never stand in a type list; the signature names the filter that
// codes them.
std::string refType::xdrSignature() const
{
    return joinText(xdrRoutineName(), "(XDR*, ", generatedPointerText(this), ")");
}

namespace {

// The address handed to a filter: the member behind a prefix, or the
// variable itself, which is then already a pointer.
std::string filterAddress(const std::string& prefix, const std::string& name)
{
    return prefix.empty() ? name : "&" + prefix + name;
}

// The statements below are written at the indentation of the routine body
// (currentIndent) that codes them.

// A C union member of a struct without any name travels as its raw bytes.
const char* const kRawUnionMember = "if(!xdr_opaque($xdrs, (char*)&$member, sizeof($member)))\n"
                                    "\treturn 0;\n";

// One variable coded by its type's filter.
const char* const kFilterCall = "if(!$filter($xdrs, $address))\n"
                                "\treturn 0;\n";

// A pointer coded by xdr_pointer through its element's filter.
const char* const kPointerCall =
    "if(!xdr_pointer($xdrs, (char**)$address, sizeof($elementType), (xdrproc_t)$elementFilter))\n"
    "\treturn 0;\n";

// A pointer gets room for one zeroed element.
const char* const kPointerAllocation = "\t$pointer = ($type) malloc(sizeof($elementType));\n"
                                       "\tMEM_ASSERT($pointer);\n"
                                       "\tmemset($pointer, 0, sizeof(*$pointer));\n";

// Releasing a pointer: first what its element owns, where it may own any.
const char* const kPointerRelease = "$releaseElement\tfree($pointer);\n";
const char* const kPointerElementRelease =
    "\tif($pointer)\n"
    "\t\txdr_free((xdrproc_t)$elementFilter, (char*)$pointer);\n";

// The routine of a typedef codes the variable its parameter points to. Its
// return is one tab in, level with the statements above: a second tab would
// make it look guarded by the last statement's "if" (cc -Wall warns).
const char* const kTypedefRoutine = "bool_t $routine(XDR*xdrp, $ctype $p){\n"
                                    "$statements"
                                    "\treturn 1;\n"
                                    "}\n\n";

}  // namespace

std::string Type::xdrCall(const std::string& xdrs, const std::string& prefix,
                          const std::string& name) const
{
    // A struct without any name has no routine: its members are coded in
    // place, as its routine would code them; a C union travels as raw bytes.
    if (const classType* body = unnamedClass(this)) {
        const std::string member = prefix + name;
        if (body->keyword() == CODE_UNION)
            return indentedLines(
                fillTemplate(kRawUnionMember, {{"xdrs", xdrs}, {"member", member}}),
                currentIndent());
        std::string text;
        symbolSet::cursor walk = symbolSet::begin(&body->members);
        while (Symbol* inner = walk.next()) {
            refuseUncodableMember(body, inner);
            text += inner->xdrCall(xdrs, member + ".");
        }
        return text;
    }
    return indentedLines(fillTemplate(kFilterCall, {{"filter", xdrRoutineName()},
                                                    {"xdrs", xdrs},
                                                    {"address", filterAddress(prefix, name)}}),
                         currentIndent());
}

std::string refType::xdrCall(const std::string& xdrs, const std::string& prefix,
                             const std::string& name) const
{
    return indentedLines(
        fillTemplate(kPointerCall, {{"xdrs", xdrs},
                                    {"address", filterAddress(prefix, name)},
                                    {"elementType", generatedTypeText(eleType)},
                                    {"elementFilter", eleType ? eleType->xdrRoutineName() : ""}}),
        currentIndent());
}

std::string Type::mallocCode(const std::string&, const std::string&) const { return ""; }
std::string Type::freeCode(const std::string&, const std::string&) const { return ""; }

std::string Type::copyCode(const std::string& dstPrefix, const std::string& dstName,
                           const std::string& srcPrefix, const std::string& srcName, int) const
{
    return joinText("\t", dstPrefix, dstName, " = ", srcPrefix, srcName, ";\n");
}

std::string refType::mallocCode(const std::string& prefix, const std::string& name) const
{
    if (isReturnMember(name))
        return "";
    return fillTemplate(kPointerAllocation, {{"pointer", prefix + name},
                                             {"type", generatedTypeText(this)},
                                             {"elementType", generatedTypeText(eleType)}});
}

std::string refType::freeCode(const std::string& prefix, const std::string& name) const
{
    if (isReturnMember(name))
        return "";
    const std::string v = prefix + name;
    // What the server procedure linked below the pointer (a list, strings)
    // is released through the element's own routine before the head goes.
    const std::string releaseElement =
        eleType && mayOwnMemory(eleType)
            ? fillTemplate(kPointerElementRelease,
                           {{"pointer", v}, {"elementFilter", eleType->xdrRoutineName()}})
            : "";
    return fillTemplate(kPointerRelease, {{"releaseElement", releaseElement}, {"pointer", v}});
}

void refuseUnboundedArray(const Type* t, const std::string& name, const std::string& owner)
{
    const arrayType* array = dynamic_cast<const arrayType*>(t);
    if (array && array->variable && !array->size && !array->maxsize)
        reportError() << " array " << name << " of " << owner << " has neither size nor maxsize.\n";
}

std::string Type::emitXdrRoutine(std::ostream&) { return ""; }

std::string typedefType::emitXdrRoutine(std::ostream& out)
{
    Type* final = finalType(this);
    // A typedef whose chain ends without a type has nothing to code.
    if (!final)
        return "";
    if (name() == final->name())
        return "";
    refuseUnboundedArray(aliased(), name(), "typedef " + name());
    const std::string p = "p" + name();
    indentMore();
    const std::string statements = final->xdrCall("xdrp", "", p);
    indentLess();
    const std::string text = fillTemplate(kTypedefRoutine, {{"routine", xdrRoutineName()},
                                                            {"ctype", generatedPointerText(this)},
                                                            {"p", p},
                                                            {"statements", statements}});
    emit(out, text);
    return text;
}
