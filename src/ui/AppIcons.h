#pragma once

#include <QIcon>
#include <QPixmap>

namespace velmora {

// The program's desktop identity: the name of its installed desktop entry (without ".desktop")
// and of its icon in the icon theme; cmake/Install.cmake installs the files under this name.
inline constexpr const char* kDesktopAppId = "org.example.Velmora";

// The pictures our buttons carry (16 x 16, each with its own disabled form).
enum class ButtonGlyph {
  About,           // "关于"
  HomePage,        // "主页"
  ThumbnailOne,    // "生成当前图片缩略图"
  ThumbnailBatch,  // "批量生成当前目录图片缩略图"
  ChooseFolder,    // "..."
};

// The program icon at every drawn size, for the window icon and the task bar.
QIcon applicationIcon();

// The program icon drawn at one of its sizes (16, 32, 48, 64, 128, 256).
QPixmap applicationPixmap(int size);

// Gives the application our icon for every window and ties its windows to the installed desktop
// entry, so task bars and docks show the right name and icon. Call once after the application
// object exists.
void setupApplicationIdentity();

// A button glyph whose disabled mode shows our grey picture rather than Qt's generated one.
QIcon buttonGlyph(ButtonGlyph glyph);

}  // namespace velmora
