#include "app/about.h"

const char* VersionText() { return "Varnel " VARNEL_VERSION; }
