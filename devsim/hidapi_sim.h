// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DEVSIM_HIDAPI_SIM_H
#define ORVANE_DEVSIM_HIDAPI_SIM_H

#include <string>
#include <vector>

namespace devsim {

class DeviceModel;

// Serves the hidapi functions from this model inside the process. nullptr (the start state) sends them to the
// orvane-devsim process over its socket instead. The model must outlive every device opened from it.
void installModel(DeviceModel* model);

// How often each hidapi function was called, in either mode, and how many opened devices are not closed yet.
struct SimCalls
{
    int open = 0; // all calls, failed ones included
    int openFailed = 0;
    int close = 0;
    int write = 0;
    int read = 0;
    int setNonblocking = 0;
    int live = 0;
};
SimCalls simCalls();
void resetSimCalls();

// The calls in order: "open", "open-failed", "nonblocking 0", "nonblocking 1", "write <len>",
// "read <len> <timeout>", "close".
std::vector<std::string> simCallLog();
void clearSimCallLog();

// Where socket mode connects: $ORVANE_DEVSIM_SOCKET, or orvane-devsim.sock in the user's runtime directory.
std::string simSocketPath();

} // namespace devsim

#endif // ORVANE_DEVSIM_HIDAPI_SIM_H
