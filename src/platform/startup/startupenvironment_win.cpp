#include "startupenvironment.h"

// Windows hands Qt nothing that needs settling first.
void settleStartupEnvironment() { }
