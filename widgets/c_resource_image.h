#pragma once
// The skin's images by number. The images are drawn at build time and compiled into the
// program; a number the skin does not have yields a null image, and whoever draws skips it.
//
// Qt draws every widget into its backing store before it reaches the screen, so the
// off-screen surfaces the windows once needed against flicker are not needed here.

#include <QImage>
#include <QPixmap>

namespace tavrilo {

class CResourceImage {
  public:
    // The image of `number`; null when the skin has none. Window thread only.
    static const QPixmap& Pixmap(int number);
    static QImage Image(int number);
    // Frame `frame` (0-based) of a strip of frames `size` wide, side by side; null when the
    // strip or the frame is missing.
    static QPixmap Frame(int number, int frame, QSize size);
};

}  // namespace tavrilo
