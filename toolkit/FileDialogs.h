#pragma once

// The open and save file dialogs of the windows: a component that keeps its settings
// (filter, filter index, file name, options, default extension, title, starting folder)
// across uses and runs a fresh modal dialog each time it is executed.
//
// The dialog is Qt's own (not the desktop's native one), so it looks and behaves the same
// on every platform and tests can drive it.

#include <QFlags>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

namespace lanfan {

enum class TOpenOption {
    ofReadOnly = 0x1,         // the read-only check box is (or was left) checked
    ofOverwritePrompt = 0x2,  // ask before an existing file is replaced
    ofHideReadOnly = 0x4,     // no read-only check box
    ofFileMustExist = 0x8,    // only existing files can be chosen
    ofEnableSizing = 0x10,    // the dialog can be resized
};
Q_DECLARE_FLAGS(TOpenOptions, TOpenOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TOpenOptions)

// One entry of a filter: the label the list shows and the file patterns it selects.
struct FileFilterEntry {
    QString label;
    QStringList patterns;
    bool operator==(const FileFilterEntry&) const = default;
};

// Splits "label|pattern|label|pattern..." into entries; a pattern may hold several globs
// separated by ";". A label without a pattern is dropped.
QList<FileFilterEntry> parseFileFilter(const QString& filter);
// The entries as Qt name filters, "label (glob glob)". "*.*" becomes "*": it means every
// file, also those without a dot in their name.
QStringList qtNameFilters(const QList<FileFilterEntry>& entries);

// Where a dialog of `dialog` size goes on a monitor: centred horizontally, with one third
// of the free height above it and two thirds below.
QPoint dialogPositionOnMonitor(QRect monitor, QSize dialog);

// The longest path the dialog hands back: the file-name buffer holds 260 characters, the
// terminating zero included.
inline constexpr int maxFileNameLength = 259;

class TCommonFileDialog : public QObject {
    Q_OBJECT
public:
    ~TCommonFileDialog() override;

    QString filter() const { return filter_; }
    void setFilter(const QString& filter) { filter_ = filter; }
    // 1-based index of the selected filter entry.
    int filterIndex() const { return filterIndex_; }
    void setFilterIndex(int index) { filterIndex_ = index; }
    // The full path chosen last; it pre-fills the file-name box of the next use.
    QString fileName() const { return fileName_; }
    void setFileName(const QString& fileName) { fileName_ = fileName; }
    TOpenOptions options() const { return options_; }
    void setOptions(TOpenOptions options) { options_ = options; }
    // Extension added to a name typed without one; empty adds none.
    QString defaultExt() const { return defaultExt_; }
    void setDefaultExt(const QString& extension) { defaultExt_ = extension; }
    // The caption; empty gives the dialog's own.
    QString title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }
    QString initialDir() const { return initialDir_; }
    void setInitialDir(const QString& folder) { initialDir_ = folder; }

    // Runs the dialog modally. True when the user confirmed a name: fileName() and
    // filterIndex() then hold the choice. False on cancel, with nothing changed.
    bool Execute();

    // Test seam: called once each dialog has opened (and been placed). Return true to
    // confirm what the responder selected, false to cancel. A dialog that refuses to
    // close on confirmation is cancelled, so a test never waits on it.
    using Responder = std::function<bool(QFileDialog&)>;
    static void setTestResponder(Responder responder);
    // Test seam: takes the dialog's warnings (such as a path that is too long) instead of
    // showing a message box.
    using MessageHandler = std::function<void(const QString&)>;
    static void setTestMessageHandler(MessageHandler handler);

protected:
    enum class Kind { Open, Save };
    TCommonFileDialog(QObject* owner, Kind kind);

    // Called once the dialog has opened, before the test responder; `activeWindow` is
    // the application's active window at the time Execute was called.
    virtual void dialogOpened(QFileDialog& dialog, QWidget* activeWindow);

private:
    friend class FileDialogWindow;
    void configure(QFileDialog& dialog) const;
    void takeResult(const QFileDialog& dialog, const QString& path);
    static void warn(QWidget* parent, const QString& text);

    Kind kind_;
    QString filter_;
    int filterIndex_ = 1;
    QString fileName_;
    TOpenOptions options_ = TOpenOption::ofHideReadOnly | TOpenOption::ofEnableSizing;
    QString defaultExt_;
    QString title_;
    QString initialDir_;
};

class TOpenDialog : public TCommonFileDialog {
    Q_OBJECT
public:
    explicit TOpenDialog(QObject* owner = nullptr) : TCommonFileDialog(owner, Kind::Open) {}
};

// Where the save dialog was put, for tests.
struct DialogPlacement {
    QRect monitor;
    QRect frame;
};

class TSaveDialog : public TCommonFileDialog {
    Q_OBJECT
public:
    explicit TSaveDialog(QObject* owner = nullptr) : TCommonFileDialog(owner, Kind::Save) {}

    static std::optional<DialogPlacement> lastPlacement();

protected:
    // Moves the opened dialog, keeping its size, onto the monitor of the active window
    // (of the main window when none is active) by dialogPositionOnMonitor.
    void dialogOpened(QFileDialog& dialog, QWidget* activeWindow) override;
};

} // namespace lanfan
