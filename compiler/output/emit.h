#ifndef VELORIN_OUTPUT_EMIT_H
#define VELORIN_OUTPUT_EMIT_H

// The emit helper: how every generator writes generated text.
//
// Generated text goes onto one of the output streams (output_files.h) or the
// section streams (section_files.h), always through these few calls, so that
// the exact bytes of a construct can be read off one line of code:
//
//   emit(headerOut, "#define ", name, " ", value, "\n");
//       writes the pieces one after another, adding nothing;
//   emitLine(clientOut, "#include \"", currentFiles.header, "\"");
//       the same, followed by one "\n";
//   emit(serverOut, indent(2), "return 0;\n");
//       indent(n) is n tab characters;
//   std::string text = joinText("bool_t ", signature, ";\n");
//       the same pieces joined into a string, for text that is built in
//       memory before it is written (or returned to a caller).
//
// Pieces may be anything a std::ostream can print: strings, characters,
// numbers (printed in decimal).

#include <ostream>
#include <sstream>
#include <string>

// n tab characters.
inline std::string indent(int n) { return n > 0 ? std::string(static_cast<size_t>(n), '\t') : std::string(); }

template <typename... Pieces>
std::ostream& emit(std::ostream& out, const Pieces&... pieces)
{
    (out << ... << pieces);
    return out;
}

template <typename... Pieces>
std::ostream& emitLine(std::ostream& out, const Pieces&... pieces)
{
    (out << ... << pieces);
    return out << '\n';
}

template <typename... Pieces>
std::string joinText(const Pieces&... pieces)
{
    std::ostringstream text;
    (text << ... << pieces);
    return text.str();
}

#endif
