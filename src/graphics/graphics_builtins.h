// The graphics subsystem's built-in variables (view_current, display_aa ...).
#pragma once

// Binds them in the built-in variable table (a binder of the table).
void Graphics_BindVariables();
