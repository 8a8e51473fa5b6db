#include "video/render/gl_canvas.h"

#include <QOpenGLContext>
#include <cstddef>

namespace tavrilo {
namespace {

constexpr const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texCoord;
uniform mat4 world;
uniform mat4 view;
uniform mat4 projection;
out vec2 uv;
void main() {
    // The matrices arrive row-major for row vectors, which GLSL reads as their transposes:
    // projection * view * world * p is p * world * view * projection.
    gl_Position = projection * view * world * vec4(position, 1.0);
    uv = texCoord;
}
)";

constexpr const char* kFragmentShader = R"(#version 330 core
in vec2 uv;
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
uniform bool limitedRange;
uniform bool bt709;
out vec4 colour;
void main() {
    float y = texture(planeY, uv).r;
    float u = texture(planeU, uv).r - 0.5;
    float v = texture(planeV, uv).r - 0.5;
    if (limitedRange) {
        y = (y - 16.0 / 255.0) * (255.0 / 219.0);
        u *= 255.0 / 224.0;
        v *= 255.0 / 224.0;
    }
    vec3 rgb = bt709 ? vec3(y + 1.5748 * v, y - 0.1873 * u - 0.4681 * v, y + 1.8556 * u)
                     : vec3(y + 1.402 * v, y - 0.344136 * u - 0.714136 * v, y + 1.772 * u);
    colour = vec4(clamp(rgb, 0.0, 1.0), 1.0);
}
)";

// A plane's width or height: the chroma planes are half the picture's, rounded up.
int PlaneSize(int plane, int pictureSize) {
    return plane == 0 ? pictureSize : (pictureSize + 1) / 2;
}

}  // namespace

bool GlCanvas::Initialize() {
    QOpenGLContext* ctx = QOpenGLContext::currentContext();
    if (ctx == nullptr || ctx->format().version() < qMakePair(3, 3) ||
        !initializeOpenGLFunctions()) {
        return false;
    }
    return BuildProgram();
}

bool GlCanvas::BuildProgram() {
    auto compile = [this](GLenum type, const char* source) -> GLuint {
        const GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            glDeleteShader(shader);
            return 0;
        }
        return shader;
    };
    const GLuint vs = compile(GL_VERTEX_SHADER, kVertexShader);
    const GLuint fs = compile(GL_FRAGMENT_SHADER, kFragmentShader);
    if (vs == 0 || fs == 0) {
        return false;
    }
    program_ = glCreateProgram();
    glAttachShader(program_, vs);
    glAttachShader(program_, fs);
    glLinkProgram(program_);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(program_, GL_LINK_STATUS, &linked);
    if (!linked) {
        glDeleteProgram(program_);
        program_ = 0;
        return false;
    }
    worldAt_ = glGetUniformLocation(program_, "world");
    viewAt_ = glGetUniformLocation(program_, "view");
    projectionAt_ = glGetUniformLocation(program_, "projection");
    limitedAt_ = glGetUniformLocation(program_, "limitedRange");
    bt709At_ = glGetUniformLocation(program_, "bt709");
    glUseProgram(program_);
    glUniform1i(glGetUniformLocation(program_, "planeY"), 0);
    glUniform1i(glGetUniformLocation(program_, "planeU"), 1);
    glUniform1i(glGetUniformLocation(program_, "planeV"), 2);
    glGenTextures(3, planeTextures_.data());
    for (GLuint t : planeTextures_) {
        glBindTexture(GL_TEXTURE_2D, t);
        // The frame's first texture coordinate is clamped at the edges, the second wraps.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    return true;
}

void GlCanvas::Release() {
    if (program_ == 0) {
        return;
    }
    glDeleteTextures(3, planeTextures_.data());
    planeTextures_ = {};
    glDeleteProgram(program_);
    program_ = 0;
    if (fbo_ != 0) {
        glDeleteFramebuffers(1, &fbo_);
        glDeleteRenderbuffers(1, &colour_);
        glDeleteRenderbuffers(1, &depthStencil_);
        fbo_ = colour_ = depthStencil_ = 0;
    }
    Forget();
}

void GlCanvas::Forget() {
    program_ = 0;
    planeTextures_ = {};
    fbo_ = colour_ = depthStencil_ = 0;
    frameWidth_ = frameHeight_ = targetWidth_ = targetHeight_ = 0;
    madeWidth_ = madeHeight_ = 0;
    targetComplete_ = false;
    textureWidth_ = textureHeight_ = 0;
    uploaded_.reset();
    uploadedIndex_ = -1;
    destination_ = {};
}

bool GlCanvas::ResizeTarget(int width, int height) {
    if (width <= 0 || height <= 0) {
        return false;
    }
    targetWidth_ = width;
    targetHeight_ = height;
    return true;
}

bool GlCanvas::MakeTarget() {
    if (targetWidth_ <= 0 || targetHeight_ <= 0) {
        return false;
    }
    if (fbo_ != 0 && madeWidth_ == targetWidth_ && madeHeight_ == targetHeight_) {
        return targetComplete_;
    }
    if (fbo_ == 0) {
        glGenFramebuffers(1, &fbo_);
        glGenRenderbuffers(1, &colour_);
        glGenRenderbuffers(1, &depthStencil_);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, colour_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, targetWidth_, targetHeight_);
    glBindRenderbuffer(GL_RENDERBUFFER, depthStencil_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, targetWidth_, targetHeight_);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              depthStencil_);
    madeWidth_ = targetWidth_;
    madeHeight_ = targetHeight_;
    targetComplete_ = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    return targetComplete_;
}

void GlCanvas::DrawIntoTarget() {
    destination_ = {};
}

void GlCanvas::DrawIntoWindow(GLuint framebuffer, int width, int height, const QRect& picture) {
    destination_ = {framebuffer, true, width, height, picture};
}

bool GlCanvas::HasDepthAndStencil(GLuint framebuffer) {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    // The window's own framebuffer names its buffers, an object its attachment points.
    const GLenum depthAt = framebuffer == 0 ? GL_DEPTH : GL_DEPTH_ATTACHMENT;
    const GLenum stencilAt = framebuffer == 0 ? GL_STENCIL : GL_STENCIL_ATTACHMENT;
    GLint type = GL_NONE, depth = 0, stencil = 0;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, depthAt,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
    if (type != GL_NONE) {
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, depthAt,
                                              GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depth);
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, stencilAt,
                                              GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE, &stencil);
    }
    glGetError();  // a framebuffer without the buffer may report an enum error
    return depth > 0 && stencil > 0;
}

void GlCanvas::ReserveFrame(int width, int height) {
    if (program_ == 0 || width <= 0 || height <= 0 ||
        (width == textureWidth_ && height == textureHeight_)) {
        return;
    }
    for (int p = 0; p < 3; ++p) {
        glActiveTexture(GL_TEXTURE0 + p);
        glBindTexture(GL_TEXTURE_2D, planeTextures_[p]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, PlaneSize(p, width), PlaneSize(p, height), 0, GL_RED,
                     GL_UNSIGNED_BYTE, nullptr);
    }
    textureWidth_ = width;
    textureHeight_ = height;
}

bool GlCanvas::UploadFrame(const VideoFrame& f) {
    if (program_ == 0 || f.width <= 0 || f.height <= 0 || f.planes[0] == nullptr) {
        return false;
    }
    // The same buffer (one control block, still alive) holds the same picture.
    const bool sameBuffer = f.owner && !uploaded_.expired() && !uploaded_.owner_before(f.owner) &&
                            !f.owner.owner_before(uploaded_);
    if (sameBuffer && f.index == uploadedIndex_ && f.width == frameWidth_ &&
        f.height == frameHeight_) {
        return true;
    }
    ReserveFrame(f.width, f.height);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int p = 0; p < 3; ++p) {
        glActiveTexture(GL_TEXTURE0 + p);
        glBindTexture(GL_TEXTURE_2D, planeTextures_[p]);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, f.strides[p]);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, PlaneSize(p, f.width), PlaneSize(p, f.height),
                        GL_RED, GL_UNSIGNED_BYTE, f.planes[p]);
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    frameWidth_ = f.width;
    frameHeight_ = f.height;
    uploaded_ = f.owner;
    uploadedIndex_ = f.index;
    fullRange_ = f.fullRange;
    bt709_ = f.bt709;
    return true;
}

GlCanvas::Mesh GlCanvas::CreateScreenMesh(const IndexedScreenMesh& mesh) {
    return CreateMesh(mesh.vertices.data(), mesh.vertices.size() * sizeof(ScreenVertex),
                      sizeof(ScreenVertex), offsetof(ScreenVertex, u), mesh.indices);
}

GlCanvas::Mesh GlCanvas::CreateSphereMesh(const SphereMesh& mesh) {
    return CreateMesh(mesh.vertices.data(), mesh.vertices.size() * sizeof(SphereVertex),
                      sizeof(SphereVertex), offsetof(SphereVertex, u), mesh.indices);
}

GlCanvas::Mesh GlCanvas::CreateMesh(const void* vertices, size_t bytes, GLsizei stride,
                                    size_t uvOffset, const std::vector<uint32_t>& indices) {
    Mesh m;
    glGenVertexArrays(1, &m.vao);
    glBindVertexArray(m.vao);
    glGenBuffers(1, &m.vbo);
    glBindBuffer(GL_ARRAY_BUFFER, m.vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), vertices, GL_STATIC_DRAW);
    glGenBuffers(1, &m.ibo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m.ibo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(indices.size() * sizeof(uint32_t)), indices.data(),
                 GL_STATIC_DRAW);
    // Position first, then the texture coordinate.
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(uvOffset));
    glBindVertexArray(0);
    m.count = static_cast<GLsizei>(indices.size());
    return m;
}

void GlCanvas::DestroyMesh(Mesh& m) {
    if (m.vao != 0) {
        glDeleteVertexArrays(1, &m.vao);
        glDeleteBuffers(1, &m.vbo);
        glDeleteBuffers(1, &m.ibo);
    }
    m = Mesh{};
}

void GlCanvas::SetTransforms(const Mat4& view, const Mat4& projection, const Mat4& world) {
    glUseProgram(program_);
    glUniformMatrix4fv(viewAt_, 1, GL_FALSE, view.data());
    glUniformMatrix4fv(projectionAt_, 1, GL_FALSE, projection.data());
    glUniformMatrix4fv(worldAt_, 1, GL_FALSE, world.data());
}

void GlCanvas::BeginFrame(bool layered) {
    if (destination_.window) {
        const Destination& d = destination_;
        glBindFramebuffer(GL_FRAMEBUFFER, d.framebuffer);
        // Window rows count from the bottom.
        glViewport(d.picture.left(), d.height - d.picture.top() - d.picture.height(),
                   d.picture.width(), d.picture.height());
    } else {
        MakeTarget();
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        glViewport(0, 0, targetWidth_, targetHeight_);
    }
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glClearColor(0, 0, 0, 1);
    if (!layered) {
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_STENCIL_TEST);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_STENCIL_TEST);
    glStencilMask(0xFF);
    glStencilFunc(GL_EQUAL, 0, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void GlCanvas::Draw(const Mesh& mesh) {
    if (mesh.vao == 0 || !hasFrame()) {
        return;
    }
    glUseProgram(program_);
    glUniform1i(limitedAt_, fullRange_ ? 0 : 1);
    glUniform1i(bt709At_, bt709_ ? 1 : 0);
    for (int p = 0; p < 3; ++p) {
        glActiveTexture(GL_TEXTURE0 + p);
        glBindTexture(GL_TEXTURE_2D, planeTextures_[p]);
    }
    glBindVertexArray(mesh.vao);
    glDrawElements(GL_TRIANGLES, mesh.count, GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
}

void GlCanvas::BlitTo(GLuint target, int width, int height, int x0, int y0, int x1, int y1) {
    MakeTarget();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
    glViewport(0, 0, width, height);
    glDisable(GL_STENCIL_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
    // Window rows count from the bottom, picture rows from the top.
    glBlitFramebuffer(0, 0, targetWidth_, targetHeight_, x0, height - y1, x1, height - y0,
                      GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

QImage GlCanvas::ReadTarget() {
    if (!MakeTarget()) {
        return {};
    }
    QImage image(targetWidth_, targetHeight_, QImage::Format_RGBA8888);
    if (image.isNull()) {
        return {};
    }
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, targetWidth_, targetHeight_, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    return image.mirrored(false, true);  // OpenGL's first row is the bottom one
}

}  // namespace tavrilo
