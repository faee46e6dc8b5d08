#include "bootstarttask.h"

// Filled in with the XDG autostart entry.
namespace BootStartTask {
void create()
{
}

void remove()
{
}

bool exists()
{
    return false;
}
} // namespace BootStartTask
