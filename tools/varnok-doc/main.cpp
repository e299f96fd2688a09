// varnok-doc: writes manual pages for the loaded commands and the tool, a thin main over the library.
#include <corvane/manual.h>

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    try {
        return Corvane::AutoCli::AutoCli_DocMain(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "varnok-doc: " << e.what() << std::endl;
        return 1;
    }
}
