#include "services/http.h"

void Http_Poll() {}
void Http_Shutdown() {}
