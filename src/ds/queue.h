// Script queues as the engine drives them (draining queues of pending
// results). Each runs the queue built-in of the same name, so a bad id is
// reported as a script's call would be; an id below 0 does nothing.
#pragma once

struct ScriptValue;

void DS_QueueDequeue(int id, ScriptValue* out);
// The queue's size; 0 for an id below 0 or a bad id.
int DS_QueueSize(int id);
void DS_QueueClear(int id);
