// varnok end to end: the binary run as a user runs it, with stdout, stderr and exit status compared
// exactly on a fixed test plugin, and smoke runs of the bundled examples.
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using CorvaneTest::TempDir;
using VarnokTest::Result;
using VarnokTest::RunVarnok;

const std::string kPlugins = E2E_PLUGIN_DIR;
const std::string kData = E2E_DATA_DIR;

// varnok with the fixed test plugin loaded first.
Result V(std::vector<std::string> args, const std::string& stdinText = "") {
    args.insert(args.begin(), {"--plugin-dir", kPlugins});
    return RunVarnok(args, stdinText);
}

void ExpectRun(const Result& result, const std::string& out, const std::string& err, int status) {
    EXPECT_EQ(out, result.out);
    EXPECT_EQ(err, result.err);
    EXPECT_EQ(status, result.status);
}

std::string ExamplesDir() {
    const char* installed = std::getenv("VARNOK_EXAMPLES_DIR");
    return installed != nullptr && *installed != '\0' ? installed : EXAMPLES_PLUGIN_DIR;
}

const char* const kRootListing = R"(Usage: varnok [disp options] <namespaces> <command>

For help please run varnok --help

Available Namespaces: 

inventory  A fixed inventory of disks for testing.
varnok     Commands that operate on the varnok system itself allowing users to get additional information.

Available Commands: 


)";

const char* const kUsage = R"(varnok [dispatcher options] <namespaces> <command> [options]
      For a list of available namespaces run varnok with no arguments.  
      Objects can be listed by specifying just the namespace.
      Commands can be listed by specifying the namespace and object.

 Dispatcher Options: 
       --plugin-dir                    Add all the plug-ins from this directory
       --plugin                        Add a specific file plugin.  (Multiple --plugin options can be passed.)
       --formatter <formatter>         Override the formatter to use for a given command
       --format-param <key>=<value>    Set a formatter parameter to give the formatter information about how to format the command
       --screen-width <width>          Use the specified screen width when formatting text
    -h|--help                          Show this message.

)";

const char* const kDiskTable = R"(Name     Size      Healthy  Location.Rack  Tags
-------  --------  -------  -------------  ----
sda        500 GB  true     A&1            ssd, boot
sdb      12000 GB  false    B "north"      hdd
nvme0n1     75 GB  true     <none>         nvme, fast lane
)";

TEST(VarnokListing, RootAndNamespacesListTheirChildrenWithStatusOne) {
    ExpectRun(V({}), kRootListing, "", 1);

    ExpectRun(V({"inventory"}), R"(Usage: varnok [disp options] inventory <namespaces> <command>

For help please run varnok --help

Available Namespaces: 

disk    The disks of the inventory.
echo    Show what a program receives.
fail    Commands that fail.
secret  Secret parameters.

Available Commands: 


)",
              "", 1);

    ExpectRun(V({"inventory", "disk"}), R"(Usage: varnok [disp options] inventory disk <namespaces> <command>

For help please run varnok --help

Available Namespaces: 


Available Commands: 

get   Show one disk.
list  List the disks.

)",
              "", 1);

    // --formatter does not apply to listings.
    EXPECT_EQ(kRootListing, V({"--formatter", "json"}).out);
}

TEST(VarnokListing, WideDescriptionsWrapToTheScreenWidth) {
    ExpectRun(V({"--screen-width", "0x3c"}), R"(Usage: varnok [disp options] <namespaces> <command>

For help please run varnok --help

Available Namespaces: 

inventory  A fixed inventory of disks for testing.
varnok     Commands that operate on the varnok system 
           itself allowing users to get additional 
           information.

Available Commands: 


)",
              "", 1);
}

TEST(VarnokUsage, HelpOptionPrintsTheUsageTextAndExitsWithOne) {
    ExpectRun(RunVarnok({"-h"}), kUsage, "", 1);
    ExpectRun(V({"--help", "inventory", "disk", "list"}), kUsage, "", 1);
    // Usage wins over every other problem of the dispatcher options.
    ExpectRun(RunVarnok({"--bogus", "-h"}), kUsage, "", 1);
}

TEST(VarnokUsage, HelpAfterTheCommandPathIsTheCommandsHelp) {
    ExpectRun(V({"inventory", "disk", "get", "--help"}), R"(Usage: varnok inventory disk get <options>

Description: Show one disk.

  -h|--help   Show the help message.
  -n|--name   The disk's name. (required)
)",
              "", 0);
    ExpectRun(V({"inventory", "secret", "check", "-h"}), R"(Usage: varnok inventory secret check <options>

Description: Check a password handed over on standard input.

  -h|--help       Show the help message.
  -p|--password   The password; asked for without echo when given without a value. (required secret)
                  WARNING: Providing secret values on the command line is insecure because it may be logged or preserved in history files. Instead, specify this option with no value on the command line, and enter the value on the supplied prompt.
  -u|--user       The user. (required)
)",
              "", 0);
}

TEST(VarnokFormatters, EveryFormatterPrintsTheFixedInventory) {
    ExpectRun(V({"inventory", "disk", "list"}), kDiskTable, "", 0);
    ExpectRun(V({"--formatter", "table", "inventory", "disk", "list"}), kDiskTable, "", 0);

    ExpectRun(V({"inventory", "disk", "get", "--name", "sdb"}), R"(Disk:
   Healthy : false
   Location: 
      Location:
         Rack: B "north"
         Slot: 14
   Name    : sdb
   Size    : 12000
   Tags    : hdd
)",
              "", 0);

    // The command's table columns name a nested field, which the simple formatter cannot show.
    ExpectRun(
        V({"--formatter", "simple", "inventory", "disk", "list", "--min-size", "10000"}),
        "\nDisk:\n   Name: sdb\n   Size: 12000 GB\n   Healthy: false\nError getting field Location.Rack\n\n",
        "", 0);
    ExpectRun(V({"--formatter", "simple", "--format-param", "fields:Disk=Name,Location,Tags", "inventory",
                 "disk", "list", "--min-size", "10000"}),
              R"(
Disk:
   Name: sdb
   Location: 
      Location:
         Rack: B "north"
         Slot: 14
   Tags: hdd

)",
              "", 0);

    ExpectRun(V({"--formatter", "json", "inventory", "disk", "get", "-n", "nvme0n1"}), R"(
{
   "Healthy": true,
   "Location": 
   {
      "Rack": "<none>",
      "Slot": 0
   },
   "Name": "nvme0n1",
   "Size": 75,
   "Tags": 
   [
   "nvme", 
   "fast lane"
   ]
}
)",
              "", 0);

    ExpectRun(
        V({"--formatter", "python", "inventory", "disk", "list", "-m", "10000"}),
        R"([{"Healthy": False, "Location": {"Rack": """B \"north\"""", "Slot": 14, }, "Name": """sdb""", )"
        R"("Size": 12000, "Tags": ["""hdd""", ], }, ])"
        "\n",
        "", 0);

    ExpectRun(V({"--formatter", "xml", "inventory", "disk", "get", "--name", "sda"}), R"(<?xml version="1.0"?>
<output xmlns:varnok="http://corvane.invalid/Products/Tarnos/5.0/varnok">
   <meta-data>
      <meta-data-field name="align-fields" value="true"/>
   </meta-data>
   <root>
      <structure typeName="Disk">
         <field name="Healthy">
            <boolean>true</boolean>
         </field>
         <field name="Location">
            <structure typeName="Location">
               <field name="Rack">
                  <string>A&amp;1</string>
               </field>
               <field name="Slot">
                  <integer>3</integer>
               </field>
            </structure>
         </field>
         <field name="Name">
            <string>sda</string>
         </field>
         <field name="Size">
            <integer>500</integer>
         </field>
         <field name="Tags">
            <list type="string">
                  <string>ssd</string>
                  <string>boot</string>
            </list>
         </field>
      </structure>
   </root>
</output>
)",
              "", 0);
}

TEST(VarnokFormatters, FormatParamsOverrideAndExtendTheCommandDefaults) {
    ExpectRun(V({"--format-param", "fields:Disk=Tags, Name", "--format-param", "header-line=false",
                 "inventory", "disk", "list"}),
              R"(Tags             Name
ssd, boot        sda
hdd              sdb
nvme, fast lane  nvme0n1
)",
              "", 0);
    ExpectRun(V({"--format-param", "show-header=false", "--format-param", "printf:Disk.Size=%06ld",
                 "inventory", "disk", "list", "-m", "500"}),
              R"(sda   000500 GB  true     A&1            ssd, boot
sdb   012000 GB  false    B "north"      hdd
)",
              "", 0);
    // A key may hold blanks, dots and colons; the value is everything after the first "=".
    ExpectRun(V({"--format-param", "header:Disk=Disk %Name% = ok", "--format-param", "fields=Name",
                 "inventory", "disk", "get", "-n", "sda"}),
              "Disk sda = ok:\n   Name: sda\n", "", 0);

    ExpectRun(V({"--format-param", "fields_Disk=Name", "--format-param", "x=", "--format-param", "noequals",
                 "--formatter", "json", "--formatter", "xml", "inventory", "disk", "list"}),
              "",
              "Errors: \nOnly one --formatter option can be passed to a command\n"
              "Unable to read format parameter fields_Disk=Name\nUnable to read format parameter x=\n"
              "Unable to read format parameter noequals\n",
              1);
    ExpectRun(V({"--formatter", "nope", "inventory", "disk", "list"}), "",
              "Errors: \nUnable to find requested formatter: nope\n", 1);
    ExpectRun(V({"--bogus=1", "inventory", "disk", "list"}), "",
              "Errors: \nUnknown dispatcher parameter: bogus\n", 1);
    // A dispatcher option takes the next word as its value, path words included.
    ExpectRun(V({"--bogus", "inventory", "disk", "list"}), "",
              "varnok: Unable to find a command or namespace with the name 'disk' in namespace \n", 1);
}

TEST(VarnokFormatters, ScreenWidthWrapsTheLastTableColumn) {
    ExpectRun(V({"--screen-width", "30", "--format-param", "wrap-last=true", "--format-param",
                 "fields:Disk=Name,Location.Rack,Tags", "inventory", "disk", "list"}),
              R"(Name     Location.Rack  Tags
-------  -------------  ----
sda      A&1            ssd, 
                        boot
sdb      B "north"      hdd
nvme0n1  <none>         nvme, 
                        fast 
                        lane
)",
              "", 0);
}

TEST(VarnokValidation, BadInputIsReportedAndTheProgramNeverRuns) {
    ExpectRun(V({"inventory", "disk", "list", "--min-size", "big"}), "",
              "Errors: \nInvalid data 'big' for parameter min-size expected type Integer\n", 1);
    ExpectRun(V({"inventory", "disk", "list", "--min-size", "-1"}), "",
              "Errors: \nInvalid data constraint for parameter 'min-size'. Expected integer in the range "
              "0-1000000\n",
              1);
    ExpectRun(V({"inventory", "disk", "get"}), "", "Errors: \nMissing required parameter --name\n", 1);
    ExpectRun(V({"inventory", "disk", "get", "--name"}), "", "Errors: \n--name must have value\n", 1);
    ExpectRun(
        V({"inventory", "disk", "get", "--name", "sd-a"}), "",
        "Errors: \nInvalid data constraint for parameter 'name'. Value does not match the expected regular "
        "expression ([a-z0-9]+)\n",
        1);
    ExpectRun(V({"inventory", "disk", "get", "--name", "sda", "--colour", "red"}), "",
              "Errors: \nUnknown parameter : colour\n", 1);
    ExpectRun(V({"inventory", "disk", "get", "--name", "sda", "left", "over"}), "",
              "Errors: \nFound Extra non-parameter arguments at the end of input: 'left' 'over' \n", 1);
}

TEST(VarnokFailures, ProgramErrorsAndBadResultsEndWithStatusOne) {
    ExpectRun(V({"inventory", "disk", "get", "--name", "sdz"}), "",
              "Errors: \n No disk named sdz\n Known disks: sda, sdb, nvme0n1\n", 1);
    Result silent = V({"inventory", "fail", "silent"});
    EXPECT_EQ("", silent.out);
    EXPECT_EQ(0u, silent.err.find("Errors: \nGot no data from process.\nCommand \""));
    EXPECT_NE(std::string::npos, silent.err.find("inventory.sh' silent\"\nexited with error code: 3\n"));
    EXPECT_EQ(1, silent.status);

    ExpectRun(V({"inventory", "fail", "shape"}), "",
              "Errors: \nType mismatch!  Was expecting a List, but got a String\n"
              "Implementation error! The output of this command does not match the declared output type, "
              "see errors above.\n",
              1);
}

TEST(VarnokFailures, UnknownPathWordsEndWithOneLineAndStatusOne) {
    ExpectRun(V({"inventory", "tape", "list"}), "",
              "varnok: Unable to find a command or namespace with the name 'tape' in namespace inventory\n",
              1);
    ExpectRun(
        V({"inventory", "disk", "list", "now"}), "",
        "varnok: Unable to find a namespace or command with the name 'now' on the command 'inventory disk "
        "list'. Commands cannot have sub-commands or sub-namespaces.\n",
        1);
}

TEST(VarnokSecrets, SecretGivenWithoutValueIsReadFromAPipe) {
    ExpectRun(V({"inventory", "secret", "check", "--user", "bob", "--password"}, "open sesame\n"),
              "Enter value for 'password': \nLogin:\n   Accepted: true\n   Length: 11\n   User: bob\n", "",
              0);
    // Given on the command line there is no prompt; the value still reaches the program only on its
    // standard input.
    ExpectRun(V({"inventory", "secret", "check", "-p", "wrong", "-u", "eve"}),
              "Login:\n   Accepted: false\n   Length: 5\n   User: eve\n", "", 0);
    // A prompt that meets the end of the input gets the empty value.
    ExpectRun(V({"inventory", "secret", "check", "--user", "bob", "--password"}),
              "Enter value for 'password': \nLogin:\n   Accepted: false\n   Length: 0\n   User: bob\n", "",
              0);
}

TEST(VarnokSecrets, SecretIsTypedOnATerminalWithoutEcho) {
    std::vector<std::string> args = {"--plugin-dir", kPlugins, "inventory", "secret",
                                     "check",        "--user", "bob",       "--password"};
    VarnokTest::TerminalResult result =
        VarnokTest::RunOnTerminal(args, "Enter value for 'password': ", "open sesame");
    ASSERT_TRUE(result.prompted) << result.screen;
    EXPECT_FALSE(result.echoWhilePrompting);
    EXPECT_EQ("Enter value for 'password': \nLogin:\n   Accepted: true\n   Length: 11\n   User: bob\n",
              result.screen);
    EXPECT_EQ(0, result.status);
}

TEST(VarnokInput, CommandFilesRunLineByLineAndTheLastCommandDecides) {
    TempDir dir;
    // Dispatcher options come before the path: after it, --formatter is an option of the command.
    // The plugin directory loaded by the first line stays loaded for the lines after it.
    std::string failLast =
        dir.WriteFile("fail-last.txt", "# inventory commands\n\n--plugin-dir " + kPlugins +
                                           " inventory disk get -n sda --formatter json\n"
                                           "inventory disk get --name sda\n"
                                           "  --formatter python inventory disk list -m 10000\n"
                                           "inventory disk get -n nothere\n");
    ExpectRun(RunVarnok({"--input", failLast}), R"(Disk:
   Healthy : true
   Location: 
      Location:
         Rack: A&1
         Slot: 3
   Name    : sda
   Size    : 500
   Tags    : ssd, boot
[{"Healthy": False, "Location": {"Rack": """B \"north\"""", "Slot": 14, }, "Name": """sdb""", "Size": 12000, "Tags": ["""hdd""", ], }, ]
)",
              "Errors: \nUnknown parameter : formatter\nErrors: \n No disk named nothere\n Known disks: sda, "
              "sdb, nvme0n1\n",
              1);

    std::string runLast = dir.WriteFile("run-last.txt", "inventory disk get -n nothere\n"
                                                        "--formatter python inventory disk list -m 10000");
    ExpectRun(
        V({"--input", runLast}),
        R"([{"Healthy": False, "Location": {"Rack": """B \"north\"""", "Slot": 14, }, "Name": """sdb""", )"
        R"("Size": 12000, "Tags": ["""hdd""", ], }, ])"
        "\n",
        "Errors: \n No disk named nothere\n Known disks: sda, sdb, nvme0n1\n", 0);

    std::string quoted = dir.WriteFile("quoted.txt", "inventory echo run --tag \"two words\" --tag x\n");
    ExpectRun(V({"--input", quoted}), R"(
{
   "Arguments": 
   [
   "--tag", 
   "two", 
   "words", 
   "--tag", 
   "x"
   ],
   "Count": 5
}
)",
              "", 0);

    ExpectRun(V({"--input", dir.Path() + "/missing.txt"}), "",
              "Unable to open file " + dir.Path() + "/missing.txt\n", 1);
    ExpectRun(V({"--input", runLast, "--input", runLast}), "",
              "Only one --input dispatch parameter is allowed\n", 1);
    std::string empty = dir.WriteFile("comments.txt", "# nothing to do\n\n");
    ExpectRun(V({"--input", empty}), "", "", 0);
}

TEST(VarnokInput, StandardInputCarriesCommandsAndPluginsLoadedOnALineStayLoaded) {
    ExpectRun(RunVarnok({"--input", "STDIN"},
                        "--plugin-dir " + kPlugins +
                            " inventory disk get -n sda --formatter\n"
                            "--format-param fields:Disk=Name,Size inventory disk list -m 501\n"
                            "--input x inventory disk list\n"),
              "Name  Size\n----  ----\nsdb   12000 GB  \n",
              "Errors: \nUnknown parameter : formatter\nErrors: \nUnknown dispatcher parameter: input\n", 1);
}

TEST(VarnokPlugins, BrokenPluginsAreReportedAndTheOthersWork) {
    const std::string broken = kData + "/broken";
    Result result = RunVarnok({"--plugin-dir", broken, "hello", "say"});
    EXPECT_EQ("hello\n", result.out);
    EXPECT_EQ("Error loading plugin " + broken +
                  "/b-version.xml skipping.  Error was: Unable to handle XML Plugin " + broken +
                  "/b-version.xml.  There was an error while parsing: Unknown varnok extention version.  "
                  "Valid versions are: '1.0.0'\n"
                  "Error loading plugin " +
                  broken +
                  "/c-garbage.so skipping.  Error was: Unable to load "
                  "plugin from " +
                  broken + "/c-garbage.so : " + broken +
                  "/c-garbage.so: invalid ELF header\n"
                  "Error loading plugin " +
                  broken +
                  "/d-clash.xml skipping.  Error was: Error while trying "
                  "to register the plugin " +
                  broken +
                  "/d-clash.xml Duplicate top-level namespaces must "
                  "have the same description: hello The functionality in " +
                  broken +
                  "/d-clash.xml will "
                  "not be available until this issue is resolved.\n",
              result.err);
    EXPECT_EQ(0, result.status);

    // A single --plugin that fails ends the tool with the loader's message.
    ExpectRun(RunVarnok({"--plugin", broken + "/c-garbage.so", "hello", "say"}), "",
              "varnok: Unable to load plugin from " + broken + "/c-garbage.so : " + broken +
                  "/c-garbage.so: invalid ELF header\n",
              1);
    // Files with other names are ignored; a missing directory is reported, and the tool goes on.
    ExpectRun(RunVarnok({"--plugin", broken + "/notes.txt", "--plugin-dir", broken + "/none", "--plugin",
                         broken + "/a-hello.xml", "hello", "say"}),
              "hello\n", "Unable to open directory " + broken + "/none for plugin registration\n", 0);
}

TEST(VarnokTemplates, ValuesReachTheProgramAsDataNeverAsShellSyntax) {
    TempDir dir;
    const std::string marker = dir.Path() + "/injected";
    Result result = V({"--formatter",
                       "python",
                       "inventory",
                       "echo",
                       "run",
                       "--text",
                       "a;touch " + marker,
                       "--tag",
                       "$(touch " + marker + ")",
                       "--tag",
                       "`touch " + marker + "`",
                       "--id",
                       "7",
                       "--id",
                       "42",
                       "-v",
                       "--bit",
                       "y",
                       "--bit",
                       "F",
                       "--mode",
                       "slow",
                       "--level",
                       "3",
                       "-c",
                       "-5",
                       "-e",
                       "no"});
    // The python formatter shows each argument as the program received it, one word each.
    std::string expected = "{\"Arguments\": [";
    for (const std::string& word : std::vector<std::string>{
             "--bit",      "y",     "--bit",   "F",          "--count", "-5",      "--enabled", "no",
             "--id",       "7,42",  "--level", "3",          "--mode",  "slow",    "--tag",     "$(touch",
             marker + ")", "--tag", "`touch",  marker + "`", "--text",  "a;touch", marker,      "--verbose"})
        expected += "\"\"\"" + word + "\"\"\", ";
    expected += "], \"Count\": 24, }\n";
    EXPECT_EQ(expected, result.out);
    EXPECT_EQ("", result.err);
    EXPECT_EQ(0, result.status);
    struct stat info {};
    EXPECT_NE(0, stat(marker.c_str(), &info)) << "a value was run as a shell command";

    ExpectRun(
        V({"inventory", "echo", "run", "--mode", "medium", "--level", "2", "--id", "100"}), "",
        "Errors: \nInvalid data constraint for parameter 'id'. Expected integer in the range 1-99\n"
        "Invalid data constraint for parameter 'level'. Expected a single value from the set [1, 3]\n"
        "Invalid data constraint for parameter 'mode'. Expected a single value from the set [fast, slow] got "
        "'medium'\n",
        1);
}

TEST(VarnokClean, NoOutputNoiseWithoutInstalledPlugins) {
    struct stat info {};
    if (stat("/usr/lib/tarvik/varnok", &info) == 0)
        GTEST_SKIP() << "plugins are installed on this host";
    Result result = RunVarnok({"--formatter", "json", "varnok", "command", "list"});
    EXPECT_EQ("", result.err);
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(0u, result.out.find("\n[\n"));
}

// The bundled examples depend on the host: they must run cleanly and say something.
TEST(VarnokExamples, EveryExampleCommandRunsCleanly) {
    if (!EXAMPLES_BUILT)
        GTEST_SKIP() << "examples are not built";
    const std::vector<std::vector<std::string>> commands = {
        {"system", "info", "get"},
        {"system", "filesystem", "list"},
        {"system", "filesystem", "list", "--all", "--block-size", "1048576", "-t", "proc", "-t", "tmpfs"},
        {"system", "network", "interface", "list"},
        {"system", "network", "interface", "list", "--up", "false"},
        {"system", "network", "interface", "get", "--name", "lo"},
        {"system", "process", "list"},
        {"system", "process", "list", "--sort", "rss", "--limit", "3", "--user", "root", "--pid", "1"},
        {"system", "load", "show"},
        {"system", "user", "list", "--min-uid", "0"},
        {"--formatter", "json", "system", "user", "list", "--login"},
        {"text", "digest", "compute", "--value", "x", "--algorithm", "md5"},
    };
    for (auto args : commands) {
        args.insert(args.begin(), {"--plugin-dir", ExamplesDir()});
        Result result = RunVarnok(args);
        std::string shown;
        for (const auto& arg : args)
            shown += " " + arg;
        EXPECT_EQ("", result.err) << shown;
        EXPECT_EQ(0, result.status) << shown;
        EXPECT_FALSE(result.out.empty()) << shown;
    }
}

TEST(VarnokExamples, DigestOfASecretFromAPipeIsExact) {
    if (!EXAMPLES_BUILT)
        GTEST_SKIP() << "examples are not built";
    ExpectRun(RunVarnok({"--plugin-dir", ExamplesDir(), "text", "digest", "compute", "--value"}, "abc\n"),
              "Enter value for 'value': \nDigest:\n   Algorithm: sha256\n   Length: 3 bytes\n"
              "   Digest: ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n",
              "", 0);
    ExpectRun(RunVarnok({"--plugin-dir", ExamplesDir(), "system", "network", "interface", "get", "--name",
                         "no-such0"}),
              "", "Errors: \nNo network interface named no-such0\n", 1);
}

} // namespace
