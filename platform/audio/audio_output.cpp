#include "platform/audio/audio_output.h"

#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/foundation/log.h"

namespace platform::audio {
namespace {

constexpr int kRate = 22050;

// Samples of `freqs` summed, for `ms`, faded in and out so that no click is
// heard; a frequency list that is empty is silence.
void appendTone(QByteArray& pcm, std::initializer_list<double> freqs, int ms) {
  const int n = kRate * ms / 1000, fade = kRate / 200;
  for (int i = 0; i < n; ++i) {
    double v = 0;
    for (double f : freqs) v += std::sin(2 * std::numbers::pi * f * i / kRate);
    if (freqs.size()) v /= static_cast<double>(freqs.size());
    const double edge = std::min({1.0, static_cast<double>(i) / fade, static_cast<double>(n - 1 - i) / fade});
    const auto s = static_cast<int16_t>(v * edge * 0.3 * 32767);
    pcm.append(reinterpret_cast<const char*>(&s), sizeof s);
  }
}

QByteArray soundPcm(sound::SystemSoundID id) {
  QByteArray pcm;
  appendTone(pcm, {440.0 * std::pow(2.0, static_cast<double>(id % 24) / 12.0)}, 250);
  return pcm;
}

QByteArray ringPcm() {
  QByteArray pcm;
  appendTone(pcm, {440, 480}, 400);
  appendTone(pcm, {}, 200);
  appendTone(pcm, {440, 480}, 400);
  appendTone(pcm, {}, 2000);
  return pcm;
}

// Hands out its data over and over, for a sink to pull.
class Loop : public QIODevice {
 public:
  explicit Loop(QByteArray data) : data_(std::move(data)) { open(QIODevice::ReadOnly); }
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return data_.size() + QIODevice::bytesAvailable(); }

 protected:
  qint64 readData(char* out, qint64 max) override {
    qint64 done = 0;
    while (done < max) {
      const qint64 n = std::min<qint64>(max - done, data_.size() - pos_);
      std::memcpy(out + done, data_.constData() + pos_, static_cast<size_t>(n));
      done += n;
      pos_ = (pos_ + n) % data_.size();
    }
    return done;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  QByteArray data_;
  qint64 pos_ = 0;
};

// Lives on the thread that made it; the output's calls reach it queued.
class Player : public QObject {
 public:
  explicit Player(QAudioDevice device) : device_(std::move(device)) {
    format_.setSampleRate(kRate);
    format_.setChannelCount(1);
    format_.setSampleFormat(QAudioFormat::Int16);
  }

  void play(sound::SystemSoundID id) {
    effect_.reset();
    effectData_ = std::make_unique<QBuffer>();
    effectData_->setData(soundPcm(id));
    effectData_->open(QIODevice::ReadOnly);
    effect_ = start(effectData_.get());
  }
  void startLoop() {
    loopData_ = std::make_unique<Loop>(ringPcm());
    loop_ = start(loopData_.get());
  }
  void stopLoop() {
    loop_.reset();
    loopData_.reset();
  }

 private:
  std::unique_ptr<QAudioSink> start(QIODevice* data) {
    auto sink = std::make_unique<QAudioSink>(device_, format_);
    sink->start(data);
    if (sink->error() != QAudio::NoError && !failed_) {
      failed_ = true;  // said once: a device that went away fails every sound
      platform::log("audio: ", device_.description().toStdString(), " does not play (error ", static_cast<int>(sink->error()),
                    "); sounds are recorded, not heard");
    }
    return sink;
  }

  QAudioDevice device_;
  QAudioFormat format_;
  std::unique_ptr<QBuffer> effectData_;
  std::unique_ptr<QAudioSink> effect_;
  std::unique_ptr<Loop> loopData_;
  std::unique_ptr<QAudioSink> loop_;
  bool failed_ = false;
};

class QtOutput : public sound::Output {
 public:
  explicit QtOutput(QAudioDevice device) : player_(new Player(std::move(device))) {}
  ~QtOutput() override {
    if (player_) player_->deleteLater();
  }
  void play(sound::SystemSoundID id) override { post([id](Player& p) { p.play(id); }); }
  void startLoop(sound::SystemSoundID) override { post([](Player& p) { p.startLoop(); }); }
  void stopLoop() override { post([](Player& p) { p.stopLoop(); }); }

 private:
  template <class F>
  void post(F f) {
    QPointer<Player> player = player_;
    if (player) QMetaObject::invokeMethod(player, [player, f] { if (player) f(*player); }, Qt::QueuedConnection);
  }
  QPointer<Player> player_;
};

}  // namespace

std::shared_ptr<sound::Output> makeOutput() {
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) {
    platform::log("audio: no audio device; sounds are recorded, not heard");
    return nullptr;
  }
  return std::make_shared<QtOutput>(device);
}

}  // namespace platform::audio
