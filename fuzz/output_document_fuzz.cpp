// Fuzz target of the output-document reader: an external program's standard output read into a
// value, which every built-in formatter must then print.
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
    try {
        value = Corvane::AutoCli::XmlUtil_ParseXmlOutput(document);
    } catch (const CorvaneException&) {
        return 0;
    } catch (const std::exception& e) {
        Fail(std::string("the reader let another exception out: ") + e.what(), document);
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
