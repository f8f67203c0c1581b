#include "AppIcons.h"

// The images live in a static library, whose resources the linker would otherwise drop.
static void LoadResources() {
  static const bool loaded = [] {
    Q_INIT_RESOURCE(resources);
    return true;
  }();
  (void)loaded;
}

// Pictures drawn at each size, from the same images as the desktop's icons: no SVG module
// is needed, which the Windows build does not have.
QIcon AppIcon() {
  LoadResources();
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QString(":/duskmend-%1.png").arg(size), QSize(size, size));
  return icon;
}

QPixmap SpherePixmap() {
  LoadResources();
  return QPixmap(":/sphere-32.png");
}
