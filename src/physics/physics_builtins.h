// The physics subsystem's built-in variables of instances (phy_*).
#pragma once

// Binds them in the built-in variable table (a binder of the table).
void Physics_BindVariables();
