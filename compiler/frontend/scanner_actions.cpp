// The scanner's state and the actions of its line-marker and "%" rules.

#include "frontend/scanner.h"

#include "output/section_files.h"

#include <climits>

std::string currentFileName;
int rpcKeywordsEnabled = 0;
int beforeProgramBlock = 1;

namespace {

// The white space that ends a word or precedes a number in a marker line
// (the same set the C library's formatted input skips).
bool isMarkerSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void skipSpace(const char*& p)
{
    while (isMarkerSpace(*p))
        ++p;
}

// Reads an optionally signed decimal number after optional white space. A
// number beyond the range of int is taken as the nearest int, so that a
// marker can never make the line counter overflow.
bool readNumber(const char*& p, int& value)
{
    skipSpace(p);
    const char* q = p;
    bool negative = false;
    if (*q == '+' || *q == '-')
        negative = *q++ == '-';
    if (*q < '0' || *q > '9')
        return false;
    long long magnitude = 0;
    for (; *q >= '0' && *q <= '9'; ++q)
        if (magnitude <= INT_MAX)
            magnitude = magnitude * 10 + (*q - '0');
    if (magnitude > INT_MAX)
        magnitude = INT_MAX;
    value = static_cast<int>(negative ? -magnitude : magnitude);
    p = q;
    return true;
}

// Reads the next run of characters up to white space or the end of the text,
// after optional white space. The word may be as long as the text.
bool readWord(const char*& p, std::string& word)
{
    skipSpace(p);
    const char* start = p;
    while (*p != '\0' && !isMarkerSpace(*p))
        ++p;
    if (p == start)
        return false;
    word.assign(start, p);
    return true;
}

// The text after the first "#" of a marker line.
const char* afterHash(const char* text)
{
    while (*text != '\0' && *text != '#')
        ++text;
    return *text == '#' ? text + 1 : text;
}

}  // namespace

void countLines(const char* text, int length)
{
    for (int i = 0; i < length; ++i)
        if (text[i] == '\n' && yylineno < INT_MAX)
            ++yylineno;
}

void readLineMarker(const char* text)
{
    const char* p = afterHash(text);
    int line;
    std::string name;
    if (readNumber(p, line) && readWord(p, name)) {
        yylineno = line;
        currentFileName = name;
    }
}

void readLineDirective(const char* text)
{
    const char* p = afterHash(text);
    std::string keyword;
    int line;
    if (!readWord(p, keyword) || !readNumber(p, line))
        return;
    yylineno = line;
    std::string name;
    if (readWord(p, name))
        currentFileName = name;
}

void readLineNumber(const char* text)
{
    const char* p = afterHash(text);
    int line;
    if (readNumber(p, line))
        yylineno = line;
}

void passThroughText(const std::string& text)
{
    outFile& section = beforeProgramBlock ? leadingTextSection : trailingTextSection;
    section.stream() << text;
}
