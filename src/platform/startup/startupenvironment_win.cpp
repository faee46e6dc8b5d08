// SPDX-License-Identifier: GPL-3.0-or-later
#include "startupenvironment.h"

// Windows hands Qt nothing that needs settling first.
void settleStartupEnvironment() { }
