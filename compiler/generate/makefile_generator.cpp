#include "generate/makefile_generator.h"

#include "diagnostics/error_report.h"
#include "output/emit.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sys/stat.h>

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

int generateMakefile(const makefileSettings& settings)
{
    // An interface without a program block generates no files, and a
    // makefile named ".mak" for no program would only mislead.
    if (settings.filePrefix.empty())
        return 0;

    const std::string name = settings.filePrefix + ".mak";

    // Any kind of file of that name counts: a makefile the programmer keeps
    // is never replaced.
    struct stat existing;
    if (stat(("./" + name).c_str(), &existing) == 0) {
        std::cerr << "Makefile already exists, skip makefile generation." << std::endl;
        return 0;
    }

    std::ofstream makefile(name, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!makefile) {
        std::perror(name.c_str());
        return -1;
    }

    emit(makefile, "CC=", settings.cc, "\n",
                   "APP=", settings.app, "\n",
                   "IDLFILE=", settings.idlFile, "\n",
                   "FILE_PREFIX=", settings.filePrefix, "\n",
                   "SYS_LDFLAGS=", settings.sysLdflags, "\n",
                   "VELORIN_HOME=", settings.velorinHome, "\n");
    // The run's -I and -D options: the template's rule that runs the
    // compiler again when the interface file changes passes them on, so it
    // reads the file as this run did.
    if (!settings.options.empty())
        emit(makefile, "VELORIN_OPTIONS=", makeVariableText(settings.options), "\n");
    appendFile(makefile, settings.templatePath);

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
