#include "graphics/graphics_builtins.h"

#include "core/builtin_vars.h"
#include "graphics/display.h"
#include "graphics/view_mapping.h"
#include "graphics/viewport.h"
#include "graphics/window.h"

namespace {
// The mouse position in the room, through the views.
TW_VAR_GETTER(GetMouseX) { return BuiltinVar_SetReal(out, Window_ViewsMouseGetX(0)); }
TW_VAR_GETTER(GetMouseY) { return BuiltinVar_SetReal(out, Window_ViewsMouseGetY(0)); }
TW_VAR_GETTER(GetViewCurrent) { return BuiltinVar_SetReal(out, Graphics_ViewCurrent()); }
TW_VAR_GETTER(GetBrowserWidth) { return BuiltinVar_SetReal(out, Window_GetWidth()); }
TW_VAR_GETTER(GetBrowserHeight) { return BuiltinVar_SetReal(out, Window_GetHeight()); }
TW_VAR_GETTER(GetDisplayAA) { return BuiltinVar_SetReal(out, Display_MultisampleMask()); }
}  // namespace

void Graphics_BindVariables() {
  BuiltinVar_Bind("mouse_x", GetMouseX, nullptr);
  BuiltinVar_Bind("mouse_y", GetMouseY, nullptr);
  BuiltinVar_Bind("view_current", GetViewCurrent, nullptr);
  BuiltinVar_Bind("browser_width", GetBrowserWidth, nullptr);
  BuiltinVar_Bind("browser_height", GetBrowserHeight, nullptr);
  BuiltinVar_Bind("display_aa", GetDisplayAA, nullptr);
}
