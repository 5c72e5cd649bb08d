// The bundle's description (lv2/vex-analyzer.ttl, read as N-Triples through sordi) states
// the ports and the parameters the plug-in's tables hold: each port's index, symbol,
// direction and kind, and the settings declared to hosts with their types and ranges.
#include "lv2/common/analyzer_lv2.h"
#include "lv2/common/plugin_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace vex::test {
namespace {

constexpr char kLv2[] = "http://lv2plug.in/ns/lv2core#";
constexpr char kAtom[] = "http://lv2plug.in/ns/ext/atom#";
constexpr char kPlugin[] = "<urn:vex:analyzer>";

// subject -> predicate -> objects, each term as N-Triples writes it.
using Graph = std::map<std::string, std::map<std::string, std::vector<std::string>>>;

Graph readDescription() {
    Graph graph;
    const std::string command = std::string(VEX_SORDI) + " " + VEX_LV2_TTL + " file:///bundle/";
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    if (pipe == nullptr) {
        return graph;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        // A triple: two terms without spaces, then the object up to " .".
        std::istringstream in(line);
        std::string subject, predicate;
        in >> subject >> predicate;
        std::string object;
        std::getline(in >> std::ws, object);
        const std::size_t end = object.rfind(" .");
        graph[subject][predicate].push_back(object.substr(0, end));
    }
    EXPECT_EQ(pclose(pipe), 0);
    return graph;
}

std::string uri(const std::string& base, const char* name) {
    return "<" + base + name + ">";
}

// The one object of `predicate` on `subject` ("" when there is none or more than one).
std::string one(const Graph& graph, const std::string& subject, const std::string& predicate) {
    const auto node = graph.find(subject);
    if (node == graph.end()) {
        return "";
    }
    const auto values = node->second.find(predicate);
    return values != node->second.end() && values->second.size() == 1 ? values->second[0] : "";
}

bool has(const Graph& graph, const std::string& subject, const std::string& predicate,
         const std::string& object) {
    const auto node = graph.find(subject);
    if (node == graph.end() || node->second.count(predicate) == 0) {
        return false;
    }
    for (const std::string& value : node->second.at(predicate)) {
        if (value == object) {
            return true;
        }
    }
    return false;
}

std::string integer(std::int64_t value) {
    return "\"" + std::to_string(value) + "\"^^<http://www.w3.org/2001/XMLSchema#integer>";
}

TEST(Lv2Description, StatesThePortTable) {
    const Graph graph = readDescription();
    const auto ports = graph.find(kPlugin);
    ASSERT_NE(ports, graph.end());
    const std::vector<std::string>& nodes = ports->second.at(uri(kLv2, "port"));
    ASSERT_EQ(nodes.size(), static_cast<std::size_t>(lv2::kPortCount));
    const char* kinds[] = {"AudioPort", "AtomPort", "ControlPort"};
    const std::string rdfType = "<http://www.w3.org/1999/02/22-rdf-syntax-ns#type>";
    std::set<std::string> described;
    for (const std::string& node : nodes) {
        const std::string index = one(graph, node, uri(kLv2, "index"));
        for (const lv2::PortSpec& port : lv2::kPorts) {
            if (index != integer(port.index)) {
                continue;
            }
            described.insert(port.symbol);
            EXPECT_EQ(one(graph, node, uri(kLv2, "symbol")),
                      "\"" + std::string(port.symbol) + "\"");
            EXPECT_TRUE(
                has(graph, node, rdfType, uri(kLv2, port.output ? "OutputPort" : "InputPort")))
                << port.symbol;
            const char* kind = kinds[static_cast<int>(port.kind)];
            EXPECT_TRUE(has(graph, node, rdfType,
                            port.kind == lv2::PortKind::kAtom ? uri(kAtom, kind) : uri(kLv2, kind)))
                << port.symbol;
        }
    }
    EXPECT_EQ(described.size(), static_cast<std::size_t>(lv2::kPortCount));
}

// The analysis control, as added after the first ports: index 17, "analysis", an integer
// enumeration of 0 "module" and 1 "fine", fine by default; and the worker it runs on,
// optional to hosts.
TEST(Lv2Description, StatesTheAnalysisControlAndTheWorker) {
    const Graph graph = readDescription();
    const auto plugin = graph.find(kPlugin);
    ASSERT_NE(plugin, graph.end());
    std::string node;
    for (const std::string& port : plugin->second.at(uri(kLv2, "port"))) {
        if (one(graph, port, uri(kLv2, "index")) == integer(17)) {
            node = port;
        }
    }
    ASSERT_FALSE(node.empty());
    EXPECT_EQ(one(graph, node, uri(kLv2, "symbol")), "\"analysis\"");
    EXPECT_EQ(one(graph, node, uri(kLv2, "default")), integer(1));
    EXPECT_EQ(one(graph, node, uri(kLv2, "minimum")), integer(0));
    EXPECT_EQ(one(graph, node, uri(kLv2, "maximum")), integer(1));
    EXPECT_TRUE(has(graph, node, uri(kLv2, "portProperty"), uri(kLv2, "integer")));
    EXPECT_TRUE(has(graph, node, uri(kLv2, "portProperty"), uri(kLv2, "enumeration")));
    std::map<std::string, std::string> points;
    for (const std::string& point : graph.at(node).at(uri(kLv2, "scalePoint"))) {
        points[one(graph, point, "<http://www.w3.org/1999/02/22-rdf-syntax-ns#value>")] =
            one(graph, point, "<http://www.w3.org/2000/01/rdf-schema#label>");
    }
    EXPECT_EQ(points, (std::map<std::string, std::string>{{integer(0), "\"module\""},
                                                          {integer(1), "\"fine\""}}));
    const std::string worker = "http://lv2plug.in/ns/ext/worker#";
    EXPECT_TRUE(has(graph, kPlugin, uri(kLv2, "optionalFeature"), uri(worker, "schedule")));
    EXPECT_TRUE(has(graph, kPlugin, uri(kLv2, "extensionData"), uri(worker, "interface")));
}

TEST(Lv2Description, DeclaresTheSettingsHostsCanShow) {
    const Graph graph = readDescription();
    std::set<std::string> declared;
    for (const lv2::SettingSpec& setting : lv2::kSettings) {
        const std::string name = "<" + std::string(setting.uri) + ">";
        if (!setting.declared) {
            EXPECT_EQ(graph.count(name), 0u) << setting.uri; // saved state only
            continue;
        }
        declared.insert(name);
        const char* range = setting.kind == lv2::SettingKind::kString   ? "String"
                            : setting.kind == lv2::SettingKind::kChoice ? "Float"
                                                                        : "";
        EXPECT_EQ(one(graph, name, "<http://www.w3.org/2000/01/rdf-schema#range>"),
                  uri(kAtom, range))
            << setting.uri;
        if (setting.kind == lv2::SettingKind::kChoice) {
            EXPECT_EQ(one(graph, name, uri(kLv2, "minimum")), integer(0)) << setting.uri;
            EXPECT_EQ(one(graph, name, uri(kLv2, "maximum")), integer(setting.most)) << setting.uri;
        }
    }
    const auto plugin = graph.find(kPlugin);
    ASSERT_NE(plugin, graph.end());
    const std::vector<std::string>& writable =
        plugin->second.at("<http://lv2plug.in/ns/ext/patch#writable>");
    EXPECT_EQ(std::set<std::string>(writable.begin(), writable.end()), declared);
}

} // namespace
} // namespace vex::test
