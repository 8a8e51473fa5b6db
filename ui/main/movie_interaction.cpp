#include "ui/main/movie_interaction.h"

#include <cmath>
#include <cstdlib>

namespace tavrilo {

bool StartsMomentum(QPoint press, QPoint release, int vx, int vy) {
    const double dx = release.x() - press.x();
    const double dy = release.y() - press.y();
    const double dot = dx * vx + dy * vy;
    const double lengths = (dx * dx + dy * dy) * (double(vx) * vx + double(vy) * vy);
    return lengths > 0 && dot / std::sqrt(lengths) > 0.8660254037844386;
}

bool MomentumStep(CMoment& m, int viewMode) {
    if (std::abs(m.vx) <= 3 && std::abs(m.vy) <= 3) {
        return false;
    }
    if (m.vx != 0) {
        m.vx = static_cast<int32_t>(static_cast<float>(m.vx) * 0.99f);
    }
    if (m.vy != 0) {
        m.vy = static_cast<int32_t>(static_cast<float>(m.vy) * 0.99f);
    }
    m.accX += m.vx;
    m.accY += m.vy;
    if (viewMode == 4) {
        m.vy = 0;
        m.accY = 0;
        m.accX /= 2;
    }
    return true;
}

void ZoomState::Reset(QPoint layoutCentre) {
    centre = point = layoutCentre;
    offset = QPoint(0, 0);
    factor = 1.0f;
}

void ZoomState::Step(QPoint click, const QRect& picture, const QRect& client, QPoint layoutCentre) {
    // The x rule takes right edges where the y rule takes top edges, as the recorder's viewer
    // computed it.
    const float z = factor;
    const int pictureRight = picture.left() + picture.width();
    const int clientRight = client.left() + client.width();
    const int x = click.x() -
                  static_cast<int>(std::trunc((click.x() * (z - 1) + pictureRight) / z)) +
                  clientRight;
    const int y = click.y() -
                  static_cast<int>(std::trunc((click.y() * (z - 1) + picture.top()) / z)) +
                  client.top();
    centre = QPoint(x, y);
    offset = QPoint(click.x() - x, click.y() - y);
    factor += 1.0f;
    if (factor > 3.0f) {
        Reset(layoutCentre);
    }
    point = click;
}

}  // namespace tavrilo
