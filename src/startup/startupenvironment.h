// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_STARTUPENVIRONMENT_H
#define ORVANE_STARTUPENVIRONMENT_H

// Settles, before Qt starts, what Qt would otherwise take from the environment at a cost or with a warning at
// every turn. Call it first thing in main().
void settleStartupEnvironment();

#endif // ORVANE_STARTUPENVIRONMENT_H
