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

}  // namespace

std::string Type::xdrCall(const std::string& xdrs, const std::string& prefix,
                          const std::string& name) const
{
    // A struct without any name has no routine: its members are coded in
    // place, as its routine would code them; a C union travels as raw bytes.
    if (const classType* body = unnamedClass(this)) {
        const std::string member = prefix + name;
        if (body->keyword() == CODE_UNION)
            return joinText(currentIndent(), "if(!xdr_opaque(", xdrs, ", (char*)&", member,
                            ", sizeof(", member, ")))", "\n", currentIndent(), "\treturn 0;", "\n");
        std::string text;
        symbolSet::cursor walk = symbolSet::begin(&body->members);
        while (Symbol* inner = walk.next()) {
            refuseUncodableMember(body, inner);
            text += inner->xdrCall(xdrs, member + ".");
        }
        return text;
    }
    return joinText(currentIndent(), "if(!", xdrRoutineName(), "(", xdrs, ", ",
                    filterAddress(prefix, name), "))", "\n", currentIndent(), "\treturn 0;", "\n");
}

std::string refType::xdrCall(const std::string& xdrs, const std::string& prefix,
                             const std::string& name) const
{
    return joinText(currentIndent(), "if(!", "xdr_pointer", "(", xdrs, ", (char**)",
                    filterAddress(prefix, name), ", sizeof(", generatedTypeText(eleType), "), ",
                    "(xdrproc_t)", eleType ? eleType->xdrRoutineName() : "", "))", "\n",
                    currentIndent(), "\treturn 0;", "\n");
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
    const std::string v = prefix + name;
    return joinText("\t", v, " = (", generatedTypeText(this), ") malloc(sizeof(",
                    generatedTypeText(eleType), "));", "\n", "\tMEM_ASSERT(", v, ");", "\n",
                    "\tmemset(", v, ", 0, sizeof(*", v, "));", "\n");
}

std::string refType::freeCode(const std::string& prefix, const std::string& name) const
{
    if (isReturnMember(name))
        return "";
    const std::string v = prefix + name;
    std::string text;
    // What the server procedure linked below the pointer (a list, strings)
    // is released through the element's own routine before the head goes.
    if (eleType && mayOwnMemory(eleType))
        text = joinText("\tif(", v, ")\n\t\txdr_free((xdrproc_t)", eleType->xdrRoutineName(),
                        ", (char*)", v, ");\n");
    return text + joinText("\tfree(", v, ");", "\n");
}

std::string refType::copyCode(const std::string& dstPrefix, const std::string& dstName,
                              const std::string& srcPrefix, const std::string& srcName, int) const
{
    return joinText("\t", dstPrefix, dstName, " = ", srcPrefix, srcName, ";\n");
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
    std::string text = joinText("bool_t ", xdrRoutineName(), "(XDR*xdrp, ",
                                generatedPointerText(this), " ", p, "){", "\n");
    indentMore();
    text += final->xdrCall("xdrp", "", p);
    indentLess();
    // One tab, level with the statement above: a second tab would make the
    // return look guarded by that statement's "if" (cc -Wall warns).
    text += joinText("\treturn 1;", "\n", "}", "\n\n");
    emit(out, text);
    return text;
}
