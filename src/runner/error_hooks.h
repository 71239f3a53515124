// What error reports and the consoles need of the world, installed once at
// start-up.
#pragma once

void Runner_InstallErrorHooks();
// Takes them away again (tests that borrowed the world's).
void Runner_RemoveErrorHooks();
