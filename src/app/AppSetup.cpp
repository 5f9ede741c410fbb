#include "app/AppSetup.h"

#include <cstdio>
#include <string_view>

#include "qtshared/FileDialogLocale.h"
#include "vexil/Version.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

bool speakJapanese(QCoreApplication& app) {
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    // Qt's file dialogs write sizes and dates in the environment's locale unless told.
    localizeEveryFileDialog(app);
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void keepNothingBetweenRuns() {
    const QString nowhere = QStringLiteral("/dev/null/vexil");
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) QSettings::setPath(format, scope, nowhere);
}

bool answerWithoutWindow(int argc, char** argv) {
    if (argc != 2) return false;
    const std::string_view arg = argv[1];
    if (arg == "--version") {
        std::printf("vexil %s\n", kVexilVersion);  // the About box shows the same
    } else if (arg == "--help" || arg == "-h") {
        std::printf(
            "usage: vexil [PATH]\n"
            "       vexil --version\n"
            "\n"
            "Opens the window on PATH: a directory is listed, a file is listed in its\n"
            "directory and its icons shown. Without PATH, the current directory's drive.\n"
            "vexil-cli(1) does the same work from the command line.\n");
    } else {
        return false;
    }
    std::fflush(stdout);
    return true;
}

void chooseQtParts() {
    // Qt tries a theme plugin for each desktop it is told of, the GTK one first on GNOME-like
    // desktops; not desktop-aware, it asks for its generic built-in theme only. The window
    // sets its own font, and takes its colours as it decides.
    QGuiApplication::setDesktopSettingsAware(false);
    if (qgetenv("QT_QPA_PLATFORMTHEME").toLower().startsWith("gtk")) qunsetenv("QT_QPA_PLATFORMTHEME");
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}
