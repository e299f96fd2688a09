// Fuzz target of the descriptor reader: a plugin descriptor file loaded and registered beside the
// built-in namespaces the way the dispatcher registers it, then every command's specifications,
// help and schemas produced and printed.
#include "fuzz_support.h"

#include <corvane/catalog.h>
#include <corvane/dispatch.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using Corvane::CorvaneException;
using Corvane::AutoCli::Command;
using Corvane::AutoCli::NamespaceNode;
using Corvane::Fuzz::Fail;

// The reader takes a file name, so every input is written to one in-memory file, named through
// /proc; nothing reaches a disk and nothing is left behind. The descriptor cache is off: an entry
// kept for one input could stand in for the reading of a later one, and its file would outlive
// the run.
int DescriptorFile() {
    static const int fd = [] {
        setenv("VARNOK_NO_CACHE", "1", 1);
        return memfd_create("descriptor.xml", MFD_CLOEXEC);
    }();
    if (fd < 0) {
        Fail("cannot create the descriptor file", std::strerror(errno));
    }
    return fd;
}

const std::string& DescriptorPath() {
    static const std::string path = "/proc/self/fd/" + std::to_string(DescriptorFile());
    return path;
}

void CheckCommand(const std::shared_ptr<Command>& command, const std::string& descriptor) {
    const std::string path = command->GetPathString(' ');
    try {
        auto inputSpec = command->GetInputSpec();
        for (const auto& parameter : inputSpec->GetParameters()) {
            parameter->GetDescription(true);
        }
        command->GetOutputSpec()->GetDescription();

        auto input = Corvane::AutoCli::CommandInput::New();
        input->GetCommandPath() = command->GetPath();
        auto output = Corvane::AutoCli::CommandOutput::New();
        command->GenerateHelpOutput(input, output);

        static const auto formatter = Corvane::AutoCli::CommandHelpFormatter::New();
        // Made for each command: the formatter may change them.
        Corvane::AutoCli::FormatParameters params;
        Corvane::AutoCli::DisplayContext context;
        context.width = 80;
        std::ostringstream out;
        formatter->Format(output, params, context, out);
        if (out.str().empty()) {
            Fail("the help of " + path + " printed nothing", descriptor);
        }
        // Whatever the descriptor declares, its schemas are written, as JSON objects.
        for (const std::string& schema : {Corvane::AutoCli::AutoCli_InputSchema(*command),
                                          Corvane::AutoCli::AutoCli_OutputSchema(*command)}) {
            if (schema.size() < 3 || schema.front() != '{' ||
                schema.compare(schema.size() - 2, 2, "}\n") != 0) {
                std::string message = "a schema of " + path;
                message += " is no JSON object: ";
                message += schema;
                Fail(message, descriptor);
            }
        }
    } catch (const std::exception& e) {
        Fail("the specifications or help of " + path + " failed: " + e.what(), descriptor);
    }
}

void CheckNode(const std::shared_ptr<NamespaceNode>& node, const std::string& descriptor) {
    for (const auto& child : node->GetNamespaceNodes()) {
        if (child->GetType() == Corvane::AutoCli::CommandType) {
            auto command = std::dynamic_pointer_cast<Command>(child);
            if (!command) {
                Fail("a command node is not a command", descriptor);
            }
            CheckCommand(command, descriptor);
        } else {
            CheckNode(child, descriptor);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (Corvane::Fuzz::FailOnLibxml2Diagnostics(), true);
    (void)quiet;
    const std::string descriptor(reinterpret_cast<const char*>(data), size);
    // Written over the previous input and cut to its size: the pages in use stay in place.
    if (pwrite(DescriptorFile(), data, size, 0) != static_cast<ssize_t>(size) ||
        ftruncate(DescriptorFile(), static_cast<off_t>(size)) != 0) {
        Fail("cannot write the descriptor file", std::strerror(errno));
    }
    // A dispatcher's tree holds the built-in namespaces before any plugin; registering an XML plugin
    // is registering its namespaces (it brings no formatter). The built-in plugin is made once, its
    // namespaces anew for each input, and the tree goes before the plugin whose commands it holds.
    static const auto internal = [] {
        auto made = Corvane::AutoCli::InternalPlugin::New();
        made->Initialize();
        return made;
    }();
    auto plugin = Corvane::AutoCli::XmlPlugin::New(DescriptorPath());
    auto root = Corvane::AutoCli::RootNamespace::New(nullptr);
    internal->RegisterNamespaces(root);
    try {
        plugin->Initialize();
        plugin->RegisterNamespaces(root);
    } catch (const CorvaneException&) {
        return 0;
    } catch (const std::exception& e) {
        Fail(std::string("loading let another exception out: ") + e.what(), descriptor);
    }
    CheckNode(root, descriptor);
    return 0;
}
