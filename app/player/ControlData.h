#pragma once

// The player control's persisted state as stored with the main window: a header with the
// control's extent, then sixteen typed values. The host hands the bytes over unread; the
// control reads them with parseControlData.
//
// The values, in order (what each means to our control):
//   0 Movie, 1 Src, 2 FlashVars         strings: a movie to load at start (none here)
//   3 WMode "Window"                    string: windowed drawing
//   4 Play true                         bool: start playing as soon as a movie loads
//   5 Loop true                         bool: go back to frame 1 after the last frame
//   6 Quality "High"                    string: Low, Medium, High, Best (anti-aliasing)
//   7 SAlign ""                         string: stage alignment (empty: centred)
//   8 Menu true                         bool: full context menu
//   9 Base ""                           string: base for relative addresses
//   10 AllowScriptAccess "always"       string: scripts may reach the host
//   11 Scale "ShowAll"                  string: ShowAll, NoBorder, ExactFit, NoScale
//   12 DeviceFont false                 bool: use device fonts for text
//   13 EmbedMovie false                 bool: the movie is not stored in the state
//   14 BGColor ""                       string: background override (empty: the movie's)
//   15 SWRemote ""                      string: unused

#include <QByteArray>
#include <QSize>
#include <QString>

#include <optional>

namespace lanfan {

struct ControlSettings {
    QSize extentHimetric{13705, 7461};
    QString movie;
    QString wmode = QStringLiteral("Window");
    bool play = true;
    bool loop = true;
    QString quality = QStringLiteral("High");
    QString salign;
    bool menu = true;
    QString base;
    QString allowScriptAccess = QStringLiteral("always");
    QString scale = QStringLiteral("ShowAll");
    bool deviceFont = false;
    bool embedMovie = false;
    QString bgColor;
};

// The 170 bytes stored with the main window.
QByteArray mainWindowControlData();
// Reads persisted state; nullopt when the bytes are not in this layout.
std::optional<ControlSettings> parseControlData(const QByteArray& data);

} // namespace lanfan
