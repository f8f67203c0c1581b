#include "AppIcons.h"

#include <QPainter>
#include <QSvgRenderer>

// The images live in a static library, whose resources the linker would otherwise drop.
static void LoadResources() {
  static const bool loaded = [] {
    Q_INIT_RESOURCE(resources);
    return true;
  }();
  (void)loaded;
}

namespace {

QPixmap Render(const QString& resource, int size) {
  LoadResources();
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(resource);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(Render(":/duskmend.svg", size));
  return icon;
}

QPixmap SpherePixmap() { return Render(":/sphere.svg", 32); }
