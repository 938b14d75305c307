// Macro-definition texts that carry generated names into the header. The
// names themselves are formed by the model objects they belong to
// (rpcProcedure, rpcVersion, rpcProgram, classType, Type).
#ifndef VELORIN_MODEL_GENERATED_IDENTIFIERS_H
#define VELORIN_MODEL_GENERATED_IDENTIFIERS_H

#include <cstdint>
#include <ostream>
#include <string>

// "#define <name> <value>\n"
std::string defineText(const std::string& name, const std::string& value);
// "#define <name>  (unsigned long)(<number>)\n"
std::string numberDefineText(const std::string& name, std::int64_t number);
// Writes numberDefineText to `out` (the generated header).
void writeNumberDefine(std::ostream& out, const std::string& name, std::int64_t number);

// The static functions that the generated header defines for the XDR code
// (the header's helper block): 64-bit size arithmetic and the pieces of the
// array blocks.
// The saturating function of an arithmetic operator (+ - * / %); "" for
// any other operator.
std::string sizeOperatorFunction(int op);
// The saturating shift of sizes (<< >>); "" for any other operator.
std::string sizeShiftFunction(int op);
// The checked int function of a binary operator over values (see
// expression::valueCodeText); "" for an operator it has none for.
std::string valueOperatorFunction(int op);
// The same for a prefix operator (- ~).
std::string valueUnaryFunction(int op);
// 1 when a value could not be computed.
extern const char* const valueUnknownFunction;
// A value as a size: one that could not be computed saturates.
extern const char* const valueSizeFunction;
// min(size, limit) as a 32-bit count.
extern const char* const sizeClampFunction;
// Stores a size to send as the count when it fits the bound; 0 otherwise.
extern const char* const countFitsFunction;
// Zeroed storage of a result buffer, none for a count beyond 32 bits.
extern const char* const resultAllocationFunction;
// Allocates an argument's room that decoding overwrites, cleared afterwards.
extern const char* const roomAllocationFunction;
// Clears such a room behind what decoding wrote.
extern const char* const roomClearFunction;
// Releases a result buffer, keeping it for the next call.
extern const char* const resultReleaseFunction;
// Decodes the elements of a variable-length array as they arrive.
extern const char* const elementDecoderFunction;
// Releases decoded elements and their storage.
extern const char* const elementReleaseFunction;
// 1 when bytes measured by their own terminator hold one.
extern const char* const terminatedFunction;
// Reads the count of a string and its bytes into storage of its own.
extern const char* const stringDecoderFunction;
// Moves a decoded string into the caller's storage, or releases a refused one.
extern const char* const stringSettleFunction;
// Reads the count of a string and its bytes into room the server gave.
extern const char* const stringRoomDecoderFunction;
// 1 when a caller's storage of elements holds only zero bytes.
extern const char* const blankStorageFunction;
// Releases what elements in a caller's storage own and zeroes them.
extern const char* const elementClearFunction;

#endif
