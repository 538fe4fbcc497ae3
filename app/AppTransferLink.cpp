#include "app/AppTransferLink.h"

#include "app/EditorApp.h"

ITransferLink& AppTransferLink() {
    static CServiceLink link(EditorApp().Midi());
    return link;
}
