// Program entry: the start-up sequence of the player.

#include "app/Unit1.h"
#include "app/Unit2.h"

#include "toolkit/Application.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The show command the system passed to this process; only Windows has one.
lanfan::ShowCommand startupShowCommand()
{
#ifdef _WIN32
    STARTUPINFOW info{};
    info.cb = sizeof info;
    GetStartupInfoW(&info);
    if (info.dwFlags & STARTF_USESHOWWINDOW) {
        if (info.wShowWindow == SW_SHOWMAXIMIZED)
            return lanfan::ShowCommand::Maximized;
        if (info.wShowWindow == SW_SHOWMINNOACTIVE)
            return lanfan::ShowCommand::MinimizedNoActivate;
    }
#endif
    return lanfan::ShowCommand::Normal;
}

// The movie named on the command line: the first argument after the program's name
// that is not an option (Qt has taken its own options out already), made absolute.
QString movieArgument(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--")) {
            if (i + 1 < arguments.size())
                return QFileInfo(arguments[i + 1]).absoluteFilePath();
            return {};
        }
        if (!arg.startsWith(QLatin1Char('-')))
            return QFileInfo(arg).absoluteFilePath();
    }
    return {};
}

} // namespace

int main(int argc, char* argv[])
{
    // Qt takes its own options (-platform and the like) from the command line; the
    // program itself reads one movie to open from there.
    QApplication qtApp(argc, argv);
    // The interface is Chinese throughout, the toolkit's own dialogs included.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    lanfan::TApplication application;
    application.SetTitle(QStringLiteral("澜帆Flash播放器"));
    QGuiApplication::setApplicationDisplayName(QString());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/icon32.png")));

    std::unique_ptr<lanfan::TMainForm> mainForm;
    std::unique_ptr<lanfan::TAboutBox> aboutBox;
    int exitCode = 0;
    try {
        mainForm = std::make_unique<lanfan::TMainForm>();
        lanfan::MainForm = mainForm.get();
        aboutBox = std::make_unique<lanfan::TAboutBox>();
        lanfan::AboutBox = aboutBox.get();
        // "lanfan-player MOVIE.swf" (as a file manager's "Open with" runs it) opens the
        // movie once the window is up, as the open command would.
        if (QString movie = movieArgument(QCoreApplication::arguments()); !movie.isEmpty())
            mainForm->OpenWhenShown(movie);
        exitCode = application.Run(startupShowCommand());
    } catch (const std::exception& error) {
        // Errors before the message loop runs end start-up.
        application.ShowStartupFailure(error, reinterpret_cast<const void*>(&startupShowCommand));
        exitCode = 1;
    }
    // The About box goes first, then the main window with all its components.
    lanfan::AboutBox = nullptr;
    aboutBox.reset();
    lanfan::MainForm = nullptr;
    mainForm.reset();
    return exitCode;
}
