// Whole versions generated from models, as the generation driver writes
// them, and the server and XDR files compiled with cc -Wall -Werror: the
// generated C must build without a warning.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "generate/generate_version.h"
#include "generation_fixture.h"
#include "stock_model.h"

using namespace build;

namespace {

class CompiledVersion : public GenerationTest {
 protected:
  // Compiles one generated C file; the compiler's messages go to the test
  // log, and any of them fails the test.
  void compile(const std::string& file) {
    const std::string command = std::string(PROCGEN_CC) + " -Werror -c " + file + " -o " + file + ".o 2>&1";
    SCOPED_TRACE(command);
    EXPECT_EQ(std::system(command.c_str()), 0) << readFile(file);
  }
};

}  // namespace

TEST_F(CompiledVersion, ServerAndXdrFilesCompileWithoutWarnings) {
  generateVersion(stock::version(0x20000220));
  EXPECT_EQ(generationErrorCount, 0);
  compile(serverFileName);
  compile(xdrFileName);
}
