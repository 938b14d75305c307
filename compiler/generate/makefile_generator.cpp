#include "generate/makefile_generator.h"

#include "driver/configuration.h"
#include "driver/driver_state.h"
#include "driver/options.h"
#include "driver/path_utils.h"
#include "output/emit.h"
#include "output/output_files.h"

#include "model/rpc_program.h"

#include <cstdio>
#include <fstream>
#include <iostream>

void appendFile(std::ostream& stream, const std::string& path)
{
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        reportError() << " fail to open file " << path << "." << std::endl;
        return;
    }
    int c;
    while ((c = std::getc(in)) != EOF)
        stream.put(static_cast<char>(c));
    std::fclose(in);
}

namespace {

// Text that a make variable assignment gives back unchanged: "$" doubled, "#"
// escaped (with the backslashes before it doubled).
std::string makeVariableText(const std::string& text)
{
    std::string escaped;
    size_t backslashes = 0;
    for (char c : text) {
        if (c == '#') {
            escaped.append(backslashes, '\\');
            escaped += "\\#";
        } else if (c == '$') {
            escaped += "$$";
        } else {
            escaped += c;
        }
        backslashes = c == '\\' ? backslashes + 1 : 0;
    }
    return escaped;
}

} // namespace

int generateMakefile()
{
    // An interface without a program block generates no files, and a
    // makefile named ".mak" for no program would only mislead.
    if (filePrefix.empty())
        return 0;

    const std::string name = filePrefix + ".mak";

    // Any kind of file of that name counts: a makefile the programmer keeps
    // is never replaced.
    if (!find_file(".", name).empty()) {
        std::cerr << "Makefile already exists, skip makefile generation." << std::endl;
        return 0;
    }

    const std::string templatePath = path_append(installDir, "data/makefile.tml");

    std::ofstream makefile(name, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!makefile) {
        std::perror(name.c_str());
        return -1;
    }

    std::string header = joinText(configLine("CC", ccCommand),
                                  configLine("APP", programName),
                                  configLine("IDLFILE", inputFileName),
                                  configLine("FILE_PREFIX", filePrefix),
                                  configLine("SYS_LDFLAGS", sysLdflags),
                                  configLine("VELORIN_HOME", installDir));
    // The template's rule that runs the compiler again when the interface
    // file changes passes them on, so it reads the file as this run did.
    const std::string options = commandLineOptions();
    if (!options.empty())
        header += configLine("VELORIN_OPTIONS", makeVariableText(options));
    emit(makefile, header);
    appendFile(makefile, templatePath);

    // A makefile cut short (a full disk) is reported, not left as if whole.
    makefile.close();
    if (makefile.fail()) {
        std::perror(name.c_str());
        std::remove(name.c_str());
        return -1;
    }
    std::cout << "Makefile " << name << " generated.\n";
    return 0;
}
