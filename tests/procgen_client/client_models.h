// Interface models for the client-side generators, built the way the parser
// and the argument-record step build them: programs with their versions,
// procedures and argument records.
#ifndef VELORIN_TESTS_PROCGEN_CLIENT_CLIENT_MODELS_H
#define VELORIN_TESTS_PROCGEN_CLIENT_CLIENT_MODELS_H

#include <initializer_list>
#include <string>

#include "model_builder.h"

namespace build {

inline classType* record(const std::string& name, std::initializer_list<Symbol*> members)
{
    classType* r = new classType(name, 0);
    r->setKeyword(CODE_STRUCT);
    r->setTypedefName(name);
    r->markArgRecord();
    for (Symbol* m : members)
        r->addMember(m);
    return r;
}

// Gives a procedure its two records with the members listed; a non-void
// procedure's result member comes last, as in every result record.
inline void giveRecords(rpcProcedure* p, std::initializer_list<Symbol*> in,
                        std::initializer_list<Symbol*> out)
{
    p->inRecord = record(p->inRecordName(), in);
    p->outRecord = record(p->outRecordName(), out);
    if (p->returnType() && !p->returnType()->isVoid()) {
        Symbol* result = new Symbol("_vlrpc_return_", 0);
        attachBaseType(result, p->returnType(), 0);
        result->setDirection(DIR_OUT);
        p->outRecord->addMember(result);
    }
}

inline expression* product(expression* left, expression* right)
{
    return new binaryExp(left, '*', right);
}

// The stock-quote interface: program quote, version 1, one procedure
// int getQuote(inout stkQuote* quote).
struct quoteModel {
    rpcProgram* program;
    rpcVersion* version;
    rpcProcedure* getQuote;
    typedefType* stkQuote;

    explicit quoteModel(long programNumber = 0x20000280)
    {
        classType* quote =
            structType("stkQuote", {sym("low", prim(CODE_DOUBLE)), sym("high", prim(CODE_DOUBLE)),
                                    sym("close", prim(CODE_DOUBLE))});
        stkQuote = alias("stkQuote", quote);
        Symbol* argument = arg("quote", ptr(stkQuote), DIR_INOUT);
        getQuote = procedure("getQuote", prim(CODE_INT), {argument}, 1);
        giveRecords(getQuote, {argument}, {argument});
        version = build::version(1, {getQuote});
        program = build::program("quote", programNumber, {version});
    }
};

// The read procedure of the remote-file interface: the caller's buffer ptr
// receives at most size x nm bytes, the count being the result.
//   int rfread(out void [size = return, maxsize = size*nm] ptr,
//              in size_T size, in size_T nm, in int stream)
struct readModel {
    rpcProgram* program;
    rpcVersion* version;
    rpcProcedure* rfread;

    explicit readModel(long programNumber = 0x5555, long versionNumber = 5)
    {
        typedefType* sizeT = alias("size_T", prim(CODE_LONG, CODE_UNSIGNED));
        Symbol* size = arg("size", sizeT);
        Symbol* nm = arg("nm", sizeT);
        Symbol* stream = arg("stream", prim(CODE_INT));
        Symbol* buffer =
            arg("ptr",
                varArray(prim(CODE_VOID), var("_vlrpc_return_"), product(var("size"), var("nm"))),
                DIR_OUT);
        rfread = procedure("rfread", prim(CODE_INT), {buffer, size, nm, stream}, 2);
        giveRecords(rfread, {size, nm, stream}, {size, nm, buffer});
        version = build::version(versionNumber, {rfread});
        program = build::program("rfile", programNumber, {version});
    }
};

}  // namespace build

#endif
