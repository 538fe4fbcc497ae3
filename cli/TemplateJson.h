#pragma once
// The JSON form of a template printed by `tangra-qv-tool info --json`.
#include <nlohmann/json.hpp>

#include "model/ControlState.h"
#include "model/TaNGRAQVTemplate.h"

nlohmann::json controlToJson(const CBaseControlState& ctl);
// Every modelled field of a target-device template.
nlohmann::json templateToJson(const CTaNGRAQVTemplate& tpl);
