// The platform's ports come from a module opened when ports are first looked
// for. Without it MIDI behaves as on a machine with no MIDI system, and says
// why, naming the file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "loader/ModuleLoader.h"
#include "midi/MidiPorts.h"
#include "midi/MidiService.h"

namespace {

namespace fs = std::filesystem;

class PlatformModule : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("tqv-module-test-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        // A JACK server nobody runs: looking for ports finds none, quickly.
        if (const char* server = std::getenv("JACK_DEFAULT_SERVER")) oldServer = server;
        ::setenv("JACK_DEFAULT_SERVER", "tqv-no-such-server", 1);
    }
    void TearDown() override {
        ModuleLoader::SetSearchFolders({});
        fs::remove_all(folder);
        if (oldServer.empty())
            ::unsetenv("JACK_DEFAULT_SERVER");
        else
            ::setenv("JACK_DEFAULT_SERVER", oldServer.c_str(), 1);
    }
    fs::path folder;
    std::string oldServer;
};

TEST_F(PlatformModule, WithoutAUsableModuleThereAreNoPortsAndTheReasonNamesTheFile) {
    struct Case {
        const char* what;
        bool putAFile;         // a file of that name that is no library
        const char* reason;    // part of the loader's reason
    };
    for (const Case& c : {Case{"missing", false, "is in none of its folders"},
                          Case{"not a library", true, "could not be loaded: "}}) {
        SCOPED_TRACE(c.what);
        if (c.putAFile) std::ofstream(folder / "tqv-midi-ports.so") << "not a shared library\n";
        ModuleLoader::SetSearchFolders({folder.string()});

        std::unique_ptr<MIDI::ISystem> system = MIDI::CreatePlatformSystem();
        ASSERT_TRUE(system);
        const MIDI::ISystem::PortLists lists = system->ListPorts();
        EXPECT_TRUE(lists.inputs.empty());
        EXPECT_TRUE(lists.outputs.empty());
        std::string inError, outError;
        EXPECT_FALSE(system->OpenInput("TaNGRA QV MIDI", inError));
        EXPECT_FALSE(system->OpenOutput("TaNGRA QV MIDI", outError));
        EXPECT_NE(inError.find("tqv-midi-ports.so"), std::string::npos) << inError;
        EXPECT_NE(inError.find(folder.string()), std::string::npos) << inError;
        EXPECT_NE(inError.find(c.reason), std::string::npos) << inError;
        EXPECT_EQ(outError, inError);

        // The service starts as with no MIDI system: no ports to choose.
        MidiService service;
        EXPECT_TRUE(service.Start());
        EXPECT_EQ(service.InputCount(), 0);
        EXPECT_FALSE(service.SelectInputByName("TaNGRA QV MIDI"));
    }
}

TEST_F(PlatformModule, TheModuleBesideTheProgramIsOpened) {
    // The usual folders: the module is built beside the test program.
    std::unique_ptr<MIDI::ISystem> system = MIDI::CreatePlatformSystem();
    ASSERT_TRUE(system);
    std::string error;
    EXPECT_FALSE(system->OpenInput("No Such Port", error));
    EXPECT_EQ(error, "The port \"No Such Port\" does not exist");
}

}  // namespace
