#include "editing/ControlUndoRecord.h"

CBaseControlState CControlUndoRecord::undoneState(const CBaseControlState& current) const {
    if (current.sameState(after_)) return before_;
    CBaseControlState result = current;
#define TQV_RESTORE_FIELD(field) \
    if (!(before_.field == after_.field)) result.field = before_.field;
    TQV_RESTORE_FIELD(sourcePortByte)
    TQV_RESTORE_FIELD(rawByte5)
    TQV_RESTORE_FIELD(rawByte6)
    TQV_RESTORE_FIELD(rawByte7)
    TQV_RESTORE_FIELD(channelFlag)
    TQV_RESTORE_FIELD(name)
    TQV_RESTORE_FIELD(longName)
    TQV_RESTORE_FIELD(controlType)
    TQV_RESTORE_FIELD(snapshotValue)
    TQV_RESTORE_FIELD(flagA0)
    TQV_RESTORE_FIELD(flagA1)
    TQV_RESTORE_FIELD(portMidi1)
    TQV_RESTORE_FIELD(portMidi2)
    TQV_RESTORE_FIELD(portUsb1)
    TQV_RESTORE_FIELD(portUsb2)
    TQV_RESTORE_FIELD(portUsb3)
    TQV_RESTORE_FIELD(portGroup)
    TQV_RESTORE_FIELD(channelGroup)
    TQV_RESTORE_FIELD(flagB0)
    TQV_RESTORE_FIELD(flagB1)
    TQV_RESTORE_FIELD(reversedRange)
    TQV_RESTORE_FIELD(flagB2)
    TQV_RESTORE_FIELD(potCatchup)
    TQV_RESTORE_FIELD(potBit6)
    TQV_RESTORE_FIELD(lsbNumber)
    TQV_RESTORE_FIELD(msbNumber)
    TQV_RESTORE_FIELD(midiChannel)
    TQV_RESTORE_FIELD(mmcCommand)
    TQV_RESTORE_FIELD(displayFormat)
    TQV_RESTORE_FIELD(flagB4)
    TQV_RESTORE_FIELD(channelHighBits)
    TQV_RESTORE_FIELD(offValue)
    TQV_RESTORE_FIELD(onValue)
    TQV_RESTORE_FIELD(stepSize)
    TQV_RESTORE_FIELD(buttonAction)
    TQV_RESTORE_FIELD(drumAutoOffTime)
    TQV_RESTORE_FIELD(drumOffSync)
    TQV_RESTORE_FIELD(sysExData)
    TQV_RESTORE_FIELD(pluginBinding)
    TQV_RESTORE_FIELD(isContinuous)
#undef TQV_RESTORE_FIELD
    return result;
}
