#pragma once
// The OpenGL 3.3 side of drawing: the shader that turns the frame's YUV planes into colour as it
// samples them, the frame's plane textures, static mesh buffers, and the render target the
// picture is drawn into. Every call needs the canvas's context current on the calling thread.

#include <QImage>
#include <QOpenGLFunctions_3_3_Core>
#include <QRect>
#include <cstdint>
#include <vector>

#include "video/frames/video_frame.h"
#include "video/render/projection.h"

namespace tavrilo {

class GlCanvas : protected QOpenGLFunctions_3_3_Core {
  public:
    GlCanvas() = default;
    ~GlCanvas() = default;  // Release() frees the GL objects while the context is current
    GlCanvas(const GlCanvas&) = delete;
    GlCanvas& operator=(const GlCanvas&) = delete;

    // Resolves the functions and builds the shader; false without an OpenGL 3.3 context.
    bool Initialize();
    bool initialized() const { return program_ != 0; }
    void Release();
    // Forgets every object without deleting it: the context they lived in is gone.
    void Forget();

    // The render target: colour plus depth and stencil, `width` x `height` pixels. Its buffers
    // are made when it is first drawn into or read: a picture drawn straight into a window
    // never needs them, and at a large frame's size they take long to make. False for an empty
    // size.
    bool ResizeTarget(int width, int height);
    int targetWidth() const { return targetWidth_; }
    int targetHeight() const { return targetHeight_; }

    // Where BeginFrame and the draws after it go: the render target above, or the rectangle
    // `picture` (rows from the top) of a `width` x `height` window framebuffer, whose colour,
    // depth and stencil must all be there.
    void DrawIntoTarget();
    void DrawIntoWindow(GLuint framebuffer, int width, int height, const QRect& picture);
    // Whether `framebuffer` (0: the window the context is current on) has depth and stencil.
    bool HasDepthAndStencil(GLuint framebuffer);

    // The frame's planes; textures follow the frame's size. The frame uploaded last is not
    // copied again.
    bool UploadFrame(const VideoFrame& frame);
    // Makes the plane textures for frames of this size ahead of the first one.
    void ReserveFrame(int width, int height);
    bool hasFrame() const { return frameWidth_ > 0; }

    // A mesh drawn through indices.
    struct Mesh {
        GLuint vao = 0, vbo = 0, ibo = 0;
        GLsizei count = 0;  // indices
    };
    Mesh CreateScreenMesh(const IndexedScreenMesh& mesh);
    Mesh CreateSphereMesh(const SphereMesh& mesh);
    void DestroyMesh(Mesh& mesh);

    // The camera and world transforms of the next draws (row-major, row vectors).
    void SetTransforms(const Mat4& view, const Mat4& projection, const Mat4& world);

    // Clears colour to opaque black (a window: all of it) and sets the fixed state: no culling,
    // no blending. `layered` (meshes that overlap themselves) adds the depth test and a stencil
    // test that lets each pixel be written once, with depth cleared to 1 and stencil to 0.
    void BeginFrame(bool layered);
    void Draw(const Mesh& mesh);

    // Copies the render target, scaled, into (x0, y0)-(x1, y1) of framebuffer `target`
    // (0 is the window's), clearing the rest of a `width` x `height` target to black.
    void BlitTo(GLuint target, int width, int height, int x0, int y0, int x1, int y1);

    // Waits until the GPU has finished every command given so far (for timing).
    void Finish() { glFinish(); }

    // The render target as an image (top row first).
    QImage ReadTarget();

  private:
    bool BuildProgram();
    // Vertices of `stride` bytes, the position (three floats) first and the texture coordinate
    // (two) at `uvOffset`.
    Mesh CreateMesh(const void* vertices, size_t bytes, GLsizei stride, size_t uvOffset,
                    const std::vector<uint32_t>& indices);
    // Makes the render target's buffers at the size asked for; false when incomplete.
    bool MakeTarget();

    GLuint program_ = 0;
    GLint worldAt_ = -1, viewAt_ = -1, projectionAt_ = -1, limitedAt_ = -1, bt709At_ = -1;
    std::array<GLuint, 3> planeTextures_{};
    int frameWidth_ = 0, frameHeight_ = 0;      // the frame in the textures (0: none)
    int textureWidth_ = 0, textureHeight_ = 0;  // the size the textures were made for
    bool fullRange_ = false, bt709_ = false;
    std::weak_ptr<void> uploaded_;  // the buffer the planes came from
    int64_t uploadedIndex_ = -1;
    struct Destination {
        GLuint framebuffer = 0;  // 0 with `window` false: the render target
        bool window = false;
        int width = 0, height = 0;
        QRect picture;
    } destination_;
    GLuint fbo_ = 0, colour_ = 0, depthStencil_ = 0;
    int targetWidth_ = 0, targetHeight_ = 0;  // asked for
    int madeWidth_ = 0, madeHeight_ = 0;      // what the buffers hold (0: not made)
    bool targetComplete_ = false;
};

}  // namespace tavrilo
