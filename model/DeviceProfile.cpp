#include "DeviceProfile.h"

#include "BulkDump.h"
#include "DeviceOS.h"
#include "EditorTemplate.h"

// The project version (CMake's project VERSION); set by the build.
#ifndef TQV_VERSION
#define TQV_VERSION "unknown"
#endif

std::unique_ptr<CEditorTemplate> IDeviceProfile::CreateTemplate() const { return Factory().CreateTemplate(); }
std::unique_ptr<IBulkDump> IDeviceProfile::CreateBulkDump() const { return Factory().CreateBulkDump(); }
std::unique_ptr<CDeviceOS> IDeviceProfile::CreateDeviceOS() const { return Factory().CreateDeviceOS(); }

std::string CTaNGRAQVDeviceProfile::GetControlPlace(int i) const {
    const auto numbered = [](const char* what, int n) { return std::string(what) + " " + std::to_string(n); };
    if (i < 0 || i > 85) return {};
    if (i <= 7) return numbered("Pot", i + 1);
    if (i <= 15) return numbered("Encoder", i - 7);
    if (i <= 23) return numbered("Slider", i - 15);
    // The four rows of eight buttons: left top, left middle, right top, right bottom.
    if (i <= 55) return "Button row " + std::to_string((i - 24) / 8 + 1) + ", " + std::to_string((i - 24) % 8 + 1);
    static const char* const kSingles[] = {"Rewind", "Forward", "Stop", "Play", "Record", "Loop",
                                           "Pedal 1", "Pedal 2", "Pitch-bend wheel", "Modulation wheel"};
    if (i <= 65) return kSingles[i - 56];
    // Continuous controls the unit has but the panel does not draw.
    if (i <= 69) return numbered("Further continuous", i - 65);
    if (i <= 77) return numbered("Drum pad", i - 69);
    return numbered("Further continuous", i - 73);
}

std::string CTaNGRAQVDeviceProfile::GetAboutText() const {
    return "TaNGRA LuMI QV Editor\n\nVersion " TQV_VERSION "\n\nCreate, edit, load and save templates for the\n"
           "TaNGRA LuMI QV and send them to the hardware.\n\nCopyright (C) Quorvane Ltd.  All rights reserved.";
}

std::string CTaNGRAQVDeviceProfile::GetOSUpdateInstructions() const {
    return "To ensure your TaNGRA QV LuMI is ready to receive the OS update:\n\nPress \"global\", then use the "
           "left-hand up (^) arrow next to the display\nto navigate to the \"Template dump and operating system "
           "control\" screen.\n\nIf you have selected \"TaNGRA QV MIDI\" as the MIDI output for this program,\nPress "
           "\"USBa Receive\" and then click \"OK\".\n\nIf you have selected \"TaNGRA QV MIDI [2]\",\nPress \"USBb "
           "Receive\" and then click \"OK\"\n\nIf your TaNGRA QV LuMI is not connected via USB, ensure you have "
           "selected the MIDI\ninterface it is connected to and press \"MIDI O/S Receive\" and then click \"OK\".\n\n"
           "To change the MIDI output for this program, press \"Cancel\" and click on\n\"Select MIDI devices...\".";
}
