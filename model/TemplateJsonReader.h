#pragma once
// Templates from their JSON form (the object templateToJson gives and
// `tangra-qv-tool info --json` prints), so that templates can be kept and
// reviewed as text.
#include <nlohmann/json.hpp>
#include <string>

#include "ByteSequence.h"

class CEditorTemplate;
class CTaNGRAQVTemplate;

// The bits of the template's dump that its save keeps from the loaded dump
// although the model holds something else: [{"offset", "mask", "value"}],
// offsets from the dump's 0xF0. Empty for a template that holds no such bits.
nlohmann::json preservedBitsToJson(const CEditorTemplate& tpl);

// Builds the dump that `j` describes: every key it gives is set on a new
// default template (keys it leaves out keep their defaults), and the
// "preservedBits" it may hold are put back into the model's encoding. The
// result is opened again and must give back every value given; otherwise, and
// for an unknown key or a value of the wrong kind, false with `why` naming the
// key ("controls[3].midiChannel: ..."). Keys that describe rather than hold
// the template (displayName, osVersion, kind, notices, isContinuous, the
// imported controls, ...) are accepted and not checked.
bool templateDumpFromJson(const nlohmann::json& j, ByteSequence& dump, std::string& why);
