// Member statements and discriminated unions: a member is coded by its
// type's statement; a discriminated union by a switch over its
// discriminant that codes the one arm whose case value it holds.
#include "diagnostics/error_report.h"
#include "generate/codegen_support.h"
#include "model/expression.h"
#include "model/fatal.h"
#include "model/generated_identifiers.h"
#include "model/symbol.h"
#include "model/type.h"
#include "output/emit.h"
#include "output/output_files.h"

std::string Symbol::xdrCall(const std::string& xdrs, const std::string& prefix) const
{
    return type_ ? type_->xdrCall(xdrs, prefix, name_) : "";
}

namespace {

// Decoding a pointer or a buffer fills the storage it finds there. When
// the union is coded its discriminant is already the peer's, while its
// storage may still hold the bytes of another arm (the caller's own value
// behind an inout argument, a value the program filled) or a buffer whose
// size decoding cannot know; so an arm that holds pointers is always
// decoded into zeroed storage. What the old bytes pointed to is not
// released: it belongs to whoever filled them.
const char* const kFreshArm = "if($xdrs->x_op == XDR_DECODE)\n"
                              "\tmemset(&$arm, 0, sizeof $arm);\n";

std::string armXdrCode(const Symbol* arm, const std::string& xdrs, const std::string& prefix,
                       const std::string& armName)
{
    if (!arm->type())
        return "";
    std::string text;
    if (mayOwnMemory(arm->type()))
        text = indentedLines(fillTemplate(kFreshArm, {{"xdrs", xdrs}, {"arm", prefix + armName}}),
                             currentIndent());
    return text + arm->type()->xdrCall(xdrs, prefix, armName);
}

// A discriminant whose C text may trap or be undefined over what the peer
// sent is switched on as a checked value. One that cannot be computed
// refuses the record; a free pass (of a record refused before the union
// was decoded) finds no arm for it and frees nothing.
const char* const kCheckedSwitch = "\tif($xdrs->x_op != XDR_FREE && $unknown($value))\n"
                                   "\t\treturn 0;\n"
                                   "\tswitch($value) {\n";

std::string discriminantSwitch(const expression* discriminant, const std::string& xdrs,
                               const std::string& prefix)
{
    if (!discriminant->mayBeUndefined())
        return joinText("\tswitch(", discriminant->codeText(prefix), ") {\n");
    return fillTemplate(kCheckedSwitch, {{"xdrs", xdrs},
                                         {"unknown", valueUnknownFunction},
                                         {"value", discriminant->valueCodeText(prefix)}});
}

// The switch that codes the one arm whose label the discriminant holds; a
// value that no arm holds codes nothing.
const char* const kArmSwitch = "$switch"
                               "$cases"
                               "\t\tdefault:;\n"
                               "\t}\n";

const char* const kArmCase = "\tcase $label:\n"
                             "$statements"
                             "\t\tbreak;\n\n";

}  // namespace

std::string unionType::xdrCall(const std::string& xdrs, const std::string& prefix,
                               const std::string& name) const
{
    FATAL_IF(switch_exp==0);
    // An arm is coded as a member of the enclosing record reached through the
    // union ("u.code" behind "pmsg->"), so that the names its size expression
    // uses are read from the record, as the discriminant is.
    const std::string armPath = name.empty() ? "" : name + ".";
    const std::string discriminant = discriminantSwitch(switch_exp, xdrs, prefix);
    std::string cases;
    symbolSet::cursor walk = symbolSet::begin(&arms);
    while (Symbol* arm = walk.next()) {
        indentMore();
        const std::string statements = armXdrCode(arm, xdrs, prefix, armPath + arm->name());
        indentLess();
        cases += fillTemplate(kArmCase, {{"label", arm->caseLabel()}, {"statements", statements}});
    }
    return fillTemplate(kArmSwitch, {{"switch", discriminant}, {"cases", cases}});
}

namespace {

// A case label as its value: the number of an integer literal or of an
// enumeration constant, else its text.
std::string labelValue(const Symbol* arm)
{
    const liteExp* literal = dynamic_cast<const liteExp*>(arm->caseValue());
    if (literal && literal->kind == LITERAL_INTEGER)
        return std::to_string(literal->value);
    const enumeration::constant* constant = findEnumerationConstant(arm->caseLabel());
    if (constant && constant->known)
        return std::to_string(constant->number);
    return arm->caseLabel();
}

int isStringLabel(const Symbol* arm)
{
    const liteExp* literal = dynamic_cast<const liteExp*>(arm->caseValue());
    return literal && literal->kind == LITERAL_TEXT && !literal->text.empty() &&
           literal->text[0] == '"';
}

}  // namespace

void refuseUncodableUnion(const unionType* u, const std::string& name, const std::string& owner,
                          const symbolSet& earlier)
{
    const std::string where = joinText("union ", name.empty() ? "(unnamed)" : name, " of ", owner);
    if (u->switch_exp) {
        symbolSet names;
        u->switch_exp->collectVars(names);
        symbolSet::cursor vars = symbolSet::begin(&names);
        while (Symbol* var = vars.next())
            if (!earlier.find(var->name()))
                reportError() << " discriminant " << var->name() << " of " << where
                              << " is not a member declared before the union.\n";
    }
    symbolSet::cursor walk = symbolSet::begin(&u->arms);
    while (Symbol* arm = walk.next()) {
        refuseUnboundedArray(arm->type(), arm->name(), where);
        // A void arm has no C member to declare nor anything to code; a
        // discriminant that matches no arm already travels alone.
        if (arm->type() && arm->type()->isVoid())
            reportError() << " arm " << arm->name() << " in " << where << " is void: leave case "
                          << arm->caseLabel()
                          << " out, a discriminant that no arm matches travels alone.\n";
        if (isStringLabel(arm)) {
            reportError() << " case label " << arm->caseLabel() << " of arm " << arm->name()
                          << " in " << where << " is a string.\n";
            continue;
        }
        const std::string value = labelValue(arm);
        symbolSet::cursor before = symbolSet::begin(&u->arms);
        while (Symbol* other = before.next()) {
            if (other == arm)
                break;
            if (!isStringLabel(other) && labelValue(other) == value) {
                reportError() << " case label " << arm->caseLabel() << " of arm " << arm->name()
                              << " in " << where << " repeats the label of arm " << other->name()
                              << ".\n";
                break;
            }
        }
    }
}
