// A C++20 program built against an installed prefix with the flags pkg-config gives for corvane.
#include <corvane/corvane.h>
#include <iostream>
#include <span>

int main() {
    Corvane::AutoCli::Dispatcher dispatcher;
    const std::vector<std::string> names = dispatcher.GetPluginNames();
    for (const std::string& name : std::span(names))
        std::cout << name << '\n';
    return dispatcher.HasFormatter("table") ? 0 : 1;
}
