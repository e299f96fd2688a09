// Fuzz target of the output-document reader: an external program's standard output read into a
// value, which every built-in formatter must then print; an output without a value says why.
#include "fuzz_support.h"

#include <corvane/callspec.h>
#include <corvane/format.h>
#include <corvane/metaobj.h>
#include <corvane/plugins.h>
#include <corvane/xmlutil.h>

#include <exception>
#include <sstream>
#include <string>

namespace {

using Corvane::CorvaneException;
using Corvane::Fuzz::Fail;
using Corvane::MetaObj::MetaObject;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (Corvane::Fuzz::FailOnLibxml2Diagnostics(), true);
    (void)quiet;
    const std::string document(reinterpret_cast<const char*>(data), size);
    std::shared_ptr<MetaObject> value;
    std::string problem;
    try {
        value = Corvane::AutoCli::XmlUtil_ParseXmlOutput(document, problem);
    } catch (const CorvaneException& e) {
        // A refused element is named with its line; only an overlong text has no element to name.
        if (problem.empty() && std::string(e.what()).find("A text of more than") == std::string::npos) {
            Fail(std::string("a refusal without the refused element: ") + e.what(), document);
        }
        return 0;
    } catch (const std::exception& e) {
        Fail(std::string("the reader let another exception out: ") + e.what(), document);
    }
    // A document that gives no value says why; one that gives a value says nothing.
    if (value ? !problem.empty() : problem.empty() && !document.empty()) {
        Fail("a document's problem does not match its value: '" + problem + "'", document);
    }
    if (!value) {
        return 0;
    }

    auto output = Corvane::CallSpec::Output::New();
    output->SetRootObject(value);
    for (const auto& formatter : Corvane::Fuzz::Formatters()) {
        const std::string& name = formatter->GetName();
        Corvane::AutoCli::FormatParameters params;
        Corvane::AutoCli::DisplayContext context;
        context.width = 80;
        std::ostringstream out;
        try {
            formatter->Format(output, params, context, out);
        } catch (const CorvaneException& e) {
            // Refusing a value of the wrong shape is what these two formatters document.
            if (name == "table" || name == "commandhelp") {
                continue;
            }
            Fail(name + " formatter threw: " + e.what(), document);
        } catch (const std::exception& e) {
            Fail(name + " formatter threw: " + e.what(), document);
        }
        std::string error;
        if (name == "json" && !Corvane::Fuzz::IsJsonDocument(out.str(), error)) {
            Fail("json output is not JSON: " + error, document + "\n----\n" + out.str());
        }
        if (name == "python" && !Corvane::Fuzz::IsPythonLiteral(out.str(), error)) {
            Fail("python output is not a Python literal: " + error, document + "\n----\n" + out.str());
        }
    }
    return 0;
}
