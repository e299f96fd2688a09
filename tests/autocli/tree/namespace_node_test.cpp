// Tests of the namespace tree: the name rule, registration, lookup by path and paths of nodes.
#include <corvane/tree.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <list>
#include <memory>
#include <string>
#include <vector>

using namespace Corvane::AutoCli;
using Corvane::CorvaneException;

namespace {

// Stands in for the dispatcher that owns a root; the tree only passes the pointer on.
Dispatcher* FakeDispatcher() {
    static int marker = 0;
    return reinterpret_cast<Dispatcher*>(&marker);
}

// A tree with root -> network -> ip -> interface and root -> storage.
struct SmallTree {
    std::shared_ptr<RootNamespace> root = RootNamespace::New(FakeDispatcher());
    std::shared_ptr<NamespaceNode> network = root->SubNamespace("network");
    std::shared_ptr<NamespaceNode> ip = network->SubNamespace("ip");
    std::shared_ptr<NamespaceNode> interface = ip->SubNamespace("interface");
    std::shared_ptr<NamespaceNode> storage = root->SubNamespace("storage");
};

const std::string kInvalidName = "', must be a name consisting of letters and numbers and must conform to "
                                 "'camel' casing.";

} // namespace

TEST(NameRule, AcceptsCamelCaseNamesOnly) {
    for (const char* valid : {"list", "ipInterface", "nic2", "a1B2", "9", "aB", "a1Bc2D", "x9Y"}) {
        EXPECT_TRUE(AutoCli_IsValidName(valid)) << valid;
    }
    for (const char* invalid : {"", "List", "IPInterface", "aBC", "ip-interface", "ip_interface",
                                "ip interface", "Bz", "a.b", "caf\xc3\xa9", " list", "list "}) {
        EXPECT_FALSE(AutoCli_IsValidName(invalid)) << invalid;
    }
}

TEST(NameRule, LongNearMissesAreRejectedWithoutError) {
    // Long names that fail only at their last character must be answered, not abandoned.
    std::string name(4000, 'a');
    EXPECT_TRUE(AutoCli_IsValidName(name));
    EXPECT_FALSE(AutoCli_IsValidName(name + "-"));
    std::string mixed;
    for (int i = 0; i < 500; ++i) {
        mixed += "a1B";
    }
    EXPECT_TRUE(AutoCli_IsValidName(mixed));
    EXPECT_FALSE(AutoCli_IsValidName(mixed + "C"));
    EXPECT_FALSE(AutoCli_IsValidName(mixed + "!"));
}

TEST(NamespaceRegistration, RefusalsLeaveTheTreeUnchanged) {
    SmallTree tree;
    const std::shared_ptr<NamespaceNode> firstNetwork = tree.network;

    std::shared_ptr<Namespace> second = Namespace::New();
    EXPECT_THROW_MSG(
        tree.root->RegisterNamespaceNode(second, "network"),
        "Duplicate registration in namespace  attempt to register two objects with name network");
    EXPECT_THROW_MSG(
        tree.ip->RegisterNamespaceNode(second, std::string("interface")),
        "Duplicate registration in namespace network ip attempt to register two objects with name "
        "interface");
    EXPECT_THROW_MSG(tree.ip->RegisterNamespaceNode(nullptr, "route"),
                     "Null namespace node named 'route' passed to namespace network ip");
    EXPECT_THROW_MSG(tree.root->RegisterNamespaceNode(nullptr, "route"),
                     "Null namespace node named 'route' passed to namespace ");
    for (const char* bad : {"Route", "", "ip-route"}) {
        EXPECT_THROW_MSG(tree.network->RegisterNamespaceNode(second, bad),
                         "Invalid name for namespace '" + std::string(bad) + kInvalidName);
    }

    EXPECT_EQ(tree.root->GetNamespaceNode("network"), firstNetwork);
    EXPECT_EQ(tree.root->GetNamespaceNodeNames(), (std::vector<std::string>{"network", "storage"}));
    EXPECT_EQ(tree.network->GetNamespaceNodeNames(), (std::vector<std::string>{"ip"}));
    EXPECT_EQ(tree.ip->GetNamespaceNodeNames(), (std::vector<std::string>{"interface"}));
    EXPECT_EQ(second->GetName(), "");
    EXPECT_EQ(second->GetParent(), nullptr);

    // The node is still usable after all those refusals.
    tree.network->RegisterNamespaceNode(second, "route");
    EXPECT_EQ(second->GetPathString(' '), "network route");
}

TEST(NamespaceRegistration, SetNameAppliesTheRule) {
    std::shared_ptr<Namespace> node = Namespace::New();
    node->SetName("ipInterface");
    EXPECT_EQ(node->GetName(), "ipInterface");
    EXPECT_THROW_MSG(node->SetName("IPInterface"), "Invalid name for namespace 'IPInterface" + kInvalidName);
    EXPECT_EQ(node->GetName(), "ipInterface");
}

TEST(NamespaceRegistration, ANodeHasOneParentAndNeverContainsItself) {
    SmallTree tree;
    EXPECT_THROW_MSG(
        tree.storage->RegisterNamespaceNode(tree.ip, "ip"),
        "Attempt to register the node network ip again as 'ip' in namespace storage. A node can be "
        "registered only once.");
    EXPECT_THROW_MSG(
        tree.interface->RegisterNamespaceNode(tree.network, "loop"),
        "Attempt to register the node network again as 'loop' in namespace network ip interface. A "
        "node can be registered only once.");

    std::shared_ptr<Namespace> detached = Namespace::New();
    EXPECT_THROW_MSG(
        detached->RegisterNamespaceNode(detached, "self"),
        "Attempt to register a node as 'self' inside itself in namespace . A node cannot be its own "
        "ancestor.");
    std::shared_ptr<NamespaceNode> inner = detached->SubNamespace("inner");
    EXPECT_THROW_MSG(
        inner->RegisterNamespaceNode(detached, "outer"),
        "Attempt to register a node as 'outer' inside itself in namespace inner. A node cannot be its "
        "own ancestor.");

    EXPECT_EQ(tree.ip->GetPathString(' '), "network ip");
    EXPECT_TRUE(tree.storage->GetNamespaceNodeNames().empty());
    EXPECT_TRUE(tree.interface->GetNamespaceNodeNames().empty());
    EXPECT_EQ(detached->GetName(), "");
    EXPECT_EQ(detached->GetNamespaceNodeNames(), (std::vector<std::string>{"inner"}));
    EXPECT_TRUE(inner->GetNamespaceNodeNames().empty());

    // Weak links upwards only: dropping the top of a detached subtree releases all of it.
    std::weak_ptr<NamespaceNode> watchInner = inner;
    inner.reset();
    detached.reset();
    EXPECT_TRUE(watchInner.expired());
}

TEST(NamespaceRegistration, TheRootCannotBeAChild) {
    SmallTree tree;
    std::shared_ptr<RootNamespace> other = RootNamespace::New(nullptr);
    EXPECT_THROW_MSG(tree.storage->RegisterNamespaceNode(other, "other"),
                     "Error, Root namespace cannot be assigned a parent node");
    EXPECT_THROW_MSG(tree.storage->RegisterNamespaceNode(tree.root, "again"),
                     "Error, Root namespace cannot be assigned a parent node");
    EXPECT_EQ(other->GetName(), "");
    EXPECT_EQ(tree.root->GetName(), "");
    EXPECT_TRUE(tree.storage->GetNamespaceNodeNames().empty());
    EXPECT_THROW_MSG(tree.root->SetParent(tree.storage),
                     "Error, Root namespace cannot be assigned a parent node");
    EXPECT_EQ(tree.root->GetParent(), nullptr);
}

TEST(NamespaceTree, ChildrenComeOutInByteOrder) {
    std::shared_ptr<RootNamespace> root = RootNamespace::New(nullptr);
    std::shared_ptr<Namespace> zeta = Namespace::New();
    std::shared_ptr<Namespace> alpha = Namespace::New();
    std::shared_ptr<Namespace> beta = Namespace::New();
    root->RegisterNamespaceNode(zeta, "zeta");
    root->RegisterNamespaceNode(alpha, std::string("alpha"));
    root->RegisterNamespaceNode(beta, "beta");
    root->SubNamespace("9lives");
    root->SubNamespace("alphaB");

    EXPECT_EQ(root->GetNamespaceNodeNames(),
              (std::vector<std::string>{"9lives", "alpha", "alphaB", "beta", "zeta"}));
    std::vector<std::shared_ptr<NamespaceNode>> nodes = root->GetNamespaceNodes();
    ASSERT_EQ(nodes.size(), 5u);
    EXPECT_EQ(nodes[1], alpha);
    EXPECT_EQ(nodes[3], beta);
    EXPECT_EQ(nodes[4], zeta);
    EXPECT_TRUE(root->HasNamespaceNode("beta"));
    EXPECT_FALSE(root->HasNamespaceNode("gamma"));
    EXPECT_EQ(root->GetNamespaceNode("gamma"), nullptr);
    EXPECT_EQ(zeta->GetParent(), root);
    EXPECT_EQ(zeta->GetType(), NamespaceType);
    EXPECT_EQ(root->GetType(), RootType);
}

TEST(NamespaceTree, SubNamespaceCreatesOnce) {
    std::shared_ptr<RootNamespace> root = RootNamespace::New(nullptr);
    std::shared_ptr<NamespaceNode> first = root->SubNamespace("network");
    first->SetDescription("Network settings.");
    std::shared_ptr<NamespaceNode> again = root->SubNamespace("network");
    EXPECT_EQ(first, again);
    EXPECT_EQ(again->GetDescription(), "Network settings.");
    EXPECT_EQ(root->GetNamespaceNodeNames(), (std::vector<std::string>{"network"}));

    std::shared_ptr<NamespaceNode> fresh = root->SubNamespace("storage");
    EXPECT_EQ(fresh->GetDescription(), "");
    EXPECT_EQ(fresh->GetType(), NamespaceType);
    EXPECT_EQ(fresh->GetName(), "storage");

    EXPECT_THROW_MSG(root->SubNamespace("Bad"), "Invalid name for namespace 'Bad" + kInvalidName);
    EXPECT_EQ(root->GetNamespaceNodeNames(), (std::vector<std::string>{"network", "storage"}));
}

TEST(NamespaceTree, ResolveNodeRestoresThePathOnlyOnSuccess) {
    SmallTree tree;
    std::list<std::string> empty;
    EXPECT_EQ(tree.root->ResolveNode(empty), nullptr);

    std::list<std::string> path{"network", "ip"};
    EXPECT_EQ(tree.root->ResolveNode(path), tree.ip);
    EXPECT_EQ(path, (std::list<std::string>{"network", "ip"}));

    std::list<std::string> below{"ip", "interface"};
    EXPECT_EQ(tree.network->ResolveNode(below), tree.interface);
    EXPECT_EQ(below, (std::list<std::string>{"ip", "interface"}));

    std::list<std::string> unknownInside{"network", "route", "show"};
    EXPECT_THROW_MSG(tree.root->ResolveNode(unknownInside),
                     "Unable to find a command or namespace with the name 'route' in namespace network");
    EXPECT_EQ(unknownInside, (std::list<std::string>{"show"}));

    std::list<std::string> unknownAtTop{"route", "show"};
    EXPECT_THROW_MSG(tree.root->ResolveNode(unknownAtTop),
                     "Unable to find a command or namespace with the name 'route' in namespace ");
    EXPECT_EQ(unknownAtTop, (std::list<std::string>{"show"}));

    std::list<std::string> deep{"network", "ip", "interface", "x"};
    EXPECT_THROW_MSG(
        tree.root->ResolveNode(deep),
        "Unable to find a command or namespace with the name 'x' in namespace network ip interface");
    EXPECT_TRUE(deep.empty());
}

TEST(NamespaceTree, PathsOfAttachedNodes) {
    SmallTree tree;
    EXPECT_EQ(tree.network->GetPath(), (std::list<std::string>{"network"}));
    for (char separator : {' ', '.', '/'}) {
        EXPECT_EQ(tree.network->GetPathString(separator), "network");
        EXPECT_EQ(tree.root->GetPathString(separator), "");
    }
    EXPECT_EQ(tree.ip->GetPathString('.'), "network.ip");
    EXPECT_EQ(tree.interface->GetPath(), (std::list<std::string>{"network", "ip", "interface"}));
    EXPECT_EQ(tree.interface->GetPathString(' '), "network ip interface");
    EXPECT_TRUE(tree.root->GetPath().empty());
    EXPECT_EQ(tree.root->GetParent(), nullptr);

    EXPECT_EQ(tree.root->GetDispatcher(), FakeDispatcher());
    EXPECT_EQ(tree.interface->GetDispatcher(), FakeDispatcher());
}

TEST(NamespaceTree, DetachedNodesReportTheirState) {
    std::shared_ptr<Namespace> detached = Namespace::New();
    EXPECT_THROW_MSG(
        detached->GetPath(),
        "GetPath: Invalid state for Namespace Node with the name '' No parent node has been set");
    EXPECT_THROW_MSG(
        detached->GetPathString(' '),
        "GetPathString: Invalid state for Namespace Node with the name '' No parent node has been set");
    EXPECT_THROW_MSG(detached->GetDispatcher(), "Invalid state for namespace 'no parent has been set while "
                                                "attempting to get dispathcer reference.");

    // A detached namespace still takes children; their paths stop at the missing link.
    std::shared_ptr<NamespaceNode> child = detached->SubNamespace("child");
    EXPECT_THROW_MSG(
        child->GetPath(),
        "GetPath: Invalid state for Namespace Node with the name '' No parent node has been set");
    EXPECT_THROW_MSG(detached->SubNamespace("child")->RegisterNamespaceNode(nullptr, "x"),
                     "Null namespace node named 'x' passed to namespace child");
}

TEST(NamespaceTree, NodesOutlivingTheirParentsLoseTheirPath) {
    auto tree = std::make_unique<SmallTree>();
    std::shared_ptr<NamespaceNode> ip = tree->ip;
    std::weak_ptr<NamespaceNode> watchNetwork = tree->network;
    std::weak_ptr<NamespaceNode> watchInterface = tree->interface;
    tree.reset();

    // The root and network are gone; ip keeps its own child alive.
    EXPECT_TRUE(watchNetwork.expired());
    EXPECT_FALSE(watchInterface.expired());
    EXPECT_EQ(ip->GetParent(), nullptr);
    EXPECT_EQ(ip->GetName(), "ip");
    EXPECT_THROW_MSG(
        ip->GetPath(),
        "GetPath: Invalid state for Namespace Node with the name 'ip' No parent node has been set");
    EXPECT_THROW_MSG(
        ip->GetPathString('.'),
        "GetPathString: Invalid state for Namespace Node with the name 'ip' No parent node has been "
        "set");
    EXPECT_THROW_MSG(ip->GetDispatcher(),
                     "Invalid state for namespace 'ipno parent has been set while attempting "
                     "to get dispathcer reference.");
    EXPECT_THROW_MSG(
        watchInterface.lock()->GetDispatcher(),
        "Invalid state for namespace 'ipno parent has been set while attempting to get dispathcer "
        "reference.");

    ip.reset();
    EXPECT_TRUE(watchInterface.expired());
}
