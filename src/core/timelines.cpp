#include "core/timelines.h"

bool TimeLine_Load(const ChunkBody&) { return true; }
void TimeLine_Clear() {}
bool TimeLine_Prepare() { return true; }
std::string TimeLine_GetName(int) { return "<undefined>"; }
