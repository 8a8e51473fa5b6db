#include "video/audio/audio_output.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace tavrilo {

// A byte ring between the decoder (writer) and the device (reader). Thread-safe.
class AudioRing : public QIODevice {
  public:
    explicit AudioRing(size_t capacity) : buffer_(capacity) {}

    void Write(const char* data, size_t size) {
        std::lock_guard lock(mutex_);
        size = std::min(size, buffer_.size() - used_);
        for (size_t i = 0; i < size; ++i) {
            buffer_[(start_ + used_ + i) % buffer_.size()] = data[i];
        }
        used_ += size;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        used_ = 0;
    }

  protected:
    // The device keeps pulling; silence fills what the decoder has not delivered yet.
    qint64 readData(char* data, qint64 max) override {
        std::lock_guard lock(mutex_);
        const size_t n = std::min(static_cast<size_t>(max), used_);
        for (size_t i = 0; i < n; ++i) {
            data[i] = buffer_[(start_ + i) % buffer_.size()];
        }
        start_ = (start_ + n) % buffer_.size();
        used_ -= n;
        std::memset(data + n, 0, static_cast<size_t>(max) - n);
        return max;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 16; }

  private:
    std::mutex mutex_;
    std::vector<char> buffer_;
    size_t start_ = 0, used_ = 0;
};

AudioOutput::AudioOutput() = default;

AudioOutput::~AudioOutput() {
    Close();
}

namespace {

// Runs `f` on `context`'s thread and waits for it. The wait is a standard mutex and condition,
// not Qt's blocking call: Qt's own semaphore is invisible to the thread sanitizer, which then
// takes the audio thread's reads of the caller's stack for races.
template <typename F>
void RunOn(QObject* context, F f) {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    QMetaObject::invokeMethod(
        context,
        [&] {
            f();
            std::lock_guard lock(mutex);
            done = true;
            cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return done; });
}

}  // namespace

template <typename F>
void AudioOutput::OnAudioThread(F f) {
    if (context_ != nullptr) {
        RunOn(context_, f);
    }
}

bool AudioOutput::Open() {
    Close();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        return false;
    }
    format_.setSampleRate(
        device.preferredFormat().sampleRate() > 0 ? device.preferredFormat().sampleRate() : 48000);
    format_.setChannelCount(2);
    format_.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format_)) {
        return false;
    }
    // Half a second of sound ahead of the device at most.
    ring_ = std::make_shared<AudioRing>(static_cast<size_t>(format_.sampleRate()) * 4 / 2);
    ring_->open(QIODevice::ReadOnly);
    thread_ = std::make_unique<QThread>();
    thread_->start();
    context_ = new QObject;
    context_->moveToThread(thread_.get());
    OnAudioThread([this, device] {
        sink_ = new QAudioSink(device, format_);
        sink_->start(ring_.get());
        sink_->suspend();
    });
    return true;
}

void AudioOutput::Close() {
    if (context_ != nullptr) {
        OnAudioThread([this] {
            if (sink_ != nullptr) {
                sink_->stop();
                delete sink_;
                sink_ = nullptr;
            }
        });
        QObject* context = context_;
        context_ = nullptr;
        RunOn(context, [context] { delete context; });
    }
    if (thread_) {
        thread_->quit();
        thread_->wait();
        thread_.reset();
    }
    ring_.reset();
}

void AudioOutput::Push(const int16_t* samples, int frames) {
    if (ring_) {
        ring_->Write(reinterpret_cast<const char*>(samples), static_cast<size_t>(frames) * 4);
    }
}

void AudioOutput::Clear() {
    if (ring_) {
        ring_->Clear();
    }
}

void AudioOutput::Suspend() {
    OnAudioThread([this] {
        if (sink_ != nullptr) {
            sink_->suspend();
        }
    });
}

void AudioOutput::Resume() {
    OnAudioThread([this] {
        if (sink_ != nullptr) {
            sink_->resume();
        }
    });
}

void AudioOutput::SetVolume(float linear) {
    OnAudioThread([this, linear] {
        if (sink_ != nullptr) {
            sink_->setVolume(static_cast<qreal>(std::clamp(linear, 0.0f, 1.0f)));
        }
    });
}

}  // namespace tavrilo
