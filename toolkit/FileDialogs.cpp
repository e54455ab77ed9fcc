#include "toolkit/FileDialogs.h"

#include "toolkit/Application.h"
#include "toolkit/Form.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>

namespace lanfan {

namespace {

TCommonFileDialog::Responder& testResponder()
{
    static TCommonFileDialog::Responder responder;
    return responder;
}

TCommonFileDialog::MessageHandler& testMessageHandler()
{
    static TCommonFileDialog::MessageHandler handler;
    return handler;
}

std::optional<DialogPlacement>& lastSavePlacement()
{
    static std::optional<DialogPlacement> placement;
    return placement;
}

QString globForQt(const QString& pattern)
{
    return pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern;
}

} // namespace

QList<FileFilterEntry> parseFileFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QList<FileFilterEntry> entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& glob : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QString trimmed = glob.trimmed();
            if (!trimmed.isEmpty())
                patterns << trimmed;
        }
        if (!patterns.isEmpty())
            entries.push_back({parts[i], patterns});
    }
    return entries;
}

QStringList qtNameFilters(const QList<FileFilterEntry>& entries)
{
    QStringList filters;
    for (const FileFilterEntry& entry : entries) {
        QStringList globs;
        for (const QString& pattern : entry.patterns)
            globs << globForQt(pattern);
        filters << QStringLiteral("%1 (%2)").arg(entry.label, globs.join(QLatin1Char(' ')));
    }
    return filters;
}

QPoint dialogPositionOnMonitor(QRect monitor, QSize dialog)
{
    return {monitor.left() + (monitor.width() - dialog.width()) / 2,
            monitor.top() + (monitor.height() - dialog.height()) / 3};
}

// The dialog window of one Execute: it refuses a path longer than the file-name buffer,
// adds the read-only check box when asked, and reports when it has opened.
class FileDialogWindow : public QFileDialog {
public:
    FileDialogWindow(QWidget* parent, TCommonFileDialog& owner, QWidget* activeWindow)
        : QFileDialog(parent), owner_(owner), activeWindow_(activeWindow)
    {
    }

    QString chosenPath() const { return chosenPath_; }
    QCheckBox* readOnlyBox() const { return readOnlyBox_; }

    void addReadOnlyBox(bool checked)
    {
        readOnlyBox_ = new QCheckBox(QStringLiteral("以只读方式打开(&R)"), this);
        readOnlyBox_->setChecked(checked);
        if (auto* grid = qobject_cast<QGridLayout*>(layout()))
            grid->addWidget(readOnlyBox_, grid->rowCount(), 0, 1, -1);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        QFileDialog::showEvent(event);
        if (opened_)
            return;
        opened_ = true;
        // Once the window is up (and has its size), place it and let a test act on it.
        QMetaObject::invokeMethod(this, [this] { afterOpening(); }, Qt::QueuedConnection);
    }

    void done(int result) override
    {
        if (result == Accepted) {
            QString path = QDir::toNativeSeparators(selectedFiles().value(0));
            if (path.size() > maxFileNameLength) {
                TCommonFileDialog::warn(this, QStringLiteral("所选文件的路径过长（%1 个字符），最多 %2 个字符。请选择较短的路径。")
                                                  .arg(path.size())
                                                  .arg(maxFileNameLength));
                return;
            }
            chosenPath_ = path;
        }
        QFileDialog::done(result);
    }

private:
    void afterOpening()
    {
        owner_.dialogOpened(*this, activeWindow_);
        if (auto& responder = testResponder()) {
            if (responder(*this))
                accept();
            else
                reject();
            if (isVisible())
                reject();
        }
    }

    TCommonFileDialog& owner_;
    QWidget* activeWindow_;
    QCheckBox* readOnlyBox_ = nullptr;
    QString chosenPath_;
    bool opened_ = false;
};

TCommonFileDialog::TCommonFileDialog(QObject* owner, Kind kind) : QObject(owner), kind_(kind) {}

TCommonFileDialog::~TCommonFileDialog() = default;

void TCommonFileDialog::setTestResponder(Responder responder)
{
    testResponder() = std::move(responder);
}

void TCommonFileDialog::setTestMessageHandler(MessageHandler handler)
{
    testMessageHandler() = std::move(handler);
}

void TCommonFileDialog::warn(QWidget* parent, const QString& text)
{
    if (auto& handler = testMessageHandler()) {
        handler(text);
        return;
    }
    QString caption = Application ? Application->Title() : QString();
    QMessageBox::warning(parent, caption, text);
}

void TCommonFileDialog::configure(QFileDialog& dialog) const
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(kind_ == Kind::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(options_.testFlag(TOpenOption::ofFileMustExist) ? QFileDialog::ExistingFile
                                                                        : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options_.testFlag(TOpenOption::ofOverwritePrompt));
    // Patterns match whatever the case of the name: "*.Swf" finds "a.swf".
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);

    const QStringList nameFilters = qtNameFilters(parseFileFilter(filter_));
    if (!nameFilters.isEmpty()) {
        dialog.setNameFilters(nameFilters);
        dialog.selectNameFilter(nameFilters.value(filterIndex_ - 1, nameFilters.first()));
    }
    if (!title_.isEmpty())
        dialog.setWindowTitle(title_);
    if (!defaultExt_.isEmpty())
        dialog.setDefaultSuffix(defaultExt_.startsWith(QLatin1Char('.')) ? defaultExt_.mid(1) : defaultExt_);
    if (!initialDir_.isEmpty())
        dialog.setDirectory(initialDir_);
    if (!fileName_.isEmpty())
        dialog.selectFile(fileName_);

    const bool sizable = options_.testFlag(TOpenOption::ofEnableSizing);
    dialog.setSizeGripEnabled(sizable);
    if (!sizable)
        dialog.setFixedSize(dialog.sizeHint());
    dialog.setWindowModality(Qt::ApplicationModal);
}

void TCommonFileDialog::takeResult(const QFileDialog& dialog, const QString& path)
{
    fileName_ = path;
    qsizetype index = dialog.nameFilters().indexOf(dialog.selectedNameFilter());
    if (index >= 0)
        filterIndex_ = int(index) + 1;
}

bool TCommonFileDialog::Execute()
{
    QWidget* activeWindow = QApplication::activeWindow();
    auto* ownerWidget = qobject_cast<QWidget*>(parent());
    QWidget* dialogParent = ownerWidget ? ownerWidget->window() : activeWindow;

    FileDialogWindow dialog(dialogParent, *this, activeWindow);
    configure(dialog);
    if (!options_.testFlag(TOpenOption::ofHideReadOnly))
        dialog.addReadOnlyBox(options_.testFlag(TOpenOption::ofReadOnly));
    if (dialog.exec() != QDialog::Accepted)
        return false;

    takeResult(dialog, dialog.chosenPath());
    if (QCheckBox* box = dialog.readOnlyBox())
        options_.setFlag(TOpenOption::ofReadOnly, box->isChecked());
    return true;
}

void TCommonFileDialog::dialogOpened(QFileDialog&, QWidget*) {}

std::optional<DialogPlacement> TSaveDialog::lastPlacement()
{
    return lastSavePlacement();
}

void TSaveDialog::dialogOpened(QFileDialog& dialog, QWidget* activeWindow)
{
    QWidget* reference = activeWindow;
    if (!reference && Application)
        reference = Application->MainForm();
    QScreen* screen = reference ? reference->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect monitor = screen->geometry();
    const QSize size = dialog.frameGeometry().size();
    const QPoint position = dialogPositionOnMonitor(monitor, size);
    dialog.move(position);
    lastSavePlacement() = DialogPlacement{monitor, QRect(position, size)};
}

} // namespace lanfan
