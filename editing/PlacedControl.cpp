#include "editing/PlacedControl.h"

#include "editing/EditorView.h"

bool CPlacedControl::Select(bool add) const { return EditorView::selectControl(*this, add); }

void CPlacedControl::Edit(bool deferred) const { EditorView::editControl(*this, deferred); }
