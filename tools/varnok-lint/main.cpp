// varnok-lint: checks plugin descriptors for plugin authors, a thin main over the library's linter.
#include <corvane/lint.h>

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    try {
        return Corvane::AutoCli::AutoCli_LintMain(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "varnok-lint: " << e.what() << std::endl;
        return 2;
    }
}
