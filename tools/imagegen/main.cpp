// SPDX-License-Identifier: GPL-3.0-or-later
// orvane-imagegen: draws every picture of the program's resource bundle and the Windows icon.
// Usage: orvane-imagegen OUTPUT_DIR          each picture, and the window's pictures again as NAME@2x for scale 2
//        orvane-imagegen --icons THEME_DIR   the launcher's icon in the hicolor sizes, as THEME_DIR/NxN/apps/orvane.png

#include "canvas.h"
#include "cooler.h"
#include "coolershape.h"
#include "gauge.h"
#include "gaugelayout.h"
#include "icowriter.h"
#include "logo.h"
#include "menuicons.h"
#include "panel.h"
#include "titleicons.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>
#include <functional>
#include <vector>

namespace {
struct Output
{
    enum class Format { Png, Jpeg, Ico };
    QString name;
    std::function<QImage()> draw;
    Format format;
    // The scale its @2x picture is drawn at (0: none, the window does not show it). The window shows most pictures
    // smaller than they are drawn, so the @2x one holds twice the pixels shown, to be put on a 2x screen 1:1.
    qreal sharpScale;
};

using Format = Output::Format;

constexpr qreal twiceShown(int shown, int drawn)
{
    return 2.0 * shown / drawn;
}

// The sizes the window shows its pictures at.
constexpr int kGaugeShown = 450;
constexpr int kCoolerShown = 125;
constexpr int kLogoShown = 26;
constexpr int kMenuIconShown = 16;
constexpr int kSettingIconShown = 21;
constexpr int kTitleIconShown = 18;
constexpr int kDialogIconShown = 48;

std::vector<Output> outputs()
{
    const qreal gauge = twiceShown(kGaugeShown, gauge::kSize);
    const qreal cooler = twiceShown(kCoolerShown, cooler::kSize);
    const qreal menuIcon = twiceShown(kMenuIconShown, kIconSize);
    std::vector<Output> list = {
        // Stretched to the window, 860 x 525: already about the size shown.
        {QStringLiteral("sys_bgi_main.png"), drawPanelBackground, Format::Png, 2.0},
        {QStringLiteral("newlogo.jpg"), [] { return drawLogo(256); }, Format::Jpeg, twiceShown(kLogoShown, 256)},
        {QStringLiteral("orvane.ico"), [] { return drawLogoTile(128); }, Format::Ico, 0},
        {QStringLiteral("bar_title_setting.png"),
         drawTitleSetting,
         Format::Png,
         twiceShown(kSettingIconShown, kIconSize)},
        {QStringLiteral("bar_title_mini.png"), drawTitleMinimize, Format::Png, twiceShown(kTitleIconShown, kIconSize)},
        {QStringLiteral("bar_title_close.png"), drawTitleClose, Format::Png, twiceShown(kTitleIconShown, kIconSize)},
        {QStringLiteral("5651226.png"), drawCoolerLinked, Format::Png, cooler},
        {QStringLiteral("5651284.png"), drawCoolerOutline, Format::Png, cooler},
        {QStringLiteral("bgi_dbd_gray.png"), drawGaugeBackground, Format::Png, gauge},
        {QStringLiteral("close_dis.png"), drawMenuHide, Format::Png, menuIcon},
        {QStringLiteral("open_dis.png"), drawMenuShow, Format::Png, menuIcon},
        {QStringLiteral("exit_app.png"), drawMenuExit, Format::Png, menuIcon},
        {QStringLiteral("menu_version.png"), drawMenuVersion, Format::Png, menuIcon},
        {QStringLiteral("menu_update.png"), drawMenuUpdate, Format::Png, menuIcon},
        {QStringLiteral("msg__info.png"), drawMessageInfo, Format::Png, twiceShown(kDialogIconShown, kIconSize)},
    };
    const QVector<int>& frames = gauge::frameNumbers();
    for (int level = 0; level < frames.size(); ++level) {
        list.push_back({QStringLiteral("bgi_dbd_%1.png").arg(frames[level]),
                        [level] { return drawGaugeFrame(level); },
                        Format::Png,
                        gauge});
    }
    return list;
}

// Where Qt looks for a picture's version for scale 2: name@2x.png beside name.png.
QString sharpName(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return name.left(dot) + QStringLiteral("@2x") + name.mid(dot);
}

bool save(const QImage& image, Format format, const QString& path)
{
    switch (format) {
    case Format::Png:
        return savePng(image, path);
    case Format::Jpeg:
        return saveJpeg(image, path);
    case Format::Ico:
        return writeIco(image, path);
    }
    return false;
}

// QPainter puts no fewer pixels than units on a canvas, so a picture smaller than its units is drawn at a power of
// two above and scaled down smoothly.
QImage drawSharp(const Output& output)
{
    qreal scale = output.sharpScale;
    int above = 1;
    while (scale < 1.0) {
        scale *= 2;
        above *= 2;
    }
    setCanvas({scale, true});
    const QImage image = output.draw();
    setCanvas({});
    return above == 1 ? image : image.scaled(image.size() / above, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

int writeAll(const QDir& dir, QTextStream& err)
{
    int failures = 0;
    auto write = [&](const QImage& image, Format format, const QString& name) {
        const QString path = dir.filePath(name);
        if (!save(image, format, path)) {
            err << "failed to write " << path << '\n';
            ++failures;
        }
    };
    for (const Output& output : outputs()) {
        write(output.draw(), output.format, output.name);
        if (output.sharpScale > 0) {
            write(drawSharp(output), output.format, sharpName(output.name));
        }
    }
    return failures == 0 ? 0 : 1;
}

// Drawn at each size rather than scaled, so that the small ones stay sharp. No text, so no fonts needed.
int writeIcons(const QDir& theme, QTextStream& err)
{
    int failures = 0;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = theme.filePath(QStringLiteral("%1x%1/apps").arg(size));
        const QString path = folder + QStringLiteral("/orvane.png");
        if (!QDir().mkpath(folder) || !savePng(drawLogoTile(size), path)) {
            err << "failed to write " << path << '\n';
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
} // namespace

int main(int argc, char* argv[])
{
    // Drawing needs fonts but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--icons")) {
        return writeIcons(QDir(args.at(2)), err);
    }
    if (args.size() != 2) {
        err << "usage: orvane-imagegen OUTPUT_DIR | --icons THEME_DIR\n";
        return 2;
    }
    const QDir dir(args.at(1));
    if (!QDir().mkpath(dir.absolutePath())) {
        err << "cannot create " << dir.absolutePath() << '\n';
        return 1;
    }
    if (!loadFonts()) {
        err << "DejaVu Sans not found (install fonts-dejavu-core or set ORVANE_FONT_DIR)\n";
        return 1;
    }
    return writeAll(dir, err);
}
