#include "model/generated_identifiers.h"

#include <string>

std::string defineText(const std::string& name, const std::string& value) {
  return "#define " + name + " " + value + "\n";
}

std::string numberDefineText(const std::string& name, std::int64_t number) {
  return "#define " + name + "  (unsigned long)(" + std::to_string(number) + ")\n";
}

void writeNumberDefine(std::ostream& out, const std::string& name, std::int64_t number) {
  out << numberDefineText(name, number);
}
