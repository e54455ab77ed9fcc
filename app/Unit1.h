#pragma once

// The main window: toolbar with open, capture, the frame scroll bar, the play-on-seek
// check box and the Play button; the player control; the status bar with the hint and
// the frame counter; the menus; and the two timers that keep them in step with the movie.

#include "app/player/TShockwaveFlash.h"

#include "toolkit/FileDialogs.h"
#include "toolkit/Form.h"
#include "toolkit/Menu.h"
#include "toolkit/ScrollBar.h"
#include "toolkit/StatusBar.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/Timer.h"

class QMimeData;

namespace lanfan {

class TMainForm : public TForm {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* owner = nullptr);
    ~TMainForm() override;

    // Components, created by the stored layout.
    TMainMenu* MainMenu1 = nullptr;
    TMenuItem* V1 = nullptr;
    TMenuItem* C1 = nullptr;
    TMenuItem* F2 = nullptr;
    TMenuItem* H1 = nullptr;
    TMenuItem* A1 = nullptr;
    TMenuItem* MenuToolBar = nullptr;
    TMenuItem* MenuStatusBar = nullptr;
    TPanel* ToolBar = nullptr;
    TShockwaveFlash* ShockwaveFlash1 = nullptr;
    TSpeedButton* Open = nullptr;
    TSpeedButton* CatchPicture = nullptr;
    TScrollBar* ScrollBar1 = nullptr;
    TCheckBox* CheckBox1 = nullptr;
    TSpeedButton* Play = nullptr;
    TStatusBar* StatusBar = nullptr;
    TTimer* Timer1 = nullptr;
    TButton* Button1 = nullptr;
    TOpenDialog* OpenDialog1 = nullptr;
    TMenuItem* MenuCatchPicture = nullptr;
    TMenuItem* N1 = nullptr;
    TMenuItem* Stop = nullptr;
    TMenuItem* MenuFile = nullptr;
    TMenuItem* MenuOpen = nullptr;
    TMenuItem* X1 = nullptr;
    TTimer* Timer2 = nullptr;
    TSaveDialog* SaveDialog1 = nullptr;

    // Event handlers.
    void ScrollBar1Scroll(TControl* sender, TScrollCode scrollCode, int& scrollPos);
    void Timer1Timer(TTimer* sender);
    void FormCanResize(TForm* sender, int& newWidth, int& newHeight, bool& resize);
    void FormShow(TForm* sender);
    void MenuStatusBarClick(TMenuItem* sender);
    void A1Click(TMenuItem* sender);
    void MenuToolBarClick(TMenuItem* sender);
    void CatchPictureClick(TControl* sender);
    void MenuCatchPictureClick(TMenuItem* sender);
    void N1Click(TMenuItem* sender);
    void StopClick(TMenuItem* sender);
    void MenuOpenClick(TMenuItem* sender);
    void X1Click(TMenuItem* sender);
    void OpenClick(TControl* sender);
    void PlayClick(TControl* sender);
    void Timer2Timer(TTimer* sender);
    void ScreenCap(int left, int top, int right, int bottom);

    // Opens the movie at `path` as the open command does once its dialog has answered:
    // the same steps, the same errors (they end the command at their step). The open
    // dialog then starts from that file.
    void OpenMovie(const QString& path);
    // Opens `path` through OpenMovie once the window has been shown (the movie named on
    // the command line); errors go to the error box.
    void OpenWhenShown(const QString& path);
    // The local .swf file a drag carries, if it carries exactly one; otherwise empty.
    static QString droppedMovie(const QMimeData* data);

protected:
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QString pendingMovie_;
    void loadLayout();
    void loadMenu();
    QString frameCounterText();
};

// The one main window of the process.
extern TMainForm* MainForm;

} // namespace lanfan
