#include "app/FontSetUp.h"

#include <dlfcn.h>

void StartFontSetUp() {
    // Looked up by name: the toolkit has loaded pango already, and one call
    // does not warrant its development headers.
    using MakeFontMap = void* (*)();
    if (auto make = reinterpret_cast<MakeFontMap>(dlsym(RTLD_DEFAULT, "pango_cairo_font_map_get_default"))) make();
}
