// C declarations of the interface's types in the generated header: the
// declarator of one variable, typedefs, structs, C unions and argument
// records, the block of a discriminated union, and the <type>_freeres macros.
#include <algorithm>
#include <ostream>
#include <vector>

#include "diagnostics/error_report.h"
#include "model/token_table.h"
#include "generate/codegen_support.h"
#include "model/symbol.h"
#include "model/type.h"
#include "output/emit.h"
#include "output/output_files.h"

namespace {

// The members of a struct or union (or the arms of a discriminated union)
// between its braces, one line each. A record member is assigned by the
// stubs and the wrappers and decoded in place, so with `hideQualifiers` it
// is declared without const or volatile; the keyword shows again in the
// prototypes written afterwards.
std::string memberLines(const symbolSet& members, int hideQualifiers)
{
    std::string text;
    symbolSet::cursor walk = symbolSet::begin(&members);
    while (Symbol* member = walk.next()) {
        if (hideQualifiers)
            member->setShowQualifier(0);
        text += joinText("\t", member->declaration(0), ";\n");
        if (hideQualifiers)
            member->setShowQualifier(1);
    }
    return text;
}

// A member whose struct has no name at all: its body is written out in the
// declarator.
const char* const kUnnamedClassDeclarator = "$qualifiers$keyword{\n"
                                            "$members"
                                            "} $name";

// The storage of a discriminated union's arms: a C union member.
const char* const kArmsDeclarator = "\tunion {\n"
                                    "$arms"
                                    "\t}$name;\n\n";

// A struct, C union or argument record in the header, with its typedef name
// when it has one.
const char* const kClassDeclaration = "$typedef$keyword$tag{\n"
                                      "$members"
                                      "}$typedefName;\n\n";

// <type>_freeres(p) releases what decoding allocated below a value. The
// argument is evaluated once, into a local: tested directly, the address of
// a variable (the usual argument) draws a warning from cc -Wall that it is
// never null.
const char* const kFreeMacro = R"C(#define ${macro}( $p ) \
 do { char* _vlrpc_p_ = (char*)($p); if(_vlrpc_p_) xdr_free ( (xdrproc_t)$filter,_vlrpc_p_);}while(0)

)C";

}  // namespace

std::string Type::declarator(Symbol* symbol) const
{
    // A struct without any name is written out in the declarator itself.
    if (const classType* body = unnamedClass(this))
        return fillTemplate(kUnnamedClassDeclarator, {{"qualifiers", keywordPrefix(symbol)},
                                                      {"keyword", tokenText(body->keyword())},
                                                      {"members", memberLines(body->members, 0)},
                                                      {"name", symbol->name()}});
    return joinText(keywordPrefix(symbol), generatedTypeText(this), " ", symbol->name());
}

std::string unionType::declarator(Symbol* symbol) const
{
    return fillTemplate(kArmsDeclarator,
                        {{"arms", memberLines(arms, 0)}, {"name", symbol->name()}});
}

std::string Type::emitDeclaration(std::ostream&) { return ""; }

std::string typedefType::emitDeclaration(std::ostream& out)
{
    if (isSelfAlias(this))
        return "";
    Symbol alias(name(), 0);
    attachBaseType(&alias, aliased(), 0);
    const std::string text = joinText("typedef ", alias.declaration(0), ";", "\n\n");
    emit(out, text);
    return text;
}

std::string classType::emitDeclaration(std::ostream& out)
{
    // A tag that was named but never defined: without its members neither its
    // declaration nor its routine would say what travels.
    if (isIncomplete()) {
        reportError() << "struct or union " << nameField() << " not defined\n";
        return "";
    }
    const std::string text =
        fillTemplate(kClassDeclaration, {{"typedef", typedefName().empty() ? "" : "typedef "},
                                         {"keyword", tokenText(keyword())},
                                         {"tag", nameField().empty() ? "" : " " + nameField()},
                                         {"members", memberLines(members, isArgRecord())},
                                         {"typedefName", typedefName()}});
    emit(out, text);
    return text;
}

std::string Type::freeMacroName() const { return name() + "_freeres"; }
std::string primType::freeMacroName() const { return ""; }
std::string refType::freeMacroName() const { return ""; }
std::string arrayType::freeMacroName() const { return ""; }
std::string unionType::freeMacroName() const { return ""; }

std::string Type::freeMacro() const
{
    const std::string macro = freeMacroName();
    if (macro.empty())
        return "";
    return fillTemplate(kFreeMacro,
                        {{"macro", macro}, {"p", "p" + name()}, {"filter", xdrRoutineName()}});
}

std::string emitEnumerationDeclarations(std::ostream& out)
{
    std::string text;
    std::vector<std::string> names;
    for (const enumeration* e : declaredEnumerations) {
        std::string constants;
        for (const enumeration::constant& c : e->constants) {
            if (std::find(names.begin(), names.end(), c.name) != names.end())
                reportError() << " enumeration constant " << c.name << " is defined twice.\n";
            names.push_back(c.name);
            if (!c.value.empty() && c.value[0] == '"')
                reportError() << " enumeration constant " << c.name
                              << " has a string as its value.\n";
            if (!constants.empty())
                constants += ",\n";
            constants += c.value.empty() ? fillTemplate("\t$name", {{"name", c.name}})
                                         : fillTemplate("\t$name = $value",
                                                        {{"name", c.name}, {"value", c.value}});
        }
        text +=
            fillTemplate("enum $tag{\n$constants\n};\n\n",
                         {{"tag", e->tag.empty() ? "" : e->tag + " "}, {"constants", constants}});
    }
    emit(out, text);
    return text;
}
