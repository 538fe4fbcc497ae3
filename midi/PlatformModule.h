#pragma once
// The module with the platform's MIDI ports (RtMidi over the ALSA sequencer,
// and JACK), opened by CreatePlatformSystem the first time ports are looked
// for. Its one exported function makes the system (owned by the caller):
//   extern "C" MIDI::ISystem* tqv_midi_platform_system();
// It finds the ports' shared base (Input, Output, kClientName and the arrival
// waker) in the program that opens it, which exports the MIDI namespace for it
// (midi/ModuleExports.list), so that those exist once.
#define TQV_MIDI_MODULE_FILE "tqv-midi-ports.so"
#define TQV_MIDI_MODULE_ENTRY "tqv_midi_platform_system"
