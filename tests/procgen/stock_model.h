// The interface most procedure-generation tests use, built the way the
// parser builds it:
//
//   typedef struct { double low; double high; double close; } stkQuote;
//   program stock { version 1 {
//     int  getQuote(inout stkQuote* quote) = 1;
//     void reset() = 2;                          NON_BLOCKING = true
//     int  now() = 3;
//     int  fetch(in int n, out char [.. size = n, maxsize = 64] buf) = 4;
//                                                FORK_ON_CALL = true
//     void scale(in int count, inout int [.. size = count, maxsize = 16] vals) = 5;
//                                                THREAD_ON_CALL = true
//   } } = 0x20000200;
#ifndef VELORIN_TESTS_PROCGEN_STOCK_MODEL_H
#define VELORIN_TESTS_PROCGEN_STOCK_MODEL_H

#include "model_builder.h"

namespace stock {

using namespace build;

inline property* flag(const std::string& name, const std::string& value = "true")
{
    return prop(name, var(value));
}

inline rpcProcedure* withProperty(rpcProcedure* procedure, property* p)
{
    procedure->addProperty(p);
    return procedure;
}

inline Type* quoteType()
{
    return alias("stkQuote",
                 structType("", {sym("low", prim(CODE_DOUBLE)), sym("high", prim(CODE_DOUBLE)),
                                 sym("close", prim(CODE_DOUBLE))}));
}

inline rpcProcedure* getQuote()
{
    return procedure("getQuote", prim(CODE_INT), {arg("quote", ptr(quoteType()), DIR_INOUT)}, 1);
}

inline rpcProcedure* reset()
{
    return withProperty(procedure("reset", prim(CODE_VOID), {}, 2), flag("NON_BLOCKING"));
}

inline rpcProcedure* now() { return procedure("now", prim(CODE_INT), {}, 3); }

inline rpcProcedure* fetch()
{
    return withProperty(
        procedure("fetch", prim(CODE_INT),
                  {arg("n", prim(CODE_INT)),
                   arg("buf", varArray(prim(CODE_CHAR), var("n"), num(64)), DIR_OUT)},
                  4),
        flag("FORK_ON_CALL"));
}

inline rpcProcedure* scale()
{
    return withProperty(
        procedure("scale", prim(CODE_VOID),
                  {arg("count", prim(CODE_INT)),
                   arg("vals", varArray(prim(CODE_INT), var("count"), num(16)), DIR_INOUT)},
                  5),
        flag("THREAD_ON_CALL"));
}

// The whole version; `number` is the program number.
inline rpcVersion* version(long number = 0x20000200)
{
    rpcVersion* v = build::version(1, {getQuote(), reset(), now(), fetch(), scale()});
    program("stock", number, {v});
    return v;
}

}  // namespace stock

#endif
