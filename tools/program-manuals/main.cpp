// program-manuals: writes the manual pages of the programs beside varnok into a directory, at build
// time: program-manuals DIR DATE.
#include <corvane/manual.h>

#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "Usage: program-manuals DIR DATE\n";
        return 2;
    }
    for (const Corvane::AutoCli::ManualPage& page :
         Corvane::AutoCli::AutoCli_ProgramManuals(Corvane::AutoCli::ManualFormat::Man, argv[2])) {
        const std::string path = std::string(argv[1]) + "/" + page.fileName;
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << page.text;
        file.close();
        if (!file) {
            std::cerr << "program-manuals: unable to write " << path << "\n";
            return 1;
        }
    }
    return 0;
}
