// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_FIGURESETTINGS_H
#define ORVANE_FIGURESETTINGS_H

#include <QString>

// The display's choice of figures as the settings file keeps it, for the window and the headless program alike: one
// selector text per figure, empty for the figure the sensor document's rules pick.
namespace FigureSettings {
enum class Figure { Temperature, Fan, Load };

struct Choice
{
    QString temperature;
    QString fan;
    QString load;
};

// The file's key of a figure: "DevInfo/tem", "DevInfo/fan" or "DevInfo/load".
QString key(Figure figure);
// The choice kept in `path`; a missing key reads as empty.
Choice read(const QString& path);
// Keeps one figure's choice in the user's settings file; false (logged) when it cannot be saved. The first write
// starts from the file beside the executable, so that its other keys are not lost.
bool save(Figure figure, const QString& text);
} // namespace FigureSettings

#endif // ORVANE_FIGURESETTINGS_H
