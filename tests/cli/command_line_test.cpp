// The command line itself: help for every command, exit status 2 with a clear message for
// every kind of mistake, leaving no output behind, and the colour texts the look takes.
#include "cli_test_support.h"
#include "host/kit/host_error.h"
#include "host/vexhost/look_options.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vex::test {
namespace {

TEST(CommandLineTest, HelpListsTheCommandsAndEachCommandHasItsOwn) {
    const CliRun help = vexhost({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.err.empty()) << help.err;
    for (const char* command : {"info", "frames"}) {
        EXPECT_TRUE(contains(help.out, command)) << command;
        const CliRun own = vexhost({command, "--help"});
        EXPECT_EQ(own.status, 0) << command;
        EXPECT_TRUE(contains(own.out, "--module")) << command;
    }
    const CliRun frames = vexhost({"frames", "--help"});
    for (const char* option :
         {"INPUT", "--view", "--format", "--output", "--rate", "--block", "--sample-rate",
          "--duration", "--analysis", "sine:FREQ", "sweep:F1-F2"}) {
        EXPECT_TRUE(contains(frames.out, option)) << option;
    }
}

TEST(CommandLineTest, CommandLineMistakesExitWithStatusTwo) {
    const std::vector<std::vector<std::string>> mistakes = {
        {},
        {"play"},
        {"frames"},
        {"frames", "sine:440", "--bogus"},
        {"frames", "sine:440", "--rate", "8"},
        {"frames", "sine:440", "--rate", "-1"},
        {"frames", "sine:440", "--block", "0"},
        {"frames", "sine:440", "--view", "waterfall"},
        {"frames", "sine:440", "--format", "xml"},
        {"frames", "sine:440", "--sample-rate", "10"},
        {"frames", "sine:440", "--duration", "0"},
        {"frames", "sine:440", "--rate"},
        {"frames", "sine:440", "--analysis", "bogus"},
        {"render", "sine:440", "--analysis", "Fine", "-o", "x.png"},
        {"animate", "sine:440", "--analysis", "bogus", "-o", "x"},
        {"reference", "sine:440", "--analysis", "bogus", "-o", "x.vxrf"},
        {"live", "sine:440", "--analysis", "bogus"},
    };
    for (const auto& args : mistakes) {
        const CliRun run = vexhost(args);
        std::string line;
        for (const auto& arg : args) {
            line += arg + " ";
        }
        EXPECT_EQ(run.status, 2) << line;
        EXPECT_TRUE(run.out.empty()) << line;
        EXPECT_TRUE(contains(run.err, "vexhost: error: ")) << line << run.err;
    }
}

TEST(CommandLineTest, UnknownCommandIsNamedWithTheCommandsAlsoBeforeHelp) {
    const std::vector<std::vector<std::string>> lines = {
        {"bogus"}, {"convert", "x.wav"}, {"bogus", "--help"}, {"--help", "bogus"}};
    for (const auto& args : lines) {
        const std::string word = args[0] == "--help" ? args[1] : args[0];
        const CliRun run = vexhost(args);
        EXPECT_EQ(run.status, 2) << word;
        EXPECT_TRUE(run.out.empty()) << word << run.out;
        EXPECT_TRUE(contains(run.err, "unknown command '" + word + "'")) << run.err;
        for (const char* command :
             {"demo", "render", "animate", "reference", "info", "frames", "compare"}) {
            EXPECT_TRUE(contains(run.err, command)) << command << run.err;
        }
    }
}

TEST(CommandLineTest, BadInputsAreNamedInTheError) {
    const CliRun missing = vexhost({"frames", "no-such-take.wav"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(contains(missing.err, "cannot open 'no-such-take.wav': no such file"))
        << missing.err;
    const CliRun unknown = vexhost({"frames", "sine:440", "triangle:440"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(contains(unknown.err, "unknown signal 'triangle'")) << unknown.err;
    std::vector<std::string> tooMany = {"frames"};
    tooMany.resize(1 + 129, "noise");
    const CliRun many = vexhost(tooMany);
    EXPECT_EQ(many.status, 2);
    EXPECT_TRUE(contains(many.err, "at most 128 inputs")) << many.err;
}

TEST(CommandLineTest, InfoNamesTheModuleAndItsBuild) {
    const CliRun run = vexhost({"info"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "framework version: 30400")) << run.out;
    EXPECT_TRUE(contains(run.out, "built with: Unknown Compiler")) << run.out;
    EXPECT_TRUE(contains(run.out, "VEX_ANALYZER.sem")) << run.out;
}

TEST(CommandLineTest, ModuleThatCannotLoadIsAnErrorAndNoOutputIsLeft) {
    ScratchFolder folder("bad-module");
    std::ofstream(folder / "not-a-module.sem") << "text, not a library";
    for (const std::string& module : {folder / "missing.sem", folder / "not-a-module.sem"}) {
        const CliRun info = vexhost({"info", "--module", module});
        EXPECT_EQ(info.status, 2) << module;
        EXPECT_TRUE(contains(info.err, "cannot load")) << info.err;
        const CliRun frames =
            vexhost({"frames", "sine:440", "--module", module, "-o", folder / "frames.csv"});
        EXPECT_EQ(frames.status, 2);
        EXPECT_TRUE(contains(frames.err, "cannot load")) << frames.err;
    }
    EXPECT_EQ(folder.entries(), 1u) << "only the fake module; no frames.csv or temporary";
}

TEST(ColourTextTest, AcceptsThePinFormsAndNamesTheOptionOtherwise) {
    for (const char* good : {"RGB(1,2,3)", "RGB(300, -5, 128)", "ARGB(128,1,2,3)", "0x80FF0000",
                             "0xff", "4278190080"}) {
        EXPECT_EQ(host::colourPinText(good, "--grid"), good);
    }
    EXPECT_EQ(host::colourPinText("none", "--grid"), "");
    for (const char* bad : {"#FF0000", "RGB(1,2", "RGB(1,2,3,4)", "ARGB(1,2,3)", "red", "0", "0XFF",
                            "0x", "0x123456789", "RGB(a,b,c)", "", "RGB(1,,3)"}) {
        try {
            host::colourPinText(bad, "--trace1");
            ADD_FAILURE() << bad;
        } catch (const host::HostError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("--trace1: '", 0), 0u) << e.what();
        }
    }
}

} // namespace
} // namespace vex::test
