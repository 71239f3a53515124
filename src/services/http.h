// HTTP requests on worker threads, completed through the asynchronous
// request list.
#pragma once

// The per-step poll of the workers: finished transfers become records in
// the finished state for the pump.
void Http_Poll();
// Stops every worker and forgets their records' transfers (the game's end).
void Http_Shutdown();
