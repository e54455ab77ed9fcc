#include "app/Unit1.h"

#include "app/Unit1Layout.h"
#include "app/Unit2.h"
#include "app/Resources.h"
#include "app/player/ControlData.h"

#include "toolkit/Accessible.h"
#include "toolkit/Application.h"
#include "toolkit/ScreenGrab.h"
#include "toolkit/TBitmap.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QMap>
#include <QMimeData>
#include <QTimer>

namespace lanfan {

TMainForm* MainForm = nullptr;

namespace {
const QString kPlayCaption = QStringLiteral("播放");
const QString kStopCaption = QStringLiteral("停止");
const QString kFrameCounterPrefix = QStringLiteral("当前帧：");

QImage picture(const char* resource)
{
    return resource ? QImage(QString::fromLatin1(resource)) : QImage();
}
} // namespace

TMainForm::TMainForm(QWidget* owner) : TForm(owner)
{
    ensureResources();
    setObjectName(QStringLiteral("MainForm"));
    setLoading(true);
    loadMenu();
    loadLayout();
    setLoading(false);
    // What the movie plays on through is told in the hint panel of the status bar.
    if (ShockwaveFlash1 && ShockwaveFlash1->control()) {
        ShockwaveFlash1->control()->SetNoticeSink([this](const QString& text) {
            if (StatusBar)
                StatusBar->SetPanelText(0, text);
        });
    }
    // A .swf file dropped anywhere on the window opens as the open command would.
    setAcceptDrops(true);
}

TMainForm::~TMainForm()
{
    setLoading(true);
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::loadMenu()
{
    const MainFormLayout& layout = mainFormLayout();
    const QMap<QString, TMenuItem**> fields{
        {"MenuFile", &MenuFile}, {"MenuOpen", &MenuOpen}, {"X1", &X1},
        {"V1", &V1},             {"MenuToolBar", &MenuToolBar}, {"MenuStatusBar", &MenuStatusBar},
        {"C1", &C1},             {"N1", &N1},           {"Stop", &Stop},
        {"F2", &F2},             {"MenuCatchPicture", &MenuCatchPicture}, {"H1", &H1},
        {"A1", &A1},
    };
    const QMap<QString, void (TMainForm::*)(TMenuItem*)> handlers{
        {"MenuOpenClick", &TMainForm::MenuOpenClick},
        {"X1Click", &TMainForm::X1Click},
        {"MenuToolBarClick", &TMainForm::MenuToolBarClick},
        {"MenuStatusBarClick", &TMainForm::MenuStatusBarClick},
        {"N1Click", &TMainForm::N1Click},
        {"StopClick", &TMainForm::StopClick},
        {"MenuCatchPictureClick", &TMainForm::MenuCatchPictureClick},
        {"A1Click", &TMainForm::A1Click},
    };
    MainMenu1 = new TMainMenu(this);
    MainMenu1->Name = QStringLiteral("MainMenu1");
    QMap<QString, TMenuItem*> byName;
    for (size_t i = 0; i < layout.menuCount; ++i) {
        const MenuRow& row = layout.menu[i];
        auto* item = new TMenuItem(this);
        item->Name = QString::fromLatin1(row.name);
        item->SetCaption(row.caption);
        item->SetShortCut(row.shortcut);
        item->SetChecked(row.checked);
        item->Hint = row.hint;
        if (row.picture)
            item->SetPicture(QIcon(QPixmap::fromImage(withTransparentColour(picture(row.picture)))));
        if (row.onClick) {
            auto handler = handlers.value(QString::fromLatin1(row.onClick));
            item->OnClick = [this, handler](TMenuItem* sender) { (this->*handler)(sender); };
        }
        QString parent = QString::fromLatin1(row.parent);
        if (parent.isEmpty())
            MainMenu1->Add(item);
        else
            byName.value(parent)->Add(item);
        byName.insert(item->Name, item);
        *fields.value(item->Name) = item;
    }
    SetMenu(MainMenu1);
}

void TMainForm::loadLayout()
{
    const MainFormLayout& layout = mainFormLayout();
    SetCaption(layout.caption);
    SetStoredPlacement(layout.left, layout.top, layout.clientWidth, layout.clientHeight);

    const QMap<QString, TSpeedButton**> speedButtons{{"Open", &Open}, {"CatchPicture", &CatchPicture}, {"Play", &Play}};
    const QMap<QString, void (TMainForm::*)(TControl*)> clickHandlers{
        {"OpenClick", &TMainForm::OpenClick},
        {"CatchPictureClick", &TMainForm::CatchPictureClick},
        {"PlayClick", &TMainForm::PlayClick},
    };
    QMap<QString, QWidget*> containers{{QString(), &client()}};
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (size_t i = 0; i < layout.componentCount; ++i) {
        const ComponentRow& row = layout.components[i];
        QWidget* parent = containers.value(QString::fromLatin1(row.parent));
        const QString name = QString::fromLatin1(row.name);
        const QString event = row.onEvent ? QString::fromLatin1(row.onEvent) : QString();
        TControl* control = nullptr;
        switch (row.kind) {
        case ComponentKind::Panel: {
            auto* panel = new TPanel(parent);
            panel->SetBevels(TBevelCut::bvRaised, TBevelCut::bvNone, 1);
            setAccessibleRole(*panel, QAccessible::ToolBar);
            panel->setAccessibleName(QStringLiteral("工具栏"));
            containers.insert(name, panel);
            ToolBar = panel;
            control = panel;
            break;
        }
        case ComponentKind::SpeedButton: {
            auto* button = new TSpeedButton(parent);
            button->SetFlat(row.flat);
            if (row.picture)
                button->SetGlyph(picture(row.picture));
            button->SetCaption(row.caption);
            // A picture-only button is read out by its hint; one with a caption by the
            // caption it shows at the moment.
            if (row.caption.isEmpty())
                button->setAccessibleName(row.hint);
            if (auto handler = clickHandlers.value(event))
                button->OnClick = [this, handler](TControl* sender) { (this->*handler)(sender); };
            *speedButtons.value(name) = button;
            control = button;
            break;
        }
        case ComponentKind::ScrollBar: {
            auto* bar = new TScrollBar(parent);
            if (event == QLatin1String("ScrollBar1Scroll"))
                bar->OnScroll = [this](TControl* s, TScrollCode code, int& pos) { ScrollBar1Scroll(s, code, pos); };
            bar->setAccessibleName(QStringLiteral("进度条"));
            ScrollBar1 = bar;
            control = bar;
            break;
        }
        case ComponentKind::CheckBox: {
            auto* box = new TCheckBox(parent);
            box->SetChecked(row.checked);
            box->setAccessibleName(row.hint);
            CheckBox1 = box;
            control = box;
            break;
        }
        case ComponentKind::PlayerControl: {
            auto* host = new TShockwaveFlash(parent);
            host->CreateControl(mainWindowControlData());
            ShockwaveFlash1 = host;
            control = host;
            break;
        }
        case ComponentKind::StatusBar: {
            auto* bar = new TStatusBar(parent);
            bar->AutoHint = true;
            for (size_t p = 0; p < layout.panelCount; ++p)
                bar->AddPanel(layout.panels[p].width, layout.panels[p].text);
            bar->setAccessibleName(QStringLiteral("状态栏"));
            // A panel is read by its text; what it is for, by its description.
            bar->panelWidget(0)->setAccessibleDescription(QStringLiteral("提示"));
            bar->panelWidget(1)->setAccessibleDescription(QStringLiteral("帧计数"));
            StatusBar = bar;
            control = bar;
            break;
        }
        case ComponentKind::Button: {
            auto* button = new TButton(parent);
            button->SetCaption(row.caption);
            button->SetTabStop(row.tabStop);
            Button1 = button;
            control = button;
            break;
        }
        }
        control->Name = name;
        control->widget().setObjectName(name);
        control->Hint = row.hint;
        control->ShowHint = row.showHint;
        control->ParentShowHint = row.parentShowHint;
        control->Align = row.align;
        control->Anchors = row.anchors;
        control->SetBounds(row.bounds.x(), row.bounds.y(), row.bounds.width(), row.bounds.height());
        control->widget().setEnabled(row.enabled);
        if (!row.tabStop && row.kind != ComponentKind::Panel)
            control->widget().setFocusPolicy(Qt::NoFocus);
        if (row.tabOrder >= 0 && row.tabStop)
            tabOrder.emplace_back(row.tabOrder, &control->widget());
        control->widget().show();
    }
    TControl::alignChildren(client());
    TControl::alignChildren(*ToolBar);
    // Tab order across the window follows the stored order numbers.
    std::stable_sort(tabOrder.begin(), tabOrder.end(), [](auto& a, auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);

    for (size_t i = 0; i < layout.dialogCount; ++i) {
        const FileDialogRow& row = layout.dialogs[i];
        if (QLatin1String(row.name) == QLatin1String("OpenDialog1")) {
            OpenDialog1 = new TOpenDialog(this);
            OpenDialog1->setFilter(row.filter);
        } else {
            SaveDialog1 = new TSaveDialog(this);
            SaveDialog1->setFilter(row.filter);
        }
    }

    OnShow = [this](TForm* s) { FormShow(s); };
    OnCanResize = [this](TForm* s, int& w, int& h, bool& r) { FormCanResize(s, w, h, r); };

    for (size_t i = 0; i < layout.timerCount; ++i) {
        const TimerRow& row = layout.timers[i];
        auto* timer = new TTimer(this);
        timer->Name = QString::fromLatin1(row.name);
        timer->SetEnabled(row.enabled);
        timer->SetInterval(row.interval);
        bool first = QLatin1String(row.onTimer) == QLatin1String("Timer1Timer");
        (first ? Timer1 : Timer2) = timer;
        // Wiring the handler arms an enabled timer; a refused one fails construction.
        timer->SetOnTimer([this, first](TTimer* s) { first ? Timer1Timer(s) : Timer2Timer(s); });
    }
}

// ---- Opening a movie -------------------------------------------------------------

void TMainForm::OpenClick(TControl*)
{
    MenuOpen->Click();
}

void TMainForm::MenuOpenClick(TMenuItem*)
{
    if (!OpenDialog1->Execute())
        return;
    OpenMovie(OpenDialog1->fileName());
}

void TMainForm::OpenMovie(const QString& path)
{
    OpenDialog1->setFileName(path);
    // Paths stay Unicode from the dialog to the control.
    ShockwaveFlash1->SetMovie(path);
    ScrollBar1->SetMin(1);
    ScrollBar1->SetMax(ShockwaveFlash1->FrameCount());
    ShockwaveFlash1->StartPlayback();
    ScrollBar1->SetEnabled(true);
    Timer1->SetEnabled(true);
    Play->SetEnabled(true);
}

void TMainForm::OpenWhenShown(const QString& path)
{
    pendingMovie_ = path;
    if (isVisible())
        showEvent(nullptr);
}

void TMainForm::showEvent(QShowEvent* event)
{
    if (event)
        TForm::showEvent(event);
    if (pendingMovie_.isEmpty())
        return;
    // After the window has come up (and drawn itself): an error box then has the
    // window to stand on, and the player control has been activated.
    QTimer::singleShot(0, this, [this, path = std::exchange(pendingMovie_, QString())] {
        Application->guard([&] { OpenMovie(path); });
    });
}

QString TMainForm::droppedMovie(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return {};
    QString path = urls.front().toLocalFile();
    return path.endsWith(QLatin1String(".swf"), Qt::CaseInsensitive) ? path : QString();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedMovie(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (!droppedMovie(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    QString path = droppedMovie(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // The drop ends first (the source waits for it); the movie opens right after.
    QTimer::singleShot(0, this, [this, path] { Application->guard([&] { OpenMovie(path); }); });
}

void TMainForm::X1Click(TMenuItem*)
{
    Close();
}

// ---- Playback and frame tracking ---------------------------------------------------

void TMainForm::PlayClick(TControl*)
{
    if (ShockwaveFlash1->Playing()) {
        ShockwaveFlash1->StopPlayback();
        return;
    }
    ShockwaveFlash1->StartPlayback();
    Timer1->SetEnabled(true);
}

void TMainForm::N1Click(TMenuItem*)
{
    ShockwaveFlash1->StartPlayback();
}

void TMainForm::StopClick(TMenuItem*)
{
    ShockwaveFlash1->StopPlayback();
}

void TMainForm::Timer2Timer(TTimer*)
{
    Play->SetCaption(ShockwaveFlash1->Playing() ? kStopCaption : kPlayCaption);
}

QString TMainForm::frameCounterText()
{
    int32_t current = ShockwaveFlash1->QueryCurrentFrame();
    int32_t total = ShockwaveFlash1->FrameCount();
    return kFrameCounterPrefix + QString::number(current) + QLatin1Char('/') + QString::number(total);
}

void TMainForm::Timer1Timer(TTimer*)
{
    ScrollBar1->SetPosition(ShockwaveFlash1->QueryCurrentFrame());
    StatusBar->SetPanelText(1, frameCounterText());
}

void TMainForm::ScrollBar1Scroll(TControl*, TScrollCode, int&)
{
    if (CheckBox1->Checked()) {
        Timer1->SetEnabled(true);
    } else {
        Timer1->SetEnabled(false);
        ShockwaveFlash1->StopPlayback();
    }
    // The position as it stood before this notification: each seek goes where the
    // previous notification left the bar, and the closing one where the user ended.
    ShockwaveFlash1->SeekToFrame(ScrollBar1->Position());
    if (CheckBox1->Checked())
        ShockwaveFlash1->StartPlayback();
    StatusBar->SetPanelText(1, frameCounterText());
}

// ---- View commands and focus ------------------------------------------------------

void TMainForm::MenuToolBarClick(TMenuItem*)
{
    if (ToolBar->Visible()) {
        ToolBar->SetVisible(false);
        MenuToolBar->SetChecked(false);
    } else {
        MenuToolBar->SetChecked(true);
        ToolBar->SetVisible(true);
    }
}

void TMainForm::MenuStatusBarClick(TMenuItem*)
{
    if (StatusBar->Visible()) {
        StatusBar->SetVisible(false);
        MenuStatusBar->SetChecked(false);
    } else {
        MenuStatusBar->SetChecked(true);
        StatusBar->SetVisible(true);
    }
}

void TMainForm::FormShow(TForm*)
{
    Button1->SetTop(-300);
}

void TMainForm::FormCanResize(TForm*, int&, int&, bool&)
{
    FocusControl(*Button1);
    FocusControl(*ShockwaveFlash1);
}

// ---- Capture ------------------------------------------------------------------------

void TMainForm::MenuCatchPictureClick(TMenuItem*)
{
    CatchPicture->Click();
}

void TMainForm::CatchPictureClick(TControl*)
{
    QRect client = ShockwaveFlash1->rect();
    QPoint origin = ShockwaveFlash1->mapToGlobal(client.topLeft());
    ScreenCap(origin.x(), origin.y(), origin.x() + client.width(), origin.y() + client.height());
}

void TMainForm::ScreenCap(int left, int top, int right, int bottom)
{
    int width = right - left;
    int height = bottom - top;
    // Grab first: the picture is what the screen shows now, before any dialog opens.
    TBitmap image;
    image.setHandle(grabScreen(QRect(left, top, width, height)), displayBitsPerPixel());
    // A player area with no width or height (a window made tiny) has nothing to save:
    // say so at once instead of asking for a name.
    image.CheckNotEmpty();
    if (!SaveDialog1->Execute())
        return;
    image.SaveToFile(SaveDialog1->fileName() + QStringLiteral(".bmp"));
}

// ---- About --------------------------------------------------------------------------

void TMainForm::A1Click(TMenuItem*)
{
    AboutBox->ShowModal();
}

} // namespace lanfan
