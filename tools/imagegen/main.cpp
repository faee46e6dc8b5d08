// SPDX-License-Identifier: GPL-3.0-or-later
// orvane-imagegen: draws every picture of the program's resource bundle and the Windows icon.
// Usage: orvane-imagegen OUTPUT_DIR
//        orvane-imagegen --icons THEME_DIR   the launcher's icon in the hicolor sizes, as THEME_DIR/NxN/apps/orvane.png

#include "canvas.h"
#include "cooler.h"
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
    QString name;
    std::function<bool(const QString&)> write;
};

std::function<bool(const QString&)> png(std::function<QImage()> draw)
{
    return [draw](const QString& path) { return savePng(draw(), path); };
}

std::vector<Output> outputs()
{
    std::vector<Output> list = {
        {QStringLiteral("sys_bgi_main.png"), png(drawPanelBackground)},
        {QStringLiteral("newlogo.jpg"), [](const QString& path) { return saveJpeg(drawLogo(256), path); }},
        {QStringLiteral("orvane.ico"), [](const QString& path) { return writeIco(drawLogoTile(128), path); }},
        {QStringLiteral("bar_title_setting.png"), png(drawTitleSetting)},
        {QStringLiteral("bar_title_mini.png"), png(drawTitleMinimize)},
        {QStringLiteral("bar_title_close.png"), png(drawTitleClose)},
        {QStringLiteral("5651226.png"), png(drawCoolerLinked)},
        {QStringLiteral("5651284.png"), png(drawCoolerOutline)},
        {QStringLiteral("bgi_dbd_gray.png"), png(drawGaugeBackground)},
        {QStringLiteral("close_dis.png"), png(drawMenuHide)},
        {QStringLiteral("open_dis.png"), png(drawMenuShow)},
        {QStringLiteral("exit_app.png"), png(drawMenuExit)},
        {QStringLiteral("menu_version.png"), png(drawMenuVersion)},
        {QStringLiteral("menu_update.png"), png(drawMenuUpdate)},
        {QStringLiteral("msg__info.png"), png(drawMessageInfo)},
    };
    const QVector<int>& frames = gauge::frameNumbers();
    for (int level = 0; level < frames.size(); ++level) {
        list.push_back(
            {QStringLiteral("bgi_dbd_%1.png").arg(frames[level]), png([level]() { return drawGaugeFrame(level); })});
    }
    return list;
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
    int failures = 0;
    for (const Output& output : outputs()) {
        const QString path = dir.filePath(output.name);
        if (!output.write(path)) {
            err << "failed to write " << path << '\n';
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
