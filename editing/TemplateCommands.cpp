#include "editing/TemplateCommands.h"

#include "editing/EditorView.h"
#include "model/EditorTemplate.h"

bool CSetTemplateLocalsCommand::UpdateView(bool) {
    EditorView::updateTemplateMenu();
    return false;
}

void CEnableZonesCommand::Do() {
    if (!tpl) return;
    oldValue = tpl->zonesEnabled();
    tpl->setZonesEnabled(newValue);
}

void CEnableZonesCommand::Undo() {
    if (tpl) tpl->setZonesEnabled(oldValue);
}
