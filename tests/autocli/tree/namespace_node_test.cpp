// Tests of the namespace tree: the name rule, registration and lookup by path.
#include <corvane/tree.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <list>
#include <memory>
#include <string>
#include <vector>

using namespace Corvane::AutoCli;
using Names = std::vector<std::string>;
using Path = std::list<std::string>;

namespace {

// root -> network -> ip -> interface and root -> storage.
struct NamespaceTest : ::testing::Test {
    int marker = 0; // stands in for the dispatcher; the tree only passes the pointer on
    std::shared_ptr<RootNamespace> root = RootNamespace::New(reinterpret_cast<Dispatcher*>(&marker));
    std::shared_ptr<NamespaceNode> network = root->SubNamespace("network");
    std::shared_ptr<NamespaceNode> ip = network->SubNamespace("ip");
    std::shared_ptr<NamespaceNode> interface = ip->SubNamespace("interface");
    std::shared_ptr<NamespaceNode> storage = root->SubNamespace("storage");
};

std::string InvalidName(const std::string& name) {
    return "Invalid name for namespace '" + name +
           "', must be a name consisting of letters and numbers and must conform to 'camel' casing.";
}

} // namespace

TEST(NameRule, AcceptsCamelCaseNamesOnly) {
    for (const char* valid : {"list", "ipInterface", "nic2", "a1B2", "9", "aB", "x9Y"}) {
        EXPECT_TRUE(AutoCli_IsValidName(valid)) << valid;
    }
    for (const char* invalid : {"", "List", "IPInterface", "aBC", "ip-interface", "ip_interface",
                                "ip interface", "a.b", "caf\xc3\xa9", " list", "list "}) {
        EXPECT_FALSE(AutoCli_IsValidName(invalid)) << invalid;
    }
    // A long name failing only at its last character is answered, not abandoned by the matcher.
    EXPECT_FALSE(AutoCli_IsValidName(std::string(4000, 'a') + "-"));
}

TEST_F(NamespaceTest, RegistrationRefusalsLeaveTheTreeUnchanged) {
    std::shared_ptr<Namespace> node = Namespace::New();
    EXPECT_THROW_MSG(ip->RegisterNamespaceNode(node, std::string("interface")),
                     "Duplicate registration in namespace network ip attempt to register two objects with "
                     "name interface");
    EXPECT_THROW_MSG(ip->RegisterNamespaceNode(nullptr, "route"),
                     "Null namespace node named 'route' passed to namespace network ip");
    EXPECT_THROW_MSG(network->RegisterNamespaceNode(node, "Route"), InvalidName("Route"));
    EXPECT_EQ(root->GetNamespaceNode("network"), network);
    EXPECT_EQ(root->GetNamespaceNodeNames(), (Names{"network", "storage"}));
    EXPECT_EQ(network->GetNamespaceNodeNames(), (Names{"ip"}));
    EXPECT_EQ(ip->GetNamespaceNodeNames(), (Names{"interface"}));
    EXPECT_EQ(node->GetName(), "");
    EXPECT_EQ(node->GetParent(), nullptr);
    // The refused node is still usable.
    network->RegisterNamespaceNode(node, "route");
    EXPECT_EQ(node->GetPathString(' '), "network route");
}

TEST_F(NamespaceTest, ResolveNodeRestoresThePathOnlyOnSuccess) {
    Path empty;
    EXPECT_EQ(root->ResolveNode(empty), nullptr);
    Path path{"network", "ip"};
    EXPECT_EQ(root->ResolveNode(path), ip);
    EXPECT_EQ(path, (Path{"network", "ip"}));
    const std::string notFound = "Unable to find a command or namespace with the name ";
    Path inside{"network", "route", "show"};
    EXPECT_THROW_MSG(root->ResolveNode(inside), notFound + "'route' in namespace network");
    EXPECT_EQ(inside, (Path{"show"}));
    Path deep{"network", "ip", "interface", "x"};
    EXPECT_THROW_MSG(root->ResolveNode(deep), notFound + "'x' in namespace network ip interface");
    EXPECT_TRUE(deep.empty());
}
