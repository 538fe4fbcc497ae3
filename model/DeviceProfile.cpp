#include "DeviceProfile.h"

#include "ControlState.h"
#include "BulkDump.h"
#include "DeviceOS.h"
#include "TaNGRAQVTemplate.h"

namespace {
const IDeviceProfile* g_profile = nullptr;
}

const IDeviceProfile& IDeviceProfile::current() {
    static const CTaNGRAQVDeviceProfile fallback;
    return g_profile ? *g_profile : fallback;
}

void IDeviceProfile::setCurrent(const IDeviceProfile* profile) { g_profile = profile; }

bool IDeviceProfile::CanHoldState(int index, const CBaseControlState& state) const {
    const int t = state.getControlType();
    if (IsImportedControl(index)) return false;
    if (!Allows14BitValues(index) && state.getDisplayFormat() == DisplayFormat::Send14Bit) return false;
    if (IsContinuousControl(index)) {
        if (t >= 0 && t <= 4) return true;
        if (t == ControlType::PitchBend) return AllowsPitchBend(index);
        return false;
    }
    if ((t >= 0 && t <= 6) || t == ControlType::ProgramChange) return true;
    if (t == ControlType::DrumNote) return UsesDrumNotes(index);
    return false;
}

std::unique_ptr<CEditorTemplate> CTaNGRAQVDeviceProfile::CreateTemplate() const {
    return std::make_unique<CTaNGRAQVTemplate>();
}

std::unique_ptr<IBulkDump> CTaNGRAQVDeviceProfile::CreateBulkDump() const {
    return std::make_unique<CBulkDump<CTaNGRAQVTemplate, 40>>();
}

std::unique_ptr<CDeviceOS> CTaNGRAQVDeviceProfile::CreateDeviceOS() const { return std::make_unique<CDeviceOS>(); }
