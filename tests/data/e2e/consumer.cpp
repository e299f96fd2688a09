// A program built against an installed prefix with the flags pkg-config gives for corvane.
#include <corvane/corvane.h>
#include <iostream>

int main() {
    Corvane::AutoCli::Dispatcher dispatcher;
    for (const auto& name : dispatcher.GetPluginNames())
        std::cout << name << '\n';
    return dispatcher.HasFormatter("table") ? 0 : 1;
}
