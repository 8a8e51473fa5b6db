#pragma once
// Sound for the player: 16-bit stereo samples pushed by the decoder into a ring the audio
// device pulls from (Qt Multimedia's QAudioSink, which lives on a thread of its own). Without an
// audio device nothing is opened and playback stays silent.

#include <QAudioFormat>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class QAudioSink;
class QObject;
class QThread;

namespace tavrilo {

class AudioRing;

class AudioOutput {
  public:
    AudioOutput();
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Opens the default output; false (and silent) when there is none.
    bool Open();
    void Close();
    bool active() const { return sink_ != nullptr; }
    // The format pushed samples must have: interleaved 16-bit, stereo.
    int sampleRate() const { return format_.sampleRate(); }

    // Appends samples (frames x 2 channels); what does not fit in the ring is dropped.
    void Push(const int16_t* samples, int frames);
    void Clear();
    void Suspend();
    void Resume();
    void SetVolume(float linear);

  private:
    template <typename F>
    void OnAudioThread(F f);

    QAudioFormat format_;
    std::unique_ptr<QThread> thread_;
    QObject* context_ = nullptr;  // lives on the audio thread
    QAudioSink* sink_ = nullptr;  // lives on the audio thread
    std::shared_ptr<AudioRing> ring_;
};

}  // namespace tavrilo
