#pragma once
// The JSON form of a template printed by `tangra-qv-tool info --json`; its
// keys are also the field names under which templates are compared.
#include <nlohmann/json.hpp>

#include "ControlState.h"
#include "TaNGRAQVTemplate.h"

nlohmann::json controlToJson(const CBaseControlState& ctl);
// Every modelled field of a target-device template.
nlohmann::json templateToJson(const CTaNGRAQVTemplate& tpl);
