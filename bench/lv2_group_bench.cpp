// The LV2 plug-in's run in a group of 16 against 16 instances alone: the same 16 instances'
// work (log view, 40 frames per second, 48 kHz, blocks of 128), the group's share being
// the heartbeat, the view, the members' count and every frame copied into the segment.
// The DSP library is loaded from the assembled bundle, as a host loads it; the group's
// segment is one of this run alone (VEX_GROUP_SCOPE), removed at the end.
#include "bench/ratio_reporter.h"
#include "tests/support/urid_map.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int kMembers = 16;
constexpr std::uint32_t kBlock = 128;
constexpr int kGroup = 9;

vex::test::UridMap uridMap;

const LV2_Descriptor* descriptor() {
    static void* library = dlopen(VEX_LV2_BUNDLE_DIR "/vex_analyzer_dsp.so", RTLD_NOW);
    if (library == nullptr) {
        return nullptr;
    }
    auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
    return entry != nullptr ? entry(0) : nullptr;
}

// One instance with its ports, a 1 kHz sine plus its own offset on both inputs.
struct Member {
    Member(float group, int index) {
        const LV2_Feature mapFeature{LV2_URID__map, &uridMap.feature};
        const LV2_Feature* features[] = {&mapFeature, nullptr};
        plugin = descriptor();
        handle = plugin->instantiate(plugin, 48000.0, VEX_LV2_BUNDLE_DIR "/", features);
        for (std::uint32_t i = 0; i < kBlock * 375; ++i) {
            signal.push_back(0.5f * static_cast<float>(std::sin(0.1309 * (i + index * 37))));
        }
        out.assign(kBlock, 0.0f);
        notify.assign(8192, 0);
        control.assign(8, 0);
        controls[6] = 2.0f; // log view
        controls[7] = 7.0f; // 40 frames per second
        controls[8] = 1.0f; // enabled
        controls[14] = group;
        for (std::uint32_t port = 6; port <= 16; ++port) {
            plugin->connect_port(handle, port, &controls[port]);
        }
        plugin->connect_port(handle, 2, out.data());
        plugin->connect_port(handle, 3, out.data());
        plugin->connect_port(handle, 4, control.data());
        plugin->connect_port(handle, 5, notify.data());
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(control.data());
        sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
        sequence->atom.type = uridMap(LV2_ATOM__Sequence);
        plugin->activate(handle);
    }
    ~Member() {
        plugin->deactivate(handle);
        plugin->cleanup(handle);
    }
    void step() {
        const float* block = signal.data() + position;
        plugin->connect_port(handle, 0, const_cast<float*>(block));
        plugin->connect_port(handle, 1, const_cast<float*>(block));
        reinterpret_cast<LV2_Atom_Sequence*>(notify.data())->atom.size = 8192 * 8;
        plugin->run(handle, kBlock);
        position = (position + kBlock) % (signal.size() - kBlock);
    }
    const LV2_Descriptor* plugin;
    LV2_Handle handle;
    std::vector<float> signal, out;
    std::vector<std::uint64_t> notify, control;
    float controls[17] = {};
    std::size_t position = 0;
};

void members(benchmark::State& state) {
    const float group = static_cast<float>(state.range(0));
    std::vector<std::unique_ptr<Member>> all;
    for (int i = 0; i < kMembers; ++i) {
        all.push_back(std::make_unique<Member>(group, i));
    }
    for (int i = 0; i < 48000 / static_cast<int>(kBlock); ++i) {
        for (auto& member : all) {
            member->step();
        }
    }
    for (auto _ : state) {
        for (auto& member : all) {
            member->step();
        }
    }
    state.counters["members"] = all[0]->controls[15];
}
BENCHMARK(members)->ArgName("group")->Arg(0)->Arg(kGroup);

} // namespace

int main(int argc, char** argv) {
    const std::string scope = "bench" + std::to_string(getpid());
    setenv("VEX_GROUP_SCOPE", scope.c_str(), 1);
    if (descriptor() == nullptr) {
        std::fprintf(stderr, "cannot load the plug-in from %s\n", VEX_LV2_BUNDLE_DIR);
        return 1;
    }
    using vex::bench::Ratio;
    const int status = vex::bench::runWithRatios(
        argc, argv, {Ratio{"members/group:9", "members/group:0", 1, 1, 1.2}});
    const std::string name = "/vex-analyzer-" + std::to_string(geteuid()) + "-group-" +
                             std::to_string(kGroup) + "-" + scope;
    shm_unlink(name.c_str());
    return status;
}
