// A shared-object plugin: "system load show" and "system user list", answered in process from
// sysinfo(2) and the user database instead of by an external program.
#include <corvane/corvane.h>

#include <pwd.h>
#include <sys/sysinfo.h>

#include <cstdio>
#include <memory>
#include <string>

using namespace Corvane;
using namespace Corvane::AutoCli;
using Corvane::CallSpec::Input;
using Corvane::CallSpec::InputSpec;
using Corvane::CallSpec::Output;
using Corvane::CallSpec::OutputSpec;
using Corvane::CallSpec::ParameterConstraint;
using Corvane::CallSpec::ParameterSpec;
using Corvane::MetaObj::MetaList;
using Corvane::MetaObj::MetaStruct;
using Corvane::MetaObj::MetaType;

namespace {

// The descriptor examples declare the same namespace with the same text; whichever plugin loads
// first creates it and the others join it.
const char* const kSystemDescription =
    "Information about this host: the system, its file systems, network interfaces and processes.";

// Values in KiB, whatever unit the kernel counts memory in.
long Kib(unsigned long amount, unsigned int unit) {
    return static_cast<long>(static_cast<unsigned long long>(amount) * (unit ? unit : 1) / 1024);
}

// One load average as text with two decimals: the typed values have no fractions.
std::string LoadText(unsigned long load) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(load) / (1 << SI_LOAD_SHIFT));
    return text;
}

class LoadShow : public Command {
public:
    LoadShow() {
        SetDescription("Show the load averages, the number of processes, memory and swap of this host.");
        SetMetaData("effect", "read");
        // Dispatcher options such as --formatter go before the namespaces, so an example line, which
        // is the command path followed by command options, cannot show them.
        AddExample("", "Show the current load (varnok --formatter json system load show prints it as JSON).");
        SetDefaultOutputFormatter("simple");
        SetDefaultOutputParameter("align-fields", "true");
        SetDefaultOutputParameter("fields:SystemLoad",
                                  "Load1,Load5,Load15,Processes,MemoryTotal,MemoryFree,SwapTotal,SwapFree");
        for (const char* field : {"MemoryTotal", "MemoryFree", "SwapTotal", "SwapFree"}) {
            SetDefaultOutputParameter(std::string("units:SystemLoad.") + field, "KiB");
        }
    }

    std::shared_ptr<InputSpec> GetInputSpecInternal() override { return InputSpec::New(); }

    std::shared_ptr<OutputSpec> GetOutputSpecInternal() override {
        auto spec = OutputSpec::New();
        spec->SetRootObject(Shape());
        spec->SetDescription("The load of this host.");
        return spec;
    }

    void ExecuteInternal(const std::shared_ptr<Input>&, const std::shared_ptr<Output>& output) override {
        struct sysinfo info {};
        if (sysinfo(&info) != 0) {
            output->AddErrorMessage("Unable to read the system load from the kernel");
            return;
        }
        auto load = Shape();
        load->SetField("Load1", LoadText(info.loads[0]));
        load->SetField("Load5", LoadText(info.loads[1]));
        load->SetField("Load15", LoadText(info.loads[2]));
        load->SetField("Processes", static_cast<long>(info.procs));
        load->SetField("MemoryTotal", Kib(info.totalram, info.mem_unit));
        load->SetField("MemoryFree", Kib(info.freeram, info.mem_unit));
        load->SetField("SwapTotal", Kib(info.totalswap, info.mem_unit));
        load->SetField("SwapFree", Kib(info.freeswap, info.mem_unit));
        output->SetRootObject(load);
    }

private:
    // The declared result and, filled in, the actual one: both come from here so they match.
    static std::shared_ptr<MetaStruct> Shape() {
        auto load = MetaStruct::New("SystemLoad");
        for (const char* field : {"Load1", "Load5", "Load15"}) {
            load->SetField(field, "");
        }
        for (const char* field : {"Processes", "MemoryTotal", "MemoryFree", "SwapTotal", "SwapFree"}) {
            load->SetField(field, 0L);
        }
        return load;
    }
};

class UserList : public Command {
public:
    UserList() {
        SetDescription("List the users of this host from its user database.");
        SetMetaData("effect", "read");
        AddExample("--min-uid 1000", "Only the users of people, not of system services.");
        AddExample("--login", "Only users that can log in.");
        SetDefaultOutputFormatter("table");
        SetDefaultOutputParameter("fields:User", "Name,Uid,Gid,Home,Shell");
    }

    std::shared_ptr<InputSpec> GetInputSpecInternal() override {
        auto spec = InputSpec::New();
        auto minUid = ParameterSpec::New("min-uid", CallSpec::ParameterType::Int);
        minUid->SetShortName("m");
        minUid->SetRequired(false);
        minUid->SetDescription("Only users whose numeric id is at least this, %ENUM%.");
        auto range = ParameterConstraint::New(CallSpec::ParameterConstraintType::IntRange);
        range->SetIntRange(0, 4294967295L);
        minUid->SetConstraint(range);
        spec->AddParameter(minUid);

        auto login = ParameterSpec::New("login", CallSpec::ParameterType::Flag);
        login->SetShortName("l");
        login->SetRequired(false);
        login->SetDescription("Only users whose shell lets them log in (not nologin or false).");
        spec->AddParameter(login);
        return spec;
    }

    std::shared_ptr<OutputSpec> GetOutputSpecInternal() override {
        auto spec = OutputSpec::New();
        spec->SetRootObject(MetaList::New(MetaType::Struct, Shape()));
        spec->SetDescription("The users, in the order of the user database.");
        return spec;
    }

    void ExecuteInternal(const std::shared_ptr<Input>& input,
                         const std::shared_ptr<Output>& output) override {
        long minUid = input->HasParameter("min-uid") ? input->GetParameterInt("min-uid") : 0;
        bool loginOnly = input->IsFlagSet("login");

        auto users = MetaList::New(MetaType::Struct, Shape());
        setpwent();
        while (struct passwd* entry = getpwent()) {
            std::string shell = entry->pw_shell ? entry->pw_shell : "";
            if (static_cast<long>(entry->pw_uid) < minUid) {
                continue;
            }
            if (loginOnly && (shell.empty() || EndsWith(shell, "/nologin") || EndsWith(shell, "/false"))) {
                continue;
            }
            auto user = MetaStruct::New(users->GetListStructure());
            user->SetField("Name", std::string(entry->pw_name));
            user->SetField("Uid", static_cast<long>(entry->pw_uid));
            user->SetField("Gid", static_cast<long>(entry->pw_gid));
            user->SetField("Home", std::string(entry->pw_dir ? entry->pw_dir : ""));
            user->SetField("Shell", shell);
            users->Add(user);
        }
        endpwent();
        output->SetRootObject(users);
    }

private:
    static bool EndsWith(const std::string& text, const std::string& end) {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }

    static std::shared_ptr<MetaStruct> Shape() {
        auto user = MetaStruct::New("User");
        user->SetField("Name", "");
        user->SetField("Uid", 0L);
        user->SetField("Gid", 0L);
        user->SetField("Home", "");
        user->SetField("Shell", "");
        return user;
    }
};

} // namespace

// The entry point the dispatcher looks up after loading this object. Registration errors are
// thrown as CorvaneException; the dispatcher reports them and carries on without this plugin.
extern "C" CORVANE_PLUGIN_EXPORT void AutoCli_RegisterNamespaces(std::shared_ptr<Namespace> root) {
    auto system = root->SubNamespace("system");
    if (system->GetDescription().empty()) {
        system->SetDescription(kSystemDescription);
    }

    auto load = Namespace::New();
    load->SetDescription("The load of this host.");
    load->RegisterNamespaceNode(std::make_shared<LoadShow>(), "show");
    system->RegisterNamespaceNode(load, "load");

    auto user = Namespace::New();
    user->SetDescription("The users of this host.");
    user->RegisterNamespaceNode(std::make_shared<UserList>(), "list");
    system->RegisterNamespaceNode(user, "user");
}
