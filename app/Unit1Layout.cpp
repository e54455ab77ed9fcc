#include "app/Unit1Layout.h"

#include <iterator>

namespace lanfan {

namespace {

using K = ComponentKind;

const ComponentRow kComponents[] = {
    {.name = "ToolBar", .kind = K::Panel, .parent = "", .bounds = {0, 0, 518, 49}, .align = TAlign::alTop,
     .tabOrder = 0},
    {.name = "Open", .kind = K::SpeedButton, .parent = "ToolBar", .bounds = {8, 4, 41, 41},
     .hint = QStringLiteral("打开"), .flat = true, .picture = ":/pictures/open.png", .onEvent = "OpenClick"},
    {.name = "CatchPicture", .kind = K::SpeedButton, .parent = "ToolBar", .bounds = {49, 4, 41, 41},
     .hint = QStringLiteral("截图"), .flat = true, .showHint = true, .parentShowHint = false,
     .picture = ":/pictures/monitor.png", .onEvent = "CatchPictureClick"},
    {.name = "Play", .kind = K::SpeedButton, .parent = "ToolBar", .bounds = {456, 13, 47, 22},
     .anchors = TAnchors::topRight(), .caption = QStringLiteral("播放"), .enabled = false, .onEvent = "PlayClick"},
    {.name = "ScrollBar1", .kind = K::ScrollBar, .parent = "ToolBar", .bounds = {112, 16, 313, 17},
     .anchors = TAnchors::leftTopRight(), .tabOrder = 0, .enabled = false,
     .onEvent = "ScrollBar1Scroll"},
    {.name = "CheckBox1", .kind = K::CheckBox, .parent = "ToolBar", .bounds = {432, 16, 17, 17},
     .anchors = TAnchors::topRight(), .hint = QStringLiteral("在拖动进度条时播放影片"), .tabOrder = 1,
     .checked = true, .tabStop = true},
    {.name = "ShockwaveFlash1", .kind = K::PlayerControl, .parent = "", .bounds = {0, 49, 518, 282},
     .align = TAlign::alClient, .tabOrder = 1, .tabStop = true},
    {.name = "StatusBar", .kind = K::StatusBar, .parent = "", .bounds = {0, 331, 518, 19},
     .align = TAlign::alBottom},
    {.name = "Button1", .kind = K::Button, .parent = "", .bounds = {272, 96, 75, 25},
     .caption = QStringLiteral("Button1"), .tabOrder = 3, .tabStop = true},
};

const MenuRow kMenu[] = {
    {.name = "MenuFile", .parent = "", .caption = QStringLiteral("文件(&F)")},
    {.name = "MenuOpen", .parent = "MenuFile", .caption = QStringLiteral("打开(&O)"), .shortcut = 16463,
     .picture = ":/pictures/open.png", .onClick = "MenuOpenClick"},
    {.name = "X1", .parent = "MenuFile", .caption = QStringLiteral("退出(&X)"), .shortcut = 27,
     .picture = ":/pictures/folder.png", .onClick = "X1Click"},
    {.name = "V1", .parent = "", .caption = QStringLiteral("查看(&V)")},
    {.name = "MenuToolBar", .parent = "V1", .caption = QStringLiteral("工具栏(&T)"), .checked = true,
     .onClick = "MenuToolBarClick"},
    {.name = "MenuStatusBar", .parent = "V1", .caption = QStringLiteral("状态栏(&S)"), .checked = true,
     .onClick = "MenuStatusBarClick"},
    {.name = "C1", .parent = "", .caption = QStringLiteral("控制(&C)")},
    {.name = "N1", .parent = "C1", .caption = QStringLiteral("播放(&P)"), .shortcut = 13, .onClick = "N1Click"},
    {.name = "Stop", .parent = "C1", .caption = QStringLiteral("停止(&S)"), .shortcut = 83, .onClick = "StopClick"},
    {.name = "F2", .parent = "", .caption = QStringLiteral("功能(&F)")},
    {.name = "MenuCatchPicture", .parent = "F2", .caption = QStringLiteral("截图"), .shortcut = 16451,
     .hint = QStringLiteral("截图"), .picture = ":/pictures/monitor.png", .onClick = "MenuCatchPictureClick"},
    {.name = "H1", .parent = "", .caption = QStringLiteral("帮助(&H)")},
    {.name = "A1", .parent = "H1", .caption = QStringLiteral("关于(&A)"), .picture = ":/pictures/book.png",
     .onClick = "A1Click"},
};

const StatusPanelRow kPanels[] = {
    {250, QString()},
    {190, QStringLiteral("当前帧：")},
};

const TimerRow kTimers[] = {
    {"Timer1", false, 1000, "Timer1Timer"},
    {"Timer2", true, 10, "Timer2Timer"},
};

const FileDialogRow kDialogs[] = {
    {"OpenDialog1", QStringLiteral("FLASH文件|*.Swf|所有文件夹|*.*")},
    {"SaveDialog1", QStringLiteral("位图|*.bmp")},
};

} // namespace

const MainFormLayout& mainFormLayout()
{
    static const MainFormLayout layout{QStringLiteral("澜帆FLASH播放器(雏形版)"),
                                       262,
                                       143,
                                       518,
                                       350,
                                       kComponents,
                                       std::size(kComponents),
                                       kMenu,
                                       std::size(kMenu),
                                       kPanels,
                                       std::size(kPanels),
                                       kTimers,
                                       std::size(kTimers),
                                       kDialogs,
                                       std::size(kDialogs),
                                       "FormShow",
                                       "FormCanResize"};
    return layout;
}

} // namespace lanfan
