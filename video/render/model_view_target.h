#pragma once
// The drag functions' view target straight on a projection model, for pictures drawn without
// a player (the render command, tests): drags and commits go to the model, the picture is
// taken as paused and nothing needs repainting.

#include "video/render/sphere_model.h"
#include "video/render/view_control.h"

namespace tavrilo {

class ModelViewTarget : public ViewTarget {
  public:
    explicit ModelViewTarget(CSphereModel& model) : model_(model) {}
    bool Ready() const override { return true; }
    bool DragView(float dx, float dy, float zoom) override {
        return model_.Drag(dx, dy, zoom) != 0;
    }
    void CommitDrag() override { model_.CommitDrag(); }
    void Repaint() override {}
    int32_t PlayState() const override { return 3; }

  private:
    CSphereModel& model_;
};

}  // namespace tavrilo
