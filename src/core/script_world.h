// The world's answers to what the script runtime asks of it.
#pragma once

// Installs the world into the script runtime: instance variables,
// with-targets, instance look-ups, the code table and the run-time compiler
// for the world's own code. External calls stay as they were.
void World_InstallScriptHooks();
