#pragma once

#include <QIcon>
#include <QPixmap>

// The program's icon: a blue four-pointed star with a yellow centre.
QIcon AppIcon();
// The image of the About box: a shaded teal sphere, 32 by 32 pixels.
QPixmap SpherePixmap();
