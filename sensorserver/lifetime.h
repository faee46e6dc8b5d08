// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_LIFETIME_H
#define ORVANE_LIFETIME_H

class QObject;

// When the server ends besides the stop request.
namespace Lifetime {
// The program that started the server is gone (it crashed or was killed before it could stop the server): nobody
// will ask for readings any more, so quit too.
void quitWhenParentEnds(QObject* context);
} // namespace Lifetime

#endif // ORVANE_LIFETIME_H
