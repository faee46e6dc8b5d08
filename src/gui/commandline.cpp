// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include "displaydevice.h"
#include "traydock.h"

#include <cstdio>
#include <cstring>

namespace {
// Kept here alone, so that the text is changed in one place.
const char* const kUsage = R"(Usage: orvane [--bootstart]
       orvane --headless [--settings FILE]
       orvane --help | --version

Orvane shows the CPU temperature, the CPU load and one fan speed on the display of the CPU cooler
(USB %2:%3) and in its own window, and lives in the system tray. Without a desktop (a server, the
time before log-on, a system service), --headless feeds the display alone.

Options:
  --bootstart  start hidden in the tray, as the log-on entry does. With no tray yet, stay hidden and wait
               up to %1 s for one, then minimise the window if none came. Only this one argument does so;
               a command line not named here starts with the window shown.
  --headless   feed the display without a window, a display server, a session bus or a tray: the same
               figures, the choice read once at start from the settings file, a value frame as soon as the
               display is linked and the first reading is in, then one every 2 s. Its sensor server, lock
               and hardInfo.xml are in $XDG_RUNTIME_DIR/orvane-headless, apart from the window's; one per
               user. SIGTERM, SIGINT and SIGHUP end it.
  --settings FILE
               with --headless: read the choice from FILE instead of the user's sysconf.ini (never
               written); a missing or unreadable FILE leaves the figures the sensor rules pick
  --help       print this text and exit
  --version    print the version and exit
Qt's own options (-platform, -display, ...) are taken by the window as well.

Only one Orvane drives the display at a time, machine-wide: whichever links it first, window or headless,
of any user. Another one says "display held by another Orvane", leaves it alone, shows its own figures,
and links the display itself once the holder is gone.

Environment:
  XDG_RUNTIME_DIR           the sensor server's socket, the single-instance lock and hardInfo.xml
                            (unset: a private folder Qt makes)
  RUNTIME_DIRECTORY         with --headless, set by systemd for a service: used as XDG_RUNTIME_DIR
  XDG_CONFIG_HOME           settings, the log-on entry and the fan names (unset: ~/.config)
  QT_QPA_PLATFORM           the window system: xcb (X11) or wayland (needs qtwayland5)
  DISPLAY, WAYLAND_DISPLAY  the X display or the Wayland compositor to show on
  DBUS_SESSION_BUS_ADDRESS  the session bus, where StatusNotifierItem trays are (KDE Plasma, GNOME, ...)
  QT_LOGGING_RULES          more log lines, e.g. QT_LOGGING_RULES="orvane.*.debug=true"
  ORVANE_TRAY_WAIT_SECONDS  how long --bootstart waits for a tray (0 to %1, default %1)

Files:
  $XDG_CONFIG_HOME/orvane/sysconf.ini
        settings (the dashboard's selectors); failing that, sysconf.ini beside the program
  $XDG_CONFIG_HOME/autostart/OrvaneAutoStart.desktop
        the log-on entry that "AutoStart" writes (~/.config/autostart/OrvaneAutoStart.desktop)
  $XDG_CONFIG_HOME/orvane/sensors.ini
        your names for the fans, read by the sensor server (voviredo/VOViredo beside the program)
  $XDG_RUNTIME_DIR/orvane/hardInfo.xml
        the last sensor document
  $XDG_RUNTIME_DIR/orvane/instance.lock
        held while Orvane runs: one instance per user
  $XDG_RUNTIME_DIR/orvane-headless/
        the runtime folder of orvane --headless: its server's socket, orvane/instance.lock, orvane/hardInfo.xml
  /etc/udev/rules.d/70-orvane-display.rules (or /usr/lib/udev/rules.d/)
        the udev rule that lets the user at the seat use the display
)";
} // namespace

namespace CommandLine {
QString usage()
{
    return QString::fromUtf8(kUsage)
        .arg(TrayDock::kTrayWaitSeconds)
        .arg(DisplayDevice::kVendorId, 4, 16, QLatin1Char('0'))
        .arg(DisplayDevice::kProductId, 4, 16, QLatin1Char('0'));
}

QString version()
{
    return QStringLiteral("Orvane " ORVANE_VERSION "\n");
}

int answerQuery(int argc, char* argv[])
{
    if (argc != 2) {
        return -1;
    }
    QString answer;
    if (std::strcmp(argv[1], "--help") == 0) {
        answer = usage();
    } else if (std::strcmp(argv[1], "--version") == 0) {
        answer = version();
    } else {
        return -1;
    }
    const QByteArray text = answer.toLocal8Bit();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

bool startsHidden(const QStringList& arguments)
{
    return arguments.size() == 2 && arguments.at(1) == QLatin1String("--bootstart");
}
} // namespace CommandLine
